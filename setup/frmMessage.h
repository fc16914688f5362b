#pragma once
// The progress window: one label asking the user to wait, sized and placed by its load handler
// over the middle of the rectangle it is given (the main window's).

#include "platform/ScreenApi.h"

namespace quillet {

inline constexpr const char* kInstallingCaption = "   ***  Installing  ***   ***  Please Wait  ***";
// While another copy of the program holds the run lock.
inline constexpr const char* kWaitingCaption = "Waiting for another copy of this setup";

struct LabelColours {
  win::ColorRef background;
  win::ColorRef text;
};

// The contrast ratio of two colours (1 to 21), from their relative luminance.
double ContrastRatio(win::ColorRef first, win::ColorRef second);
// Text in the button-text colour on the caption-text colour, as designed, wherever those two
// contrast enough to be read (3:1, the bar for large text); otherwise on the window colour.
LabelColours ChooseLabelColours(win::ColorRef captionText, win::ColorRef buttonText,
                                win::ColorRef window);

// Left or Top of a window centred on another by their outer extents, in twips; a result that is
// not a finite number is an arithmetic error (std::overflow_error).
float CentredPosition(float outerExtent, float ownExtent);

class frmMessage {
 public:
  explicit frmMessage(win::ScreenApi& screen, const char* caption = kInstallingCaption);
  ~frmMessage();
  frmMessage(const frmMessage&) = delete;
  frmMessage& operator=(const frmMessage&) = delete;

  // Modeless, loading the window first if it is not loaded; a new window centres on `centreOn`.
  void Show(const win::TwipRect& centreOn);
  void Refresh();
  void Unload();
  [[nodiscard]] bool IsLoaded() const { return hWnd_ != 0; }

 private:
  void Load(const win::TwipRect& centreOn);
  void Form_Load(const win::TwipRect& centreOn);

  win::ScreenApi& screen_;
  const char* caption_;
  win::WindowHandle hWnd_ = 0;
};

}  // namespace quillet
