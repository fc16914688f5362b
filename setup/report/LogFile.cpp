#include "setup/report/LogFile.h"

#include "platform/TextCase.h"

namespace quillet {
namespace {

constexpr int kNameAttempts = 3;  // another name when one is taken, against a lucky guess

bool IsFolder(std::uint32_t attributes) {
  return attributes != win::kInvalidFileAttributes &&
         (attributes & win::kFileAttributeDirectory) != 0;
}

std::string WithoutTrailingSlash(std::string path) {
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

std::string LogFile::TargetFor(win::SystemApi& system, const std::string& requested) {
  std::string full = system.FullPathName(requested);
  if (full.empty()) return full;
  if (full.back() != '\\' && IsFolder(system.PathAttributes(full))) full += '\\';
  if (full.back() == '\\') full += kLogFileName;
  return full;
}

// Every folder on the way is looked at, down to the volume's root ("C:\", "\\server\share").
win::Status LogFile::CheckWithoutFinalPaths(const std::string& folder) {
  std::size_t root = 3;
  if (folder.starts_with("\\\\")) {
    const std::size_t server = folder.find('\\', 2);
    root = server == std::string::npos ? folder.size() : folder.find('\\', server + 1);
    if (root == std::string::npos) root = folder.size();
  }
  for (std::string each = WithoutTrailingSlash(folder); each.size() > root;) {
    const std::uint32_t attributes = system_.PathAttributes(each);
    if (attributes == win::kInvalidFileAttributes) return win::kErrorAccessDenied;
    if ((attributes & win::kFileAttributeReparsePoint) != 0) return win::kErrorStoppedOnSymlink;
    const auto slash = each.rfind('\\');
    if (slash == std::string::npos) break;
    each = each.substr(0, slash);
  }
  return win::kErrorSuccess;
}

// The path as Windows names it where it really is: short names made long, without "\\?\".
std::string LogFile::Plain(const std::string& path) const {
  return WithoutTrailingSlash(system_.LongPathName(path));
}

win::Status LogFile::HoldFolder(const std::string& folder) {
  win::Status status = system_.OpenFolder(folder, folder_.Receive());
  if (status == win::kErrorSuccess) status = system_.CheckFolder(folder_.Get());
  if (status != win::kErrorSuccess) return status;
  finalFolder_ = system_.FinalPath(folder_.Get());
  if (finalFolder_.empty()) return CheckWithoutFinalPaths(folder);
  if (win::SameIgnoringCase(finalFolder_, Plain(folder))) return win::kErrorSuccess;
  // Another name of the same volume (a mapped or subst drive, a share) leads elsewhere by name
  // only: the folder asked for is the one held when no folder on the way is a link, junction or
  // mount point, and the path still opens the folder held.
  status = CheckWithoutFinalPaths(folder);
  if (status != win::kErrorSuccess) return status;
  win::OpenFile again(system_);
  if (system_.OpenFolder(folder, again.Receive()) != win::kErrorSuccess ||
      !system_.SameObject(folder_.Get(), again.Get())) {
    return win::kErrorStoppedOnSymlink;
  }
  return win::kErrorSuccess;
}

win::Status LogFile::Create(const std::string& target) {
  const auto slash = target.rfind('\\');
  if (target.empty() || slash == std::string::npos) return win::kErrorInvalidParameter;
  const std::string folder = target.substr(0, slash == 2 ? 3 : slash);
  win::Status status = HoldFolder(folder);
  if (status != win::kErrorSuccess) {
    folder_.Close();
    return status;
  }
  target_ = target;
  status = win::kErrorFileExists;
  for (int attempt = 0; attempt < kNameAttempts && status == win::kErrorFileExists; ++attempt) {
    const std::string name =
        target.substr(slash + 1) + "." + system_.UnpredictableName() + ".writing";
    const std::string temporary = target.substr(0, slash + 1) + name;
    status = system_.CreateNewFile(temporary, file_.Receive());
    if (status != win::kErrorSuccess) continue;
    current_ = temporary;
    // Made in the folder held, and nowhere else.
    const std::string made = system_.FinalPath(file_.Get());
    const std::string expected = finalFolder_ + (finalFolder_.ends_with('\\') ? "" : "\\") + name;
    if (!finalFolder_.empty() && !win::SameIgnoringCase(made, expected)) {
      Discard();
      return win::kErrorStoppedOnSymlink;
    }
  }
  if (status != win::kErrorSuccess) Close();
  return status;
}

win::Status LogFile::Append(const std::string& text) {
  if (!IsOpen()) return win::kErrorInvalidHandle;
  return system_.AppendToFile(file_.Get(), text);
}

win::Status LogFile::PutInPlace() {
  if (!IsOpen()) return win::kErrorInvalidHandle;
  // Not an ordinary file any more: it stays open, for Discard.
  const win::Status checked = system_.CheckOrdinaryFile(file_.Get());
  if (checked != win::kErrorSuccess) return checked;
  const win::Status status = system_.RenameOpenFile(file_.Get(), folder_.Get(), current_, target_);
  if (status == win::kErrorSuccess) current_ = target_;
  Close();
  return status;
}

win::Status LogFile::Discard() {
  if (!IsOpen()) return win::kErrorInvalidHandle;
  const win::Status status = system_.DeleteOpenFile(file_.Get(), current_);
  Close();
  return status;
}

win::Status LogFile::OtherWriters(std::vector<std::string>* writers) const {
  writers->clear();
  if (folder_.Get() == 0) return win::kErrorInvalidHandle;
  std::vector<std::string> readers;
  return system_.OthersWithAccess(folder_.Get(), writers, &readers);
}

}  // namespace quillet
