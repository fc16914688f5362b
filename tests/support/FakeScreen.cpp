#include "tests/support/FakeScreen.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace win {

int FakeScreen::MessageBoxA(const char* text, const char* caption, std::uint32_t style) {
  auto& call = log_.Record("MessageBoxA");
  call.valueName = TextOrEmpty(text);
  call.caption = TextOrEmpty(caption);
  call.type = style;
  if (const auto fault = log_.InjectedFault(call)) return 0;
  return messageBoxAnswer_;
}

int FakeScreen::LiveWindowCount() const {
  return static_cast<int>(std::count_if(windows_.begin(), windows_.end(),
                                        [](const auto& w) { return !w.second.destroyed; }));
}

float FakeScreen::WholePixels(float twips) const {
  const float perPixel = 1440.0f / static_cast<float>(dpi_);
  return std::round(twips / perPixel) * perPixel;
}

FakeWindow& FakeScreen::LiveWindow(RecordedCall& call, WindowHandle window) {
  call.window = window;
  const auto it = windows_.find(window);
  if (it == windows_.end() || it->second.destroyed) {
    throw std::runtime_error(call.function + ": invalid window handle");
  }
  call.caption = it->second.caption;
  if (const auto fault = log_.InjectedFault(call)) {
    throw std::runtime_error(call.function + " failed with error " + std::to_string(*fault));
  }
  return it->second;
}

WindowHandle FakeScreen::AddWindow(RecordedCall& call, FakeWindow window) {
  const WindowHandle handle = nextWindow_;
  nextWindow_ += 0x10;
  windows_[handle] = std::move(window);
  call.window = handle;
  return handle;
}

WindowHandle FakeScreen::CreateFrameWindow(const FrameWindowDesign& design) {
  auto& call = log_.Record("CreateFrameWindow");
  call.caption = design.caption;
  if (const auto fault = log_.InjectedFault(call)) {
    throw std::runtime_error("CreateFrameWindow failed with error " + std::to_string(*fault));
  }
  FakeWindow window{"frame", design.caption, {}, 0, 0, false, false, false, {}};
  window.size = {WholePixels(design.clientSize.width + frameAllowance_.width),
                 WholePixels(design.clientSize.height + frameAllowance_.height)};
  return AddWindow(call, std::move(window));
}

WindowHandle FakeScreen::CreateLabelWindow(const LabelWindowDesign& design) {
  auto& call = log_.Record("CreateLabelWindow");
  call.caption = design.caption;
  if (const auto fault = log_.InjectedFault(call)) {
    throw std::runtime_error("CreateLabelWindow failed with error " + std::to_string(*fault));
  }
  FakeWindow window{"label", design.caption, {}, 0, 0, false, false, false, design.label};
  window.size = {WholePixels(design.clientSize.width + frameAllowance_.width),
                 WholePixels(design.clientSize.height + frameAllowance_.height)};
  return AddWindow(call, std::move(window));
}

void FakeScreen::ShowWindow(WindowHandle window) {
  FakeWindow& shown = LiveWindow(log_.Record("ShowWindow"), window);
  shown.visible = true;
  shown.minimised = startMinimised_ && shown.kind == "frame";
}

bool FakeScreen::IsWindowOnScreen(WindowHandle window) {
  const FakeWindow& asked = LiveWindow(log_.Record("IsWindowOnScreen"), window);
  return asked.visible && !asked.minimised;
}

void FakeScreen::RepaintWindow(WindowHandle window) { LiveWindow(log_.Record("RepaintWindow"), window); }

void FakeScreen::DestroyWindow(WindowHandle window) {
  FakeWindow& destroyed = LiveWindow(log_.Record("DestroyWindow"), window);
  destroyed.visible = false;
  destroyed.destroyed = true;
}

TwipSize FakeScreen::GetWindowSize(WindowHandle window) {
  return LiveWindow(log_.Record("GetWindowSize"), window).size;
}

void FakeScreen::SetWindowWidth(WindowHandle window, float twips) {
  auto& call = log_.Record("SetWindowWidth");
  call.number = twips;
  LiveWindow(call, window).size.width = WholePixels(twips);
}

void FakeScreen::SetWindowHeight(WindowHandle window, float twips) {
  auto& call = log_.Record("SetWindowHeight");
  call.number = twips;
  LiveWindow(call, window).size.height = WholePixels(twips);
}

void FakeScreen::SetWindowLeft(WindowHandle window, float twips) {
  auto& call = log_.Record("SetWindowLeft");
  call.number = twips;
  LiveWindow(call, window).left = twips;
}

void FakeScreen::SetWindowTop(WindowHandle window, float twips) {
  auto& call = log_.Record("SetWindowTop");
  call.number = twips;
  LiveWindow(call, window).top = twips;
}

ColorRef FakeScreen::GetSysColor(int index) {
  log_.Record("GetSysColor").number = index;
  const auto it = sysColors_.find(index);
  return it == sysColors_.end() ? 0 : it->second;
}

}  // namespace win
