# Cross build for Windows with Debian's MinGW-w64 (POSIX thread model, for std::thread and
# std::mutex): 64-bit by default, 32-bit with QUARN7_WINDOWS_ARCH=i686. The runtime is linked
# statically so that the DLL needs nothing beside the system's own libraries.
set(QUARN7_WINDOWS_ARCH x86_64 CACHE STRING "x86_64 (64-bit) or i686 (32-bit)")
# try_compile projects read this file again and get the cache entry through this list.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARN7_WINDOWS_ARCH)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUARN7_WINDOWS_ARCH})

set(QUARN7_MINGW_TRIPLE ${QUARN7_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARN7_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARN7_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARN7_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARN7_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
