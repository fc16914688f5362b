// Unattended deployment: the command line, quiet runs, the log and the exit codes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakeWindows.h"
#include "setup/CommandLine.h"
#include "setup/ExitCodes.h"
#include "setup/Program.h"

namespace {

using quillet::CommandLine;
using quillet::ParseCommandLine;
using quillet::SplitCommandLine;

// ------------------------------------------------------------------------ the command line

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules) {
  EXPECT_EQ(SplitCommandLine("QuilletSetup.exe /quiet  /log \"C:\\Program Files\\setup.log\""),
            (std::vector<std::string>{"QuilletSetup.exe", "/quiet", "/log",
                                      "C:\\Program Files\\setup.log"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\My Tools\\QuilletSetup.exe\"\t-Q"),
            (std::vector<std::string>{"C:\\My Tools\\QuilletSetup.exe", "-Q"}));
  EXPECT_EQ(SplitCommandLine("a \"\" b\\\\\"c d\" e\\f"),
            (std::vector<std::string>{"a", "", "b\\c d", "e\\f"}));
  EXPECT_EQ(SplitCommandLine("x \\\"quoted\\\""), (std::vector<std::string>{"x", "\"quoted\""}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(ParseCommandLine, NothingMeansAnInteractiveRun) {
  const CommandLine command = ParseCommandLine({});
  EXPECT_FALSE(command.quiet);
  EXPECT_FALSE(command.help);
  EXPECT_FALSE(command.logPath);
  EXPECT_FALSE(command.notUnderstood);
}

TEST(ParseCommandLine, TakesEverySwitchWithEitherPrefixInAnyCase) {
  // Other installers' silent switches too: a deployment tool passing one must never wait.
  for (const char* quiet : {"/quiet", "-quiet", "/Q", "-q", "/QUIET", "/silent", "/s", "/S",
                            "/verysilent", "/VERYSILENT", "/qn", "--quiet", "-silent"}) {
    EXPECT_TRUE(ParseCommandLine({quiet}).quiet) << quiet;
  }
  for (const char* help : {"/?", "-?", "/help", "-HELP"}) {
    EXPECT_TRUE(ParseCommandLine({help}).help) << help;
  }
  EXPECT_EQ(ParseCommandLine({"-LOG", "out.txt"}).logPath, "out.txt");
}

TEST(ParseCommandLine, CombinesSwitches) {
  const CommandLine command = ParseCommandLine({"/q", "/log", "C:\\logs\\q.log"});
  EXPECT_TRUE(command.quiet);
  EXPECT_EQ(command.logPath, "C:\\logs\\q.log");
  EXPECT_FALSE(command.notUnderstood);
}

TEST(ParseCommandLine, ALogSwitchWithoutAFileIsNotUnderstood) {
  EXPECT_EQ(ParseCommandLine({"/log"}).notUnderstood, "/log (without a file name)");
  const CommandLine followedBySwitch = ParseCommandLine({"/log", "/quiet"});
  EXPECT_EQ(followedBySwitch.notUnderstood, "/log (without a file name)");
  EXPECT_TRUE(followedBySwitch.quiet);
  EXPECT_TRUE(ParseCommandLine({"/log", ""}).notUnderstood.has_value());
}

TEST(ParseCommandLine, NamesTheFirstArgumentItDoesNotUnderstand) {
  EXPECT_EQ(ParseCommandLine({"/quiet", "/bogus", "extra"}).notUnderstood, "/bogus");
  EXPECT_EQ(ParseCommandLine({"/log", "a.log", "/log", "b.log"}).notUnderstood,
            "/log b.log (a second log file; give one)");
  EXPECT_EQ(ParseCommandLine({"/log", "a.log", "/log", "b.log"}).logPath, "a.log")
      << "the first is still where the reason goes";
  EXPECT_EQ(ParseCommandLine({"install"}).notUnderstood, "install");
  EXPECT_EQ(ParseCommandLine({"/"}).notUnderstood, "/");
  EXPECT_EQ(ParseCommandLine({"/quiet:yes"}).notUnderstood, "/quiet:yes");
}

// ------------------------------------------------------------------------ whole runs

class Deployment : public ::testing::Test {
 protected:
  Deployment() { windows.System().SetLocalDate({2004, 5, 1}); }
  int Run(const std::string& arguments) {
    windows.System().SetCommandLine("QuilletSetup.exe " + arguments);
    return quillet::RunProgram(windows);
  }
  win::FakeWindows windows;
};

TEST_F(Deployment, QuietRunShowsNothingAndRegistersTheSameAsAnInteractiveOne) {
  win::FakeWindows interactive;
  interactive.System().SetLocalDate({2004, 5, 1});
  ASSERT_EQ(quillet::RunProgram(interactive), 0);

  EXPECT_EQ(Run("/quiet"), 0);
  for (const auto& function : {"MessageBoxA", "CreateFrameWindow", "CreateLabelWindow",
                               "ShowWindow", "RepaintWindow"}) {
    EXPECT_EQ(windows.CountCalls(function), 0) << function;
  }
  std::vector<std::string> quietWrites, interactiveWrites;
  for (const auto& call : windows.Calls()) {
    if (call.function == "RegSetValueExA") quietWrites.push_back(call.keyPath + "|" + call.valueName);
  }
  for (const auto& call : interactive.Calls()) {
    if (call.function == "RegSetValueExA") {
      interactiveWrites.push_back(call.keyPath + "|" + call.valueName);
    }
  }
  EXPECT_EQ(quietWrites, interactiveWrites);
  EXPECT_EQ(quietWrites.size(), 13u * (5 + 20) + 2) << "and the Application log's source";
}

TEST_F(Deployment, QuietRunStaysSilentEvenWhenEveryDataSourceFails) {
  windows.Registry().SetProcessorIdentifier("x86 Family 6");
  windows.System().SetSystemDirectory("");
  windows.System().SetSystemWow64Directory("");
  windows.System().SetVersion(4, 0, 0);  // no driver directory in either view
  EXPECT_EQ(Run("-q"), quillet::kExitInstallFailure);
  EXPECT_EQ(windows.CountCalls("MessageBoxA"), 0);
  for (const auto& call : windows.CallsOf("RegCreateKeyExA")) {
    EXPECT_EQ(call.keyPath.find("ODBC"), std::string::npos) << call.keyPath;
  }
}

TEST_F(Deployment, TheLogSaysWhatBecameOfEveryDataSource) {
  windows.System().SetLocalDate({2003, 5, 1});
  windows.Registry().SetString("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R1", "DBQ", "kept");
  windows.Registry().DenyWriteAccess("SOFTWARE\\ODBC\\ODBC.INI");  // every native data source fails

  EXPECT_EQ(Run("/quiet /log C:\\setup.log"), quillet::kExitInstallFailure);

  ASSERT_EQ(windows.System().Files().count("C:\\setup.log"), 1u);
  const std::string log = windows.System().Files().at("C:\\setup.log");
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.push_back(log.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0],
            "QuilletSetup 1.00 on WORKSTATION-7, 2003-05-01 00:00:00, archive years 2002-2002, "
            "command line: QuilletSetup.exe /quiet /log C:\\setup.log");
  EXPECT_EQ(lines[1], "Log file: C:\\setup.log");
  EXPECT_EQ(lines[2], "Junctions and links made by non-administrators are not followed (redirection trust).");
  lines.erase(lines.begin(), lines.begin() + 3);
  EXPECT_EQ(lines[0], "Quillet-R (32-bit-on-64-bit view): registered");
  EXPECT_EQ(lines[1].substr(0, 87),
            "Quillet-R1 (32-bit-on-64-bit view): present but incomplete, missing Description, "
            "Driver");
  EXPECT_TRUE(lines[1].ends_with("; run this setup with /repair to complete it")) << lines[1];
  EXPECT_EQ(lines[5],
            "Quillet2002-R (native view): failed: could not create the key "
            "\"SOFTWARE\\ODBC\\ODBC.INI\": Access is denied.");
  EXPECT_EQ(lines[10], "Quillet2002-R (32-bit-on-64-bit view): registered");
  EXPECT_EQ(lines[15],
            "\"Microsoft Access Driver (*.mdb)\" is not installed for the 32-bit-on-64-bit view, "
            "which Quillet uses: Quillet cannot open its databases until it is.");
  EXPECT_EQ(lines[16],
            "15 data sources: 9 registered, 0 already present, 1 present but incomplete, "
            "0 repaired, 5 failed");
  EXPECT_EQ(lines[17], "Result: failed, exit code 1603");
}

TEST_F(Deployment, TheLogNamesADriverDirectoryThatCouldNotBeDecided) {
  windows.System().SetLocalDate({2002, 5, 1});
  windows.System().SetSystemWow64Directory("");
  windows.System().SetVersion(4, 0, 0);
  EXPECT_EQ(Run("/log run.log"), quillet::kExitInstallFailure);
  const std::string log = windows.System().Files().at("C:\\Setup\\run.log");
  EXPECT_NE(log.find("\r\nLog file: C:\\Setup\\run.log\r\nJunctions and links made by non-administrators are not followed (redirection trust).\r\n"
                     "Quillet-R (32-bit-on-64-bit view): failed: the driver directory could not be "
                     "decided\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(windows.Screen().MessageBoxes().size(), 1u) << "interactive: the summary alone";
}

// A run that could not keep its record changes nothing, and says why wherever someone may look.
TEST_F(Deployment, ALogThatCannotBeStartedChangesNothing) {
  for (const char* quiet : {"", "/quiet "}) {
    SCOPED_TRACE(quiet);
    win::FakeWindows machine;
    machine.System().GiveStandardError();
    machine.System().UnwritablePath("C:\\nowhere.log");
    machine.System().SetCommandLine(std::string("QuilletSetup.exe ") + quiet + "/log C:\\nowhere.log");
    EXPECT_EQ(quillet::RunProgram(machine), quillet::kExitLogFailure);
    EXPECT_EQ(machine.Registry().RegistryCallCount(), 0);
    EXPECT_EQ(machine.CountCalls("HoldLockFile"), 0);
    const std::string why = "The log file C:\\nowhere.log could not be written: Access is denied. "
                            "Nothing was changed.";
    EXPECT_EQ(*machine.System().StandardError(), "QuilletSetup: " + why + " (exit code 1622)\r\n");
    const auto boxes = machine.Screen().MessageBoxes();
    ASSERT_EQ(boxes.size(), *quiet == '\0' ? 1u : 0u);
    if (!boxes.empty()) {
      EXPECT_EQ(boxes[0].valueName, why);
    }
  }
}

TEST_F(Deployment, HelpShowsTheSwitchesAndRegistersNothing) {
  EXPECT_EQ(Run("/?"), 0);
  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].valueName.find("/quiet"), std::string::npos);
  EXPECT_NE(boxes[0].valueName.find("/log FILE"), std::string::npos);
  EXPECT_EQ(windows.CountCalls("RegOpenKeyExA"), 0);
  EXPECT_EQ(windows.CountCalls("CreateFrameWindow"), 0);
}

TEST_F(Deployment, AnUnknownArgumentIsNamedAndNothingIsRegistered) {
  EXPECT_EQ(Run("/bogus"), quillet::kExitBadCommandLine);
  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].valueName.find("/bogus"), std::string::npos);
  EXPECT_NE(boxes[0].valueName.find("/quiet"), std::string::npos) << "lists the accepted switches";
  EXPECT_EQ(windows.CountCalls("RegOpenKeyExA"), 0);

  // Quiet, the reason goes to standard error and to the log.
  win::FakeWindows quiet;
  quiet.System().GiveStandardError();
  quiet.System().SetCommandLine("QuilletSetup.exe /q /log C:\\bad.log /bogus");
  EXPECT_EQ(quillet::RunProgram(quiet), quillet::kExitBadCommandLine);
  EXPECT_EQ(quiet.CountCalls("MessageBoxA"), 0);
  EXPECT_EQ(quiet.CountCalls("RegOpenKeyExA"), 0);
  const std::string reason = "This argument is not understood: /bogus";
  EXPECT_EQ(*quiet.System().StandardError(), "QuilletSetup: " + reason + " (exit code 87)\r\n");
  const std::string log = quiet.System().Files().at("C:\\bad.log");
  EXPECT_EQ(log.substr(log.find("\r\n") + 2),
            "Log file: C:\\bad.log\r\nJunctions and links made by non-administrators are not followed (redirection trust).\r\n" + reason +
                "\r\nResult: command line not understood, exit code 87\r\n");
}

// Where no one can see the screen (session 0, a service), nothing waits for a person.
TEST_F(Deployment, NoVisibleDesktopRunsQuietlyAndSaysWhy) {
  windows.Screen().HideDesktop();
  EXPECT_EQ(Run("/log C:\\unseen.log"), 0);
  EXPECT_EQ(windows.CountCalls("MessageBoxA"), 0);
  EXPECT_EQ(windows.CountCalls("CreateFrameWindow"), 0);
  EXPECT_NE(windows.System().Files().at("C:\\unseen.log").find(
                "\r\nNo one can see this session's screen (its window station is not visible"),
            std::string::npos);
  EXPECT_TRUE(windows.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Quillet2003-S2"));
}

TEST_F(Deployment, NoCommandLineBehavesAsAlways) {
  windows.System().SetCommandLine("\"C:\\Setup\\QuilletSetup.exe\"");
  EXPECT_EQ(quillet::RunProgram(windows), 0);
  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].valueName.starts_with("Setup Complete - DO NOT run this setup again."));
  EXPECT_TRUE(windows.System().Files().empty());
}

}  // namespace

