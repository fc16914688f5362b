#include "platform/QuietWindows.h"

namespace win {

WindowHandle QuietWindows::Remember(TwipSize size) {
  const WindowHandle window = next_++;
  sizes_[window] = size;
  return window;
}

WindowHandle QuietWindows::CreateFrameWindow(const FrameWindowDesign& design) {
  return Remember(design.clientSize);
}

WindowHandle QuietWindows::CreateLabelWindow(const LabelWindowDesign& design) {
  return Remember(design.clientSize);
}

}  // namespace win
