// The windows of the program on the in-memory Windows: what the user sees, in which order, where
// the progress window lands, and what the completion message says.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/FakeWindows.h"
#include "setup/Program.h"
#include "setup/frmMessage.h"
#include "setup/frmQuillet.h"

namespace {

using quillet::CentredPosition;

// Index of the first recorded call matching the function (and window, when given).
std::ptrdiff_t IndexOf(const win::FakeWindows& windows, const std::string& function,
                       win::WindowHandle window = 0) {
  const auto& calls = windows.Calls();
  const auto it = std::find_if(calls.begin(), calls.end(), [&](const win::RecordedCall& call) {
    return call.function == function && (window == 0 || call.window == window);
  });
  return it == calls.end() ? -1 : it - calls.begin();
}

std::ptrdiff_t LastIndexOf(const win::FakeWindows& windows, const std::string& function) {
  const auto names = windows.CallNames();
  const auto it = std::find(names.rbegin(), names.rend(), function);
  return it == names.rend() ? -1 : names.rend() - it - 1;
}

win::WindowHandle WindowCreatedBy(const win::FakeWindows& windows, const std::string& function) {
  return windows.Calls().at(static_cast<std::size_t>(IndexOf(windows, function))).window;
}

class Program : public ::testing::Test {
 protected:
  Program() { windows.System().SetLocalDate({2003, 3, 1}); }
  win::FakeWindows windows;
};

TEST_F(Program, RunsTheWindowsAndTheWorkInTheirOrder) {
  EXPECT_EQ(quillet::RunProgram(windows), 0);

  const auto main = WindowCreatedBy(windows, "CreateFrameWindow");
  const auto progress = WindowCreatedBy(windows, "CreateLabelWindow");
  EXPECT_EQ(windows.Screen().Window(main).caption, "Quillet Setup");
  EXPECT_EQ(windows.Screen().Window(progress).caption, "Searching");

  const auto mainShown = IndexOf(windows, "ShowWindow", main);
  const auto progressShown = IndexOf(windows, "ShowWindow", progress);
  const auto repainted = IndexOf(windows, "RepaintWindow", progress);
  const auto progressGone = IndexOf(windows, "DestroyWindow", progress);
  const auto message = IndexOf(windows, "MessageBoxA");
  const auto mainGone = IndexOf(windows, "DestroyWindow", main);
  EXPECT_LT(mainShown, IndexOf(windows, "CreateLabelWindow"));
  EXPECT_LT(progressShown, repainted);
  EXPECT_LT(repainted, IndexOf(windows, "RegCreateKeyExA")) << "drawn before the first registration";
  EXPECT_GT(progressGone, LastIndexOf(windows, "RegCloseKey"));
  EXPECT_LT(progressGone, message) << "the message never shows while the progress window does";
  const auto released = LastIndexOf(windows, "CloseFile");  // the lock file, let go
  EXPECT_GT(released, LastIndexOf(windows, "RegCloseKey")) << "the lock covers the registry work";
  EXPECT_LT(released, message) << "no other run waits while the message waits for a person";
  EXPECT_EQ(mainGone, static_cast<std::ptrdiff_t>(windows.Calls().size()) - 1);
  EXPECT_LT(message, mainGone);
  EXPECT_EQ(windows.Screen().LiveWindowCount(), 0);
}

TEST_F(Program, ShowsExactlyTheCompletionMessageWhenEverythingIsRegistered) {
  const std::string driver = "\"Microsoft Access Driver (*.mdb)\" is ";
  for (const bool installed : {false, true}) {
    win::FakeWindows machine;
    if (installed) {
      machine.Registry().CreateKey(
          "SOFTWARE\\WOW6432node\\ODBC\\ODBCINST.INI\\Microsoft Access Driver (*.mdb)");
    }
    ASSERT_EQ(quillet::RunProgram(machine), 0);
    const auto boxes = machine.Screen().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].valueName,
              installed ? "Setup Complete - DO NOT run this setup again."
                        : "Setup Complete - DO NOT run this setup again.\n\n" + driver +
                              "not installed for the 32-bit-on-64-bit view, which Quillet uses: "
                              "Quillet cannot open its databases until it is.");
    EXPECT_EQ(boxes[0].caption, "Quillet Installation");
    EXPECT_EQ(boxes[0].type, win::kMbOk);
  }
}

