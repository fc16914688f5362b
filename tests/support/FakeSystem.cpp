#include "tests/support/FakeSystem.h"

#include <algorithm>
#include <utility>

namespace win {

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

std::string FakeSystem::SystemWow64Directory() {
  log_.Record("GetSystemWow64DirectoryA");
  if (processKind_ == ProcessKind::Windows32) return {};
  return wow64Directory_;
}

bool FakeSystem::WriteStandardOutput(const std::string& text) {
  return Write(standardOutput_, "WriteStandardOutput", text);
}

bool FakeSystem::WriteStandardError(const std::string& text) {
  return Write(standardError_, "WriteStandardError", text);
}

bool FakeSystem::Write(std::optional<std::string>& stream, const char* function,
                       const std::string& text) {
  log_.Record(function).valueName = text;
  if (!stream) return false;
  *stream += text;
  return true;
}

std::uint32_t FakeSystem::GetFileAttributesA(const char* path, bool nativeFileSystem) {
  auto& call = log_.Record("GetFileAttributesA");
  call.keyPath = TextOrEmpty(path);
  call.type = nativeFileSystem ? 1 : 0;
  const std::string asked = TextOrEmpty(path);
  const bool found = std::any_of(diskFiles_.begin(), diskFiles_.end(), [&](const std::string& file) {
    return SameName(file, asked);
  });
  if (found) return 0x20u;  // FILE_ATTRIBUTE_ARCHIVE
  // The folders a file on the disk lies in exist too.
  const bool holdsOne = std::any_of(diskFiles_.begin(), diskFiles_.end(), [&](const std::string& file) {
    return file.size() > asked.size() && SameName(file.substr(0, asked.size()), asked) &&
           file[asked.size()] == '\\';
  });
  if (!holdsOne && !IsFolder(asked)) return kInvalidFileAttributes;
  return kFileAttributeDirectory | (IsLink(asked) ? kFileAttributeReparsePoint : 0);
}

std::string FakeSystem::SystemDirectory() {
  log_.Record("GetSystemDirectoryA");
  return systemDirectory_;
}

LocalDate FakeSystem::GetLocalDate() {
  log_.Record("GetLocalDate");
  return date_;
}

std::string FakeSystem::WindowsDirectory() {
  log_.Record("GetWindowsDirectoryA");
  return windowsDirectory_;
}

std::string FakeSystem::GetCommandLineW() {
  log_.Record("GetCommandLineW");
  return commandLine_;
}

// Recorded as a call: `caption` the source, `type` the kind, `number` the ID, `valueName` the text.
Status FakeSystem::WriteEvent(const std::string& source, EventKind kind, std::uint32_t id,
                               const std::string& text) {
  auto& call = log_.Record("WriteEvent");
  call.caption = source;
  call.type = static_cast<std::uint32_t>(kind);
  call.number = id;
  call.valueName = text;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  return kErrorSuccess;
}

std::string FakeSystem::ErrorText(Status code) {
  switch (code) {
    case kErrorFileNotFound: return "The system cannot find the file specified.";
    case kErrorPathNotFound: return "The system cannot find the path specified.";
    case kErrorAccessDenied: return "Access is denied.";
    case kErrorInvalidHandle: return "The handle is invalid.";
    case kSchedServiceNotRunning: return "0x80041315 (the Task Scheduler service is not running)";
    default: return "Error " + std::to_string(code) + ".";
  }
}

Status FakeSystem::TrustOnlyAdministratorsRedirections() {
  auto& call = log_.Record("TrustOnlyAdministratorsRedirections");
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  return kErrorSuccess;
}

std::string FakeSystem::FullPathName(const std::string& path) {
  // The working directory is C:\Setup; "/" is "\", and "." and ".." are resolved, as Windows does.
  std::string full = path.size() > 1 && path[1] == ':' ? path : "C:\\Setup\\" + path;
  std::replace(full.begin(), full.end(), '/', '\\');
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t at = 3; at <= full.size(); ++at) {
    if (at < full.size() && full[at] != '\\') {
      part += full[at];
      continue;
    }
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (part != "." && !(part.empty() && at < full.size())) {
      parts.push_back(part);
    }
    part.clear();
  }
  std::string resolved = full.substr(0, 3);
  for (std::size_t i = 0; i < parts.size(); ++i) resolved += (i == 0 ? "" : "\\") + parts[i];
  return resolved;
}

namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  if (path.size() == 2 && path[1] == ':') path += '\\';
  return path;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : WithoutTrailingSlash(path.substr(0, slash + 1));
}

// A prefix of `path` that is a whole folder name: "C:\A" of "C:\A\B", not of "C:\AB".
bool StartsWithFolder(const std::string& path, const std::string& prefix) {
  return path.size() >= prefix.size() && SameName(path.substr(0, prefix.size()), prefix) &&
         (path.size() == prefix.size() || path[prefix.size()] == '\\' || prefix.ends_with('\\'));
}

std::string Replaced(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& names) {
  for (const auto& [from, to] : names) {
    if (StartsWithFolder(path, from)) return to + path.substr(from.size());
  }
  return path;
}

}  // namespace

std::string FakeSystem::Long(const std::string& path) const { return Replaced(path, shortNames_); }

std::string FakeSystem::Canonical(const std::string& path) const {
  std::string canonical = WithoutTrailingSlash(Long(path));
  // Each folder on the way as it was made, letter case included.
  for (const auto& folder : folders_) {
    const std::string made = WithoutTrailingSlash(folder);
    if (StartsWithFolder(canonical, made)) canonical = made + canonical.substr(made.size());
  }
  return canonical;
}

std::string FakeSystem::Final(const std::string& path) const {
  return Replaced(Canonical(Resolved(Canonical(path))), drives_);
}

std::string FakeSystem::LongPathName(const std::string& path) {
  log_.Record("LongPathName").keyPath = path;
  return IsFolder(path) || files_.contains(path) ? Long(path) : path;
}

bool FakeSystem::SameObject(FileHandle first, FileHandle second) {
  const auto pathOf = [&](FileHandle handle) {
    const auto folder = openFolders_.find(handle);
    return folder != openFolders_.end() ? folder->second : openFiles_.at(handle);
  };
  return SameName(Final(pathOf(first)), Final(pathOf(second)));
}

bool FakeSystem::IsFolder(const std::string& path) const {
  const std::string folder = WithoutTrailingSlash(Long(path));
  return std::any_of(folders_.begin(), folders_.end(),
                     [&](const std::string& each) { return SameName(WithoutTrailingSlash(each), folder); });
}

bool FakeSystem::IsLink(const std::string& folder) const {
  return std::any_of(linkFolders_.begin(), linkFolders_.end(), [&](const std::string& link) {
    return SameName(WithoutTrailingSlash(link), WithoutTrailingSlash(folder));
  });
}

std::string FakeSystem::Resolved(const std::string& path) const {
  for (const auto& link : linkFolders_) {
    const std::string prefix = WithoutTrailingSlash(link);
    if (path.size() >= prefix.size() && SameName(path.substr(0, prefix.size()), prefix) &&
        (path.size() == prefix.size() || path[prefix.size()] == '\\')) {
      return "D:\\Elsewhere" + path.substr(prefix.size());
    }
  }
  return path;
}

Status FakeSystem::ReplaceFolderWithLink(const std::string& folder) {
  for (const auto& [handle, held] : openFolders_) {
    if (!notHeld_.contains(handle) && SameName(WithoutTrailingSlash(held), WithoutTrailingSlash(folder))) {
      return kErrorSharingViolation;
    }
  }
  MakeFolderALink(folder);
  return kErrorSuccess;
}

Status FakeSystem::OpenFolder(const std::string& path, FileHandle* folder) {
  auto& call = log_.Record("OpenFolder");
  call.keyPath = path;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  const bool file = files_.contains(Canonical(path)) ||
                    std::any_of(diskFiles_.begin(), diskFiles_.end(),
                                [&](const std::string& each) { return SameName(each, path); });
  if (!IsFolder(path) && !file) return kErrorPathNotFound;
  *folder = nextFile_++;
  openFolders_[*folder] = path;
  if (std::any_of(sharingNothing_.begin(), sharingNothing_.end(),
                  [&](const std::string& held) { return SameName(Canonical(held), Canonical(path)); })) {
    notHeld_.insert(*folder);
  }
  return kErrorSuccess;
}

Status FakeSystem::CheckFolder(FileHandle folder) {
  auto& call = log_.Record("CheckFolder");
  call.keyPath = openFolders_.at(folder);
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  return IsLink(call.keyPath) ? kErrorStoppedOnSymlink : kErrorSuccess;
}

