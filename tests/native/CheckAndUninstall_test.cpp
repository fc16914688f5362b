// /check and /uninstall on a machine where the data sources were installed and then some were
// changed by hand, beside data that is not the program's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/modes/CheckMode.h"
#include "setup/ExitCodes.h"
#include "setup/Program.h"
#include "setup/modes/UninstallMode.h"
#include "tests/support/FakeWindows.h"

namespace {

const std::string kNative = "SOFTWARE\\ODBC\\ODBC.INI\\";
const std::string kWow = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\";

std::vector<std::string> Paths(const win::RegistryTree& tree) {
  std::vector<std::string> paths;
  for (const auto& [path, values] : tree) {
    paths.push_back(path);
    for (const auto& value : values) paths.push_back(path + "|" + value.name);
  }
  return paths;
}

class Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    windows.System().SetLocalDate({2003, 6, 15});  // 5 current data sources, 2002 in both views
    ASSERT_EQ(Run("/quiet"), quillet::kExitSuccess);
    windows.Registry().SetString(kWow + "Quillet-R", "DBQ", "D:\\Custom\\Quillet-R.mdb");  // customised
    windows.Registry().RemoveValue(kWow + "Quillet-S\\Engines\\Jet", "Threads");          // incomplete
    windows.Registry().SetDword(kNative + "Quillet2002-R\\Engines\\Jet", "Extra", 1);      // added to
    windows.Registry().RemoveKey(kNative + "Quillet2002-S");                               // absent
    windows.Registry().SetString(kWow + "Quillet-S1{QuilletSetup staging}", "DBQ", "left by a cut");
    windows.Registry().SetString(kNative + "Payroll", "Server", "payroll.example");  // another program's
    windows.Registry().SetString(kNative + "ODBC Data Sources", "Payroll", "SQL Server");
    arranged = windows.Registry().Tree();
    windows.ClearCalls();
  }
  int Run(const std::string& switches) {
    windows.System().SetCommandLine("QuilletSetup.exe " + switches);
    return quillet::RunProgram(windows);
  }
  std::string Line(const std::string& text, const std::string& start) {
    const auto at = text.find(start);
    return at == std::string::npos ? "(none)" : text.substr(at, text.find("\r\n", at) - at);
  }

  win::FakeWindows windows;
  win::RegistryTree arranged;
};

