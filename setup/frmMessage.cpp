#include "setup/frmMessage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "setup/frmQuillet.h"

namespace quillet {
namespace {

constexpr float kDesignedWidth = 4740;   // outer, twips
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

frmMessage::frmMessage(win::WindowsApi& windows, const frmQuillet& mainWindow)
    : windows_(windows), mainWindow_(mainWindow) {}

frmMessage::~frmMessage() {
  if (!IsLoaded()) return;
  try {
    windows_.DestroyWindow(hWnd_);
  } catch (const std::exception&) {
    // Going away regardless.
  }
}

void frmMessage::Show() {
  if (!IsLoaded()) Load();
  windows_.ShowWindow(hWnd_);
}

void frmMessage::Refresh() { windows_.RepaintWindow(hWnd_); }

void frmMessage::Unload() {
  if (!IsLoaded()) return;
  const win::WindowHandle window = hWnd_;
  hWnd_ = 0;
  windows_.DestroyWindow(window);
}

void frmMessage::Load() {
  const LabelColours colours =
      ChooseLabelColours(windows_.GetSysColor(win::kColorCaptionText),
                         windows_.GetSysColor(win::kColorBtnText),
                         windows_.GetSysColor(win::kColorWindow));
  win::LabelWindowDesign design;
  design.caption = "Searching";
  design.clientSize = kDesignedClientArea;
  design.label = {kInstallingCaption, 240, 480, 4095, 975, "MS Sans Serif", 18, 700, 0,
                  colours.background, colours.text};
  hWnd_ = windows_.CreateLabelWindow(design);
  Form_Load();
}

// Sizes itself, then centres on the main window by the sizes the two windows really have. A main
// window that is minimised or hidden (started with "start /min", or by a launcher that hides it)
// has no size worth centring on, and would put this window off screen: it centres on the work
// area then.
void frmMessage::Form_Load() {
  windows_.SetWindowHeight(hWnd_, kDesignedHeight);
  windows_.SetWindowWidth(hWnd_, kDesignedWidth);
  const win::TwipSize own = windows_.GetWindowSize(hWnd_);
  if (!mainWindow_.IsOnScreen()) {
    const win::TwipRect area = windows_.GetWorkArea();
    windows_.SetWindowLeft(hWnd_, area.left + CentredPosition(area.width, own.width));
    windows_.SetWindowTop(hWnd_, area.top + CentredPosition(area.height, own.height));
    return;
  }
  windows_.SetWindowLeft(hWnd_, CentredPosition(mainWindow_.OuterSize().width, own.width));
  windows_.SetWindowTop(hWnd_, CentredPosition(mainWindow_.OuterSize().height, own.height));
}

}  // namespace quillet
