#include <windows.h>

#include "platform/win32/Win32Api.h"
#include "setup/ExitCodes.h"
#include "setup/Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  win::RestrictDllSearch();
  try {
    win::Win32Api windows;
    return quillet::RunProgram(windows);
  } catch (...) {
    return quillet::kExitInstallFailure;  // never an abnormal termination
  }
}