TEST_F(Modes, CheckNamesWhatEachDataSourceIsAndChangesNothing) {
  // A pupil's junction on the way to a database, and registry text that would begin lines.
  windows.System().AddFolder("C:\\Brannic");
  windows.System().MakeFolderALink("C:\\Brannic\\Current");
  windows.Registry().SetString(kWow + "Quillet-R", "DBQ", "D:\\Custom\r\nResult: success.mdb");
  windows.Registry().SetString(kWow + "Quillet-R", "x\r\nResult: success", "1");
  arranged = windows.Registry().Tree();
  windows.System().GiveStandardOutput();
  EXPECT_EQ(Run("/check /log C:\\check.log"), quillet::kExitSomethingToDo);
  const std::string report = *windows.System().StandardOutput();
  const std::pair<const char*, const char*> expected[] = {
      {"Quillet-R (32-bit-on-64-bit view): ",
       "customised: DBQ differs; added x<0x0D><0x0A>Result: success"},
      {"Quillet-S (32-bit-on-64-bit view): ", "incomplete, missing Engines\\Jet\\Threads"},
      {"Quillet-S1 (32-bit-on-64-bit view): ", "complete; a staging key left by a cut-off run"},
      {"Quillet2002-R (native view): ", "customised: added Engines\\Jet\\Extra"},
      {"Quillet2002-S (native view): ", "missing"},
      {"Quillet2002-S (32-bit-on-64-bit view): ", "complete"},
  };
  for (const auto& [start, condition] : expected) {
    EXPECT_EQ(Line(report, start), std::string(start) + condition);
  }
  // One line per missing file, with how many data sources name it; the native view's missing
  // driver on 64-bit Windows is one note, and no warning.
  EXPECT_NE(report.find("warning: driver file C:\\windows\\SysWOW64\\odbcjt32.dll not found "
                        "(10 data sources)\r\n"),
            std::string::npos) << report;
  EXPECT_NE(report.find("warning: database C:\\Brannic\\Quillet-2002\\Quillet-R.mdb not found "
                        "(2 data sources)\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("warning: database D:\\Custom<0x0D><0x0A>Result: success.mdb not found"),
            std::string::npos);
  EXPECT_NE(report.find("warning: database C:\\Brannic\\Current\\Quillet-S.mdb not looked for: "
                        "C:\\Brannic\\Current is a link, junction or mount point, which this check "
                        "does not follow (1 data source)\r\n"),
            std::string::npos) << report;
  for (const auto& looked : windows.CallsOf("GetFileAttributesA")) {
    EXPECT_FALSE(looked.keyPath.starts_with("C:\\Brannic\\Current\\")) << looked.keyPath;
  }
  for (const std::string& text : {report, windows.System().Files().at("C:\\check.log")}) {
    EXPECT_EQ(text.find("\nResult: success"), std::string::npos) << "no registry text begins a line";
  }
  EXPECT_EQ(report.find("C:\\windows\\system32\\odbcjt32.dll"), std::string::npos);
  EXPECT_NE(report.find("note: the native view names no Access driver that exists, as expected"),
            std::string::npos);
  EXPECT_NE(report.find("11 complete, 2 customised, 0 with an earlier version's driver path, "
                        "1 incomplete, 1 missing"), std::string::npos)
      << report;
  EXPECT_TRUE(windows.Registry().Tree() == arranged);
  for (const char* write : {"RegCreateKeyExA", "RegSetValueExA", "RegDeleteKeyA", "RegDeleteValueA",
                            "RegRenameKey", "MessageBoxA"}) {
    EXPECT_EQ(windows.CountCalls(write), 0) << write;
  }
  EXPECT_EQ(windows.CountCalls("CreateNewFile"), 1) << "its log alone";
}

TEST_F(Modes, CheckStartedWithoutAnyOutputShowsTheCountsAndFirstNames) {
  EXPECT_EQ(Run("/check"), quillet::kExitSomethingToDo);
  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  const std::string& text = boxes[0].valueName;
  EXPECT_EQ(text.substr(0, text.find('\n')), "15 Quillet data sources checked.");
  EXPECT_NE(text.find("1 missing: Quillet2002-S (native view)"), std::string::npos) << text;
  EXPECT_NE(text.find("2 customised: Quillet-R (32-bit-on-64-bit view), Quillet2002-R (native view)"),
            std::string::npos)
      << text;
  EXPECT_TRUE(windows.Registry().Tree() == arranged);
}

TEST_F(Modes, UninstallRemovesOnlyWhatIsStillAsWrittenAndReportsEveryDataSource) {
  EXPECT_EQ(Run("/uninstall /quiet /log C:\\removal.log"), quillet::kExitSuccess);
  const std::string log = windows.System().Files().at("C:\\removal.log");
  EXPECT_EQ(Line(log, "Quillet-R (32"), "Quillet-R (32-bit-on-64-bit view): kept: customised, DBQ differs");
  EXPECT_EQ(Line(log, "Quillet2002-S (native"), "Quillet2002-S (native view): not present");
  EXPECT_EQ(Line(log, "Quillet-S1 (32"),
            "Quillet-S1 (32-bit-on-64-bit view): removed; its staging key removed");
  EXPECT_EQ(Line(log, "15 data"), "15 data sources: 12 removed, 2 kept, 1 not present, 0 failed");

  // What is left: the kept data sources with their list lines, the list line of the one that was
  // not there (nothing of it is touched), and everything not the program's.
  win::RegistryTree kept;
  for (const auto& [path, values] : arranged) {
    // The Application log's source stays while any data source does.
    const bool ours = path.find("\\Quillet") != std::string::npos && !path.starts_with("SYSTEM\\");
    const auto within = [&](const std::string& key) {
      return path == key || path.starts_with(key + "\\");
    };
    const bool keptOnes = within(kWow + "Quillet-R") || within(kNative + "Quillet2002-R");
    if (!ours || keptOnes) kept[path] = values;
  }
  for (const auto& list : {kNative + "ODBC Data Sources", kWow + "ODBC Data Sources"}) {
    std::erase_if(kept[list], [&](const win::StoredValue& line) {
      const bool keptLine = (list.starts_with(kWow) && line.name == "Quillet-R") ||
                            (list.starts_with(kNative) && (line.name == "Quillet2002-R" ||
                                                           line.name == "Quillet2002-S"));
      return line.name.starts_with("Quillet") && !keptLine;
    });
  }
  EXPECT_EQ(Paths(windows.Registry().Tree()), Paths(kept));
  EXPECT_TRUE(windows.Registry().Tree() == kept) << "byte for byte";
}

TEST_F(Modes, UninstallAsksFirstAndAFailedRemovalCostsOnlyItsDataSource) {
  windows.Screen().AnswerMessageBoxes(win::kIdNo);
  EXPECT_EQ(Run("/uninstall /log C:\\declined.log"), quillet::kExitUserDeclined);
  ASSERT_EQ(windows.Screen().MessageBoxes().size(), 1u);
  EXPECT_EQ(windows.Screen().MessageBoxes()[0].valueName,
            "Remove the 12 Quillet data sources this setup registered?");
  EXPECT_EQ(windows.Screen().MessageBoxes()[0].type, win::kMbYesNo | win::kMbIconQuestion);
  EXPECT_TRUE(windows.Registry().Tree() == arranged) << "No removes nothing";
  EXPECT_EQ(windows.CountCalls("HoldLockFile"), 0) << "the question holds no lock";
  EXPECT_TRUE(windows.System().Files().at("C:\\declined.log").ends_with(
      "\r\nThe user answered No: nothing was removed.\r\n"
      "Result: declined by the user, exit code 1602\r\n"));

  windows.Screen().AnswerMessageBoxes(win::kIdYes);
  windows.FailAt({"RegDeleteKeyA", "ODBC.INI\\Quillet-R1\\Engines"}, win::kErrorAccessDenied);
  EXPECT_EQ(Run("/uninstall /log C:\\removal.log"), quillet::kExitInstallFailure);
  const std::string log = windows.System().Files().at("C:\\removal.log");
  EXPECT_EQ(Line(log, "Quillet-R1 "),
            "Quillet-R1 (32-bit-on-64-bit view): failed: could not delete the key "
            "\"SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R1\": Access is denied.");
  EXPECT_EQ(Line(log, "15 data"), "15 data sources: 11 removed, 2 kept, 1 not present, 1 failed");
}

// What changed while the question was open counts: the removal reads every data source again.
TEST_F(Modes, UninstallDecidesAgainOnceTheQuestionIsAnswered) {
  windows.Screen().AnswerMessageBoxes(win::kIdYes);
  windows.BeforeNextCall("HoldLockFile", [&] {
    windows.Registry().SetString(kWow + "Quillet-R1", "DBQ", "D:\\Changed meanwhile.mdb");
  });
  EXPECT_EQ(Run("/uninstall /log C:\\removal.log"), quillet::kExitSuccess);
  EXPECT_TRUE(windows.Registry().KeyExists(kWow + "Quillet-R1"));
  EXPECT_EQ(Line(windows.System().Files().at("C:\\removal.log"), "Quillet-R1 "),
            "Quillet-R1 (32-bit-on-64-bit view): kept: customised, DBQ differs");
}

TEST(Uninstall, WithNothingToRemoveAsksNothing) {
  win::FakeWindows windows;
  windows.System().SetCommandLine("QuilletSetup.exe /uninstall /log C:\\removal.log");
  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitSuccess);
  const auto boxes = windows.Screen().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].valueName,
            "Nothing to remove: no Quillet data source is as this setup registered it.");
  EXPECT_NE(windows.System().Files().at("C:\\removal.log").find("\r\nNothing to remove.\r\n"),
            std::string::npos);
}

