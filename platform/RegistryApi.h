#pragma once
// The registry functions the program calls (advapi32), through their ANSI entry points. Names
// and texts here are UTF-8: the implementation converts them to and from the ANSI code page.

#include <cstdint>
#include <string>

#include "platform/WindowsTypes.h"

namespace win {

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  virtual Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) = 0;
  // Opens the key with `access`, creating it and every missing key on its path; `disposition`
  // (may be null) tells whether it was created or already there.
  virtual Status RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                 KeyHandle* result, std::uint32_t* disposition) = 0;
  // Deletes a subkey that has no subkeys of its own, in the view `viewFlag` names
  // (RegDeleteKeyExA, bound at run time, where a view flag is given; RegDeleteKeyA otherwise).
  virtual Status RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) = 0;
  // Renames `key` itself (subKey null) or its subkey. RegRenameKey came with Windows Vista and is
  // bound at run time: where it is missing, kErrorCallNotImplemented, and HasRegRenameKey() says
  // so.
  virtual Status RegRenameKey(KeyHandle key, const char* subKey, const char* newName) = 0;
  virtual bool HasRegRenameKey() = 0;
  // The name of the key's index-th subkey, or value; kErrorNoMoreItems past the last.
  virtual Status RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) = 0;
  virtual Status RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) = 0;
  // How many subkeys and values the key has (RegQueryInfoKeyA).
  virtual Status RegQueryInfoKeyA(KeyHandle key, std::uint32_t* subKeys, std::uint32_t* values) = 0;
  virtual Status RegDeleteValueA(KeyHandle key, const char* valueName) = 0;
  virtual Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) = 0;
  virtual Status RegCloseKey(KeyHandle key) = 0;
  virtual Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) = 0;
  virtual Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                                  std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) = 0;
};

}  // namespace win
