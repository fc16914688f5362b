// The log goes to a new file beside its target, which takes the target's place once whole: a
// failure at any step leaves the old log as it was and no temporary file behind.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "setup/LogFile.h"
#include "tests/support/FakeWindows.h"

namespace {

constexpr const char* kLog = "C:\\Logs\\setup.log";

struct FailingStep {
  const char* name;
  const char* function;  // where the fault lands; "" for none
  win::Status expected;
};

TEST(ReplaceFileContents, AnyFailingStepLeavesTheOldLogAndNoTemporaryFile) {
  const FailingStep steps[] = {
      {"nothing fails", "", win::kErrorSuccess},
      {"not an ordinary file", "CheckOrdinaryFile", win::kErrorStoppedOnSymlink},
      {"disk full while writing", "WriteWholeFile", 112},
      {"the move into place", "RenameOpenFile", win::kErrorAccessDenied},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    win::FakeWindows windows;
    auto& system = windows.System();
    ASSERT_EQ(quillet::ReplaceFileContents(system, kLog, "old"), win::kErrorSuccess);
    if (*step.function != '\0') windows.FailAt({step.function}, step.expected);

    EXPECT_EQ(quillet::ReplaceFileContents(system, kLog, "new"), step.expected);
    const bool replaced = step.expected == win::kErrorSuccess;
    EXPECT_EQ(system.Files(), (std::map<std::string, std::string>{{kLog, replaced ? "new" : "old"}}));
    EXPECT_EQ(system.OpenFileCount(), 0);
  }
}

TEST(ReplaceFileContents, NeverTakesANameThatIsThereAndRefusesAFolderThatIsALink) {
  win::FakeWindows windows;
  auto& system = windows.System();
  // Someone guessed the first name: the file there stays as it is, and another name is taken.
  const std::string guessed = std::string(kLog) + ".{00000000-0000-0000-0000-100000000001}.writing";
  win::FileHandle planted = 0;
  ASSERT_EQ(system.CreateNewFile(guessed, &planted), win::kErrorSuccess);
  system.CloseFile(planted);
  EXPECT_EQ(quillet::ReplaceFileContents(system, kLog, "log"), win::kErrorSuccess);
  EXPECT_EQ(system.Files(), (std::map<std::string, std::string>{{guessed, ""}, {kLog, "log"}}));

  system.MakeFolderALink("C:\\Logs");
  EXPECT_EQ(quillet::ReplaceFileContents(system, kLog, "again"), win::kErrorStoppedOnSymlink);
  EXPECT_EQ(system.Files().at(kLog), "log");
  EXPECT_EQ(windows.CountCalls("CreateNewFile"), 3) << "nothing is created in a linked folder";
}

}  // namespace