struct Unreadable {
  const char* key;  // below HKLM, made unreadable after a full install
  const char* line;  // the start of the line that names the failure
};

// A key that an ACL or security software keeps closed is a failure with Windows' status in every
// mode, never a data source that is not there.
TEST(UnreadableKeys, AreAFailureInEveryModeNeverAbsence) {
  const Unreadable keys[] = {
      {"SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI", "Quillet-R (32-bit-on-64-bit view): "},
      {"SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Quillet2002-R (native view): "},
      {"SOFTWARE\\ODBC\\ODBC.INI\\Quillet2002-S1", "Quillet2002-S1 (native view): "},
  };
  for (const auto& key : keys) {
    for (const char* mode : {"", "/repair ", "/check ", "/uninstall "}) {
      SCOPED_TRACE(std::string(mode) + key.key);
      win::FakeWindows windows;
      windows.System().SetLocalDate({2003, 6, 15});
      windows.System().SetCommandLine("QuilletSetup.exe /quiet");
      ASSERT_EQ(quillet::RunProgram(windows), quillet::kExitSuccess);
      windows.Registry().DenyAllAccess(key.key);
      windows.System().GiveStandardError();
      windows.System().SetCommandLine(std::string("QuilletSetup.exe ") + mode + "/quiet /log C:\\u.log");
      EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitInstallFailure);
      const std::string log = windows.System().Files().at("C:\\u.log");
      const auto at = log.find(key.line);
      ASSERT_NE(at, std::string::npos) << log;
      const std::string line = log.substr(at, log.find("\r\n", at) - at);
      EXPECT_NE(line.find("Access is denied."), std::string::npos) << line;
      EXPECT_TRUE(line.find("failed: ") != std::string::npos ||
                  line.find("could not be read: ") != std::string::npos) << line;
      EXPECT_FALSE(windows.System().StandardError()->empty());
    }
  }
}

}  // namespace

