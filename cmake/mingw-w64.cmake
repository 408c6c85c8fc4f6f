# What the two toolchain files share: cross-compiling for Windows with the
# MinGW-w64 compilers of ${QO_MINGW} (posix threads: std::thread and std::mutex
# work).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QO_MINGW}-windres)
set(CMAKE_OBJDUMP ${QO_MINGW}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${QO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
