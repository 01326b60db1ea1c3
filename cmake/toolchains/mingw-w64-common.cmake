# SPDX-License-Identifier: Apache-2.0
# Shared part of the MinGW-w64 toolchains; the including file sets the triplet and the
# Wine architecture.
set(CMAKE_C_COMPILER ${EUROCALL_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${EUROCALL_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${EUROCALL_MINGW_TRIPLET}-windres)

# Headers and libraries of the target only; programs (Wine, objdump) from the build host.
set(CMAKE_FIND_ROOT_PATH /usr/${EUROCALL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine without a display, in a throwaway prefix inside the build tree (made on first
# use, gone with the build tree): no desktop integration, no .NET or HTML engine
# installer prompts, no debug channels on stderr. The program's exit code is Wine's.
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${CMAKE_COMMAND} -E env
    WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    WINEARCH=${EUROCALL_WINEARCH}
    WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d"
    wine
  CACHE STRING "Runs the build's Windows programs")
