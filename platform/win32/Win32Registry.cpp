#include "platform/win32/Win32Api.h"

#include "platform/win32/BoundFunction.h"
#include "platform/win32/SystemText.h"

#include <windows.h>

#include <string>

namespace win {
namespace {

HKEY ToHkey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }

// Calls an open function and stores the opened key in the caller's handle word, leaving it
// untouched on failure.
template <typename OpenFunction>
Status Open(KeyHandle* result, OpenFunction open) {
  HKEY opened = nullptr;
  const LONG status = open(&opened);
  if (status == ERROR_SUCCESS && result != nullptr) *result = reinterpret_cast<KeyHandle>(opened);
  return status;
}

static_assert(kKeyWow64_64Key == KEY_WOW64_64KEY && kKeyRead == KEY_READ);

}  // namespace

Status Win32Registry::RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) {
  return Open(result, [&](HKEY* opened) {
    return ::RegOpenKeyExA(ToHkey(root), subKey, options, access, opened);
  });
}

Status Win32Registry::RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                 KeyHandle* result, std::uint32_t* disposition) {
  DWORD what = 0;
  const Status status = Open(result, [&](HKEY* opened) {
    return ::RegCreateKeyExA(ToHkey(root), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                             nullptr, opened, &what);
  });
  if (disposition != nullptr) *disposition = what;
  return status;
}

Status Win32Registry::RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) {
  if (viewFlag != 0) {
    using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    if (const auto deleteKeyEx = BoundFunction<DeleteKeyExFunction>("advapi32.dll", "RegDeleteKeyExA")) {
      return deleteKeyEx(ToHkey(key), subKey, viewFlag, 0);
    }
  }
  return ::RegDeleteKeyA(ToHkey(key), subKey);
}

namespace {
using RenameKeyFunction = LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR);
}  // namespace

Status Win32Registry::RegRenameKey(KeyHandle key, const char* subKey, const char* newName) {
  const auto renameKey = BoundFunction<RenameKeyFunction>("advapi32.dll", "RegRenameKey");
  if (renameKey == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  // The names are ASCII; the function exists in its UTF-16 form only.
  const std::wstring wideSubKey = subKey != nullptr ? ToWide(subKey, CP_ACP) : std::wstring();
  return renameKey(ToHkey(key), subKey != nullptr ? wideSubKey.c_str() : nullptr,
                   ToWide(newName, CP_ACP).c_str());
}

bool Win32Registry::HasRegRenameKey() {
  return BoundFunction<RenameKeyFunction>("advapi32.dll", "RegRenameKey") != nullptr;
}

Status Win32Registry::RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) {
  char buffer[16384];  // a value name has at most 16383 characters
  DWORD length = sizeof buffer;
  const LONG status =
      ::RegEnumValueA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) name->assign(buffer, length);
  return status;
}

Status Win32Registry::RegDeleteValueA(KeyHandle key, const char* valueName) {
  return ::RegDeleteValueA(ToHkey(key), valueName);
}

Status Win32Registry::RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) {
  char buffer[256];  // a key name has at most 255 characters
  DWORD length = sizeof buffer;
  const LONG status =
      ::RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) name->assign(buffer, length);
  return status;
}

Status Win32Registry::RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                     std::uint32_t type, const std::uint8_t* data,
                                     std::uint32_t size) {
  return ::RegSetValueExA(ToHkey(key), valueName, reserved, type, data, size);
}

Status Win32Registry::RegCloseKey(KeyHandle key) { return ::RegCloseKey(ToHkey(key)); }

Status Win32Registry::RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) {
  return Open(result, [&](HKEY* opened) { return ::RegOpenKeyA(ToHkey(root), subKey, opened); });
}

Status Win32Registry::RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                                  std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  DWORD typeWord = type != nullptr ? *type : 0;
  DWORD sizeWord = size != nullptr ? *size : 0;
  const LONG status =
      ::RegQueryValueExA(ToHkey(key), valueName, reinterpret_cast<LPDWORD>(reserved),
                         type != nullptr ? &typeWord : nullptr, data,
                         size != nullptr ? &sizeWord : nullptr);
  if (type != nullptr) *type = typeWord;
  if (size != nullptr) *size = sizeWord;
  return status;
}

}  // namespace win
