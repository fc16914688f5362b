// The setup run on the in-memory Windows: which data sources it registers, in which view and
// order, and how it carries on past failures.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/FakeWindows.h"
#include "setup/frmQuillet.h"

namespace {

using MdlODBC::RegistrationStatus;
using quillet::frmQuillet;

class SetupRun : public ::testing::Test {
 protected:
  void RunInYear(int year) {
    windows.System().SetLocalDate({year, 6, 15});
    form.SetupDataSources();
  }
  // "native:Quillet-R" for each writer call, in order.
  std::vector<std::string> Written() const {
    std::vector<std::string> written;
    for (const auto& record : form.Registrations()) {
      written.push_back(std::string(record.view->label) + ":" + record.name);
    }
    return written;
  }

  win::FakeWindows windows;
  quillet::RunContext context{windows};
  frmQuillet form{context};
};

const std::vector<std::string> kCurrentNames = {"Quillet-R", "Quillet-R1", "Quillet-S",
                                                "Quillet-S1", "Quillet-S2"};

std::vector<std::string> InView(const std::string& view, const std::vector<std::string>& names) {
  std::vector<std::string> result;
  for (const auto& name : names) result.push_back(view + ":" + name);
  return result;
}

std::vector<std::string> ArchiveNames(int year) {
  std::vector<std::string> names;
  for (const char* kind : {"-R", "-R1", "-S", "-S1", "-S2"}) {
    names.push_back("Quillet" + std::to_string(year) + kind);
  }
  return names;
}

TEST_F(SetupRun, InTwoThousandTwoRegistersOnlyTheCurrentDataSources) {
  RunInYear(2002);
  EXPECT_EQ(Written(), InView("32-bit-on-64-bit", kCurrentNames));
  EXPECT_EQ(windows.Registry().SubkeyNames("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI"),
            (std::vector<std::string>{"Quillet-R", "ODBC Data Sources", "Quillet-R1", "Quillet-S",
                                      "Quillet-S1", "Quillet-S2"}));
  EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI"));
  EXPECT_EQ(form.CountRegistrations(RegistrationStatus::Registered), 5);
}

TEST_F(SetupRun, InTwoThousandThreeAddsTheArchiveOfTwoThousandTwoInBothViews) {
  RunInYear(2003);
  auto expected = InView("32-bit-on-64-bit", kCurrentNames);
  for (const auto& view : {"native", "32-bit-on-64-bit"}) {
    for (const auto& name : InView(view, ArchiveNames(2002))) expected.push_back(name);
  }
  EXPECT_EQ(Written(), expected);

  const auto dbq = windows.Registry().Value("SOFTWARE\\ODBC\\ODBC.INI\\Quillet2002-S1", "DBQ");
  ASSERT_TRUE(dbq.has_value());
  EXPECT_EQ(dbq->data, win::StoredText("C:\\Brannic\\Quillet-2002\\Quillet-S1.mdb"));
  EXPECT_EQ(windows.Registry().Value("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet2002-R1",
                          "Description")->data,
            win::StoredText("Quillet 2002 - County Interim #1"));
  EXPECT_EQ(windows.Registry().Value("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-S2",
                          "Description")->data,
            win::StoredText("Quillet Current - School Interim #2"));
}

TEST_F(SetupRun, InTheCurrentYearRegistersEveryYearUpToLastYear) {
  RunInYear(2026);
  const auto written = Written();
  ASSERT_EQ(written.size(), 5u + 10u * 24u);
  EXPECT_EQ(written[5], "native:Quillet2002-R");
  EXPECT_EQ(written[15], "native:Quillet2003-R");
  EXPECT_EQ(written.back(), "32-bit-on-64-bit:Quillet2025-S2");
  EXPECT_EQ(form.intYear, 2026) << "the loop ends one past the last archive year";
  EXPECT_EQ(windows.CountCalls("RegOpenKeyA"), 1) << "the identifier is read once";
}

TEST_F(SetupRun, AnX86IdentifierInAnyCaseSendsTheCurrentDataSourcesToTheNativeView) {
  for (const char* identifier : {"x86 Family 6 Model 15 Stepping 11", "X86 Family 6"}) {
    win::FakeWindows machine;
    machine.Registry().SetProcessorIdentifier(identifier);
    machine.System().SetLocalDate({2002, 1, 1});
    quillet::RunContext runContext(machine);
    frmQuillet run(runContext);
    run.SetupDataSources();
    EXPECT_EQ(run.strProcessorId, identifier);
    EXPECT_TRUE(machine.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Quillet-S2")) << identifier;
    EXPECT_FALSE(machine.Registry().KeyExists("SOFTWARE\\WOW6432node")) << identifier;
  }
}

TEST_F(SetupRun, OtherOrUnreadableIdentifiersSendThemToTheOtherView) {
  auto runWith = [](auto arrange) {
    win::FakeWindows machine;
    arrange(machine);
    machine.System().SetLocalDate({2002, 1, 1});
    quillet::RunContext runContext(machine);
    frmQuillet run(runContext);
    run.SetupDataSources();
    EXPECT_FALSE(machine.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI"));
    EXPECT_TRUE(machine.Registry().KeyExists("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R"));
    return run.strProcessorId;
  };
  EXPECT_EQ(runWith([](auto& m) { m.Registry().SetProcessorIdentifier("AMD64 Family 16 Model 4"); }),
            "AMD64 Family 16 Model 4");
  EXPECT_EQ(runWith([](auto& m) { m.Registry().RemoveProcessorIdentifier(); }), "");
  EXPECT_EQ(runWith([](auto& m) {
              m.Registry().RemoveProcessorIdentifier();
              m.Registry().SetDword("Hardware\\Description\\System\\CentralProcessor\\0", "Identifier", 86);
            }),
            "86");
}

TEST_F(SetupRun, ShowsAndRepaintsTheProgressWindowFirstAndUnloadsItLast) {
  RunInYear(2004);
  const auto names = windows.CallNames();
  const auto first = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) - names.begin();
  };
  EXPECT_LT(first("ShowWindow"), first("RepaintWindow"));
  EXPECT_LT(first("RepaintWindow"), first("RegOpenKeyA")) << "painted before the work starts";
  EXPECT_EQ(names.back(), "DestroyWindow");
  EXPECT_EQ(windows.Screen().Window(windows.Calls().back().window).caption, "Searching");
  EXPECT_EQ(windows.Screen().LiveWindowCount(), 1) << "only the main window is left";
}

TEST_F(SetupRun, AWriterThatFailsMidwayOnlyCostsItsOwnDataSource) {
  windows.System().SetLocalDate({2003, 1, 1});
  // The second data source breaks after its key was created; the third cannot write at all.
  windows.ThrowAt({"RegSetValueExA", "\\Quillet-R1", "Description"});
  windows.FailAt({"RegCreateKeyExA", "\\Quillet-S"}, win::kErrorAccessDenied);

  form.SetupDataSources();

  const auto& records = form.Registrations();
  ASSERT_EQ(records.size(), 15u);
  EXPECT_EQ(records[0].outcome.status, RegistrationStatus::Registered);
  EXPECT_EQ(records[1].outcome.status, RegistrationStatus::Failed);
  EXPECT_EQ(records[1].outcome.failure, "injected failure of RegSetValueExA");
  EXPECT_EQ(records[2].outcome.status, RegistrationStatus::Failed);
  EXPECT_EQ(records[2].outcome.errorCode, win::kErrorAccessDenied);
  for (std::size_t i = 3; i < records.size(); ++i) {
    EXPECT_EQ(records[i].outcome.status, RegistrationStatus::Registered) << records[i].name;
  }
  EXPECT_EQ(form.CountRegistrations(RegistrationStatus::Failed), 2);
  EXPECT_EQ(windows.CallNames().back(), "DestroyWindow") << "the progress window is unloaded";
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0) << "the abandoned writer closed its key";
}

