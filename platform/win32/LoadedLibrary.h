#pragma once
// A DLL loaded on demand and freed with its owner, with its functions bound by exported name at
// their first call.

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
      module_ = ::LoadLibraryA(name_.c_str());
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
  std::string name_;
  HMODULE module_ = nullptr;
};

}  // namespace win
