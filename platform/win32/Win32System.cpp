#include "platform/win32/Win32Api.h"

#include "platform/win32/BoundFunction.h"
#include "platform/win32/LocalMemory.h"
#include "platform/win32/SystemText.h"

#include <windows.h>

#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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

Win32System::Win32System() = default;
Win32System::~Win32System() = default;

bool Win32System::GetVersionExA(OsVersionInfo* info) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)) != FALSE;
}

ProcessKind Win32System::GetProcessKind() {
  if constexpr (sizeof(void*) == 8) {
    return ProcessKind::Windows64;
  } else {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process =
        BoundFunction<IsWow64ProcessFunction>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64Process != nullptr && isWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
      return ProcessKind::Wow64;
    }
    return ProcessKind::Windows32;
  }
}

namespace {

// What an ANSI directory function gives, in UTF-8; "" when it failed.
template <typename Call>
std::string DirectoryInUtf8(Call call) {
  char ansi[2 * MAX_PATH] = "";
  const UINT length = call(ansi, static_cast<UINT>(sizeof ansi));
  if (length == 0 || length >= sizeof ansi) return {};
  return Utf8FromAnsi(std::string(ansi, length));
}

}  // namespace

std::string Win32System::SystemWow64Directory() {
  using GetSystemWow64DirectoryFunction = UINT(WINAPI*)(LPSTR, UINT);
  const auto getDirectory =
      BoundFunction<GetSystemWow64DirectoryFunction>("kernel32.dll", "GetSystemWow64DirectoryA");
  if (getDirectory == nullptr) return {};
  return DirectoryInUtf8(getDirectory);
}

namespace {

// For as long as it lives, this thread of a 32-bit process under WOW64 sees the files as 64-bit
// programs do, past the file-system redirector; elsewhere it does nothing. Only file calls run
// inside it: a DLL loaded meanwhile would come from the 64-bit system directory.
class NativeFileSystem {
 public:
  NativeFileSystem() {
    using DisableFunction = BOOL(WINAPI*)(PVOID*);
    const auto disable =
        BoundFunction<DisableFunction>("kernel32.dll", "Wow64DisableWow64FsRedirection");
    revert_ = BoundFunction<RevertFunction>("kernel32.dll", "Wow64RevertWow64FsRedirection");
    disabled_ = disable != nullptr && revert_ != nullptr && disable(&previous_);
  }
  ~NativeFileSystem() {
    if (disabled_) revert_(previous_);
  }
  NativeFileSystem(const NativeFileSystem&) = delete;
  NativeFileSystem& operator=(const NativeFileSystem&) = delete;

 private:
  using RevertFunction = BOOL(WINAPI*)(PVOID);
  RevertFunction revert_ = nullptr;
  PVOID previous_ = nullptr;
  bool disabled_ = false;
};

// Runs `call` past the redirector and keeps the error it left.
template <typename Call>
auto PastTheRedirector(Call call) {
  DWORD error = ERROR_SUCCESS;
  const auto result = [&] {
    NativeFileSystem native;
    const auto called = call();
    error = ::GetLastError();
    return called;
  }();
  ::SetLastError(error);
  return result;
}

}  // namespace

std::uint32_t Win32System::GetFileAttributesA(const char* path, bool nativeFileSystem) {
  const std::string ansi = Ansi(path);
  if (!nativeFileSystem) return ::GetFileAttributesA(ansi.c_str());
  return PastTheRedirector([&] { return ::GetFileAttributesA(ansi.c_str()); });
}

// The handle the program was given for the stream (a redirection), or else the console of the
// process that started it, attached once for both streams.
void* Win32System::StandardStream(int stream) {
  if (!looked_[stream]) {
    looked_[stream] = true;
    HANDLE handle = ::GetStdHandle(stream == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
      using AttachConsoleFunction = BOOL(WINAPI*)(DWORD);
      const auto attach = BoundFunction<AttachConsoleFunction>("kernel32.dll", "AttachConsole");
      if (!consoleAttached_ && attach != nullptr) consoleAttached_ = attach(ATTACH_PARENT_PROCESS);
      if (consoleAttached_ && console_ == nullptr) {
        // GENERIC_READ too: GetConsoleMode, which tells a console, needs it.
        console_ = std::make_unique<KernelHandle>(
            ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
      }
      handle = console_ != nullptr ? console_->Get() : INVALID_HANDLE_VALUE;
    }
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) streams_[stream] = handle;
  }
  return streams_[stream];
}

