// The log is created as a new file beside its target when the run starts and takes the target's
// place once the run is over: a log that cannot be started says why before anything changes, and
// one that cannot be put in place leaves the old log as it was and this run's log whole, named.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "setup/report/RunLog.h"
#include "tests/support/FakeWindows.h"

namespace {

constexpr const char* kLog = "C:\\Logs\\setup.log";
constexpr const char* kFirstTemporary = "C:\\Logs\\setup.log.{00000000-0000-0000-0000-100000000001}.writing";

struct LogCase {
  const char* name;
  const char* requested;
  void (*arrange)(win::FakeWindows&);
  const char* startFailure;   // part of what Start says; nullptr when it starts
  const char* finishFailure;  // part of what Finish says; nullptr when the log is in place
  std::map<std::string, std::string> files;  // what the disk holds afterwards ("new": this run's log)
};

TEST(RunLog, StartsBeforeTheRunAndReplacesTheOldLogOnlyWhenWhole) {
  const LogCase cases[] = {
      {"a file", kLog, nullptr, nullptr, nullptr, {{kLog, "new"}}},
      {"an existing folder", "C:\\Logs", nullptr, nullptr, nullptr,
       {{kLog, "old"}, {"C:\\Logs\\QuilletSetup.log", "new"}}},
      {"a folder with a trailing backslash", "C:\\Logs\\", nullptr, nullptr, nullptr,
       {{kLog, "old"}, {"C:\\Logs\\QuilletSetup.log", "new"}}},
      {"a relative path", "here.log", nullptr, nullptr, nullptr,
       {{kLog, "old"}, {"C:\\Setup\\here.log", "new"}}},
      // Another spelling of the folder asked for is that folder.
      {"the folder by its 8.3 short name", "C:\\LOGS~1\\setup.log",
       [](win::FakeWindows& w) { w.System().AddShortName("C:\\LOGS~1", "C:\\Logs"); }, nullptr,
       nullptr, {{kLog, "new"}}},
      {"the folder in other letter case", "c:\\LOGS\\setup.log", nullptr, nullptr, nullptr,
       {{kLog, "new"}}},
      {"a mapped drive", "Z:\\Logs\\setup.log",
       [](win::FakeWindows& w) {
         w.System().AddFolder("Z:\\Logs");
         w.System().AddDrive("Z:", "\\\\server\\share");
       },
       nullptr, nullptr, {{kLog, "old"}, {"Z:\\Logs\\setup.log", "new"}}},
      {"a folder that does not exist", "C:\\Missing\\setup.log", nullptr, "cannot find the path specified", nullptr,
       {{kLog, "old"}}},
      {"a folder ending in a backslash that does not exist", "C:\\Missing\\", nullptr, "cannot find the path specified",
       nullptr, {{kLog, "old"}}},
      {"access denied", kLog, [](win::FakeWindows& w) { w.System().UnwritablePath("C:\\Logs\\"); },
       "Access is denied.", nullptr, {{kLog, "old"}}},
      {"a folder that is a junction", kLog,
       [](win::FakeWindows& w) { w.System().MakeFolderALink("C:\\Logs"); }, "link or junction",
       nullptr, {{kLog, "old"}}},
      {"a junction above the log's folder", "C:\\Logs\\Sub\\setup.log",
       [](win::FakeWindows& w) {
         w.System().MakeFolderALink("C:\\Logs");
         w.System().AddFolder("C:\\Logs\\Sub");
       },
       "link or junction", nullptr, {{kLog, "old"}}},
      {"a junction above, where Windows tells no final path", "C:\\Logs\\Sub\\setup.log",
       [](win::FakeWindows& w) {
         w.System().MakeFolderALink("C:\\Logs");
         w.System().AddFolder("C:\\Logs\\Sub");
         w.FailAt({"FinalPath"}, win::kErrorCallNotImplemented);
       },
       "link or junction", nullptr, {{kLog, "old"}}},
      {"a folder whose attributes cannot be read", kLog,
       [](win::FakeWindows& w) { w.FailAt({"CheckFolder"}, win::kErrorAccessDenied); },
       "Access is denied.", nullptr, {{kLog, "old"}}},
      {"the folder swapped for a junction before the move", kLog,
       [](win::FakeWindows& w) {
         w.BeforeNextCall("RenameOpenFile", [&w] {
           EXPECT_EQ(w.System().ReplaceFolderWithLink("C:\\Logs"), win::kErrorSharingViolation)
               << "the folder is held while the log is written";
         });
       },
       nullptr, nullptr, {{kLog, "new"}}},
      // Anyone who may list the folder may hold it sharing nothing: the log still starts, and
      // Windows then refuses to rename into it.
      {"the folder held open sharing nothing", kLog,
       [](win::FakeWindows& w) { w.System().HoldSharingNothing("C:\\Logs"); }, nullptr,
       "could not be put in place (", {{kLog, "old"}, {kFirstTemporary, "new"}}},
      {"the old log held open without delete sharing", kLog,
       [](win::FakeWindows& w) { w.System().HoldOpen(kLog, false); }, nullptr,
       "could not be put in place (Access is denied.); the log of this run is kept as C:\\Logs\\setup.log.{",
       {{kLog, "old"}, {kFirstTemporary, "new"}}},
      {"the old log held open with delete sharing", kLog,
       [](win::FakeWindows& w) { w.System().HoldOpen(kLog, true); }, nullptr, nullptr,
       {{kLog, "new"}}},
      {"disk full at the end", kLog,
       [](win::FakeWindows& w) { w.FailAt({"AppendToFile", "", "", 2}, 112); }, nullptr,
       "could not be put in place (Error 112.)", {{kLog, "old"}, {kFirstTemporary, "first lines"}}},
      {"linked elsewhere while written", kLog,
       [](win::FakeWindows& w) { w.FailAt({"CheckOrdinaryFile"}, win::kErrorStoppedOnSymlink); },
       nullptr, "was deleted.", {{kLog, "old"}}},
      {"linked elsewhere, and the delete fails", kLog,
       [](win::FakeWindows& w) {
         w.FailAt({"CheckOrdinaryFile"}, win::kErrorStoppedOnSymlink);
         w.FailAt({"DeleteOpenFile"}, win::kErrorAccessDenied);
       },
       nullptr, "could not be deleted (Access is denied.): C:\\Logs\\setup.log.{",
       {{kLog, "old"}, {kFirstTemporary, "new"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    win::FakeWindows windows;
    auto& system = windows.System();
    system.AddFolder("C:\\Logs");
    win::FileHandle old = 0;
    ASSERT_EQ(system.CreateNewFile(kLog, &old), win::kErrorSuccess);
    ASSERT_EQ(system.AppendToFile(old, "old"), win::kErrorSuccess);
    system.CloseFile(old);
    if (c.arrange != nullptr) c.arrange(windows);

    quillet::RunLog log(system);
    const auto started = log.Start(c.requested, "QuilletSetup 1.00 on WORKSTATION-7, 2026-12-08 00:00:00\r\n");
    ASSERT_EQ(started.has_value(), c.startFailure != nullptr) << started.value_or("");
    if (started) {
      EXPECT_NE(started->find(std::string("The log file ") + c.requested + " could not be written: "),
                std::string::npos) << *started;
      EXPECT_NE(started->find(c.startFailure), std::string::npos) << *started;
    }
    log.Add("what became of each data source\r\n");
    const auto finished = log.Finish(0);
    ASSERT_EQ(finished.has_value(), c.finishFailure != nullptr || started) << finished.value_or("");
    if (c.finishFailure != nullptr) {
      EXPECT_NE(finished->find(c.finishFailure), std::string::npos) << *finished;
    }
    std::map<std::string, std::string> kinds;
    for (const auto& [path, contents] : system.Files()) {
      const bool whole = contents.starts_with("QuilletSetup 1.00 on WORKSTATION-7, 2026-12-08 ") &&
                         contents.ends_with("what became of each data source\r\n"
                                            "Result: success, exit code 0\r\n");
      kinds[path] = contents == "old" ? "old" : whole ? "new" : "first lines";
      if (whole) {
        const std::string target = path.ends_with(".writing") ? kLog : path;
        // By the path asked for, in the spelling asked for.
        const bool named = contents.find("\r\nLog file: " + target + "\r\n") != std::string::npos ||
                           contents.find(std::string("\r\nLog file: ") + c.requested + "\r\n") != std::string::npos;
        EXPECT_TRUE(named) << "names where it was meant to be: " << contents;
      }
    }
    EXPECT_EQ(kinds, c.files);
    EXPECT_EQ(system.OpenFileCount(), 0);
  }
}

// Not a refusal: the administrator chose the folder, but whoever else may write there (its owner
// among them, a standard user who made it) may prepare what the log's name meets next time.
TEST(RunLog, WarnsWhenOthersMayWriteInTheLogsFolderOrItsSecurityCannotBeRead) {
  const std::pair<void (*)(win::FakeWindows&), const char*> cases[] = {
      {[](win::FakeWindows& w) { w.System().LetOthersWrite("C:\\Logs", {"WORKSTATION-7\\pupil", "Everyone"}); },
       "\r\nwarning: the log's folder may also be written by WORKSTATION-7\\pupil, Everyone; "
       "keep the log in a folder only administrators can write, such as %windir%\\Logs\r\n"},
      {[](win::FakeWindows& w) { w.System().HideSecurity("C:\\Logs"); },
       "\r\nwarning: who may write in the log's folder could not be read (Access is denied.); "
       "keep the log in a folder only administrators can write, such as %windir%\\Logs\r\n"},
  };
  for (const auto& [arrange, warning] : cases) {
    win::FakeWindows windows;
    windows.System().AddFolder("C:\\Logs");
    arrange(windows);
    quillet::RunLog log(windows.System());
    EXPECT_FALSE(log.Start(kLog, "QuilletSetup 1.00 on WORKSTATION-7, 2026-12-08 00:00:00\r\n"));
    EXPECT_FALSE(log.Finish(0));
    EXPECT_NE(windows.System().Files().at(kLog).find(warning), std::string::npos)
        << windows.System().Files().at(kLog);
  }
}

TEST(RunLog, NeverTakesANameThatIsThere) {
  win::FakeWindows windows;
  auto& system = windows.System();
  system.AddFolder("C:\\Logs");
  // Someone guessed the first name: the file there stays as it is, and another name is taken.
  win::FileHandle planted = 0;
  ASSERT_EQ(system.CreateNewFile(kFirstTemporary, &planted), win::kErrorSuccess);
  system.CloseFile(planted);
  quillet::RunLog log(system);
  EXPECT_FALSE(log.Start(kLog, "QuilletSetup 1.00 on WORKSTATION-7, 2026-12-08 00:00:00\r\n"));
  EXPECT_FALSE(log.Finish(0));
  EXPECT_EQ(system.Files().size(), 2u);
  EXPECT_EQ(system.Files().at(kFirstTemporary), "");
  EXPECT_TRUE(system.Files().at(kLog).ends_with("Result: success, exit code 0\r\n"));
}

}  // namespace
