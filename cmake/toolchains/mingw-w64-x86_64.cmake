# SPDX-License-Identifier: Apache-2.0
# Cross build of eurocall.dll for 64-bit Windows with the MinGW-w64 compilers.
# The Windows programs of the build (the DLL's test hosts) run under Wine: CTest starts
# each through the emulator below, in a Wine prefix of the build tree's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(EUROCALL_MINGW_TRIPLET x86_64-w64-mingw32)
set(EUROCALL_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
