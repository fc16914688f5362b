#pragma once
// Windows that show nothing: every window and message box of the program goes nowhere, and the
// registry, the system and the shell are those underneath. For unattended runs, where nobody is
// there to look or to press OK.

#include <map>

#include "platform/WindowsApi.h"

namespace win {

class QuietScreen : public ScreenApi {
 public:
  bool IsDesktopVisible() override { return false; }
  // Nothing is shown; a message box answers OK at once.
  int MessageBoxA(const char*, const char*, std::uint32_t) override { return kIdOk; }
  WindowHandle CreateFrameWindow(const FrameWindowDesign& design) override;
  WindowHandle CreateLabelWindow(const LabelWindowDesign& design) override;
  void ShowWindow(WindowHandle) override {}
  void RepaintWindow(WindowHandle) override {}
  void DestroyWindow(WindowHandle window) override { sizes_.erase(window); }
  TwipSize GetWindowSize(WindowHandle window) override { return sizes_[window]; }
  void SetWindowWidth(WindowHandle window, float twips) override { sizes_[window].width = twips; }
  void SetWindowHeight(WindowHandle window, float twips) override { sizes_[window].height = twips; }
  void SetWindowLeft(WindowHandle, float) override {}
  void SetWindowTop(WindowHandle, float) override {}
  ColorRef GetSysColor(int) override { return 0; }
  bool IsWindowOnScreen(WindowHandle) override { return true; }
  TwipRect GetWorkArea() override { return {}; }

 private:
  WindowHandle Remember(TwipSize size);

  std::map<WindowHandle, TwipSize> sizes_;  // windows that exist only here
  WindowHandle next_ = 1;
};

class QuietWindows : public WindowsApi {
 public:
  explicit QuietWindows(WindowsApi& underlying) : underlying_(underlying) {}

  RegistryApi& Registry() override { return underlying_.Registry(); }
  SystemApi& System() override { return underlying_.System(); }
  ScreenApi& Screen() override { return screen_; }
  ShellApi& Shell() override { return underlying_.Shell(); }

 private:
  WindowsApi& underlying_;
  QuietScreen screen_;
};

}  // namespace win
