#include "platform/win32/Win32Api.h"

#include "platform/win32/BoundFunction.h"
#include "platform/win32/SystemText.h"

#include <windows.h>

#include <memory>
#include <string>

namespace win {
namespace {

static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOA));

}  // namespace

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
  const auto setDefault =
      BoundFunction<SetDefaultDllDirectoriesFunction>("kernel32.dll", "SetDefaultDllDirectories");
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  if (const auto setDirectory =
          BoundFunction<SetDllDirectoryFunction>("kernel32.dll", "SetDllDirectoryW")) {
    setDirectory(L"");
  }
}

bool Win32System::GetVersionExA(OsVersionInfo* info) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)) != FALSE;
}

ProcessKind Win32System::GetProcessKind() {
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

std::uint32_t Win32System::GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) {
  using GetSystemWow64DirectoryFunction = UINT(WINAPI*)(LPSTR, UINT);
  const auto getDirectory =
      BoundFunction<GetSystemWow64DirectoryFunction>("kernel32.dll", "GetSystemWow64DirectoryA");
  return getDirectory != nullptr ? getDirectory(buffer, size) : 0;
}

std::uint32_t Win32System::GetFileAttributesA(const char* path, bool nativeFileSystem) {
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

bool Win32System::WriteStandardOutput(const std::string& text) {
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

std::uint32_t Win32System::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

std::uint32_t Win32System::GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

LocalDate Win32System::GetLocalDate() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string Win32System::GetCommandLineW() { return FromWide(::GetCommandLineW(), CP_UTF8); }

std::string Win32System::GetComputerNameW() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return "(unknown computer)";
  return FromWide(std::wstring(name, length), CP_UTF8);
}

std::string Win32System::ErrorText(Status code) {
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

Status Win32System::WriteFileContents(const std::string& path, const std::string& contents) {
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

namespace {

void DispatchWaitingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

LockOutcome Win32System::WaitForNamedMutex(const std::string& name, std::uint32_t timeoutMs,
                                           MutexHandle* handle, Status* error) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, ToWide(name, CP_UTF8).c_str());
  if (mutex == nullptr) {
    *error = static_cast<Status>(::GetLastError());
    return LockOutcome::Failed;
  }
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD waited = ::GetTickCount() - start;
    const DWORD left = waited < timeoutMs ? timeoutMs - waited : 0;
    // The windows are painted while the wait lasts; at its end, only the mutex counts.
    const DWORD result = left == 0 ? ::WaitForSingleObject(mutex, 0)
                                   : ::MsgWaitForMultipleObjects(1, &mutex, FALSE, left, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0 + 1 && left != 0) {
      DispatchWaitingMessages();
      continue;
    }
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) {
      *handle = reinterpret_cast<MutexHandle>(mutex);
      return result == WAIT_OBJECT_0 ? LockOutcome::Taken : LockOutcome::TakenOver;
    }
    const DWORD failure = result == WAIT_TIMEOUT ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(mutex);
    if (failure == ERROR_SUCCESS) return LockOutcome::TimedOut;
    *error = static_cast<Status>(failure);
    return LockOutcome::Failed;
  }
}

void Win32System::ReleaseNamedMutex(MutexHandle handle) {
  const HANDLE mutex = reinterpret_cast<HANDLE>(handle);
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

}  // namespace win
