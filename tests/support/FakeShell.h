#pragma once
// The shell as the in-memory Windows shows it: the setup toolkit's shortcut functions, and the
// WScript.Shell and Scripting.FileSystemObject objects over a disk of folders.

#include <memory>
#include <string>
#include <vector>

#include "platform/ShellApi.h"
#include "tests/support/CallLog.h"

namespace win {

class FakeShell : public ShellApi {
 public:
  explicit FakeShell(CallLog& log) : log_(log) {}

  // Without the toolkit library its functions cannot be bound.
  void RemoveToolkit() { toolkitPresent_ = false; }
  // The desktop of the automation objects, and the folders on the fake disk.
  void SetDesktopPath(std::string path) { desktopPath_ = std::move(path); }
  [[nodiscard]] const std::vector<std::string>& Folders() const { return folders_; }

  // --- ShellApi ---
  std::int32_t fCreateShellLink(const char* folderName, const char* linkName,
                                const char* linkPath, const char* linkArguments,
                                std::int32_t privateFlag, const char* parentFolder) override;
  std::int32_t fRemoveShellLink(const char* folderName, const char* linkName) override;
  std::unique_ptr<AutomationObject> CreateObject(const std::string& programId) override;

 private:
  class FakeAutomationObject;

  CallLog& log_;
  bool toolkitPresent_ = true;
  std::string desktopPath_ = "C:\\users\\Public\\Desktop";
  std::vector<std::string> folders_;
};

}  // namespace win
