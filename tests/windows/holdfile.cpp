// Holds a file or a folder open sharing nothing, as another program might hold a log or anyone who
// may list a folder may hold it, until killed:
//   holdfile <path>
// Once it is held, "<path>.held" appears beside it.

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  const std::wstring marker = std::wstring(argv[1]) + L".held";
  CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(INFINITE);
  return 0;
}
