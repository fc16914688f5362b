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

// Where Windows cannot tell a final path, every folder on the way is looked at instead.
win::Status LogFile::CheckWithoutFinalPaths(const std::string& folder) {
  for (std::string each = folder; each.size() > 3;) {
    const std::uint32_t attributes = system_.PathAttributes(each);
    if (attributes == win::kInvalidFileAttributes) return win::kErrorAccessDenied;
    if ((attributes & win::kFileAttributeReparsePoint) != 0) return win::kErrorStoppedOnSymlink;
    const auto slash = each.rfind('\\');
    if (slash == std::string::npos) break;
    each = each.substr(0, slash);
  }
  return win::kErrorSuccess;
}

win::Status LogFile::HoldFolder(const std::string& folder) {
  win::Status status = system_.OpenFolder(folder, folder_.Receive());
  if (status == win::kErrorSuccess) status = system_.CheckFolder(folder_.Get());
  if (status != win::kErrorSuccess) return status;
  finalFolder_ = system_.FinalPath(folder_.Get());
  if (finalFolder_.empty()) return CheckWithoutFinalPaths(folder);
  // A link or junction anywhere on the way leads somewhere else than the path asked for.
  return win::SameIgnoringCase(finalFolder_, WithoutTrailingSlash(folder)) ? win::kErrorSuccess
                                                              : win::kErrorStoppedOnSymlink;
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
    const std::string name = target.substr(slash + 1) + "." + system_.UnpredictableName() + ".writing";
    const std::string temporary = target.substr(0, slash + 1) + name;
    status = system_.CreateNewFile(temporary, file_.Receive());
    if (status != win::kErrorSuccess) continue;
    current_ = temporary;
    // Made in the folder held, and nowhere else.
    const std::string made = system_.FinalPath(file_.Get());
    const std::string expected =
        finalFolder_ + (finalFolder_.ends_with('\\') ? "" : "\\") + name;
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
  return system_.OtherWriters(folder_.Get(), writers);
}

}  // namespace quillet
