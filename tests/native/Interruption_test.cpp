// A first run cut off at every one of its registry calls, then run again: the registry must end
// exactly as after one uninterrupted run, and nothing that was there before may change.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "odbc/MdlODBC.h"
#include "setup/ExitCodes.h"
#include "setup/Program.h"
#include "tests/support/FakeWindows.h"

namespace {

constexpr const char* kNative = "SOFTWARE\\ODBC\\ODBC.INI\\";
constexpr const char* kWow = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\";

void WriteDataSource(win::FakeWindows& windows, const std::string& base,
                     const MdlODBC::DataSourceSpec& spec, const std::string& driverDirectory) {
  const auto layout = MdlODBC::Layout(spec, driverDirectory);
  for (const auto& key : layout.keys) {
    const std::string path = base + spec.name + (key.subKey.empty() ? "" : "\\" + key.subKey);
    windows.Registry().CreateKey(path);
    for (const auto& value : key.values) windows.Registry().SetValue(path, value.name, value.type, value.data);
  }
  windows.Registry().SetValue(base + "ODBC Data Sources", spec.name, layout.listLine.type, layout.listLine.data);
}

// A machine in 2003 with data that is not the program's to change: one of its data sources
// customised, another program's data source, and list lines of others.
void Prepare(win::FakeWindows& windows, bool canRename) {
  windows.System().SetLocalDate({2003, 6, 15});
  windows.System().SetCommandLine("QuilletSetup.exe /quiet");
  if (!canRename) windows.Registry().RemoveRegRenameKey();
  WriteDataSource(windows, kWow,
                  {"Quillet-R1", "D:\\Custom\\Quillet-R1.mdb", "Quillet Current - County Interim #1"},
                  "C:\\windows\\SysWOW64");
  windows.Registry().SetString(std::string(kNative) + "Payroll", "Server", "payroll.example");
  windows.Registry().SetString(std::string(kNative) + "ODBC Data Sources", "Payroll", "SQL Server");
  windows.Registry().SetString(std::string(kWow) + "ODBC Data Sources", "Orphan", "Old Driver");
}

int RunSetup(win::FakeWindows& windows, const std::string& switches) {
  windows.System().SetCommandLine("QuilletSetup.exe " + switches);
  return quillet::RunProgram(windows);
}

TEST(Interruption, ARunCutOffAnywhereEndsLikeAnUninterruptedOneWhenRunAgain) {
  win::FakeWindows before;
  Prepare(before, true);
  win::FakeWindows uninterrupted;
  Prepare(uninterrupted, true);
  ASSERT_EQ(RunSetup(uninterrupted, "/quiet"), quillet::kExitSuccess);
  const auto finished = uninterrupted.Registry().Tree();
  for (const auto& [path, values] : before.Registry().Tree()) {
    for (const auto& value : values) {
      const auto& now = finished.at(path);
      EXPECT_NE(std::find(now.begin(), now.end(), value), now.end())
          << "what was there stays as it was: " << path << " " << value.name;
    }
  }

  for (const bool canRename : {true, false}) {
    win::FakeWindows whole;
    Prepare(whole, canRename);
    ASSERT_EQ(RunSetup(whole, "/quiet"), quillet::kExitSuccess);
    ASSERT_TRUE(whole.Registry().Tree() == finished) << "the same registry, renamed or written in place";
    const int cutPoints = whole.Registry().RegistryCallCount();
    int reportedIncomplete = 0;
    for (int cut = 1; cut <= cutPoints; ++cut) {
      SCOPED_TRACE((canRename ? "with rename, cut at call " : "in place, cut at call ") +
                   std::to_string(cut));
      win::FakeWindows windows;
      Prepare(windows, canRename);
      windows.Registry().KillAtRegistryCall(cut);
      RunSetup(windows, "/quiet");  // nothing reaches the registry from the cut on
      windows.Registry().StartNewProcess();

      const int again = RunSetup(windows, "/quiet /log C:\\again.log");
      const bool finishedAlready = windows.Registry().Tree() == finished;
      if (canRename) {
        EXPECT_TRUE(finishedAlready);
        EXPECT_EQ(again, quillet::kExitSuccess);
        continue;
      }
      // Written in place, a half-written data source is reported, never passed as present.
      const std::string log = windows.System().Files().at("C:\\again.log");
      const bool reported = log.find("present but incomplete, missing") != std::string::npos;
      EXPECT_EQ(reported, !finishedAlready) << log;
      EXPECT_EQ(again, finishedAlready ? quillet::kExitSuccess : quillet::kExitInstallFailure);
      reportedIncomplete += reported ? 1 : 0;
      EXPECT_EQ(RunSetup(windows, "/quiet /repair"), quillet::kExitSuccess);
      EXPECT_TRUE(windows.Registry().Tree() == finished) << "/repair completes it";
    }
    std::cout << (canRename ? "with RegRenameKey: " : "written in place: ") << cutPoints
              << " cut points";
    if (!canRename) std::cout << ", " << reportedIncomplete << " of them left a data source incomplete";
    std::cout << "\n";
  }
}

struct ModeSweep {
  const char* mode;
  void (*arrange)(win::FakeWindows&);  // after a complete plain run
};

// /uninstall and /repair, cut off at every registry call and run again with the same switches,
// end as if they had not been cut off.
TEST(Interruption, UninstallAndRepairCutOffAnywhereEndAsIfUncutWhenRunAgain) {
  const ModeSweep sweeps[] = {
      {"/quiet /uninstall", [](win::FakeWindows&) {}},
      {"/quiet /repair",
       [](win::FakeWindows& windows) {
         windows.Registry().RemoveKey(std::string(kNative) + "Quillet2002-S\\Engines");
         windows.Registry().RemoveValue(std::string(kWow) + "Quillet-S1", "Driver");
         windows.Registry().RemoveValue(std::string(kWow) + "ODBC Data Sources", "Quillet-R");
       }},
  };
  for (const auto& sweep : sweeps) {
    const auto arranged = [&](win::FakeWindows& windows) {
      Prepare(windows, true);
      ASSERT_EQ(RunSetup(windows, "/quiet"), quillet::kExitSuccess);
      sweep.arrange(windows);
    };
    win::FakeWindows whole;
    arranged(whole);
    const int before = whole.Registry().RegistryCallCount();
    ASSERT_EQ(RunSetup(whole, sweep.mode), quillet::kExitSuccess);
    const auto finished = whole.Registry().Tree();
    const int cutPoints = whole.Registry().RegistryCallCount() - before;
    for (int cut = 1; cut <= cutPoints; ++cut) {
      SCOPED_TRACE(std::string(sweep.mode) + " cut at call " + std::to_string(cut));
      win::FakeWindows windows;
      arranged(windows);
      windows.Registry().KillAtRegistryCall(cut);
      RunSetup(windows, sweep.mode);
      windows.Registry().StartNewProcess();
      EXPECT_EQ(RunSetup(windows, sweep.mode), quillet::kExitSuccess);
      EXPECT_TRUE(windows.Registry().Tree() == finished);
    }
    std::cout << sweep.mode << ": " << cutPoints << " cut points\n";
  }
}

}  // namespace
