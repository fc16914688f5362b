#pragma once
// The Windows functions the program calls, behind one interface: the exes bind it to the real
// functions (Win32Api), the native tests to an in-memory Windows (FakeWindows). Every text goes
// through the ANSI entry points, so texts here are ANSI bytes.

#include <cstdint>

#include "platform/WindowsTypes.h"

namespace win {

class WindowsApi {
 public:
  virtual ~WindowsApi() = default;

  // advapi32
  virtual Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) = 0;
  virtual Status RegCreateKeyA(KeyHandle root, const char* subKey, KeyHandle* result) = 0;
  virtual Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) = 0;
  virtual Status RegCloseKey(KeyHandle key) = 0;
  virtual Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) = 0;
  virtual Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                                  std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* size) = 0;

  // kernel32
  virtual bool GetVersionExA(OsVersionInfo* info) = 0;
  virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) = 0;
  virtual LocalDate GetLocalDate() = 0;

  // user32: a modal message box.
  virtual int MessageBoxA(const char* text, const char* caption, std::uint32_t style) = 0;
};

}  // namespace win
