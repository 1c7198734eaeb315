# Cross-compiles for 32-bit Windows with the MinGW-w64 i686 tool chain
# (Debian package g++-mingw-w64-i686-posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(RULECALC_MINGW_PREFIX i686-w64-mingw32)

# Prefer the POSIX-thread variant of the compilers; fall back to the default names.
find_program(RULECALC_MINGW_CC NAMES ${RULECALC_MINGW_PREFIX}-gcc-posix ${RULECALC_MINGW_PREFIX}-gcc REQUIRED)
find_program(RULECALC_MINGW_CXX NAMES ${RULECALC_MINGW_PREFIX}-g++-posix ${RULECALC_MINGW_PREFIX}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${RULECALC_MINGW_CC})
set(CMAKE_CXX_COMPILER ${RULECALC_MINGW_CXX})
set(CMAKE_RC_COMPILER ${RULECALC_MINGW_PREFIX}-windres)

# Look for headers and libraries only in the target's tree, programs only on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${RULECALC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
