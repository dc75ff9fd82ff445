# Cross-build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
# The "win32" thread model is used on purpose: the "posix" one would link
# winpthread, which the Windows 95 target does not have.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(IDE_MINGW_PREFIX i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${IDE_MINGW_PREFIX}-gcc-win32 ${IDE_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${IDE_MINGW_PREFIX}-g++-win32 ${IDE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${IDE_MINGW_PREFIX}-windres REQUIRED)
find_program(IDE_MINGW_OBJDUMP NAMES ${IDE_MINGW_PREFIX}-objdump)
find_program(IDE_MINGW_STRIP NAMES ${IDE_MINGW_PREFIX}-strip)
set(CMAKE_STRIP "${IDE_MINGW_STRIP}" CACHE FILEPATH "strip for Windows images")

set(CMAKE_FIND_ROOT_PATH /usr/${IDE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
