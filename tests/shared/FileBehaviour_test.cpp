// File and object behaviour the program relies on: the same cases run on the in-memory Windows and
// under Wine, so the stand-in cannot claim what Windows would refuse.

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/OpenFile.h"
#include "tests/shared/TestWindows.h"

namespace {

class FileBehaviour : public ::testing::Test {
 protected:
  void SetUp() override {
    windows = testing_windows::MakeTestWindows();
    arrange = testing_windows::ArrangementFor(*windows);
    folder = arrange->ScratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  win::SystemApi& System() { return windows->System(); }

  std::unique_ptr<win::WindowsApi> windows;
  std::unique_ptr<testing_windows::Arrangement> arrange;
  std::string folder;
};

TEST_F(FileBehaviour, FullPathsResolveDotsAndForwardSlashes) {
  EXPECT_EQ(System().FullPathName(folder + "\\sub\\..\\a.log"), folder + "\\a.log");
  EXPECT_EQ(System().FullPathName(folder + "\\.\\a.log"), folder + "\\a.log");
  std::string forward = folder + "/a.log";
  for (auto& c : forward) c = c == '\\' ? '/' : c;
  EXPECT_EQ(System().FullPathName(forward), folder + "\\a.log");
}

// A folder reached by its short name or in other letter case is where it was made, by its name.
TEST_F(FileBehaviour, FinalAndLongPathsNameAFolderAsItWasMade) {
  const std::string made = folder + "\\Long Folder Name";
  arrange->MakeFolder(made);
  const std::string shortPath = arrange->ShortPath(made);
  ASSERT_NE(shortPath, made);
  std::string upper = made;
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& spelled : {shortPath, upper}) {
    SCOPED_TRACE(spelled);
    win::OpenFile opened(System());
    ASSERT_EQ(System().OpenFolder(spelled, opened.Receive()), win::kErrorSuccess);
    EXPECT_EQ(System().FinalPath(opened.Get()), made);
    win::OpenFile again(System());
    ASSERT_EQ(System().OpenFolder(made, again.Receive()), win::kErrorSuccess);
    EXPECT_TRUE(System().SameObject(opened.Get(), again.Get()));
  }
  EXPECT_EQ(System().LongPathName(shortPath), made);
  EXPECT_EQ(System().PathAttributes(shortPath) & win::kFileAttributeDirectory, win::kFileAttributeDirectory);
}

// A file another program holds without sharing its deletion is not replaced; an open file of
// this program's, shared for deletion, is deleted through its handle.
TEST_F(FileBehaviour, AHeldFileStaysAndAnOpenFileIsDeleted) {
  const std::string held = folder + "\\held.log";
  arrange->MakeFile(held);
  arrange->HoldWithoutDeleteSharing(held);
  win::OpenFile holding(System());
  ASSERT_EQ(System().OpenFolder(folder, holding.Receive()), win::kErrorSuccess);
  const std::string fresh = folder + "\\fresh.writing";
  win::OpenFile file(System());
  ASSERT_EQ(System().CreateNewFile(fresh, file.Receive()), win::kErrorSuccess);
  EXPECT_NE(System().RenameOpenFile(file.Get(), holding.Get(), fresh, held), win::kErrorSuccess);
  arrange->Release();
  EXPECT_NE(System().PathAttributes(held), win::kInvalidFileAttributes) << "the held file stays";
  EXPECT_EQ(System().DeleteOpenFile(file.Get(), fresh), win::kErrorSuccess);
  file.Close();
  EXPECT_EQ(System().PathAttributes(fresh), win::kInvalidFileAttributes);
}

// Nothing at a name is reused: not a file, and not a folder given where a file is expected.
TEST_F(FileBehaviour, ANewFileIsNeverMadeWhereSomethingIs) {
  arrange->MakeFile(folder + "\\there.log");
  arrange->MakeFolder(folder + "\\a folder");
  for (const char* name : {"\\there.log", "\\a folder"}) {
    win::OpenFile file(System());
    EXPECT_EQ(System().CreateNewFile(folder + name, file.Receive()), win::kErrorFileExists) << name;
  }
}

// Anyone who may list a folder may hold it sharing nothing: the log's folder still opens, for what
// the log needs of it, and a file is made in it. (Windows then refuses to rename a file into it,
// which Wine allows: the log stays under its temporary name there.)
TEST_F(FileBehaviour, AFolderHeldSharingNothingStillOpens) {
  const std::string held = folder + "\\Held";
  arrange->MakeFolder(held);
  arrange->HoldFolderSharingNothing(held);
  win::OpenFile opened(System());
  ASSERT_EQ(System().OpenFolder(held, opened.Receive()), win::kErrorSuccess);
  EXPECT_EQ(System().CheckFolder(opened.Get()), win::kErrorSuccess);
  EXPECT_EQ(System().FinalPath(opened.Get()), held);
  std::vector<std::string> writers;
  std::vector<std::string> readers;
  EXPECT_EQ(System().OthersWithAccess(opened.Get(), &writers, &readers), win::kErrorSuccess);
  win::OpenFile made(System());
  EXPECT_EQ(System().CreateNewFile(held + "\\new.log", made.Receive()), win::kErrorSuccess);
  arrange->Release();
}

// The program kept in its folder is opened as itself, for its security, and given SYSTEM and the
// Administrators alone. (Wine answers success without changing the mode bits it maps to, so what
// the file is given only the in-memory Windows shows.)
TEST_F(FileBehaviour, AFileOpensForItsSecurityAndIsProtected) {
  const std::string program = folder + "\\QuilletSetup.exe";
  arrange->MakeFile(program);
  win::OpenFile opened(System());
  ASSERT_EQ(System().OpenFolder(program, opened.Receive()), win::kErrorSuccess);
  EXPECT_EQ(System().CheckOrdinaryFile(opened.Get()), win::kErrorSuccess);
  std::vector<std::string> writers;
  std::vector<std::string> readers;
  EXPECT_EQ(System().OthersWithAccess(opened.Get(), &writers, &readers), win::kErrorSuccess);
  EXPECT_EQ(System().ProtectForAdministrators(program, false), win::kErrorSuccess);
  EXPECT_TRUE(win::IsAbsent(System().OpenFolder(folder + "\\none.exe", opened.Receive())));
  // A status Windows has no text for, as its own tools show it.
  EXPECT_EQ(System().ErrorText(win::kSchedServiceNotRunning),
            "0x80041315 (the Task Scheduler service is not running)");
}

// The run lock: shared with nobody, so a second open fails while one holds it, even in this
// process; gone when its handle closes; and a file left there is taken over.
TEST_F(FileBehaviour, TheLockFileIsHeldByOneAndGoneWhenLetGo) {
  const std::string lock = folder + "\\QuilletSetup.lock";
  bool leftBehind = true;
  win::OpenFile first(System());
  ASSERT_EQ(System().HoldLockFile(lock, first.Receive(), &leftBehind), win::kErrorSuccess);
  EXPECT_FALSE(leftBehind);
  win::OpenFile second(System());
  EXPECT_EQ(System().HoldLockFile(lock, second.Receive(), &leftBehind), win::kErrorSharingViolation);
  first.Close();
  EXPECT_EQ(System().PathAttributes(lock), win::kInvalidFileAttributes) << "deleted on close";
  arrange->MakeFile(lock);
  ASSERT_EQ(System().HoldLockFile(lock, second.Receive(), &leftBehind), win::kErrorSuccess);
  EXPECT_TRUE(leftBehind);
  second.Close();
  EXPECT_EQ(System().PathAttributes(lock), win::kInvalidFileAttributes);
  EXPECT_EQ(System().CreateAdministratorsFolder(folder + "\\Admins"), win::kErrorSuccess);
  EXPECT_EQ(System().CreateAdministratorsFolder(folder + "\\Admins"), win::kErrorSuccess) << "already there";
  EXPECT_EQ(System().PathAttributes(folder + "\\Admins") & win::kFileAttributeDirectory,
            win::kFileAttributeDirectory);
}

}  // namespace