namespace {

// Workstations set up by earlier versions on 64-bit Windows hold the table's "Driver" path in the
// 32-bit view: /check calls them to be done, the plain run and /repair rewrite that value alone,
// after which /check has nothing to do, and /uninstall still takes them as this program's.
TEST(EarlierDriverPaths, AreReportedRepairedAndStillThisProgramsOwn) {
  win::FakeWindows windows;
  windows.System().SetSystemWow64Directory("C:\\Windows\\SysWOW64");
  windows.System().SetLocalDate({2003, 6, 15});
  windows.System().GiveStandardOutput();
  const auto run = [&](const std::string& switches) {
    windows.System().SetCommandLine("QuilletSetup.exe " + switches);
    return quillet::RunProgram(windows);
  };
  ASSERT_EQ(run("/quiet"), quillet::kExitSuccess);
  const std::string r = kWow + "Quillet-R", s2 = kWow + "Quillet2002-S2";
  windows.Registry().SetString(r, "Driver", "C:\\WinNT\\System32\\odbcjt32.dll");
  windows.Registry().SetValue(s2, "Driver", win::kRegSz, win::Bytes("C:\\Windows\\System\\odbcjt32.dll"));
  windows.Registry().SetString(s2, "DBQ", "D:\\Custom.mdb");
  windows.Registry().SetString(kWow + "Quillet-S", "Driver", "D:\\Elsewhere\\odbcjt32.dll");
  const auto earlier = windows.Registry().Tree();

  EXPECT_EQ(run("/check /quiet"), quillet::kExitSomethingToDo);
  const std::string report = *windows.System().StandardOutput();
  EXPECT_NE(report.find("Quillet-R (32-bit-on-64-bit view): driver path of an earlier version: "
                        "C:\\WinNT\\System32\\odbcjt32.dll (this setup rewrites it when run again)\r\n"),
            std::string::npos) << report;
  EXPECT_NE(report.find("Quillet2002-S2 (32-bit-on-64-bit view): driver path of an earlier version: "
                        "C:\\Windows\\System\\odbcjt32.dll (this setup rewrites it when run again); "
                        "customised: DBQ differs"),
            std::string::npos);
  for (const auto& call : windows.CallsOf("GetFileAttributesA")) {
    EXPECT_FALSE(call.keyPath.starts_with("C:\\WinNT\\") ||
                 call.keyPath.starts_with("C:\\Windows\\System\\"))
        << "an earlier version's path lies below a folder anyone may create: " << call.keyPath;
  }
  EXPECT_NE(report.find("warning: \"Driver\" D:\\Elsewhere\\odbcjt32.dll is outside the system "
                        "directory C:\\Windows\\SysWOW64 (1 data source)"),
            std::string::npos);

  for (const char* mode : {"", "/repair "}) {
    SCOPED_TRACE(mode);
    windows.Registry().SetString(r, "Driver", "C:\\WinNT\\System32\\odbcjt32.dll");
    windows.Registry().SetValue(s2, "Driver", win::kRegSz, win::Bytes("C:\\Windows\\System\\odbcjt32.dll"));
    auto expected = earlier;
    EXPECT_EQ(run(std::string(mode) + "/quiet /log C:\\run.log"), quillet::kExitSuccess);
    const auto ours = win::StoredText("C:\\Windows\\SysWOW64\\odbcjt32.dll");
    for (const auto& path : {r, s2}) expected[path] = windows.Registry().Tree().at(path);
    EXPECT_TRUE(windows.Registry().Tree() == expected) << "nothing but the two values changed";
    EXPECT_EQ(windows.Registry().Value(r, "Driver")->data, ours);
    EXPECT_EQ(windows.Registry().Value(s2, "Driver")->data, ours);
    EXPECT_EQ(windows.Registry().Value(s2, "DBQ")->data, win::StoredText("D:\\Custom.mdb"));
    EXPECT_NE(windows.System().Files().at("C:\\run.log").find(
                  "\r\nQuillet-R (32-bit-on-64-bit view): repaired: driver path of an earlier "
                  "version, \"Driver\" was C:\\WinNT\\System32\\odbcjt32.dll\r\n"),
              std::string::npos);
    EXPECT_EQ(run("/check /quiet"), quillet::kExitSuccess);
  }

  // Incomplete as well: the plain run rewrites the driver path alone and leaves the rest to /repair.
  const std::string r2002 = kWow + "Quillet2002-R";
  windows.Registry().SetString(r2002, "Driver", "C:\\WinNT\\System32\\odbcjt32.dll");
  windows.Registry().RemoveValue(r2002, "FIL");
  EXPECT_EQ(run("/quiet /log C:\\run.log"), quillet::kExitInstallFailure);
  EXPECT_EQ(windows.Registry().Value(r2002, "Driver")->data,
            win::StoredText("C:\\Windows\\SysWOW64\\odbcjt32.dll"));
  EXPECT_FALSE(windows.Registry().Value(r2002, "FIL").has_value());
  EXPECT_NE(windows.System().Files().at("C:\\run.log").find(
                "\r\nQuillet2002-R (32-bit-on-64-bit view): present but incomplete, missing FIL; "
                "driver path of an earlier version rewritten, \"Driver\" was "
                "C:\\WinNT\\System32\\odbcjt32.dll; run this setup with /repair to complete it\r\n"),
            std::string::npos)
      << windows.System().Files().at("C:\\run.log");

  windows.Registry().SetString(r, "Driver", "C:\\WinNT\\System32\\odbcjt32.dll");
  EXPECT_EQ(run("/uninstall /quiet"), quillet::kExitSuccess);
  EXPECT_FALSE(windows.Registry().KeyExists(r)) << "an earlier version's data source is this program's";
}

}  // namespace
