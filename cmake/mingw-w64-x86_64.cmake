# Cross build for 64-bit Windows with Debian's mingw-w64 compilers (POSIX threads: std::thread,
# std::mutex). Used by the win64 preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLON_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLON_MINGW_TRIPLET}-windres)

# Headers and libraries of the target (mingw-w64 itself, libz-mingw-w64-dev) live here; never search the
# build machine's own folders for them.
set(QUILLON_MINGW_SYSROOT /usr/${QUILLON_MINGW_TRIPLET})
set(QUILLON_WINDOWS_ARCH win64)
set(CMAKE_FIND_ROOT_PATH ${QUILLON_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
