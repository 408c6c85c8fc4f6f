# Cross-compiles for 64-bit Windows: the same sources, for the tests on
# machines that run no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QO_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
