#include "setup/LogFile.h"

namespace quillet {
namespace {

constexpr int kNameAttempts = 3;  // another name when one is taken, against a lucky guess

bool IsFolder(std::uint32_t attributes) {
  return attributes != win::kInvalidFileAttributes &&
         (attributes & win::kFileAttributeDirectory) != 0;
}

bool IsLink(std::uint32_t attributes) {
  return attributes != win::kInvalidFileAttributes &&
         (attributes & win::kFileAttributeReparsePoint) != 0;
}

}  // namespace

std::string LogFile::TargetFor(win::SystemApi& system, const std::string& requested) {
  std::string full = system.FullPathName(requested);
  if (full.empty()) return full;
  if (full.back() != '\\' && IsFolder(system.PathAttributes(full))) full += '\\';
  if (full.back() == '\\') full += kLogFileName;
  return full;
}

win::Status LogFile::Create(const std::string& target) {
  const auto slash = target.rfind('\\');
  if (target.empty() || slash == std::string::npos) return win::kErrorInvalidParameter;
  if (IsLink(system_.PathAttributes(target.substr(0, slash)))) return win::kErrorStoppedOnSymlink;
  target_ = target;
  win::Status status = win::kErrorFileExists;
  for (int attempt = 0; attempt < kNameAttempts && status == win::kErrorFileExists; ++attempt) {
    const std::string temporary = target + "." + system_.UnpredictableName() + ".writing";
    status = system_.CreateNewFile(temporary, file_.Receive());
    if (status == win::kErrorSuccess) current_ = temporary;
  }
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
  const win::Status status = system_.RenameOpenFile(file_.Get(), current_, target_);
  if (status == win::kErrorSuccess) current_ = target_;
  file_.Close();
  return status;
}

win::Status LogFile::Discard() {
  if (!IsOpen()) return win::kErrorInvalidHandle;
  const win::Status status = system_.DeleteOpenFile(file_.Get(), current_);
  file_.Close();
  return status;
}

}  // namespace quillet
