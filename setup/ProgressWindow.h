#pragma once

namespace quillet {

// What the setup run does with its progress window.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void Show() = 0;    // modeless, loading the window first if it is not loaded
  virtual void Repaint() = 0;
  virtual void Unload() = 0;
};

}  // namespace quillet
