# Cross-compiles for 32-bit Windows: the program.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QO_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
