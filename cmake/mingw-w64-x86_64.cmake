# CMake toolchain file: cross-compile for 64-bit Windows with Debian's MinGW-w64
# (package g++-mingw-w64-x86-64-posix; the "posix" variant has std::thread and
# friends). Used by scripts/windows, both to build Qt for Windows and, chain-loaded
# by that Qt's qt.toolchain.cmake, to build tkaddstudent.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TK_MINGW_TRIPLET}-windres)

# Libraries, headers and packages come from the MinGW sysroot (and from the
# prefixes added to CMAKE_FIND_ROOT_PATH, such as a Qt built for Windows);
# programs (moc, rcc, ...) run on the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
