// Holds a named mutex, as a run of the program holds its lock, until killed:
//   holdmutex <name> <marker>
// Once the mutex is held, the file <marker> appears. Killed, it leaves the mutex abandoned to
// whoever waits for it.

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, argv[1]);
  if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  CloseHandle(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(INFINITE);
  return 0;
}
