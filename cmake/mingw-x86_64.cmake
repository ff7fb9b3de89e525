# Cross build for 64-bit x86 Windows with MinGW-w64: the same sources and
# settings as the 32-bit program (mingw-i686.cmake), so that the Windows tests
# also run where Wine can only run 64-bit programs. tools/wine-run.sh, the
# emulator, runs an x86-64 program in a 64-bit prefix with nothing 32-bit.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