namespace {

struct TypedCommandLine {
  const char* text;  // after the program's name
  bool quiet;
  const char* logPath;  // nullptr: none
  bool understood;
};

// What administrators type, traps included: the folder with a trailing backslash before its
// closing quote swallows the quote and the switches after it.
TEST(TypedCommandLines, QuietWhereverItStandsAndNoLogPathWithAQuote) {
  const TypedCommandLine cases[] = {
      {"/log \"C:\\Logs\\\" /quiet", true, nullptr, false},
      {"/log \"C:\\Logs\\\\\" /quiet", true, "C:\\Logs\\", true},
      {"/log \"C:\\Program Files\\q.log\" /Q", true, "C:\\Program Files\\q.log", true},
      {"/log \"a \"\"b\"\" c\"", false, nullptr, false},
      {"\"/q\"", true, nullptr, true},
      {"/quiet /quiet -q", true, nullptr, true},
      {"/log \"C:\\Logs\\Łódź.log\" /q", true, "C:\\Logs\\Łódź.log", true},
      {"/qn /norestart", true, nullptr, true},
  };
  for (const auto& c : cases) {
    auto arguments = quillet::SplitCommandLine(std::string("QuilletSetup.exe ") + c.text);
    arguments.erase(arguments.begin());
    const CommandLine command = ParseCommandLine(arguments);
    EXPECT_EQ(command.quiet, c.quiet) << c.text;
    EXPECT_EQ(!command.notUnderstood.has_value(), c.understood) << c.text;
    if (c.understood && c.logPath != nullptr) {
      EXPECT_EQ(command.logPath, c.logPath) << c.text;
    }
  }
}

TEST(TypedCommandLines, AQuietRunThatIsNotUnderstoodShowsNothingAndRegistersNothing) {
  win::FakeWindows windows;
  windows.System().SetCommandLine("QuilletSetup.exe /log \"C:\\Logs\\\" /quiet");
  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitBadCommandLine);
  EXPECT_TRUE(windows.Screen().MessageBoxes().empty());
  EXPECT_EQ(windows.CountCalls("CreateFrameWindow"), 0);
  EXPECT_EQ(windows.Registry().RegistryCallCount(), 0);