// A console shows characters, which WriteConsoleW gives it whatever its code page; a file or a
// pipe gets the UTF-8 bytes.
bool Win32System::WriteStream(int stream, const std::string& text) {
  void* handle = StandardStream(stream);
  if (handle == nullptr) return false;
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(handle, &mode)) {
    const std::wstring wide = ToWide(text, CP_UTF8);
    return ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                           nullptr) != FALSE;
  }
  return ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) !=
         FALSE;
}

bool Win32System::WriteStandardOutput(const std::string& text) { return WriteStream(0, text); }

bool Win32System::WriteStandardError(const std::string& text) { return WriteStream(1, text); }

std::string Win32System::SystemDirectory() {
  return DirectoryInUtf8([](LPSTR ansi, UINT room) { return ::GetSystemDirectoryA(ansi, room); });
}

std::string Win32System::WindowsDirectory() {
  return DirectoryInUtf8([](LPSTR ansi, UINT room) { return ::GetWindowsDirectoryA(ansi, room); });
}

LocalDate Win32System::GetLocalDate() {
  SYSTEMTIME now;
  SYSTEMTIME utc;
  ::GetSystemTime(&utc);
  ::GetLocalTime(&now);
  FILETIME local{};
  FILETIME universal{};
  int offset = 0;
  if (::SystemTimeToFileTime(&now, &local) && ::SystemTimeToFileTime(&utc, &universal)) {
    const auto ticks = [](const FILETIME& time) {
      return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                    time.dwLowDateTime);
    };
    // In minutes, rounded: the two clocks were read a moment apart.
    offset = static_cast<int>((ticks(local) - ticks(universal) + 300000000LL) / 600000000LL);
  }
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, offset};
}

Status Win32System::WriteEvent(const std::string& source, EventKind kind, std::uint32_t id,
                               const std::string& text) {
  // Windows 95 and 98 keep no event log: bound by name, as they may lack the functions.
  using RegisterFunction = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
  using ReportFunction =
      BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID);
  using DeregisterFunction = BOOL(WINAPI*)(HANDLE);
  const auto registerSource =
      BoundFunction<RegisterFunction>("advapi32.dll", "RegisterEventSourceW");
  const auto report = BoundFunction<ReportFunction>("advapi32.dll", "ReportEventW");
  const auto deregister =
      BoundFunction<DeregisterFunction>("advapi32.dll", "DeregisterEventSource");
  if (registerSource == nullptr || report == nullptr || deregister == nullptr) {
    return kErrorCallNotImplemented;
  }
  const HANDLE log = registerSource(nullptr, ToWide(source, CP_UTF8).c_str());
  if (log == nullptr) return static_cast<Status>(::GetLastError());
  // Deregistered however this call ends.
  const std::unique_ptr<void, DeregisterFunction> held(log, deregister);
  const std::wstring wide = ToWide(text, CP_UTF8);
  LPCWSTR strings[] = {wide.c_str()};
  const WORD type = kind == EventKind::Information ? EVENTLOG_INFORMATION_TYPE
                    : kind == EventKind::Warning   ? EVENTLOG_WARNING_TYPE
                                                   : EVENTLOG_ERROR_TYPE;
  const BOOL reported = report(log, type, 0, id, nullptr, 1, 0, strings, nullptr);
  return reported ? kErrorSuccess : static_cast<Status>(::GetLastError());
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
  if (!text.empty()) return text;  // already UTF-8
  // As Windows' own tools show a status they have no text for, with what it means where known.
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  const bool starting = code == kSchedServiceNotRunning;
  return std::string(hex) + (starting ? " (the Task Scheduler service is not running)" : "");
}

namespace {

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

Status LastError() { return static_cast<Status>(::GetLastError()); }

// FILE_RENAME_INFO with room for the new name, which follows it in the same buffer.
// The new name is relative to `folder`: the rename cannot be sent elsewhere by a link on the path.
std::vector<unsigned char> RenameInfo(HANDLE folder, const std::wstring& target) {
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = folder;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy(target.begin(), target.end(), info->FileName);
  return buffer;
}

std::string SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return {};
  const LocalMemory held(text);
  return FromWide(text, CP_UTF8);
}

