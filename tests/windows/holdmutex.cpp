// Holds a named mutex, as a run of the program holds its lock, until killed:
//   holdmutex <name> <marker>
// The mutex has the security the program gives its lock. Once it is held, the file <marker>
// appears. Killed, it leaves the mutex abandoned to whoever waits for it.
//   holdmutex <name> <marker> event
//   holdmutex <name> <marker> foreign
// hold an event of that name instead, or a mutex with the default security of the account it runs
// as, as a program of someone else's might.

#include <windows.h>

#include <sddl.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) return 2;
  const std::wstring kind = argc == 4 ? argv[3] : L"";
  const bool event = kind == L"event";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)",
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    return 3;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE held = event ? CreateEventW(nullptr, TRUE, FALSE, argv[1])
                      : CreateMutexW(kind == L"foreign" ? nullptr : &attributes, TRUE, argv[1]);
  if (held == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  CloseHandle(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(INFINITE);
  return 0;
}
