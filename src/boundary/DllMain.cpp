// SPDX-License-Identifier: Apache-2.0
// Module entry routine of eurocall.dll. The library needs no set-up of its own and
// releases nothing on unload, so every notification (process and thread attach and
// detach) succeeds and does nothing else.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
