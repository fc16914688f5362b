// A stand-in for the setup toolkit's shortcut library: records every call, one line each, in
// toolkit-calls.txt beside the DLL, and makes no shortcut.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE gModule = nullptr;

void Record(const std::string& line) {
  char path[MAX_PATH] = "";
  ::GetModuleFileNameA(gModule, path, MAX_PATH);
  std::string log = path;
  log = log.substr(0, log.find_last_of('\\') + 1) + "toolkit-calls.txt";
  if (FILE* out = std::fopen(log.c_str(), "ab")) {
    std::fputs((line + "\n").c_str(), out);
    std::fclose(out);
  }
}

std::string Text(LPCSTR text) { return text == nullptr ? "<null>" : text; }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gModule = module;
  return TRUE;
}

extern "C" __declspec(dllexport) LONG WINAPI fCreateShellLink(LPCSTR folderName, LPCSTR linkName,
                                                              LPCSTR linkPath, LPCSTR arguments,
                                                              LONG privateFlag, LPCSTR parent) {
  Record("fCreateShellLink|" + Text(folderName) + "|" + Text(linkName) + "|" + Text(linkPath) +
         "|" + Text(arguments) + "|" + std::to_string(privateFlag) + "|" + Text(parent));
  return 1;
}

extern "C" __declspec(dllexport) LONG WINAPI fRemoveShellLink(LPCSTR folderName, LPCSTR linkName) {
  Record("fRemoveShellLink|" + Text(folderName) + "|" + Text(linkName));
  return 1;
}
