# Toolchain file: cross-compiles for 32-bit Windows (x86) with Debian's mingw-w64 GCC. The
# programs run on 32-bit Windows and, as 32-bit processes, on 64-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
