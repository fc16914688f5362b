#pragma once
// The shell services the main window offers: the setup toolkit's shortcuts and automation
// objects.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Automation.h"

namespace win {

class ShellApi {
 public:
  virtual ~ShellApi() = default;

  // Vb6stkit.dll, the setup toolkit's shortcut library, loaded at the first call of one of its
  // functions. A library or function that cannot be found is thrown as std::runtime_error.
  virtual std::int32_t fCreateShellLink(const char* folderName, const char* linkName,
                                        const char* linkPath, const char* linkArguments,
                                        std::int32_t privateFlag, const char* parentFolder) = 0;
  virtual std::int32_t fRemoveShellLink(const char* folderName, const char* linkName) = 0;

  // An automation object created by its programmatic identifier ("WScript.Shell"); a failure is
  // thrown as std::runtime_error.
  virtual std::unique_ptr<AutomationObject> CreateObject(const std::string& programId) = 0;
};

}  // namespace win
