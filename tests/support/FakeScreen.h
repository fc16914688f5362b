#pragma once
// The screen as the in-memory Windows shows it: windows kept as records, message boxes that
// answer at once, the display's DPI, colours and work area.

#include <map>
#include <string>
#include <vector>

#include "platform/ScreenApi.h"
#include "tests/support/CallLog.h"

namespace win {

// A window as the fake keeps it; sizes are outer sizes in twips, whole pixels at the fake's DPI.
struct FakeWindow {
  std::string kind;  // "frame" or "label"
  std::string caption;
  TwipSize size;
  float left = 0, top = 0;
  bool visible = false;
  bool minimised = false;
  bool destroyed = false;
  LabelDesign label;  // label windows only
};

class FakeScreen : public ScreenApi {
 public:
  explicit FakeScreen(CallLog& log) : log_(log) {}

  // What every message box answers (OK unless set).
  void AnswerMessageBoxes(int answer) { messageBoxAnswer_ = answer; }
  // A service's or session 0's window station: no one sees the screen.
  void HideDesktop() { desktopVisible_ = false; }
  bool IsDesktopVisible() override { return desktopVisible_; }
  [[nodiscard]] std::vector<RecordedCall> MessageBoxes() const { return log_.CallsOf("MessageBoxA"); }
  void SetDpi(int dpi) { dpi_ = dpi; }
  // What frame and title bar add to a client area, in twips (defaults: 120 wide, 405 high).
  void SetFrameAllowance(TwipSize allowance) { frameAllowance_ = allowance; }
  void SetSysColor(int index, ColorRef color) { sysColors_[index] = color; }
  // The program started minimised (start /min): the main window shows as an icon.
  void StartMinimised() { startMinimised_ = true; }
  void SetWorkArea(TwipRect area) { workArea_ = area; }
  [[nodiscard]] const FakeWindow& Window(WindowHandle window) const { return windows_.at(window); }
  [[nodiscard]] int LiveWindowCount() const;

  // --- ScreenApi ---
  int MessageBoxA(const char* text, const char* caption, std::uint32_t style) override;
  WindowHandle CreateFrameWindow(const FrameWindowDesign& design) override;
  WindowHandle CreateLabelWindow(const LabelWindowDesign& design) override;
  void ShowWindow(WindowHandle window) override;
  void RepaintWindow(WindowHandle window) override;
  void DestroyWindow(WindowHandle window) override;
  TwipSize GetWindowSize(WindowHandle window) override;
  void SetWindowWidth(WindowHandle window, float twips) override;
  void SetWindowHeight(WindowHandle window, float twips) override;
  void SetWindowLeft(WindowHandle window, float twips) override;
  void SetWindowTop(WindowHandle window, float twips) override;
  ColorRef GetSysColor(int index) override;
  bool IsWindowOnScreen(WindowHandle window) override;
  TwipRect GetWorkArea() override { return workArea_; }

 private:
  FakeWindow& LiveWindow(RecordedCall& call, WindowHandle window);
  WindowHandle AddWindow(RecordedCall& call, FakeWindow window);
  [[nodiscard]] float WholePixels(float twips) const;

  CallLog& log_;
  int messageBoxAnswer_ = kIdOk;
  bool desktopVisible_ = true;
  int dpi_ = 96;
  bool startMinimised_ = false;
  TwipRect workArea_{0, 0, 15360, 11070};  // 1024 x 738 pixels
  TwipSize frameAllowance_{120, 405};
  std::map<int, ColorRef> sysColors_{{kColorWindow, 0xFFFFFF},
                                     {kColorCaptionText, 0x000000},
                                     {kColorAppWorkspace, 0xABABAB},
                                     {kColorBtnText, 0x000000}};
  std::map<WindowHandle, FakeWindow> windows_;
  WindowHandle nextWindow_ = 0x20000;
};

}  // namespace win
