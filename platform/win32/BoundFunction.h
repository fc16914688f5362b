#pragma once
// A function of a system DLL the program imports anyway, which early Windows lacks: bound by its
// exported name; null where missing.

#include <windows.h>

namespace win {

template <typename Function>
Function BoundFunction(const char* library, const char* exportName) {
  const HMODULE module = ::GetModuleHandleA(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, exportName)));
}

}  // namespace win
