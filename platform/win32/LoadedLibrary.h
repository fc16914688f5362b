#pragma once
// A DLL loaded on demand and freed with its owner, with its functions bound by exported name at
// their first call. It is looked for beside the program and in the system directory only, never
// in the working directory or along PATH.

#include <windows.h>

#include <stdexcept>
#include <string>

namespace win {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(std::string name) : name_(std::move(name)) {}
  ~LoadedLibrary() {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The exported function, loading the library first if need be; throws when either is missing.
  template <typename Function>
  Function Bind(const char* exportName) {
    if (module_ == nullptr) {
      module_ = Load();
      if (module_ == nullptr) {
        throw std::runtime_error("File not found: " + name_ + " (error " +
                                 std::to_string(::GetLastError()) + ")");
      }
    }
    FARPROC found = ::GetProcAddress(module_, exportName);
    if (found == nullptr) {
      throw std::runtime_error(std::string("Can't find DLL entry point ") + exportName + " in " +
                               name_);
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
  }

 private:
  HMODULE Load() const {
    HMODULE module = ::LoadLibraryExA(
        name_.c_str(), nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Windows without the search flags (before 8, or 7 without its update): the same two
    // folders, each by its full path.
    for (const std::string& folder : {ProgramFolder(), SystemFolder()}) {
      if (folder.empty()) continue;
      module =
          ::LoadLibraryExA((folder + "\\" + name_).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
      if (module != nullptr) return module;
    }
    return nullptr;
  }
  static std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    const std::string program(path, length);
    return program.substr(0, program.rfind('\\'));
  }
  static std::string SystemFolder() {
    char path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(path, length);
  }

  std::string name_;
  HMODULE module_ = nullptr;
};

}  // namespace win
