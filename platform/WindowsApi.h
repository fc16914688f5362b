#pragma once
// The Windows the program runs on, by concern: the exes bind it to the real functions
// (Win32Api), the native tests to an in-memory Windows (FakeWindows), and a quiet run replaces
// the screen alone (QuietWindows).

#include "platform/RegistryApi.h"
#include "platform/ScreenApi.h"
#include "platform/ShellApi.h"
#include "platform/SystemApi.h"

namespace win {

class WindowsApi {
 public:
  virtual ~WindowsApi() = default;

  virtual RegistryApi& Registry() = 0;
  virtual SystemApi& System() = 0;
  virtual ScreenApi& Screen() = 0;
  virtual ShellApi& Shell() = 0;
};

}  // namespace win
