# The part of the mingw-w64 toolchain files both Windows architectures share. The including file
# sets CMAKE_SYSTEM_PROCESSOR and MINGW_TRIPLE (x86_64-w64-mingw32 or i686-w64-mingw32) first.
#
# The "-posix" compilers use the POSIX thread model (winpthreads), which std::thread and
# std::mutex need; the default "-win32" model lacks them. Libraries and headers are searched only
# under the cross sysroot, so nothing of the host's /usr/include or /usr/lib leaks into the
# Windows build (Boost is exposed on its own, see cmake/windows.cmake).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for PE files")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