std::string AccountName(PSID sid) {
  wchar_t name[256] = L"";
  wchar_t domain[256] = L"";
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use{};
  if (!::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return {};
  const std::wstring account = domainLength > 0 ? std::wstring(domain) + L"\\" + name : name;
  return FromWide(account, CP_UTF8);
}

// The SID of the account this process runs as: the one running the setup, already trusted with it.
std::string ThisAccount() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const KernelHandle held(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

using SetFileInformationFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

SetFileInformationFunction SetFileInformation() {
  return BoundFunction<SetFileInformationFunction>("kernel32.dll", "SetFileInformationByHandle");
}

// Windows before Vista cannot rename or delete a file through its handle: there the name is used.
bool ByNameInstead(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_FUNCTION;
}

// A path from a call that tells the room it needs when given too little, asked again with that
// room; "" when it failed.
template <typename Call>
std::wstring Grown(Call call) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = call(path.data(), static_cast<DWORD>(path.size()));
  if (length >= path.size()) {
    path.resize(length + 1);
    length = call(path.data(), static_cast<DWORD>(path.size()));
  }
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  return path;
}

// "\\?\C:\Logs" and "\\?\UNC\server\share" as the plain paths people write.
std::string Plain(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) {
    path = L"\\" + path.substr(7);
  } else if (path.starts_with(L"\\\\?\\")) {
    path = path.substr(4);
  }
  return FromWide(path, CP_UTF8);
}

}  // namespace

Status Win32System::TrustOnlyAdministratorsRedirections() {
  // PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and the enforcing flag of its
  // PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY, which older headers lack.
  constexpr int kProcessRedirectionTrustPolicy = 16;
  constexpr DWORD kEnforceRedirectionTrust = 1;
  using SetPolicyFunction = BOOL(WINAPI*)(int, PVOID, SIZE_T);
  const auto setPolicy =
      BoundFunction<SetPolicyFunction>("kernel32.dll", "SetProcessMitigationPolicy");
  if (setPolicy == nullptr) return kErrorCallNotImplemented;
  DWORD flags = kEnforceRedirectionTrust;
  return setPolicy(kProcessRedirectionTrustPolicy, &flags, sizeof flags) ? kErrorSuccess
                                                                         : LastError();
}

std::string Win32System::FullPathName(const std::string& path) {
  const std::wstring wide = ToWide(path, CP_UTF8);
  return FromWide(Grown([&](LPWSTR room, DWORD size) {
                    return ::GetFullPathNameW(wide.c_str(), size, room, nullptr);
                  }),
                  CP_UTF8);
}

std::uint32_t Win32System::PathAttributes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const std::wstring wide = ToWide(path, CP_UTF8);
  if (!PastTheRedirector(
          [&] { return ::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data); })) {
    return kInvalidFileAttributes;
  }
  return data.dwFileAttributes;
}

Status Win32System::OpenFolder(const std::string& path, FileHandle* folder) {
  const std::wstring wide = ToWide(path, CP_UTF8);
  const auto open = [&](DWORD access) {
    return PastTheRedirector([&] {
      return ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    });
  };
  // Listing it is what makes the share mode count: not shared for deletion, while it is held
  // nobody renames, deletes or replaces it.
  HANDLE opened = open(FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | READ_CONTROL);
  // Anyone who may list a folder may hold it shared with nobody. An open for attributes and
  // security alone is not subject to share modes, and is all the log needs of its folder.
  if (opened == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) {
    opened = open(FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE);
  }
  if (opened == INVALID_HANDLE_VALUE) return LastError();
  *folder = reinterpret_cast<FileHandle>(opened);
  return kErrorSuccess;
}

Status Win32System::CheckFolder(FileHandle folder) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(ToHandle(folder), &information)) return LastError();
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return kErrorStoppedOnSymlink;
  }
  return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? kErrorSuccess
             : static_cast<Status>(ERROR_DIRECTORY);
}

