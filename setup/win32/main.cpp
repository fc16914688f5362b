#include <windows.h>

#include "platform/win32/Win32Api.h"
#include "setup/Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  win::Win32Api windows;
  return quillet::RunProgram(windows);
}