TEST_F(Program, SaysHonestlyThatSetupDidNotCompleteWhenDataSourcesFail) {
  windows.Registry().SetProcessorIdentifier("x86 Family 6 Model 15 Stepping 11");
  windows.System().SetSystemDirectory("");  // every native data source fails

  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitInstallFailure);

  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u) << "the completion message alone, however many failed";
  const auto& last = boxes.back();
  EXPECT_EQ(last.caption, "Quillet Installation");
  EXPECT_EQ(last.type, win::kMbOk | win::kMbIconWarning);
  EXPECT_EQ(last.valueName.find("Setup did not complete."), 0u) << last.valueName;
  EXPECT_NE(last.valueName.find("10 data sources could not be registered"), std::string::npos);
  for (const char* named : {"Quillet-R (native view)", "Quillet-S2 (native view)"}) {
    EXPECT_NE(last.valueName.find(named), std::string::npos) << named;
  }
  EXPECT_EQ(last.valueName.find("Quillet2002-R "), std::string::npos) << "only the first few";
  EXPECT_NE(last.valueName.find("... and 5 more"), std::string::npos);
  EXPECT_NE(last.valueName.find("\n\nFailed to get OS Version: the driver directory could not be "
                                "decided for Quillet-R (native view) and others."),
            std::string::npos) << last.valueName;
}

TEST_F(Program, AFailureThatReachesTheTopIsReportedAndEndsTheProgram) {
  windows.ThrowAt({"ShowWindow", "Searching"});  // the progress window cannot be shown

  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitInstallFailure);

  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Setup");
  EXPECT_EQ(boxes[0].valueName, "injected failure of ShowWindow");
  EXPECT_EQ(windows.CountCalls("RegCreateKeyExA"), 0);
  EXPECT_EQ(windows.Screen().LiveWindowCount(), 0) << "every window is gone";
}

// ------------------------------------------------------------------------ the progress window

TEST(CentredPosition, HalvesTheDifferenceUnroundedAndKeepsItsSign) {
  EXPECT_EQ(CentredPosition(6405, 4740), 832.5f);
  EXPECT_EQ(CentredPosition(4000, 4740), -370.0f);
  EXPECT_EQ(CentredPosition(4740, 4740), 0.0f);
}

TEST(CentredPosition, ANonFiniteResultIsAnArithmeticError) {
  EXPECT_THROW(CentredPosition(std::numeric_limits<float>::infinity(), 4740), std::overflow_error);
  EXPECT_THROW(CentredPosition(std::numeric_limits<float>::quiet_NaN(), 4740), std::overflow_error);
  EXPECT_THROW(CentredPosition(std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()),
               std::overflow_error);
}

struct PlacementCase {
  int dpi;
  win::TwipSize frameAllowance;
};

// The main window as the load handler leaves it before the progress window comes.
void ShowMainWindow(win::FakeWindows& windows, const quillet::frmQuillet& form) {
  (void)form.OuterSize();  // creates it
  windows.Screen().ShowWindow(WindowCreatedBy(windows, "CreateFrameWindow"));
}

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, SizesTheProgressWindowAndCentresItByTheRealSizes) {
  win::FakeWindows windows;
  windows.Screen().SetDpi(GetParam().dpi);
  windows.Screen().SetFrameAllowance(GetParam().frameAllowance);
  quillet::frmQuillet form(windows);
  ShowMainWindow(windows, form);
  quillet::frmMessage message(windows.Screen());
  message.Show(form.CentringArea());

  const auto& progress = windows.Screen().Window(WindowCreatedBy(windows, "CreateLabelWindow"));
  const auto& main = windows.Screen().Window(WindowCreatedBy(windows, "CreateFrameWindow"));
  EXPECT_EQ(windows.Calls()[static_cast<std::size_t>(IndexOf(windows, "SetWindowHeight"))].number,
            2475);
  EXPECT_LT(IndexOf(windows, "SetWindowHeight"), IndexOf(windows, "SetWindowWidth"));
  EXPECT_NEAR(progress.size.width, 4740, 1440.0 / GetParam().dpi);
  EXPECT_NEAR(progress.size.height, 2475, 1440.0 / GetParam().dpi);
  EXPECT_FLOAT_EQ(progress.left, (main.size.width - progress.size.width) / 2);
  EXPECT_FLOAT_EQ(progress.top, (main.size.height - progress.size.height) / 2);
  EXPECT_TRUE(progress.visible);
}

