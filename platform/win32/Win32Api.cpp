#include "platform/win32/Win32Api.h"

#include "platform/win32/LoadedLibrary.h"
#include "platform/win32/SystemText.h"

#include <windows.h>

#include <memory>
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

static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOA));
static_assert(kKeyWow64_64Key == KEY_WOW64_64KEY && kKeyRead == KEY_READ);

// A function of a system DLL the program imports anyway, which early Windows lacks: bound by its
// exported name; null where missing.
template <typename Function>
Function BoundFunction(const char* library, const char* exportName) {
  const HMODULE module = ::GetModuleHandleA(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, exportName)));
}

}  // namespace

Status Win32Api::RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) {
  return Open(result, [&](HKEY* opened) {
    return ::RegOpenKeyExA(ToHkey(root), subKey, options, access, opened);
  });
}

Status Win32Api::RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                 KeyHandle* result, std::uint32_t* disposition) {
  DWORD what = 0;
  const Status status = Open(result, [&](HKEY* opened) {
    return ::RegCreateKeyExA(ToHkey(root), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                             nullptr, opened, &what);
  });
  if (disposition != nullptr) *disposition = what;
  return status;
}

Status Win32Api::RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) {
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

Status Win32Api::RegRenameKey(KeyHandle key, const char* subKey, const char* newName) {
  const auto renameKey = BoundFunction<RenameKeyFunction>("advapi32.dll", "RegRenameKey");
  if (renameKey == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  // The names are ASCII; the function exists in its UTF-16 form only.
  const std::wstring wideSubKey = subKey != nullptr ? ToWide(subKey, CP_ACP) : std::wstring();
  return renameKey(ToHkey(key), subKey != nullptr ? wideSubKey.c_str() : nullptr,
                   ToWide(newName, CP_ACP).c_str());
}

bool Win32Api::HasRegRenameKey() {
  return BoundFunction<RenameKeyFunction>("advapi32.dll", "RegRenameKey") != nullptr;
}

Status Win32Api::RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) {
  char buffer[16384];  // a value name has at most 16383 characters
  DWORD length = sizeof buffer;
  const LONG status =
      ::RegEnumValueA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) name->assign(buffer, length);
  return status;
}

Status Win32Api::RegDeleteValueA(KeyHandle key, const char* valueName) {
  return ::RegDeleteValueA(ToHkey(key), valueName);
}

Status Win32Api::RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) {
  char buffer[256];  // a key name has at most 255 characters
  DWORD length = sizeof buffer;
  const LONG status =
      ::RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) name->assign(buffer, length);
  return status;
}

Status Win32Api::RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) {
  const bool isString = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  if (!isString || data == nullptr || size == 0) {
    return ::RegSetValueExA(ToHkey(key), valueName, reserved, type, data, size);
  }
  // Windows counts a NUL that directly follows string data as part of it ("the caller forgot
  // the terminator"). A guard byte that is not NUL keeps the stored bytes exactly as passed.
  std::vector<std::uint8_t> guarded(data, data + size);
  guarded.push_back('#');
  return ::RegSetValueExA(ToHkey(key), valueName, reserved, type, guarded.data(), size);
}

Status Win32Api::RegCloseKey(KeyHandle key) { return ::RegCloseKey(ToHkey(key)); }

Status Win32Api::RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) {
  return Open(result, [&](HKEY* opened) { return ::RegOpenKeyA(ToHkey(root), subKey, opened); });
}

Status Win32Api::RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
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

bool Win32Api::GetVersionExA(OsVersionInfo* info) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)) != FALSE;
}

ProcessKind Win32Api::GetProcessKind() {
  if constexpr (sizeof(void*) == 8) {
    return ProcessKind::Windows64;
  } else {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = BoundFunction<IsWow64ProcessFunction>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64Process != nullptr && isWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
      return ProcessKind::Wow64;
    }
    return ProcessKind::Windows32;
  }
}

std::uint32_t Win32Api::GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) {
  using GetSystemWow64DirectoryFunction = UINT(WINAPI*)(LPSTR, UINT);
  const auto getDirectory =
      BoundFunction<GetSystemWow64DirectoryFunction>("kernel32.dll", "GetSystemWow64DirectoryA");
  return getDirectory != nullptr ? getDirectory(buffer, size) : 0;
}

