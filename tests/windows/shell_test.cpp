// The main window's shell operations against Wine: the toolkit stand-in beside this program (or
// none), Wine's own WScript.Shell and Scripting.FileSystemObject, and the Windows directory.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/win32/Win32Api.h"
#include "setup/frmQuillet.h"

namespace {

std::string BesideThisProgram(const std::string& name) {
  char path[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program = path;
  return program.substr(0, program.find_last_of('\\') + 1) + name;
}

std::string ToolkitCalls() {
  std::ifstream in(BesideThisProgram("toolkit-calls.txt"));
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string Desktop() {
  win::Win32Api windows;
  return std::get<std::string>(windows.Shell().CreateObject("WScript.Shell")->Invoke("SpecialFolders", {std::string("Desktop")}));
}

class ShellOperations : public ::testing::Test {
 protected:
  win::Win32Api windows;
  quillet::frmQuillet form{windows};
};

// ---------------------------------------------------------------- with the toolkit stand-in

TEST_F(ShellOperations, ToolkitIsLoadedAtTheFirstShortcutCall) {
  EXPECT_EQ(::GetModuleHandleA("Vb6stkit.dll"), nullptr) << "not loaded at start-up";
  ::DeleteFileA(BesideThisProgram("toolkit-calls.txt").c_str());

  form.CreateShortcut("Quillet", "Quillet Reports", "C:\\Brannic\\Reports.exe");
  EXPECT_NE(::GetModuleHandleA("Vb6stkit.dll"), nullptr);
  form.RemoveShortcut("Quillet", "Quillet Reports");

  EXPECT_EQ(ToolkitCalls(),
            "fCreateShellLink|Quillet|Quillet Reports|C:\\Brannic\\Reports.exe||0|$(Programs)\n"
            "fRemoveShellLink|Quillet|Quillet Reports\n");
}

// ---------------------------------------------------------------- without it

TEST_F(ShellOperations, WithoutTheToolkitEachShortcutCallNamesTheLibrary) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      attempt == 0 ? form.CreateShortcut("a", "b", "c") : form.RemoveShortcut("a", "b");
      FAIL() << "a shortcut operation without Vb6stkit.dll must fail";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find("Vb6stkit.dll"), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(form.GetWindowsDir(), "C:\\windows") << "the program goes on working";
}

// ---------------------------------------------------------------- desktop folders

TEST_F(ShellOperations, CreatesAndDeletesAFolderDirectlyOnTheDesktop) {
  const std::string archive = Desktop() + "\\Archive";
  ASSERT_FALSE(IsFolder(archive));
  form.CreateDesktopFolder("Archive");
  EXPECT_TRUE(IsFolder(archive)) << archive;
  form.DeleteDesktopFolder("Archive");
  EXPECT_FALSE(IsFolder(archive));
}

TEST_F(ShellOperations, DeletingAMissingFolderRaisesTheAutomationError) {
  try {
    form.DeleteDesktopFolder("No Such Folder");
    FAIL() << "deleting a missing folder must fail";
  } catch (const std::runtime_error& error) {
    // Wine's FileSystemObject raises run-time error 53 for a folder that is not there.
    EXPECT_STREQ(error.what(), "File not found (error 53)");
  }
  EXPECT_NE(form.objFileSystem, nullptr) << "the object made before the failure stays";
}

TEST_F(ShellOperations, ASecondOperationReplacesTheFileSystemObject) {
  form.CreateDesktopFolder("Replaced");
  const auto* first = form.objFileSystem.get();
  form.DeleteDesktopFolder("Replaced");
  EXPECT_NE(form.objFileSystem.get(), first);
  EXPECT_NE(form.objFileSystem.get(), nullptr);
}

// Runs after the create-and-delete case, and leaves the folder for the test's runner to find
// from the Linux side.
TEST_F(ShellOperations, LeavesAFolderOnTheDesktop) {
  form.CreateDesktopFolder("Archive");
  EXPECT_TRUE(IsFolder(Desktop() + "\\Archive"));
}

// ---------------------------------------------------------------- the Windows directory

TEST_F(ShellOperations, GetWindowsDirIsThePrefixWindowsDirectoryExactly) {
  EXPECT_EQ(form.GetWindowsDir(), "C:\\windows");
}

}  // namespace

int main(int argc, char** argv) {
  const win::ComApartment com;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
