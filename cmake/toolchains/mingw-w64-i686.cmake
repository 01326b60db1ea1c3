# SPDX-License-Identifier: Apache-2.0
# Cross build of eurocall.dll for 32-bit Windows with the MinGW-w64 compilers. Running
# its programs needs a 32-bit Wine, which the 64-bit one does not include; the build and
# its export table are what this toolchain is checked by.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(EUROCALL_MINGW_TRIPLET i686-w64-mingw32)
set(EUROCALL_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