std::uint32_t Win32Api::GetFileAttributesA(const char* path, bool nativeFileSystem) {
  using DisableFunction = BOOL(WINAPI*)(PVOID*);
  using RevertFunction = BOOL(WINAPI*)(PVOID);
  if (!nativeFileSystem) return ::GetFileAttributesA(path);
  const auto disable =
      BoundFunction<DisableFunction>("kernel32.dll", "Wow64DisableWow64FsRedirection");
  const auto revert =
      BoundFunction<RevertFunction>("kernel32.dll", "Wow64RevertWow64FsRedirection");
  PVOID previous = nullptr;
  const bool disabled = disable != nullptr && revert != nullptr && disable(&previous);
  const DWORD attributes = ::GetFileAttributesA(path);
  if (disabled) revert(previous);
  return attributes;
}

bool Win32Api::WriteStandardOutput(const std::string& text) {
  if (!lookedForOutput_) {
    lookedForOutput_ = true;
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
      using AttachConsoleFunction = BOOL(WINAPI*)(DWORD);
      const auto attach = BoundFunction<AttachConsoleFunction>("kernel32.dll", "AttachConsole");
      output = attach != nullptr && attach(ATTACH_PARENT_PROCESS)
                   ? ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr)
                   : INVALID_HANDLE_VALUE;
    }
    if (output != nullptr && output != INVALID_HANDLE_VALUE) standardOutput_ = output;
  }
  if (standardOutput_ == nullptr) return false;
  DWORD written = 0;
  return ::WriteFile(standardOutput_, text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) != FALSE;
}

std::uint32_t Win32Api::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

std::uint32_t Win32Api::GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

LocalDate Win32Api::GetLocalDate() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string Win32Api::GetCommandLineW() { return FromWide(::GetCommandLineW(), CP_UTF8); }

std::string Win32Api::GetComputerNameW() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return "(unknown computer)";
  return FromWide(std::wstring(name, length), CP_UTF8);
}

std::string Win32Api::ErrorText(Status code) {
  const std::string text = SystemMessage(static_cast<unsigned long>(code));
  if (text.empty()) return "Error " + std::to_string(code) + ".";
  return text;  // already UTF-8
}

namespace {

struct CloseFile {
  void operator()(HANDLE file) const { ::CloseHandle(file); }
};

Status WriteWholeFile(const std::wstring& path, const std::string& contents) {
  HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return static_cast<Status>(::GetLastError());
  const std::unique_ptr<void, CloseFile> file(opened);
  DWORD written = 0;
  if (!::WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written,
                   nullptr) ||
      !::FlushFileBuffers(file.get())) {
    return static_cast<Status>(::GetLastError());
  }
  return written == contents.size() ? kErrorSuccess : static_cast<Status>(ERROR_HANDLE_DISK_FULL);
}

// The full path of a path relative to the working directory; "" when it has none.
std::wstring FullPath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                    nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                nullptr);
  }
  if (length == 0 || length >= full.size()) return {};
  full.resize(length);
  return full;
}

}  // namespace

Status Win32Api::WriteFileContents(const std::string& path, const std::string& contents) {
  const std::wstring full = FullPath(ToWide(path, CP_UTF8));
  if (full.empty()) return static_cast<Status>(ERROR_INVALID_NAME);
  const std::wstring temporary = full + L".writing";
  Status status = WriteWholeFile(temporary, contents);
  if (status == kErrorSuccess &&
      !::MoveFileExW(temporary.c_str(), full.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    status = static_cast<Status>(::GetLastError());
  }
  if (status != kErrorSuccess) ::DeleteFileW(temporary.c_str());
  return status;
}

int Win32Api::MessageBoxA(const char* text, const char* caption, std::uint32_t style) {
  return ::MessageBoxW(nullptr, ToWide(text, CP_UTF8).c_str(), ToWide(caption, CP_UTF8).c_str(),
                       style | MB_TASKMODAL);
}

}  // namespace win