TEST_F(SetupRun, ASecondRunInTheSameYearWritesNothing) {
  RunInYear(2005);
  windows.ClearCalls();
  quillet::RunContext secondRunContext(windows);
  frmQuillet secondRun(secondRunContext);
  secondRun.SetupDataSources();

  EXPECT_EQ(secondRun.CountRegistrations(RegistrationStatus::AlreadyPresent), 5 + 30);
  EXPECT_EQ(windows.CountCalls("RegCreateKeyExA"), 0);
  EXPECT_EQ(windows.CountCalls("RegSetValueExA"), 0);
}

TEST_F(SetupRun, WithoutASystemDirectoryEveryNativeDataSourceFailsWithItsOwnMessage) {
  windows.Registry().SetProcessorIdentifier("x86 Family 6");
  windows.System().SetSystemDirectory("");
  RunInYear(2003);
  EXPECT_EQ(windows.Screen().MessageBoxes().size(), 10u) << "five current and five archive, native view";
  EXPECT_EQ(form.CountRegistrations(RegistrationStatus::Failed), 10);
  EXPECT_EQ(form.CountRegistrations(RegistrationStatus::Registered), 5);
}

}  // namespace

namespace {

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
    quillet::RunContext formContext(windows);
    frmQuillet form(formContext);
    form.SetupDataSources();

    for (const char* base : {"SOFTWARE\\ODBC\\ODBC.INI", "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI"}) {
      EXPECT_EQ(windows.Registry().SubkeyNames(base).size(), base[9] == 'W' ? 11u : 6u) << base;
    }
    EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\Wow6432Node\\Wow6432Node"));
    for (const auto& call : windows.Calls()) {
      if (call.function == "RegOpenKeyExA" || call.function == "RegCreateKeyExA") {
        EXPECT_EQ(call.type & win::kKeyWow64_64Key, c.viewFlag) << call.function << " " << call.keyPath;
      }
    }
    EXPECT_EQ(form.Registrations().front().where, c.wowLabel);
    EXPECT_EQ(form.Registrations()[5].where, "native view");
  }
}

}  // namespace
