// The main window's shell operations on the in-memory Windows.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/support/FakeWindows.h"
#include "setup/frmQuillet.h"

namespace {

class ShellOperations : public ::testing::Test {
 protected:
  win::FakeWindows windows;
  quillet::frmQuillet form{windows};
};

TEST_F(ShellOperations, CreateShortcutAlwaysAsksForAPrivateLinkBelowPrograms) {
  form.CreateShortcut("Quillet", "Quillet Reports", "C:\\Brannic\\Reports.exe");
  ASSERT_EQ(windows.CountCalls("fCreateShellLink"), 1);
  const auto& call = windows.Calls().back();
  EXPECT_EQ(call.texts, (std::vector<std::string>{"Quillet", "Quillet Reports",
                                                  "C:\\Brannic\\Reports.exe", "", "$(Programs)"}));
  EXPECT_EQ(call.number, 0) << "the private flag";
}

TEST_F(ShellOperations, RemoveShortcutPassesItsTwoTexts) {
  form.RemoveShortcut("Quillet", "Quillet Reports");
  EXPECT_EQ(windows.Calls().back().function, "fRemoveShellLink");
  EXPECT_EQ(windows.Calls().back().texts, (std::vector<std::string>{"Quillet", "Quillet Reports"}));
}

TEST_F(ShellOperations, AMissingToolkitFailsTheCallAndNothingElse) {
  windows.Shell().RemoveToolkit();
  EXPECT_THROW(form.CreateShortcut("a", "b", "c"), std::runtime_error);
  EXPECT_THROW(form.RemoveShortcut("a", "b"), std::runtime_error);
  EXPECT_EQ(form.GetWindowsDir(), "C:\\windows") << "the window goes on working";
}

TEST_F(ShellOperations, DesktopFoldersAreTheDesktopPathABackslashAndTheName) {
  windows.Shell().SetDesktopPath("C:\\users\\quillet\\Desktop");
  form.CreateDesktopFolder("Archive");
  EXPECT_EQ(windows.Shell().Folders(), std::vector<std::string>{"C:\\users\\quillet\\Desktop\\Archive"});
  const auto* created = form.objFileSystem.get();
  ASSERT_NE(created, nullptr);

  form.DeleteDesktopFolder("Archive");
  EXPECT_TRUE(windows.Shell().Folders().empty());
  EXPECT_NE(form.objFileSystem.get(), nullptr);
  EXPECT_NE(form.objFileSystem.get(), created) << "a second operation keeps its own object";

  form.CreateDesktopFolder("");  // nothing is checked or trimmed
  EXPECT_EQ(windows.Shell().Folders(), std::vector<std::string>{"C:\\users\\quillet\\Desktop\\"});
}

TEST_F(ShellOperations, AFailedAutomationCallCarriesItsDescriptionAndKeepsTheObject) {
  try {
    form.DeleteDesktopFolder("Missing");
    FAIL() << "deleting a missing folder must fail";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Path not found");
  }
  EXPECT_NE(form.objFileSystem, nullptr) << "what was done before the failure stands";
}

TEST_F(ShellOperations, GetWindowsDirGivesTheDirectoryOrEmptyText) {
  EXPECT_EQ(form.GetWindowsDir(), "C:\\windows");
  windows.System().SetWindowsDirectory("");
  EXPECT_EQ(form.GetWindowsDir(), "");
}

TEST_F(ShellOperations, GetWindowsDirGivesALongDirectoryWhole) {
  const std::string longDirectory = "C:\\" + std::string(300, 'w');
  windows.System().SetWindowsDirectory(longDirectory);
  EXPECT_EQ(form.GetWindowsDir(), longDirectory);
  windows.System().SetWindowsDirectory("C:\\" + std::string(252, 'w'));  // 255 characters: just fits
  EXPECT_EQ(form.GetWindowsDir().size(), 255u);
}

}  // namespace

namespace {

TEST(DesktopFolders, WithoutADesktopPathNothingIsCreatedOrDeleted) {
  win::FakeWindows windows;
  windows.Shell().SetDesktopPath("");
  quillet::frmQuillet form(windows);
  windows.ClearCalls();
  EXPECT_THROW(form.CreateDesktopFolder("Archive"), std::runtime_error);
  EXPECT_THROW(form.DeleteDesktopFolder("Archive"), std::runtime_error);
  EXPECT_TRUE(windows.Shell().Folders().empty());
  EXPECT_EQ(windows.CountCalls("Invoke"), 2) << "only the two questions for the desktop's path";
  EXPECT_EQ(form.objFileSystem, nullptr);
}

}  // namespace