std::string FakeSystem::FinalPath(FileHandle file) {
  auto& call = log_.Record("FinalPath");
  const auto folder = openFolders_.find(file);
  call.keyPath = folder != openFolders_.end() ? folder->second : openFiles_.at(file);
  if (log_.InjectedFault(call)) return {};  // Windows before Vista cannot tell
  return Final(call.keyPath);
}

Status FakeSystem::OthersWithAccess(FileHandle file, std::vector<std::string>* writers,
                                    std::vector<std::string>* readers) {
  const std::string& path = openFolders_.at(file);
  for (const auto& hidden : hiddenSecurity_) {
    if (SameName(WithoutTrailingSlash(hidden), WithoutTrailingSlash(path))) return kErrorAccessDenied;
  }
  auto found = othersAccess_.find(path);
  if (found == othersAccess_.end() && !IsFolder(path)) found = othersAccess_.find(FolderOf(path));
  writers->clear();
  readers->clear();
  if (found != othersAccess_.end()) std::tie(*writers, *readers) = found->second;
  return kErrorSuccess;
}

Status FakeSystem::ProtectForAdministrators(const std::string& path, bool /*folder*/) {
  auto& call = log_.Record("ProtectForAdministrators");
  call.keyPath = path;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  othersAccess_[path] = {};
  return kErrorSuccess;
}

std::uint32_t FakeSystem::PathAttributes(const std::string& path) {
  auto& call = log_.Record("PathAttributes");
  call.keyPath = path;
  if (files_.contains(path)) return 0x80;  // FILE_ATTRIBUTE_NORMAL
  if (!IsFolder(path)) return kInvalidFileAttributes;
  const bool link = std::any_of(linkFolders_.begin(), linkFolders_.end(), [&](const std::string& folder) {
    return SameName(WithoutTrailingSlash(folder), WithoutTrailingSlash(path));
  });
  return kFileAttributeDirectory | (link ? kFileAttributeReparsePoint : 0);
}

std::string FakeSystem::UnpredictableName() {
  return "{00000000-0000-0000-0000-" + std::to_string(100000000000 + ++namesGiven_) + "}";
}

Status FakeSystem::CreateNewFile(const std::string& path, FileHandle* file) {
  auto& call = log_.Record("CreateNewFile");
  call.keyPath = path;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  const bool unwritable = std::any_of(unwritable_.begin(), unwritable_.end(),
                                      [&](const std::string& p) { return path.starts_with(p); });
  if (unwritable) return kErrorAccessDenied;
  if (!IsFolder(FolderOf(path))) return kErrorPathNotFound;
  // One file by any spelling of its path: kept under the one its folders were made with.
  const std::string made = Canonical(path);
  if (files_.contains(made) || IsFolder(path)) return kErrorFileExists;
  files_[made] = "";
  *file = nextFile_++;
  openFiles_[*file] = made;
  return kErrorSuccess;
}

Status FakeSystem::AppendToFile(FileHandle file, const std::string& contents) {
  auto& call = log_.Record("AppendToFile");
  call.keyPath = openFiles_.at(file);
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  files_[call.keyPath] += contents;
  return kErrorSuccess;
}

Status FakeSystem::CheckOrdinaryFile(FileHandle file) {
  auto& call = log_.Record("CheckOrdinaryFile");
  const auto folder = openFolders_.find(file);
  call.keyPath = folder != openFolders_.end() ? folder->second : openFiles_.at(file);
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  return IsLink(call.keyPath) ? kErrorStoppedOnSymlink : kErrorSuccess;
}

Status FakeSystem::RenameOpenFile(FileHandle file, FileHandle folder,
                                  const std::string& /*currentPath*/, const std::string& requested) {
  auto& call = log_.Record("RenameOpenFile");
  call.keyPath = requested;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  // By its name in the folder held, wherever the path would lead by now.
  std::string target = Canonical(openFolders_.at(folder));
  if (target.ends_with('\\')) target.pop_back();
  target += requested.substr(requested.rfind('\\'));
  if (const auto held = held_.find(target); held != held_.end() && !held->second) {
    return kErrorAccessDenied;
  }
  if (std::any_of(sharingNothing_.begin(), sharingNothing_.end(), [&](const std::string& held) {
        return SameName(Canonical(held), Canonical(openFolders_.at(folder)));
      })) {
    return kErrorSharingViolation;
  }
  if (!IsFolder(FolderOf(target))) return kErrorPathNotFound;
  const std::string current = openFiles_.at(file);
  files_[target] = files_.at(current);
  files_.erase(current);
  openFiles_.at(file) = target;
  return kErrorSuccess;
}