std::string Win32System::FinalPath(FileHandle file) {
  using GetFinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  const auto getFinalPath =
      BoundFunction<GetFinalPathFunction>("kernel32.dll", "GetFinalPathNameByHandleW");
  if (getFinalPath == nullptr) return {};
  return Plain(Grown([&](LPWSTR room, DWORD size) {
    return getFinalPath(ToHandle(file), room, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }));
}

std::string Win32System::LongPathName(const std::string& path) {
  const std::wstring wide = ToWide(path, CP_UTF8);
  // Windows 2000 and later: bound by name.
  using GetLongPathNameFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
  const auto getLongPath =
      BoundFunction<GetLongPathNameFunction>("kernel32.dll", "GetLongPathNameW");
  const std::wstring longPath =
      getLongPath == nullptr ? std::wstring() : Grown([&](LPWSTR room, DWORD size) {
        return PastTheRedirector([&] { return getLongPath(wide.c_str(), room, size); });
      });
  return Plain(longPath.empty() ? wide : longPath);
}

bool Win32System::SameObject(FileHandle first, FileHandle second) {
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return ::GetFileInformationByHandle(ToHandle(first), &a) &&
         ::GetFileInformationByHandle(ToHandle(second), &b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

Status Win32System::OthersWithAccess(FileHandle file, std::vector<std::string>* writers,
                                     std::vector<std::string>* readers) {
  writers->clear();
  readers->clear();
  PACL dacl = nullptr;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read = ::GetSecurityInfo(ToHandle(file), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &dacl, nullptr, &descriptor);
  if (read != ERROR_SUCCESS) return static_cast<Status>(read);
  const LocalMemory held(descriptor);
  constexpr DWORD kWriting = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_DATA |
                             FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                             WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  // SYSTEM, the Administrators, TrustedInstaller, and CREATOR OWNER (the creator of each file).
  const char* trusted[] = {"S-1-5-18", "S-1-5-32-544",
                           "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                           "S-1-3-0"};
  const std::string self = ThisAccount();
  const auto add = [&](PSID sid, std::vector<std::string>* accounts) {
    const std::string text = SidText(sid);
    if (text.empty() || text == self ||
        std::find(std::begin(trusted), std::end(trusted), text) != std::end(trusted)) {
      return;
    }
    std::string account = AccountName(sid);
    if (account.empty()) account = text;
    if (std::find(accounts->begin(), accounts->end(), account) == accounts->end()) {
      accounts->push_back(account);
    }
  };
  // Whoever owns it may change its security, and so write: a folder a standard user made is
  // that user's.
  if (owner != nullptr) add(owner, writers);
  if (dacl == nullptr) writers->push_back("Everyone");  // no DACL: everyone may do anything
  // Inherit-only entries count: they are what each file copied in gets.
  for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
    void* ace = nullptr;
    if (!::GetAce(dacl, index, &ace) ||
        static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      continue;
    }
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    add(const_cast<DWORD*>(&allowed->SidStart),
        (allowed->Mask & kWriting) != 0 ? writers : readers);
  }
  std::erase_if(*readers, [&](const std::string& reader) {
    return std::find(writers->begin(), writers->end(), reader) != writers->end();
  });
  return kErrorSuccess;
}

std::string Win32System::UnpredictableName() {
  GUID guid{};
  wchar_t text[40] = L"";
  if (FAILED(::CoCreateGuid(&guid)) || ::StringFromGUID2(guid, text, 40) == 0) {
    throw std::runtime_error("no unpredictable name could be made");
  }
  return FromWide(text, CP_UTF8);
}

Status Win32System::CreateNewFile(const std::string& path, FileHandle* file) {
  // CREATE_NEW fails on anything at the name, a link included, and never opens what another
  // user put there.
  // Shared for deletion too: the fallbacks by name (MoveFileExW, DeleteFileW) open it again.
  const std::wstring wide = ToWide(path, CP_UTF8);
  const HANDLE created = PastTheRedirector([&] {
    return ::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  });
  if (created == INVALID_HANDLE_VALUE) return LastError();
  *file = reinterpret_cast<FileHandle>(created);
  return kErrorSuccess;
}

Status Win32System::AppendToFile(FileHandle file, const std::string& contents) {
  DWORD written = 0;
  if (!::WriteFile(ToHandle(file), contents.data(), static_cast<DWORD>(contents.size()), &written,
                   nullptr) ||
      !::FlushFileBuffers(ToHandle(file))) {
    return LastError();
  }
  return written == contents.size() ? kErrorSuccess : static_cast<Status>(ERROR_HANDLE_DISK_FULL);
}

Status Win32System::CheckOrdinaryFile(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(ToHandle(file), &information)) return LastError();
  const bool ordinary = (information.dwFileAttributes &
                         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                        information.nNumberOfLinks == 1;
  return ordinary ? kErrorSuccess : kErrorStoppedOnSymlink;
}

Status Win32System::RenameOpenFile(FileHandle file, FileHandle folder,
                                   const std::string& currentPath, const std::string& target) {
  const std::wstring wideTarget = ToWide(target, CP_UTF8);
  if (const auto setInformation = SetFileInformation()) {
    auto info = RenameInfo(ToHandle(folder), wideTarget.substr(wideTarget.rfind(L'\\') + 1));
    if (PastTheRedirector([&] {
          return setInformation(ToHandle(file), FileRenameInfo, info.data(),
                                static_cast<DWORD>(info.size()));
        })) {
      return kErrorSuccess;
    }
    if (!ByNameInstead(::GetLastError())) return LastError();
  }
  const std::wstring wideCurrent = ToWide(currentPath, CP_UTF8);
  if (!PastTheRedirector([&] {
        return ::MoveFileExW(wideCurrent.c_str(), wideTarget.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      })) {
    return LastError();
  }
  return kErrorSuccess;
}

Status Win32System::DeleteOpenFile(FileHandle file, const std::string& currentPath) {
  if (const auto setInformation = SetFileInformation()) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (setInformation(ToHandle(file), FileDispositionInfo, &disposition, sizeof disposition)) {
      return kErrorSuccess;
    }
    if (!ByNameInstead(::GetLastError())) return LastError();
  }
  const std::wstring wide = ToWide(currentPath, CP_UTF8);
  return PastTheRedirector([&] { return ::DeleteFileW(wide.c_str()); }) ? kErrorSuccess
                                                                        : LastError();
}

void Win32System::CloseFile(FileHandle file) { ::CloseHandle(ToHandle(file)); }

namespace {

void DispatchWaitingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// SYSTEM and the Administrators alone: for a folder and what it holds, or for a file.
constexpr const wchar_t* kAdministratorsFolder = L"D:P(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)";
constexpr const wchar_t* kAdministratorsFile = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// Security given by SDDL, for the life of one call.
class Security {
 public:
  explicit Security(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                               nullptr)) {
      held_.reset(descriptor);
      attributes_.lpSecurityDescriptor = descriptor;
    }
  }
  [[nodiscard]] bool Described() const { return held_ != nullptr; }
  SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

 private:
  LocalMemory held_;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

}  // namespace

// CheckTokenMembership (Windows 2000 and later, bound by name) counts a group that User Account
// Control filtered out as absent: an administrator's unelevated process is no administrator.
bool Win32System::IsElevated() {
  using CheckMembershipFunction = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
  const auto isMember =
      BoundFunction<CheckMembershipFunction>("advapi32.dll", "CheckTokenMembership");
  if (isMember == nullptr) return true;
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  const auto member = [&](BYTE count, DWORD first, DWORD second) {
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&authority, count, first, second, 0, 0, 0, 0, 0, 0, &sid)) {
      return false;
    }
    BOOL found = FALSE;
    const bool checked = isMember(nullptr, sid, &found) != FALSE;
    ::FreeSid(sid);
    return checked && found != FALSE;
  };
  return member(1, SECURITY_LOCAL_SYSTEM_RID, 0) ||
         member(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
}

// SYSTEM and the Administrators may do anything, in the folder and what it holds, and nobody else
// anything at all. Protected: no permission of the folder above applies. Whoever may read a file
// may hold it open sharing nothing, so that nobody can run or replace it; and whoever may list a
// folder may open each file in it for its attributes, whatever the file's own security says.
// Owned by the Administrators, whichever of them made it: to a run as SYSTEM, an administrator's
// own account would be an owner it cannot tell from a pupil's.
Status Win32System::CreateAdministratorsFolder(const std::string& path) {
  Security security((L"O:BA" + std::wstring(kAdministratorsFolder)).c_str());
  if (!security.Described()) return LastError();
  const std::wstring wide = ToWide(path, CP_UTF8);
  if (::CreateDirectoryW(wide.c_str(), security.Attributes())) return kErrorSuccess;
  const DWORD error = ::GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return static_cast<Status>(error);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return LastError();
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? kErrorSuccess
             : static_cast<Status>(ERROR_DIRECTORY);
}

Status Win32System::ProtectForAdministrators(const std::string& path, bool folder) {
  Security security(folder ? kAdministratorsFolder : kAdministratorsFile);
  if (!security.Described()) return LastError();
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(security.Attributes()->lpSecurityDescriptor, &present, &dacl,
                              &defaulted);
  std::wstring wide = ToWide(path, CP_UTF8);
  return static_cast<Status>(::SetNamedSecurityInfoW(
      wide.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, dacl, nullptr));
}

// Shared with nobody: while a run holds it, every other open fails with a sharing violation, and
// nobody but SYSTEM and the Administrators may open it at all. Deleted on close: a run that is
// killed lets it go with its handles.
Status Win32System::HoldLockFile(const std::string& path, FileHandle* handle, bool* leftBehind) {
  Security security(kAdministratorsFile);
  if (!security.Described()) return LastError();
  const std::wstring wide = ToWide(path, CP_UTF8);
  const HANDLE file = ::CreateFileW(
      wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, security.Attributes(), OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  *leftBehind = ::GetLastError() == ERROR_ALREADY_EXISTS;
  *handle = reinterpret_cast<FileHandle>(file);
  return kErrorSuccess;
}

void Win32System::Pause(std::uint32_t milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= milliseconds) return;
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited, QS_ALLINPUT) ==
        WAIT_OBJECT_0) {
      DispatchWaitingMessages();
    }
  }
}

}  // namespace win
