#include "platform/QuietWindows.h"

namespace win {

WindowHandle QuietScreen::Remember(TwipSize size) {
  const WindowHandle window = next_++;
  sizes_[window] = size;
  return window;
}

WindowHandle QuietScreen::CreateFrameWindow(const FrameWindowDesign& design) {
  return Remember(design.clientSize);
}

WindowHandle QuietScreen::CreateLabelWindow(const LabelWindowDesign& design) {
  return Remember(design.clientSize);
}

}  // namespace win