  windows.System().SetCommandLine("QuilletSetup.exe /log \"C:\\Logs\\\"");
  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitBadCommandLine);
  ASSERT_EQ(windows.Screen().MessageBoxes().size(), 1u);
  EXPECT_NE(windows.Screen().MessageBoxes()[0].valueName.find("\"C:\\Logs\\\\\""), std::string::npos)
      << "says how to write the folder: " << windows.Screen().MessageBoxes()[0].valueName;
}

}  // namespace

namespace {

enum class OtherRun { None, Holds, HoldsForAWhile, BeingDeletedForAWhile, LeftItByPowerLoss };

struct LockCase {
  const char* arguments;
  OtherRun other;
  int exitCode;
};

void Arrange(win::FakeWindows& windows, OtherRun other) {
  switch (other) {
    case OtherRun::None: break;
    case OtherRun::Holds: windows.System().OtherRunHoldsTheLock(-1); break;
    case OtherRun::HoldsForAWhile: windows.System().OtherRunHoldsTheLock(8); break;
    case OtherRun::BeingDeletedForAWhile:
      windows.System().OtherRunHoldsTheLock(8, win::kErrorAccessDenied);
      break;
    case OtherRun::LeftItByPowerLoss: windows.System().LeaveLockFile(); break;
  }
}

// Every mode takes the one lock, for its registry work alone: no box waits for a person while it
// is held. A run still held after the wait changes nothing, says why and ends with 1618.
TEST(RunLock, OneRunAtATimeInEveryMode) {
  const std::string why = "Another copy of this setup has been running for 60 seconds; this one "
                          "changed nothing. Run it again when that one has ended.";
  const LockCase cases[] = {
      {"/quiet /log C:\\held.log", OtherRun::Holds, quillet::kExitAlreadyRunning},
      {"/log C:\\held.log", OtherRun::Holds, quillet::kExitAlreadyRunning},
      {"/check /quiet /log C:\\held.log", OtherRun::Holds, quillet::kExitAlreadyRunning},
      {"/uninstall /quiet /log C:\\held.log", OtherRun::Holds, quillet::kExitAlreadyRunning},
      {"/repair /quiet /log C:\\held.log", OtherRun::LeftItByPowerLoss, quillet::kExitSuccess},
      {"/quiet", OtherRun::HoldsForAWhile, quillet::kExitSuccess},
      {"/quiet", OtherRun::BeingDeletedForAWhile, quillet::kExitSuccess},
      {"/log C:\\held.log", OtherRun::None, quillet::kExitSuccess},
      {"/check", OtherRun::None, quillet::kExitSomethingToDo},
      {"/uninstall", OtherRun::None, quillet::kExitSuccess},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    win::FakeWindows windows;
    windows.System().SetLocalDate({2004, 5, 1});
    Arrange(windows, c.other);
    windows.System().GiveStandardError();
    windows.System().SetCommandLine(std::string("QuilletSetup.exe ") + c.arguments);
    EXPECT_EQ(quillet::RunProgram(windows), c.exitCode);

    const auto tries = windows.CallsOf("HoldLockFile");
    ASSERT_FALSE(tries.empty());
    EXPECT_EQ(tries.front().keyPath, "C:\\windows\\QuilletSetup\\Lock\\QuilletSetup.lock");
    EXPECT_EQ(windows.System().HeldLockCount(), 0) << "let go when the run ends";
    bool held = false;
    for (const auto& call : windows.Calls()) {
      if (call.function == "HoldLockFile") held = c.other != OtherRun::Holds;
      if (call.function == "CloseFile" && held) held = false;
      EXPECT_FALSE(held && call.function == "MessageBoxA") << call.valueName;
      EXPECT_FALSE(!held && call.function.starts_with("Reg") &&
                   call.keyPath.find("ODBC") != std::string::npos &&
                   call.function != "RegOpenKeyExA" && call.function != "RegQueryValueExA" &&
                   call.function != "RegCloseKey" && call.function != "RegEnumKeyExA" &&
                   call.function != "RegEnumValueA" && call.function != "RegQueryInfoKeyA")
          << "written without the lock: " << call.function << " " << call.keyPath;
    }
    const bool quiet = std::string(c.arguments).find("/quiet") != std::string::npos;
    if (c.other == OtherRun::LeftItByPowerLoss) {
      EXPECT_NE(windows.System().Files().at("C:\\held.log").find(
                    "\r\nThe run lock C:\\windows\\QuilletSetup\\Lock\\QuilletSetup.lock was left by a run "
                    "that ended without letting it go (the computer lost power); this run took it over.\r\n"),
                std::string::npos);
    }
    if (c.other == OtherRun::HoldsForAWhile || c.other == OtherRun::BeingDeletedForAWhile) {
      EXPECT_EQ(windows.CountCalls("Pause"), 8) << "tried again until the other run let it go";
    }
    if (c.other != OtherRun::Holds) continue;
    EXPECT_EQ(*windows.System().StandardError(), "QuilletSetup: " + why + " (exit code 1618)\r\n");
    double paused = 0;
    for (const auto& pause : windows.CallsOf("Pause")) paused += pause.number;
    EXPECT_EQ(paused, 60000) << "waits a minute for the other run";
    EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\ODBC")) << "nothing is registered";
    const std::string log = windows.System().Files().at("C:\\held.log");
    EXPECT_EQ(log.substr(log.find("\r\n") + 2),
              "Log file: C:\\held.log\r\nJunctions and links made by non-administrators are not followed (redirection trust).\r\n" + why +
                  "\r\nResult: another copy was running, exit code 1618\r\n");
    const auto boxes = windows.Screen().MessageBoxes();
    EXPECT_EQ(boxes.size(), quiet ? 0u : 1u);
    if (!quiet) {
      EXPECT_EQ(boxes[0].valueName, why);
      ASSERT_EQ(windows.CountCalls("CreateLabelWindow"), 1) << "a window shows while it waits";
      const auto waiting = windows.CallsOf("CreateLabelWindow")[0].window;
      EXPECT_STREQ(windows.Screen().Window(waiting).label.caption,
                   "Waiting for another copy of this setup");
      EXPECT_EQ(windows.Screen().LiveWindowCount(), 0);
    }
  }
}

struct FolderCase {
  const char* what;
  void (*arrange)(win::FakeSystem&);
  const char* arguments;
  int exitCode;
  const char* said;  // in the log
};

void EveryoneMayWrite(win::FakeSystem& s) { s.LetOthersWrite("C:\\windows\\QuilletSetup", {"Everyone"}); }

// Nothing runs as SYSTEM from what a standard user could have changed: the program's folder, its
// lock folder and the program there. The data sources are registered all the same, no task is,
// and the run fails; /check and /uninstall say it. What others may only read, a run that writes
// gives to SYSTEM and the Administrators alone.
TEST(RunLock, NothingRunsAsSystemFromWhatOthersMayChange) {
  const std::string folder = "C:\\windows\\QuilletSetup";
  const FolderCase cases[] = {
      {"a folder Everyone may write in", EveryoneMayWrite, "/quiet /schedule", 1603,
       "Nothing may run as SYSTEM from the program's folder: C:\\windows\\QuilletSetup may also be changed by Everyone"},
      {"a program whose DACL a copy kept",
       [](win::FakeSystem& s) {
         s.AddFile("C:\\windows\\QuilletSetup\\QuilletSetup.exe");
         s.LetOthersWrite("C:\\windows\\QuilletSetup\\QuilletSetup.exe", {"BUILTIN\\Users"});
       },
       "/repair /quiet /schedule", 1603, "QuilletSetup.exe may also be changed by BUILTIN\\Users"},
      {"a linked folder", [](win::FakeSystem& s) { s.MakeFolderALink("C:\\windows\\QuilletSetup"); }, "/quiet",
       1603, "C:\\windows\\QuilletSetup is a link, junction or other reparse point"},
      {"a lock folder of unreadable security", [](win::FakeSystem& s) { s.HideSecurity("C:\\windows\\QuilletSetup\\Lock"); },
       "/quiet /schedule", 1603, "the security of C:\\windows\\QuilletSetup\\Lock could not be read (Access is denied.)"},
      {"the package's folder", [](win::FakeSystem& s) { s.InstallPackageFolder("C:\\windows\\QuilletSetup"); },
       "/repair /quiet /schedule", 0,
       "C:\\windows\\QuilletSetup could also be read by BUILTIN\\Users, APPLICATION PACKAGE AUTHORITY\\ALL "
       "APPLICATION PACKAGES; it was given to SYSTEM and the Administrators alone"},
      {"/check", EveryoneMayWrite, "/check /quiet", 1, "\r\nwarning: C:\\windows\\QuilletSetup may also be changed by Everyone\r\n"},
      {"/uninstall", EveryoneMayWrite, "/uninstall /quiet", 0, "\r\nwarning: C:\\windows\\QuilletSetup may also be changed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    win::FakeWindows windows;
    windows.System().AddFolder(folder);
    c.arrange(windows.System());
    windows.System().SetProgramPath(folder + "\\QuilletSetup.exe");
    windows.System().SetCommandLine(std::string("QuilletSetup.exe /log C:\\f.log ") + c.arguments);
    EXPECT_EQ(quillet::RunProgram(windows), c.exitCode);
    const std::string log = windows.System().Files().at("C:\\f.log");
    EXPECT_NE(log.find(c.said), std::string::npos) << log;
    const bool writes = std::string(c.arguments).find("/check") == std::string::npos &&
                        std::string(c.arguments).find("/uninstall") == std::string::npos;
    EXPECT_EQ(windows.System().Tasks().contains("QuilletSetup"), writes && c.exitCode == 0);
    EXPECT_EQ(windows.Registry().KeyExists("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R"), writes)
        << "the data sources are registered all the same";
  }
}

struct AccountCase {
  const char* arguments;
  bool folderThere;
  bool standardUser;
  int exitCode;
  const char* said;  // on standard error, or in /check's report
};

// The lock lives where only SYSTEM and the Administrators may create files, and is made there
// when missing. A standard user's detection reads without it and says so; what writes refuses.
TEST(RunLock, OnlyAdministratorsTakeItAndAStandardUsersCheckReadsWithout) {
  const AccountCase cases[] = {
      {"/quiet", false, false, quillet::kExitSuccess, nullptr},
      {"/quiet", true, false, quillet::kExitSuccess, nullptr},
      {"/check /quiet", true, true, quillet::kExitSomethingToDo,
       "warning: checked without the run lock, which only SYSTEM and the Administrators may take"},
      {"/quiet", true, true, quillet::kExitInstallFailure, "This setup needs administrator rights"},
      {"/uninstall /quiet", false, true, quillet::kExitInstallFailure,
       "This setup needs administrator rights"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.arguments) + (c.standardUser ? ", standard user" : ""));
    win::FakeWindows windows;
    if (c.folderThere) windows.System().AddFolder("C:\\windows\\QuilletSetup");
    if (c.standardUser) windows.System().RunAsStandardUser();
    windows.System().GiveStandardOutput();
    windows.System().GiveStandardError();
    windows.System().SetCommandLine(std::string("QuilletSetup.exe ") + c.arguments);
    EXPECT_EQ(quillet::RunProgram(windows), c.exitCode);
    const std::string said = *windows.System().StandardOutput() + *windows.System().StandardError();
    if (c.said != nullptr) {
      EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
    const bool writes = std::string(c.arguments).find("/check") == std::string::npos;
    EXPECT_EQ(windows.Registry().KeyExists("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R"),
              writes && !c.standardUser);
    EXPECT_EQ(windows.System().PathAttributes("C:\\windows\\QuilletSetup\\Lock") != win::kInvalidFileAttributes,
              !c.standardUser)
        << "the lock's folder is made by administrators alone";
  }
}

}  // namespace

namespace {

// /check's exit code tells where the workstation stands, whatever becomes of its log; the other
// modes change nothing when their log cannot be started.
TEST(Reports, OnlyCheckKeepsItsExitCodeWhenTheLogCannotBeWritten) {
  const std::pair<const char*, int> cases[] = {
      {"/check /quiet", quillet::kExitSuccess},
      {"/quiet", quillet::kExitLogFailure},
      {"/uninstall /quiet", quillet::kExitLogFailure},
  };
  for (const auto& [mode, exitCode] : cases) {
    SCOPED_TRACE(mode);
    win::FakeWindows windows;
    windows.System().SetCommandLine("QuilletSetup.exe /quiet");
    ASSERT_EQ(quillet::RunProgram(windows), quillet::kExitSuccess);
    windows.System().GiveStandardOutput();
    windows.System().GiveStandardError();
    windows.System().UnwritablePath("C:\\NoSuchFolder\\");
    windows.System().SetCommandLine(std::string("QuilletSetup.exe ") + mode +
                                    " /log C:\\NoSuchFolder\\check.log");
    EXPECT_EQ(quillet::RunProgram(windows), exitCode);
    if (exitCode != quillet::kExitSuccess) continue;
    const std::string said = "The log file C:\\NoSuchFolder\\check.log could not be written: ";
    EXPECT_NE(windows.System().StandardError()->find(said), std::string::npos);
    EXPECT_NE(windows.System().StandardOutput()->find(said), std::string::npos);
  }
}

TEST(Reports, HelpGoesToStandardOutputInColumnsWithEveryExitCode) {
  win::FakeWindows windows;
  windows.System().GiveStandardOutput();
  windows.System().SetCommandLine("QuilletSetup.exe /?");
  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitSuccess);
  EXPECT_EQ(windows.CountCalls("MessageBoxA"), 0) << "no box to wait for";
  const std::string help = *windows.System().StandardOutput();
  EXPECT_EQ(help.find('\t'), std::string::npos);
  for (const char* line : {"  /quiet, /q  no window", "  /log FILE   write", "  0     done",
                           "  87    the command", "  1602  /uninstall", "  1603  failed",
                           "  1618  another copy"}) {
    EXPECT_NE(help.find(std::string("\r\n") + line), std::string::npos) << line << "\n" << help;
  }
}

struct TaskStep {
  const char* arguments;
  const char* runsFrom;
  win::Status taskCalls;  // what every Task Scheduler call answers; success: as the machine is
  int exitCode;
  const char* json;  // the task's word in /json, in the document's own spelling
  bool taskAfter;
  bool event;
  bool sourcesAfter = true;
  void (*before)(win::FakeWindows&) = nullptr;  // what someone else does first
  const char* said = nullptr;                   // in the run's own output
};

// The task comes with /schedule from the program's own folder alone, after the data sources; a
// task that cannot be registered or removed fails the run; /check tells without changing its exit
// code; a run that changes nothing and ends well writes no event.
TEST(ScheduledTask, FollowsTheRunsThatAskForIt) {
  const char* own = "C:\\windows\\QuilletSetup\\QuilletSetup.exe";
  const TaskStep steps[] = {
      {"/quiet /schedule /json", "C:\\Setup\\QuilletSetup.exe", 0, 1603, "\"failed\"", false, true},
      {"/quiet /schedule /json", own, 0, 0, "\"registered\"", true, true},
      {"/check /json", own, 0, 0, "\"present\"", true, false},
      {"/quiet /json", own, 0, 0, "null", true, false},
      {"/repair /quiet /schedule /json", own, win::kErrorAccessDenied, 1603, "\"failed\"", true, true},
      // One that an administrator may not even read is another's: left, and removal ends 0.
      {"/check /json", own, win::kErrorAccessDenied, 0, "\"not-ours\"", true, false, true, nullptr,
       "is not this program's: it may not be read: Access is denied."},
      {"/uninstall /quiet /json", own, win::kErrorAccessDenied, 0, "\"not-ours\"", true, true, false},
      {"/uninstall /quiet /json", own, 0, 0, "\"removed\"", false, true, false},
      {"/uninstall /quiet /json", own, 0, 0, "\"absent\"", false, false, false},
      {"/check /schedule", own, 0, quillet::kExitBadCommandLine, nullptr, false, true, false},
      // Only a task that runs this program as SYSTEM is this program's, not a pupil's.
      {"/uninstall /quiet", own, 0, 0, nullptr, true, false, false,
       [](win::FakeWindows& m) { m.System().AddTask("QuilletSetup", {true, "S-1-5-21-1-2-3-1001", "x.exe", ""}); },
       "is not this program's (it runs as S-1-5-21-1-2-3-1001, not as SYSTEM): it was left as it is"},
      {"/quiet /schedule /json", own, 0, 0, "\"registered\"", true, true, true, nullptr,
       "it replaced a task of that name that was not this program's (it runs as S-1-5-21-1-2-3-1001, not as SYSTEM)"},
      {"/check", own, 0, 0, nullptr, true, false, true,
       [](win::FakeWindows& m) {
         m.System().AddTask("QuilletSetup", {false, "S-1-5-18", "%WINDIR%\\QuilletSetup\\QuilletSetup.exe",
                                             "/quiet /log %windir%\\Logs\\QuilletSetup-task.log"});
       },
       "The scheduled task \"QuilletSetup\" is there, disabled."},
      {"/check", own, 0, 0, nullptr, true, false, true,
       [](win::FakeWindows& m) {
         m.System().AddTask("QuilletSetup", {true, "S-1-5-18", "C:\\Tools\\x.exe\r\nResult: success", ""});
       },
       "is not this program's: it runs C:\\Tools\\x.exe<0x0D><0x0A>Result: success."},
      // As Wine gives a task back: neither its account nor its program, which cannot be told apart.
      {"/check", own, 0, 0, nullptr, true, false, true,
       [](win::FakeWindows& m) { m.System().AddTask("QuilletSetup", {}); },
       "The scheduled task \"QuilletSetup\" is there."},
      // A run that does not succeed registers no task.
      {"/quiet /schedule /json", own, 0, 1603, "\"failed\"", false, true, true,
       [](win::FakeWindows& m) {
         m.System().DeleteTask("QuilletSetup");
         m.FailAt({"RegOpenKeyExA", "Quillet2003-S2"}, win::kErrorAccessDenied);
       },
       "was not registered: not every data source is registered"},
      // A Task Scheduler that is starting is waited for; one that never answers fails /schedule alone.
      {"/quiet /schedule", own, 0, 0, nullptr, true, true, true,
       [](win::FakeWindows& m) { m.System().StartTaskScheduler(3); }},
      {"/uninstall /quiet /json", own, 0, 0, "\"unreachable\"", true, true, false,
       [](win::FakeWindows& m) { m.System().StartTaskScheduler(-1); },
       "could not be looked for: 0x80041315 (the Task Scheduler service is not running); a task of that name, if there is one, stays"},
      {"/quiet /schedule", own, 0, 1603, nullptr, true, true, true, nullptr,
       "could not be registered: 0x80041315 (the Task Scheduler service is not running)"},
  };
  win::FakeWindows machine;
  machine.System().SetLocalDate({2004, 5, 1});
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.arguments) + " from " + step.runsFrom);
    machine.System().SetProgramPath(step.runsFrom);
    machine.System().FailTaskCalls(step.taskCalls);
    machine.System().GiveStandardOutput();
    machine.System().GiveStandardError();
    if (step.before != nullptr) step.before(machine);
    const std::size_t events = machine.CallsOf("WriteEvent").size();
    const std::size_t pauses = machine.CallsOf("Pause").size();
    machine.System().SetCommandLine(std::string("QuilletSetup.exe /log C:\\task.log ") + step.arguments);
    EXPECT_EQ(quillet::RunProgram(machine), step.exitCode);
    const std::string said = *machine.System().StandardOutput() + *machine.System().StandardError() +
                             machine.System().Files().at("C:\\task.log");
    if (step.said != nullptr) {
      EXPECT_NE(said.find(step.said), std::string::npos) << said;
    }
    EXPECT_LE(machine.CallsOf("Pause").size() - pauses, 60u) << "30 seconds at most";
    if (step.json != nullptr) {
      EXPECT_NE(machine.System().StandardOutput()->find(std::string("\"task\": ") + step.json),
                std::string::npos)
          << *machine.System().StandardOutput();
    }
    EXPECT_EQ(machine.System().Tasks().contains("QuilletSetup"), step.taskAfter);
    EXPECT_EQ(machine.CallsOf("WriteEvent").size(), events + (step.event ? 1 : 0));
    EXPECT_EQ(machine.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Quillet2003-S2"),
              step.sourcesAfter);
  }
}

}  // namespace
