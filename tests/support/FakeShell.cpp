#include "tests/support/FakeShell.h"

#include <algorithm>
#include <stdexcept>

namespace win {

std::int32_t FakeShell::fCreateShellLink(const char* folderName, const char* linkName,
                                           const char* linkPath, const char* linkArguments,
                                           std::int32_t privateFlag, const char* parentFolder) {
  auto& call = log_.Record("fCreateShellLink");
  if (!toolkitPresent_) throw std::runtime_error("Vb6stkit.dll could not be loaded");
  call.texts = {TextOrEmpty(folderName), TextOrEmpty(linkName), TextOrEmpty(linkPath),
                TextOrEmpty(linkArguments), TextOrEmpty(parentFolder)};
  call.number = privateFlag;
  return 1;
}

std::int32_t FakeShell::fRemoveShellLink(const char* folderName, const char* linkName) {
  auto& call = log_.Record("fRemoveShellLink");
  if (!toolkitPresent_) throw std::runtime_error("Vb6stkit.dll could not be loaded");
  call.texts = {TextOrEmpty(folderName), TextOrEmpty(linkName)};
  return 1;
}

// WScript.Shell and Scripting.FileSystemObject, as far as the program uses them.
class FakeShell::FakeAutomationObject : public AutomationObject {
 public:
  FakeAutomationObject(FakeShell& shell, std::string programId)
      : shell_(shell), programId_(std::move(programId)) {}

  AutomationValue Invoke(const std::string& member,
                         const std::vector<AutomationValue>& arguments) override {
    auto& call = shell_.log_.Record("Invoke");
    call.keyPath = programId_;
    call.valueName = member;
    for (const auto& argument : arguments) {
      if (const auto* text = std::get_if<std::string>(&argument)) call.texts.push_back(*text);
    }
    const std::string path = call.texts.empty() ? std::string() : call.texts.front();
    auto& folders = shell_.folders_;
    const auto found = std::find(folders.begin(), folders.end(), path);
    if (programId_ == "WScript.Shell" && member == "SpecialFolders" && path == "Desktop") {
      return shell_.desktopPath_;
    }
    if (programId_ == "Scripting.FileSystemObject" && member == "CreateFolder") {
      if (found != folders.end()) throw std::runtime_error("File already exists");
      folders.push_back(path);
      return {};
    }
    if (programId_ == "Scripting.FileSystemObject" && member == "DeleteFolder") {
      if (found == folders.end()) throw std::runtime_error("Path not found");
      folders.erase(found);
      return {};
    }
    throw std::runtime_error("Object doesn't support this property or method");
  }

 private:
  FakeShell& shell_;
  std::string programId_;
};

std::unique_ptr<AutomationObject> FakeShell::CreateObject(const std::string& programId) {
  log_.Record("CreateObject").keyPath = programId;
  if (programId != "WScript.Shell" && programId != "Scripting.FileSystemObject") {
    throw std::runtime_error("ActiveX component can't create object");
  }
  return std::make_unique<FakeAutomationObject>(*this, programId);
}

}  // namespace win