INSTANTIATE_TEST_SUITE_P(Displays, Placement,
                         ::testing::Values(PlacementCase{96, {120, 405}},
                                           PlacementCase{96, {180, 480}},
                                           PlacementCase{120, {150, 450}}));

TEST(Placement, ASmallerMainWindowGivesNegativePositions) {
  win::FakeWindows windows;
  windows.Screen().SetFrameAllowance({-3000, -2000});  // a main window smaller than the progress window
  quillet::frmQuillet form(windows);
  ShowMainWindow(windows, form);
  quillet::frmMessage message(windows.Screen());
  message.Show(form.CentringArea());
  const auto& progress = windows.Screen().Window(WindowCreatedBy(windows, "CreateLabelWindow"));
  EXPECT_LT(progress.left, 0);
  EXPECT_LT(progress.top, 0);
}

TEST(Placement, AMinimisedMainWindowLeavesTheProgressWindowInTheMiddleOfTheWorkArea) {
  win::FakeWindows windows;
  windows.Screen().StartMinimised();
  windows.Screen().SetWorkArea({0, 600, 15360, 10470});  // a task bar at the top
  windows.System().SetCommandLine("QuilletSetup.exe");
  quillet::RunProgram(windows);
  const auto& progress = windows.Screen().Window(WindowCreatedBy(windows, "CreateLabelWindow"));
  EXPECT_FLOAT_EQ(progress.left, (15360 - progress.size.width) / 2);
  EXPECT_FLOAT_EQ(progress.top, 600 + (10470 - progress.size.height) / 2);
}

TEST(ProgressLabel, IsDesignedAsTheUserShouldSeeIt) {
  win::FakeWindows windows;
  quillet::frmQuillet form(windows);
  quillet::frmMessage message(windows.Screen());
  message.Show(form.CentringArea());
  const auto& label = windows.Screen().Window(WindowCreatedBy(windows, "CreateLabelWindow")).label;
  EXPECT_EQ(std::string(label.caption), "   ***  Installing  ***   ***  Please Wait  ***");
  EXPECT_EQ(std::string(label.caption).size(), 47u);
  EXPECT_EQ(label.left, 240);
  EXPECT_EQ(label.top, 480);
  EXPECT_EQ(label.width, 4095);
  EXPECT_EQ(label.height, 975);
  EXPECT_EQ(std::string(label.fontName), "MS Sans Serif");
  EXPECT_EQ(label.fontPoints, 18);
  EXPECT_EQ(label.fontWeight, 700);
  EXPECT_EQ(label.fontCharset, 0);
}

TEST(ProgressLabel, KeepsTheDesignedColoursWhereTheyContrast) {
  win::FakeWindows windows;
  windows.Screen().SetSysColor(win::kColorCaptionText, 0xFFFFFF);
  windows.Screen().SetSysColor(win::kColorBtnText, 0x000000);
  quillet::frmQuillet form(windows);
  quillet::frmMessage message(windows.Screen());
  message.Show(form.CentringArea());
  const auto& label = windows.Screen().Window(WindowCreatedBy(windows, "CreateLabelWindow")).label;
  EXPECT_EQ(label.background, 0xFFFFFFu);
  EXPECT_EQ(label.text, 0x000000u);
}

TEST(ProgressLabel, PaintsOnTheWindowColourWhereTheDesignedOnesDoNotContrast) {
  const auto colours = quillet::ChooseLabelColours(0x000000, 0x000000, 0xFFFFFF);
  EXPECT_EQ(colours.background, 0xFFFFFFu);
  EXPECT_EQ(colours.text, 0x000000u);
  // Dark grey on black is below 3:1; light grey on black is above.
  EXPECT_EQ(quillet::ChooseLabelColours(0x404040, 0x000000, 0xF0F0F0).background, 0xF0F0F0u);
  EXPECT_EQ(quillet::ChooseLabelColours(0xC0C0C0, 0x000000, 0xF0F0F0).background, 0xC0C0C0u);
  EXPECT_NEAR(quillet::ContrastRatio(0xFFFFFF, 0x000000), 21.0, 1e-9);
}

}  // namespace
