#include "setup/LogFile.h"

#include "platform/OpenFile.h"

namespace quillet {
namespace {

constexpr int kNameAttempts = 3;  // another name when one is taken, against a lucky guess

bool IsLink(std::uint32_t attributes) {
  return attributes != win::kInvalidFileAttributes &&
         (attributes & win::kFileAttributeReparsePoint) != 0;
}

// Writes, checks and moves the new file into place; on any failure the caller deletes it.
win::Status Fill(win::SystemApi& system, const win::OpenFile& file, const std::string& temporary,
                 const std::string& target, const std::string& contents) {
  win::Status status = system.CheckOrdinaryFile(file.Get());
  if (status == win::kErrorSuccess) status = system.WriteWholeFile(file.Get(), contents);
  if (status == win::kErrorSuccess) status = system.RenameOpenFile(file.Get(), temporary, target);
  return status;
}

}  // namespace

win::Status ReplaceFileContents(win::SystemApi& system, const std::string& path,
                                const std::string& contents) {
  const std::string target = system.FullPathName(path);
  const auto slash = target.rfind('\\');
  if (target.empty() || slash == std::string::npos) return win::kErrorInvalidParameter;
  if (IsLink(system.PathAttributes(target.substr(0, slash)))) return win::kErrorStoppedOnSymlink;

  win::Status status = win::kErrorFileExists;
  for (int attempt = 0; attempt < kNameAttempts && status == win::kErrorFileExists; ++attempt) {
    const std::string temporary = target + "." + system.UnpredictableName() + ".writing";
    win::OpenFile file(system);
    status = system.CreateNewFile(temporary, file.Receive());
    if (status != win::kErrorSuccess) continue;
    status = Fill(system, file, temporary, target, contents);
    if (status != win::kErrorSuccess) system.DeleteOpenFile(file.Get(), temporary);
    return status;
  }
  return status;
}

}  // namespace quillet
