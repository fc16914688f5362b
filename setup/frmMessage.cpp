#include "setup/frmMessage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quillet {
namespace {

constexpr float kDesignedWidth = 4740;  // outer, twips
constexpr float kDesignedHeight = 2475;
constexpr win::TwipSize kDesignedClientArea{4620, 2070};

double Linear(unsigned channel) {
  const double value = channel / 255.0;
  return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(win::ColorRef color) {
  return 0.2126 * Linear(color & 0xFF) + 0.7152 * Linear((color >> 8) & 0xFF) +
         0.0722 * Linear((color >> 16) & 0xFF);
}

}  // namespace

double ContrastRatio(win::ColorRef first, win::ColorRef second) {
  const double a = RelativeLuminance(first);
  const double b = RelativeLuminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

LabelColours ChooseLabelColours(win::ColorRef captionText, win::ColorRef buttonText,
                                win::ColorRef window) {
  if (ContrastRatio(captionText, buttonText) >= 3.0) return {captionText, buttonText};
  return {window, buttonText};
}

float CentredPosition(float outerExtent, float ownExtent) {
  const float position = (outerExtent - ownExtent) / 2;
  if (!std::isfinite(position)) throw std::overflow_error("Overflow");
  return position;
}

frmMessage::frmMessage(win::ScreenApi& screen, const char* caption)
    : screen_(screen), caption_(caption) {}

frmMessage::~frmMessage() {
  if (!IsLoaded()) return;
  try {
    screen_.DestroyWindow(hWnd_);
  } catch (const std::exception&) {
    // Going away regardless.
  }
}

void frmMessage::Show(const win::TwipRect& centreOn) {
  if (!IsLoaded()) Load(centreOn);
  screen_.ShowWindow(hWnd_);
}

void frmMessage::Refresh() { screen_.RepaintWindow(hWnd_); }

void frmMessage::Unload() {
  if (!IsLoaded()) return;
  const win::WindowHandle window = hWnd_;
  hWnd_ = 0;
  screen_.DestroyWindow(window);
}

void frmMessage::Load(const win::TwipRect& centreOn) {
  const LabelColours colours = ChooseLabelColours(screen_.GetSysColor(win::kColorCaptionText),
                                                  screen_.GetSysColor(win::kColorBtnText),
                                                  screen_.GetSysColor(win::kColorWindow));
  win::LabelWindowDesign design;
  design.caption = "Searching";
  design.clientSize = kDesignedClientArea;
  design.label = {caption_,           240,         480, 4095, 975, "MS Sans Serif", 18, 700, 0,
                  colours.background, colours.text};
  hWnd_ = screen_.CreateLabelWindow(design);
  Form_Load(centreOn);
}

// Sizes itself, then centres on the rectangle by the size it really has.
void frmMessage::Form_Load(const win::TwipRect& centreOn) {
  screen_.SetWindowHeight(hWnd_, kDesignedHeight);
  screen_.SetWindowWidth(hWnd_, kDesignedWidth);
  const win::TwipSize own = screen_.GetWindowSize(hWnd_);
  screen_.SetWindowLeft(hWnd_, centreOn.left + CentredPosition(centreOn.width, own.width));
  screen_.SetWindowTop(hWnd_, centreOn.top + CentredPosition(centreOn.height, own.height));
}

}  // namespace quillet
