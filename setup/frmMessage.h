#pragma once
// The progress window: one label asking the user to wait, sized and placed by its load handler
// over the middle of the main window.

#include "platform/WindowsApi.h"

namespace quillet {

class frmQuillet;

inline constexpr const char* kInstallingCaption =
    "   ***  Installing  ***   ***  Please Wait  ***";

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
  frmMessage(win::WindowsApi& windows, const frmQuillet& mainWindow);
  ~frmMessage();
  frmMessage(const frmMessage&) = delete;
  frmMessage& operator=(const frmMessage&) = delete;

  void Show();  // modeless, loading the window first if it is not loaded
  void Refresh();
  void Unload();
  [[nodiscard]] bool IsLoaded() const { return hWnd_ != 0; }

 private:
  void Load();
  void Form_Load();

  win::WindowsApi& windows_;
  const frmQuillet& mainWindow_;
  win::WindowHandle hWnd_ = 0;
};

}  // namespace quillet
