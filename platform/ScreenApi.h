#pragma once
// What the program shows (user32, gdi32): its windows and message boxes, and what it needs to
// know of the display to place them.

#include <cstdint>

#include "platform/WindowsTypes.h"

namespace win {

class ScreenApi {
 public:
  virtual ~ScreenApi() = default;

  // Whether anyone can see what the program shows: false where its window station is not
  // visible (session 0, a service), where a message box would wait for nobody.
  virtual bool IsDesktopVisible() = 0;
  // A modal message box; its texts are UTF-8 and are shown in UTF-16.
  virtual int MessageBoxA(const char* text, const char* caption, std::uint32_t style) = 0;

  // The program's windows, sized and placed in twips through the display's logical DPI; sizes
  // are outer sizes (frame and title bar included). Created hidden; a failure to create, show or
  // repaint one is thrown as std::runtime_error.
  virtual WindowHandle CreateFrameWindow(const FrameWindowDesign& design) = 0;
  virtual WindowHandle CreateLabelWindow(const LabelWindowDesign& design) = 0;
  virtual void ShowWindow(WindowHandle window) = 0;  // modeless, without an owner
  virtual void RepaintWindow(WindowHandle window) = 0;
  virtual void DestroyWindow(WindowHandle window) = 0;
  virtual TwipSize GetWindowSize(WindowHandle window) = 0;
  virtual void SetWindowWidth(WindowHandle window, float twips) = 0;
  virtual void SetWindowHeight(WindowHandle window, float twips) = 0;
  virtual void SetWindowLeft(WindowHandle window, float twips) = 0;
  virtual void SetWindowTop(WindowHandle window, float twips) = 0;
  virtual ColorRef GetSysColor(int index) = 0;
  // Whether the window is visible and not minimised.
  virtual bool IsWindowOnScreen(WindowHandle window) = 0;
  // The part of the primary screen not taken by task bars.
  virtual TwipRect GetWorkArea() = 0;
};

}  // namespace win
