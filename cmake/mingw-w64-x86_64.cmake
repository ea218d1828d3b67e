# Cross-compiles for 64-bit Windows with Debian's mingw-w64 in its POSIX
# threading variant, so that std::thread and std::mutex work. Programs are
# linked statically and need no DLL beyond the system's.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C runtime's printf family follows C99 (%ld, %lld, %zu) instead of the
# old msvcrt conventions.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
