#include <windows.h>

#include "platform/win32/Win32Api.h"
#include "setup/Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const win::ComApartment com;
  win::Win32Api windows;
  return quillet::RunProgram(windows);
}