Status FakeSystem::DeleteOpenFile(FileHandle file, const std::string& currentPath) {
  auto& call = log_.Record("DeleteOpenFile");
  call.keyPath = currentPath;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  files_.erase(openFiles_.at(file));
  return kErrorSuccess;
}

void FakeSystem::CloseFile(FileHandle file) {
  log_.Record("CloseFile");
  openFiles_.erase(file);
  openFolders_.erase(file);
  notHeld_.erase(file);
  heldLocks_.erase(file);  // and deleted: it was opened to be deleted on close
}

Status FakeSystem::CreateAdministratorsFolder(const std::string& path) {
  auto& call = log_.Record("CreateAdministratorsFolder");
  call.keyPath = path;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (IsFolder(path)) return kErrorSuccess;
  if (standardUser_) return kErrorAccessDenied;
  if (!IsFolder(FolderOf(path))) return kErrorPathNotFound;
  AddFolder(path);
  return kErrorSuccess;
}

Status FakeSystem::HoldLockFile(const std::string& path, FileHandle* handle, bool* leftBehind) {
  auto& call = log_.Record("HoldLockFile");
  call.keyPath = path;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (standardUser_) return kErrorAccessDenied;  // only SYSTEM and the Administrators may open it
  if (!IsFolder(FolderOf(path))) return kErrorPathNotFound;
  if (lockHeldFor_ != 0) {
    if (lockHeldFor_ > 0) --lockHeldFor_;
    return lockHeldStatus_;
  }
  for (const auto& [held, name] : heldLocks_) {
    if (SameName(name, path)) return kErrorSharingViolation;
  }
  // A file at its name, held by nobody, becomes the lock, and goes with it.
  *leftBehind = std::exchange(lockLeft_, false) || files_.erase(Canonical(path)) > 0;
  *handle = nextFile_++;
  heldLocks_[*handle] = path;
  return kErrorSuccess;
}

void FakeSystem::Pause(std::uint32_t milliseconds) { log_.Record("Pause").number = milliseconds; }

Status FakeSystem::TaskCall(const char* function, const std::string& name) {
  log_.Record(function).keyPath = name;
  return schedulerStartsIn_ != 0 ? kSchedServiceNotRunning : taskFailure_;
}

Status FakeSystem::ConnectTaskScheduler() {
  const Status status = TaskCall("ConnectTaskScheduler", "");
  if (schedulerStartsIn_ > 0) --schedulerStartsIn_;
  return status;
}

namespace {

// The text of the definition's first element of the name, as the Task Scheduler gives it back.
std::string Element(const std::string& definition, const std::string& name) {
  const auto from = definition.find("<" + name + ">");
  if (from == std::string::npos) return {};
  const auto start = from + name.size() + 2;
  return definition.substr(start, definition.find("</" + name + ">") - start);
}

}  // namespace

Status FakeSystem::RegisterTask(const std::string& name, const std::string& definition,
                                const std::string& /*sddl*/) {
  if (const Status failed = TaskCall("RegisterTask", name)) return failed;
  if (tasks_.contains(name)) return kErrorAlreadyExists;  // TASK_CREATE
  tasks_[name] = {Element(definition, "Enabled") != "false", Element(definition, "UserId"),
                  Element(definition, "Command"), Element(definition, "Arguments")};
  return kErrorSuccess;
}

Status FakeSystem::DeleteTask(const std::string& name) {
  if (const Status failed = TaskCall("DeleteTask", name)) return failed;
  return tasks_.erase(name) != 0 ? kErrorSuccess : kErrorFileNotFound;
}

Status FakeSystem::FindTask(const std::string& name, FoundTask* task) {
  if (const Status failed = TaskCall("FindTask", name)) return failed;
  const auto found = tasks_.find(name);
  if (found == tasks_.end()) return kErrorFileNotFound;
  *task = found->second;
  return kErrorSuccess;
}

}  // namespace win
