// Holds a file open without sharing it, as another program might hold a log, until killed:
//   holdfile <path>
// Once the file is held, "<path>.held" appears beside it.

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  const std::wstring marker = std::wstring(argv[1]) + L".held";
  CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(INFINITE);
  return 0;
}
