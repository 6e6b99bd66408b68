# Cross-compiles the native Windows program with Debian's mingw-w64 (POSIX
# thread model, so that std::thread and friends are there) for x86-64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DIRRIP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DIRRIP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DIRRIP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DIRRIP_MINGW_PREFIX}-windres)

# Libraries and headers of the target come from the mingw sysroot only; the
# header-only packages (command-line parser, JSON) are found on the host, since
# they are the same source for both builds.
set(CMAKE_FIND_ROOT_PATH /usr/${DIRRIP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# One self-contained .exe: the C++ runtime, libgcc and the thread library are
# linked in, so only system DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run the programs under wine.
find_program(DIRRIP_WINE wine)
if(DIRRIP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DIRRIP_WINE})
endif()
