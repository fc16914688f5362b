// Holds the program's run lock as a run of it does, until killed:
//   holdlock <marker>
// Opens %windir%\QuilletSetup\Lock\QuilletSetup.lock shared with nobody and deleted on close, making
// the folder where it is missing. Once the lock is held, the file <marker> appears.

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  wchar_t windows[MAX_PATH] = L"";
  if (GetWindowsDirectoryW(windows, MAX_PATH) == 0) return 3;
  const std::wstring folder = std::wstring(windows) + L"\\QuilletSetup\\Lock";
  CreateDirectoryW((std::wstring(windows) + L"\\QuilletSetup").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const HANDLE held = CreateFileW((folder + L"\\QuilletSetup.lock").c_str(),
                                  GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(INFINITE);
  return 0;
}
