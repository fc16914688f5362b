#include "platform/win32/Win32Api.h"

#include "platform/win32/BoundFunction.h"
#include "platform/win32/SystemText.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

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

// Names and texts are UTF-8 inside the program and in the ANSI code page at the ANSI entry
// points: converted here, both ways. A name that is absent stays absent.
class AnsiName {
 public:
  explicit AnsiName(const char* utf8) : present_(utf8 != nullptr), text_(Ansi(utf8)) {}
  [[nodiscard]] const char* Get() const { return present_ ? text_.c_str() : nullptr; }

 private:
  bool present_;
  std::string text_;
};

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Text data, terminators and the NULs between the strings of a REG_MULTI_SZ included.
std::vector<std::uint8_t> Converted(const std::uint8_t* data, std::size_t size, bool toAnsi) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Piece by piece between the NULs, which stay where they are.
  std::string whole;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    const std::string piece = text.substr(start, end - start);
    whole += toAnsi ? Ansi(piece.c_str()) : Utf8FromAnsi(piece);
    if (end == text.size()) break;
    whole += '\0';
    start = end + 1;
  }
  return {whole.begin(), whole.end()};
}

}  // namespace

Status Win32Registry::RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                                    std::uint32_t access, KeyHandle* result) {
  return Open(result, [&](HKEY* opened) {
    return ::RegOpenKeyExA(ToHkey(root), AnsiName(subKey).Get(), options, access, opened);
  });
}

Status Win32Registry::RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                      KeyHandle* result, std::uint32_t* disposition) {
  DWORD what = 0;
  const Status status = Open(result, [&](HKEY* opened) {
    return ::RegCreateKeyExA(ToHkey(root), AnsiName(subKey).Get(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, access, nullptr, opened, &what);
  });
  if (disposition != nullptr) *disposition = what;
  return status;
}

Status Win32Registry::RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) {
  if (viewFlag != 0) {
    using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    if (const auto deleteKeyEx =
            BoundFunction<DeleteKeyExFunction>("advapi32.dll", "RegDeleteKeyExA")) {
      return deleteKeyEx(ToHkey(key), AnsiName(subKey).Get(), viewFlag, 0);
    }
  }
  return ::RegDeleteKeyA(ToHkey(key), AnsiName(subKey).Get());
}

namespace {
using RenameKeyFunction = LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR);
}  // namespace

Status Win32Registry::RegRenameKey(KeyHandle key, const char* subKey, const char* newName) {
  const auto renameKey = BoundFunction<RenameKeyFunction>("advapi32.dll", "RegRenameKey");
  if (renameKey == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  // The function exists in its UTF-16 form only.
  const std::wstring wideSubKey = subKey != nullptr ? ToWide(subKey, CP_UTF8) : std::wstring();
  return renameKey(ToHkey(key), subKey != nullptr ? wideSubKey.c_str() : nullptr,
                   ToWide(newName, CP_UTF8).c_str());
}

bool Win32Registry::HasRegRenameKey() {
  return BoundFunction<RenameKeyFunction>("advapi32.dll", "RegRenameKey") != nullptr;
}

Status Win32Registry::RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) {
  char buffer[16384];  // a value name has at most 16383 characters
  DWORD length = sizeof buffer;
  const LONG status =
      ::RegEnumValueA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) *name = Utf8FromAnsi(std::string(buffer, length));
  return status;
}

Status Win32Registry::RegQueryInfoKeyA(KeyHandle key, std::uint32_t* subKeys,
                                       std::uint32_t* values) {
  DWORD keys = 0;
  DWORD valueCount = 0;
  const LONG status = ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &keys, nullptr,
                                         nullptr, &valueCount, nullptr, nullptr, nullptr, nullptr);
  if (subKeys != nullptr) *subKeys = keys;
  if (values != nullptr) *values = valueCount;
  return status;
}

Status Win32Registry::RegDeleteValueA(KeyHandle key, const char* valueName) {
  return ::RegDeleteValueA(ToHkey(key), AnsiName(valueName).Get());
}

Status Win32Registry::RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) {
  char buffer[256];  // a key name has at most 255 characters
  DWORD length = sizeof buffer;
  const LONG status =
      ::RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) *name = Utf8FromAnsi(std::string(buffer, length));
  return status;
}

Status Win32Registry::RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                     std::uint32_t type, const std::uint8_t* data,
                                     std::uint32_t size) {
  if (data == nullptr || !IsTextType(type)) {
    return ::RegSetValueExA(ToHkey(key), AnsiName(valueName).Get(), reserved, type, data, size);
  }
  std::vector<std::uint8_t> ansi = Converted(data, size, true);
  const auto counted = static_cast<DWORD>(ansi.size());
  // Windows looks at the byte after text whose terminator was not counted, and stores the
  // terminator when that byte is one: the byte that follows the caller's text follows it here too.
  if (size > 0 && data[size - 1] != 0) ansi.push_back(data[size]);
  return ::RegSetValueExA(ToHkey(key), AnsiName(valueName).Get(), reserved, type, ansi.data(),
                          counted);
}

Status Win32Registry::RegCloseKey(KeyHandle key) { return ::RegCloseKey(ToHkey(key)); }

Status Win32Registry::RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) {
  return Open(result, [&](HKEY* opened) {
    return ::RegOpenKeyA(ToHkey(root), AnsiName(subKey).Get(), opened);
  });
}

Status Win32Registry::RegQueryValueExA(KeyHandle key, const char* valueName,
                                       std::uint32_t* reserved, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
  const AnsiName name(valueName);
  // Read whole into a buffer of this side's, then given as UTF-8 with RegQueryValueEx's contract:
  // the size needed and ERROR_MORE_DATA when the caller's room is too small.
  std::vector<BYTE> raw(std::max<std::size_t>(size != nullptr ? *size : 0, 256));
  DWORD typeWord = 0;
  DWORD rawSize = static_cast<DWORD>(raw.size());
  LONG status = ::RegQueryValueExA(ToHkey(key), name.Get(), reinterpret_cast<LPDWORD>(reserved),
                                   &typeWord, raw.data(), &rawSize);
  if (status == ERROR_MORE_DATA) {
    raw.resize(rawSize);
    status = ::RegQueryValueExA(ToHkey(key), name.Get(), reinterpret_cast<LPDWORD>(reserved),
                                &typeWord, raw.data(), &rawSize);
  }
  if (status != ERROR_SUCCESS) return status;
  raw.resize(rawSize);
  const std::vector<std::uint8_t> given = IsTextType(typeWord)
                                              ? Converted(raw.data(), raw.size(), false)
                                              : std::vector<std::uint8_t>(raw.begin(), raw.end());
  if (type != nullptr) *type = typeWord;
  if (size == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  const std::uint32_t room = *size;
  *size = static_cast<std::uint32_t>(given.size());
  if (data == nullptr) return ERROR_SUCCESS;
  if (given.size() > room) return ERROR_MORE_DATA;
  std::copy(given.begin(), given.end(), data);
  // As Windows does: a text read gets a NUL after it where there is room (not counted).
  if (IsTextType(typeWord) && given.size() < room) data[given.size()] = 0;
  return ERROR_SUCCESS;
}

}  // namespace win
