// The plain run and /repair on the in-memory Windows: which data sources they register, in which
// view and order, and how they carry on past failures.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/ExitCodes.h"
#include "setup/modes/InstallMode.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"
#include "tests/support/FakeWindows.h"

namespace {

using quillet::SourceState;

quillet::RunResult Install(win::FakeWindows& windows, quillet::Mode mode = quillet::Mode::Install) {
  quillet::RunPlan plan = quillet::StartRun(windows.Registry(), windows.System());
  quillet::PlanRun(plan, windows.Registry());
  quillet::ViewRegistries registries(windows.Registry(), windows.System(), plan.access);
  return quillet::RunInstall(plan, registries, windows.Registry(), windows.System(), mode, false, "");
}

// "native:Quillet-R" for each data source, in the order registered.
std::vector<std::string> Written(const quillet::RunResult& result) {
  std::vector<std::string> written;
  for (const auto& row : result.rows) written.push_back(std::string(row.view->label) + ":" + row.name);
  return written;
}

std::vector<std::string> Five(const std::string& view, const std::string& word) {
  std::vector<std::string> names;
  for (const char* kind : {"-R", "-R1", "-S", "-S1", "-S2"}) names.push_back(view + ":Quillet" + word + kind);
  return names;
}

struct YearCase {
  int year;
  std::size_t count;
  std::vector<std::string> first;  // the rows the plan starts with
  std::string last;
};

TEST(SetupRun, RegistersTheCurrentDataSourcesAndEveryArchiveYearUpToLastYear) {
  auto current = Five("32-bit-on-64-bit", "");
  auto with2002 = current;
  for (const auto& name : Five("native", "2002")) with2002.push_back(name);
  for (const auto& name : Five("32-bit-on-64-bit", "2002")) with2002.push_back(name);
  const YearCase cases[] = {
      {2001, 5, current, "32-bit-on-64-bit:Quillet-S2"},
      {2002, 5, current, "32-bit-on-64-bit:Quillet-S2"},
      {2003, 15, with2002, "32-bit-on-64-bit:Quillet2002-S2"},
      {2026, 5 + 10 * 24, with2002, "32-bit-on-64-bit:Quillet2025-S2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.year);
    win::FakeWindows windows;
    windows.System().SetLocalDate({c.year, 6, 15});
    const auto result = Install(windows);
    const auto written = Written(result);
    ASSERT_EQ(written.size(), c.count);
    EXPECT_EQ(std::vector<std::string>(written.begin(), written.begin() + static_cast<long>(c.first.size())),
              c.first);
    EXPECT_EQ(written.back(), c.last);
    EXPECT_EQ(result.Count(SourceState::Registered), static_cast<int>(c.count));
    EXPECT_EQ(result.exitCode, quillet::kExitSuccess);
    EXPECT_EQ(windows.CountCalls("RegOpenKeyA"), 1) << "the identifier is read once";
    EXPECT_EQ(windows.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI"), c.year > 2002);
  }
  win::FakeWindows windows;
  windows.System().SetLocalDate({2003, 6, 15});
  Install(windows);
  EXPECT_EQ(windows.Registry().Value("SOFTWARE\\ODBC\\ODBC.INI\\Quillet2002-S1", "DBQ")->data,
            win::StoredText("C:\\Brannic\\Quillet-2002\\Quillet-S1.mdb"));
  EXPECT_EQ(windows.Registry().Value("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet2002-R1",
                                     "Description")->data,
            win::StoredText("Quillet 2002 - County Interim #1"));
  EXPECT_EQ(windows.Registry().Value("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-S2",
                                     "Description")->data,
            win::StoredText("Quillet Current - School Interim #2"));
}

struct IdentifierCase {
  const char* what;
  std::function<void(win::FakeWindows&)> arrange;
  bool native;  // the current data sources, and the view Quillet uses, are the native ones
};

// The identifier decides where it can be read; where it cannot, the Windows the process runs on
// does: a 32-bit Windows has no other view that any ODBC reads.
TEST(SetupRun, TheProcessorIdentifierOrTheWindowsDecidesTheViewQuilletUses) {
  const auto identifier = [](const char* id) {
    return [id](win::FakeWindows& w) { w.Registry().SetProcessorIdentifier(id); };
  };
  const auto unreadable = [](win::FakeWindows& w) { w.Registry().RemoveProcessorIdentifier(); };
  const IdentifierCase cases[] = {
      {"x86", identifier("x86 Family 6 Model 15 Stepping 11"), true},
      {"X86", identifier("X86 Family 6"), true},
      {"AMD64", identifier("AMD64 Family 16 Model 4"), false},
      {"unreadable, 64-bit Windows", unreadable, false},
      {"a number", [](win::FakeWindows& w) {
         w.Registry().RemoveProcessorIdentifier();
         w.Registry().SetDword("Hardware\\Description\\System\\CentralProcessor\\0", "Identifier", 86);
       }, false},
      {"unreadable, 32-bit Windows", [](win::FakeWindows& w) {
         w.Registry().RemoveProcessorIdentifier();
         w.System().SetProcessKind(win::ProcessKind::Windows32);
       }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    win::FakeWindows windows;
    c.arrange(windows);
    windows.System().SetLocalDate({2002, 1, 1});
    quillet::RunPlan plan = quillet::StartRun(windows.Registry(), windows.System());
    quillet::PlanRun(plan, windows.Registry());
    EXPECT_EQ(plan.quilletView, c.native ? &MdlODBC::kNativeView : &MdlODBC::kWow64View);
    Install(windows);
    EXPECT_EQ(windows.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Quillet-S2"), c.native);
    EXPECT_EQ(windows.Registry().KeyExists("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-S2"), !c.native);
  }
}

TEST(SetupRun, AWriterThatFailsMidwayOnlyCostsItsOwnDataSource) {
  win::FakeWindows windows;
  windows.System().SetLocalDate({2003, 1, 1});
  // The second data source breaks after its key was created; the third cannot write at all.
  windows.ThrowAt({"RegSetValueExA", "\\Quillet-R1", "Description"});
  windows.FailAt({"RegCreateKeyExA", "\\Quillet-S"}, win::kErrorAccessDenied);

  const auto result = Install(windows);

  ASSERT_EQ(result.rows.size(), 15u);
  EXPECT_EQ(result.rows[0].state, SourceState::Registered);
  EXPECT_EQ(result.rows[1].state, SourceState::Failed);
  EXPECT_EQ(result.rows[1].failure, "injected failure of RegSetValueExA");
  EXPECT_EQ(result.rows[2].state, SourceState::Failed);
  EXPECT_EQ(result.rows[2].status, win::kErrorAccessDenied);
  EXPECT_EQ(result.rows[2].statusText, "Access is denied.");
  for (std::size_t i = 3; i < result.rows.size(); ++i) {
    EXPECT_EQ(result.rows[i].state, SourceState::Registered) << result.rows[i].name;
  }
  EXPECT_EQ(result.exitCode, quillet::kExitInstallFailure);
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0) << "the abandoned writer closed its key";
}

TEST(SetupRun, ASecondRunInTheSameYearWritesNothing) {
  win::FakeWindows windows;
  windows.System().SetLocalDate({2005, 6, 15});
  Install(windows);
  windows.ClearCalls();
  const auto again = Install(windows);
  EXPECT_EQ(again.Count(SourceState::AlreadyPresent), 5 + 30);
  EXPECT_EQ(windows.CountCalls("RegCreateKeyExA"), 0);
  EXPECT_EQ(windows.CountCalls("RegSetValueExA"), 0);
}

TEST(SetupRun, WithoutASystemDirectoryEveryNativeDataSourceFailsAndNothingIsShown) {
  win::FakeWindows windows;
  windows.Registry().SetProcessorIdentifier("x86 Family 6");
  windows.System().SetSystemDirectory("");
  windows.System().SetLocalDate({2003, 6, 15});
  const auto result = Install(windows);
  EXPECT_EQ(result.Count(SourceState::Failed), 10) << "five current and five archive, native view";
  EXPECT_EQ(result.Count(SourceState::Registered), 5);
  EXPECT_EQ(result.rows[0].failure, MdlODBC::kDriverDirectoryUnknown);
  EXPECT_EQ(windows.CountCalls("MessageBoxA"), 0) << "the mode shows nothing";
}

// A data source someone changed and then damaged: the plain run reports it and writes nothing;
// /repair adds exactly the two missing values and keeps the customised "DBQ"; where the key may
// not be written, the repair fails and the stored bytes stay.
TEST(SetupRun, RepairAddsExactlyWhatIsMissingAndKeepsWhatWasChanged) {
  const std::string key = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R";
  const std::string list = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\ODBC Data Sources";
  for (const bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only" : "writable");
    win::FakeWindows windows;
    windows.System().SetLocalDate({2002, 6, 15});
    Install(windows);
    windows.Registry().SetString(key, "DBQ", "D:\\Custom.mdb");
    const auto repairedTree = windows.Registry().Tree();
    windows.Registry().RemoveValue(key + "\\Engines\\Jet", "Threads");
    windows.Registry().RemoveValue(list, "Quillet-R");
    if (readOnly) windows.Registry().DenyWriteAccess(key);
    const auto damaged = windows.Registry().Tree();

    const auto reported = Install(windows);
    EXPECT_EQ(reported.rows[0].state, SourceState::Incomplete);
    EXPECT_TRUE(windows.Registry().Tree() == damaged) << "the plain run changes nothing";

    const auto repaired = Install(windows, quillet::Mode::Repair);
    if (readOnly) {
      EXPECT_EQ(repaired.rows[0].state, SourceState::Failed);
      EXPECT_EQ(repaired.rows[0].status, win::kErrorAccessDenied);
      EXPECT_TRUE(windows.Registry().Tree() == damaged) << "the stored bytes stay";
      continue;
    }
    EXPECT_EQ(repaired.rows[0].state, SourceState::Repaired);
    EXPECT_EQ(repaired.rows[0].missing,
              (std::vector<std::string>{"Engines\\Jet\\Threads", "its line in \"ODBC Data Sources\""}));
    EXPECT_EQ(reported.rows[0].missing, repaired.rows[0].missing);
    EXPECT_TRUE(windows.Registry().Tree() == repairedTree) << "DBQ stays customised";
  }
}

// A data source exactly as written but for its list line (a run cut off before its last step)
// gets the line back from the plain run, which says that this is all it did.
TEST(SetupRun, ADataSourceMissingOnlyItsListLineGetsItBackAndSaysSo) {
  const std::string list = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\ODBC Data Sources";
  win::FakeWindows windows;
  windows.System().SetLocalDate({2002, 6, 15});
  Install(windows);
  windows.Registry().RemoveValue(list, "Quillet-R");
  const auto result = Install(windows);
  EXPECT_EQ(result.rows[0].state, SourceState::Registered);
  EXPECT_EQ(result.rows[0].note, "only its line in \"ODBC Data Sources\" was missing, and was added");
  EXPECT_TRUE(windows.Registry().Value(list, "Quillet-R").has_value());
}

struct ProcessCase {
  win::ProcessKind kind;
  std::uint32_t viewFlag;
  const char* wowLabel;
};

// A 32-bit process under WOW64 would have every native path redirected into the 32-bit view; it
// asks for the 64-bit view instead, so the two paths land where their names say.
TEST(SetupRunViews, EveryKeyLandsOnThePathItsViewNamesWhateverTheProcess) {
  const ProcessCase cases[] = {
      {win::ProcessKind::Wow64, win::kKeyWow64_64Key, "32-bit-on-64-bit view"},
      {win::ProcessKind::Windows64, 0, "32-bit-on-64-bit view"},
      {win::ProcessKind::Windows32, 0, "WOW6432node key"},
  };
  for (const auto& c : cases) {
    win::FakeWindows windows;
    windows.System().SetProcessKind(c.kind);
    windows.System().SetLocalDate({2003, 6, 15});
    const auto result = Install(windows);

    for (const char* base : {"SOFTWARE\\ODBC\\ODBC.INI", "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI"}) {
      EXPECT_EQ(windows.Registry().SubkeyNames(base).size(), base[9] == 'W' ? 11u : 6u) << base;
    }
    EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\Wow6432Node\\Wow6432Node"));
    for (const auto& call : windows.Calls()) {
      if (call.function == "RegOpenKeyExA" || call.function == "RegCreateKeyExA") {
        EXPECT_EQ(call.type & win::kKeyWow64_64Key, c.viewFlag) << call.function << " " << call.keyPath;
      }
    }
    EXPECT_EQ(result.rows.front().where, c.wowLabel);
    EXPECT_EQ(result.rows[5].where, "native view");
  }
}

}  // namespace
