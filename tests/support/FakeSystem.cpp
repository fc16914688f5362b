#include "tests/support/FakeSystem.h"

#include <algorithm>
#include <cstring>

namespace win {

namespace {

// What the Get...DirectoryA functions answer: the length copied, the size needed (terminator
// included) when the buffer is too small, 0 when there is no such directory.
std::uint32_t CopyDirectory(const std::string& directory, char* buffer, std::uint32_t size) {
  if (directory.empty()) return 0;
  const auto length = static_cast<std::uint32_t>(directory.size());
  if (size <= length) return length + 1;
  std::memcpy(buffer, directory.c_str(), length + 1);
  return length;
}

}  // namespace

FakeSystem::FakeSystem(CallLog& log) : log_(log) { SetVersion(2, 6, 1); }

void FakeSystem::SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
  version_ = OsVersionInfo{};
  version_.platformId = platformId;
  version_.majorVersion = major;
  version_.minorVersion = minor;
}

bool FakeSystem::GetVersionExA(OsVersionInfo* info) {
  log_.Record("GetVersionExA");
  if (info == nullptr || info->size != sizeof(OsVersionInfo)) return false;
  const auto servicePack = info->servicePack;
  *info = version_;
  info->size = sizeof(OsVersionInfo);
  info->servicePack = servicePack;
  return true;
}

ProcessKind FakeSystem::GetProcessKind() {
  log_.Record("GetProcessKind");
  return processKind_;
}

std::uint32_t FakeSystem::GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) {
  log_.Record("GetSystemWow64DirectoryA");
  return CopyDirectory(wow64Directory_, buffer, size);
}

bool FakeSystem::WriteStandardOutput(const std::string& text) {
  log_.Record("WriteStandardOutput").valueName = text;
  if (!standardOutput_) return false;
  *standardOutput_ += text;
  return true;
}

std::uint32_t FakeSystem::GetFileAttributesA(const char* path, bool nativeFileSystem) {
  auto& call = log_.Record("GetFileAttributesA");
  call.keyPath = TextOrEmpty(path);
  call.type = nativeFileSystem ? 1 : 0;
  const bool found = std::any_of(diskFiles_.begin(), diskFiles_.end(), [&](const std::string& file) {
    return SameName(file, TextOrEmpty(path));
  });
  return found ? 0x20u /* FILE_ATTRIBUTE_ARCHIVE */ : kInvalidFileAttributes;
}

std::uint32_t FakeSystem::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  log_.Record("GetSystemDirectoryA");
  return CopyDirectory(systemDirectory_, buffer, size);
}

LocalDate FakeSystem::GetLocalDate() {
  log_.Record("GetLocalDate");
  return date_;
}

std::uint32_t FakeSystem::GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  log_.Record("GetWindowsDirectoryA");
  return CopyDirectory(windowsDirectory_, buffer, size);
}

std::string FakeSystem::GetCommandLineW() {
  log_.Record("GetCommandLineW");
  return commandLine_;
}

std::string FakeSystem::ErrorText(Status code) {
  switch (code) {
    case kErrorFileNotFound: return "The system cannot find the file specified.";
    case kErrorAccessDenied: return "Access is denied.";
    case kErrorInvalidHandle: return "The handle is invalid.";
    default: return "Error " + std::to_string(code) + ".";
  }
}

Status FakeSystem::WriteFileContents(const std::string& path, const std::string& contents) {
  log_.Record("WriteFileContents").keyPath = path;
  if (std::find(unwritable_.begin(), unwritable_.end(), path) != unwritable_.end()) {
    return kErrorAccessDenied;
  }
  files_[path] = contents;
  return kErrorSuccess;
}

LockOutcome FakeSystem::WaitForNamedMutex(const std::string& name, std::uint32_t timeoutMs,
                                          MutexHandle* handle, Status* error) {
  auto& call = log_.Record("WaitForNamedMutex");
  call.keyPath = name;
  call.number = timeoutMs;
  if (const auto fault = log_.InjectedFault(call)) {
    *error = *fault;
    return LockOutcome::Failed;
  }
  if (mutexAnswer_ == LockOutcome::TimedOut) return LockOutcome::TimedOut;
  *handle = nextMutex_++;
  heldMutexes_.push_back(*handle);
  const LockOutcome answer = mutexAnswer_;
  mutexAnswer_ = LockOutcome::Taken;  // a mutex taken over is this process's from now on
  return answer;
}

void FakeSystem::ReleaseNamedMutex(MutexHandle handle) {
  log_.Record("ReleaseNamedMutex");
  std::erase(heldMutexes_, handle);
}

}  // namespace win
