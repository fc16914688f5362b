// Prints a registry tree below HKEY_LOCAL_MACHINE exactly as stored, one line per key and value,
// for the end-to-end tests to compare: the raw stored bytes (texts as the registry keeps them,
// UTF-16LE), so a terminating NUL that should not be there cannot hide.
//
//   regdump <key path>...
//   KEY <path>
//   VALUE <path>|<name>|<type>|<hex bytes>
//   MISSING <path>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  return result;
}

void Dump(HKEY key, const std::wstring& path) {
  std::printf("KEY %s\n", Narrow(path).c_str());

  DWORD subkeyCount = 0, longestSubkey = 0, valueCount = 0, longestName = 0, longestData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeyCount, &longestSubkey, nullptr,
                   &valueCount, &longestName, &longestData, nullptr, nullptr);

  std::vector<std::pair<std::wstring, std::string>> values;
  for (DWORD i = 0; i < valueCount; ++i) {
    std::wstring name(longestName + 1, L'\0');
    std::vector<BYTE> data(longestData + 1);
    DWORD nameLength = longestName + 1, type = 0, size = longestData + 1;
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      continue;
    }
    name.resize(nameLength);
    // The size query gives the stored length; a read may add a NUL to an unterminated string.
    DWORD storedSize = 0;
    RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &storedSize);
    size = std::min(size, storedSize);
    std::string line = "|" + std::to_string(type) + "|";
    for (DWORD b = 0; b < size; ++b) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", data[b]);
      line += hex;
    }
    values.emplace_back(name, line);
  }
  std::sort(values.begin(), values.end());
  for (const auto& [name, rest] : values) {
    std::printf("VALUE %s|%s%s\n", Narrow(path).c_str(), Narrow(name).c_str(), rest.c_str());
  }

  std::vector<std::wstring> subkeys;
  for (DWORD i = 0; i < subkeyCount; ++i) {
    std::wstring name(longestSubkey + 1, L'\0');
    DWORD length = longestSubkey + 1;
    if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      name.resize(length);
      subkeys.push_back(name);
    }
  }
  std::sort(subkeys.begin(), subkeys.end());
  for (const auto& name : subkeys) {
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &child) == ERROR_SUCCESS) {
      Dump(child, path + L"\\" + name);
      RegCloseKey(child);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring path = Widen(argv[i]);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      std::printf("MISSING %s\n", argv[i]);
      continue;
    }
    Dump(key, path);
    RegCloseKey(key);
  }
  return 0;
}
