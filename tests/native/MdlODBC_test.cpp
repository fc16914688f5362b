// The data-source writers on the in-memory Windows: what lands in the registry, byte for byte,
// in which order, and what is left alone.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "odbc/MdlODBC.h"
#include "tests/support/FakeWindows.h"

namespace {

using MdlODBC::DataSourceSpec;
using MdlODBC::RegistrationStatus;
using win::Bytes;
using win::StoredValue;
using namespace std::string_literals;

const DataSourceSpec kCounty{"Quillet-R", "C:\\Brannic\\Current\\Quillet-R.mdb",
                             "Quillet Current - County"};
constexpr const char* kNativeKey = "SOFTWARE\\ODBC\\ODBC.INI\\Quillet-R";
constexpr const char* kWowKey = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\Quillet-R";
constexpr const char* kNativeList = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
constexpr const char* kWowList = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\ODBC Data Sources";

StoredValue Sz(const std::string& name, const std::string& text) {
  return {name, win::kRegSz, win::StoredText(text)};
}
StoredValue Dword(const std::string& name, std::vector<std::uint8_t> littleEndian) {
  return {name, win::kRegDword, std::move(littleEndian)};
}

void ExpectValues(const win::FakeWindows& windows, const std::string& key,
                  const std::vector<StoredValue>& expected) {
  const auto actual = windows.Registry().Values(key);
  ASSERT_EQ(actual.size(), expected.size()) << key;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].name, expected[i].name) << key << " #" << i;
    EXPECT_EQ(actual[i].type, expected[i].type) << key << " " << expected[i].name;
    EXPECT_EQ(actual[i].data, expected[i].data) << key << " " << expected[i].name;
  }
}

void ExpectDataSource(const win::FakeWindows& windows, const std::string& key,
                      const DataSourceSpec& spec, const std::string& driver) {
  ExpectValues(windows, key,
               {Sz("DBQ", spec.databasePath), Sz("Description", spec.description),
                Sz("Driver", driver), Dword("DriverId", {25, 0, 0, 0}), Sz("FIL", "MS Access;"),
                Dword("SafeTransactions", {0, 0, 0, 0}), Sz("UID", "")});
  EXPECT_EQ(windows.Registry().SubkeyNames(key), std::vector<std::string>{"Engines"});
  EXPECT_TRUE(windows.Registry().Values(key + "\\Engines").empty());
  EXPECT_EQ(windows.Registry().SubkeyNames(key + "\\Engines"), std::vector<std::string>{"Jet"});
  ExpectValues(windows, key + "\\Engines\\Jet",
               {Sz("ImplicitCommitSync", ""), Dword("MaxBufferSize", {0x00, 0x08, 0, 0}),
                Dword("PageTimeout", {5, 0, 0, 0}), Dword("Threads", {3, 0, 0, 0}),
                Sz("UserCommitSync", "Yes")});
}

// --------------------------------------------------------------------------- layout

TEST(CreateDataSource, WritesTheWholeLayoutInTheNativeView) {
  win::FakeWindows windows;
  windows.System().SetSystemDirectory("C:\\Windows\\system32");
  const auto outcome = MdlODBC::CreateDataSource(windows, kCounty);

  EXPECT_EQ(outcome.status, RegistrationStatus::Registered);
  ExpectDataSource(windows, kNativeKey, kCounty, "C:\\Windows\\system32\\odbcjt32.dll");
  ExpectValues(windows, kNativeList, {Sz("Quillet-R", "Microsoft Access Driver (*.mdb)")});
  EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\WOW6432node"));
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0);
}

// A new data source is written under a staging name and renamed into place in one step; only
// then does its list line appear.
TEST(CreateDataSource, PublishesThroughAStagingKeyRenamedIntoPlace) {
  win::FakeWindows windows;
  MdlODBC::CreateDataSource(windows, kCounty);
  std::vector<std::string> steps;
  for (const auto& call : windows.Calls()) {
    if (call.function == "RegCreateKeyExA") steps.push_back("create " + call.keyPath);
    if (call.function == "RegRenameKey") steps.push_back("rename " + call.keyPath + " to " + call.valueName);
    if (call.function == "RegSetValueExA" && call.keyPath.ends_with("ODBC Data Sources")) {
      steps.push_back("list " + call.valueName);
    }
  }
  const std::string staging = "HKLM\\SOFTWARE\\ODBC\\ODBC.INI\\Quillet-R{QuilletSetup staging}";
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "create HKLM\\SOFTWARE\\ODBC\\ODBC.INI", "create " + staging,
                       "create " + staging + "\\Engines\\Jet", "rename " + staging + " to Quillet-R",
                       "create HKLM\\" + std::string(kNativeList), "list Quillet-R"}));
  EXPECT_EQ(windows.Registry().SubkeyNames("SOFTWARE\\ODBC\\ODBC.INI"),
            (std::vector<std::string>{"Quillet-R", "ODBC Data Sources"}));
}

// On 32-bit Windows, where the "WOW6432node" key is an ordinary key that no ODBC reads.
TEST(CreateDataSourceWow64, WritesTheSameLayoutWithTheDriverOfTheVersionName) {
  win::FakeWindows windows;
  windows.System().SetProcessKind(win::ProcessKind::Windows32);
  windows.System().SetVersion(2, 6, 1);  // "Vista"
  const auto outcome = MdlODBC::CreateDataSourceWow64(windows, kCounty);

  EXPECT_EQ(outcome.status, RegistrationStatus::Registered);
  ExpectDataSource(windows, kWowKey, kCounty, "C:\\WinNT\\System32\\odbcjt32.dll");
  ExpectValues(windows, kWowList, {Sz("Quillet-R", "Microsoft Access Driver (*.mdb)")});
  EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\ODBC"));
  EXPECT_EQ(windows.CountCalls("GetSystemDirectoryA"), 0);
  EXPECT_EQ(windows.CountCalls("GetVersionExA"), 1);
}

TEST(CreateDataSourceWow64, UsesTheWindowsSystemFolderOnWin98) {
  win::FakeWindows windows;
  windows.System().SetProcessKind(win::ProcessKind::Windows32);
  windows.System().SetVersion(1, 4, 10);
  MdlODBC::CreateDataSourceWow64(windows, kCounty);
  EXPECT_EQ(windows.Registry().Value(kWowKey, "Driver")->data, win::StoredText("C:\\Windows\\System\\odbcjt32.dll"));
}

TEST(CreateDataSource, StoresEmptyAndOddTextsUnchanged) {
  win::FakeWindows windows;
  const DataSourceSpec spec{"Quillet-X", "", ""};
  MdlODBC::CreateDataSource(windows, spec);
  const auto description = windows.Registry().Value("SOFTWARE\\ODBC\\ODBC.INI\\Quillet-X", "Description");
  ASSERT_TRUE(description.has_value());
  EXPECT_EQ(description->type, win::kRegSz);
  EXPECT_TRUE(description->data.empty());

  MdlODBC::CreateDataSource(windows, {"Group\\Inner", "p", "d"});
  EXPECT_TRUE(windows.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Group\\Inner\\Engines\\Jet"));
}

// --------------------------------------------------------------------------- what is left alone

TEST(CreateDataSource, ReportsAnIncompleteDataSourceAndLeavesItExactlyAsItIs) {
  win::FakeWindows windows;
  windows.Registry().SetString(kNativeKey, "DBQ", "D:\\Elsewhere.mdb");
  windows.ClearCalls();

  const auto outcome = MdlODBC::CreateDataSource(windows, kCounty);

  EXPECT_EQ(outcome.status, RegistrationStatus::Incomplete);
  EXPECT_EQ(outcome.parts, (std::vector<std::string>{
                               "Description", "Driver", "DriverId", "FIL", "SafeTransactions", "UID",
                               "Engines", "Engines\\Jet", "Engines\\Jet\\ImplicitCommitSync",
                               "Engines\\Jet\\MaxBufferSize", "Engines\\Jet\\PageTimeout",
                               "Engines\\Jet\\Threads", "Engines\\Jet\\UserCommitSync",
                               "its line in \"ODBC Data Sources\""}));
  EXPECT_EQ(windows.CountCalls("RegSetValueExA") + windows.CountCalls("RegCreateKeyExA"), 0);
  EXPECT_EQ(windows.Registry().Values(kNativeKey).size(), 1u);
  EXPECT_FALSE(windows.Registry().KeyExists(kNativeList)) << "not even a missing list line is added";
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0);
}

TEST(CreateDataSource, RewritesAListLineLeftBehindByARemovedDataSource) {
  win::FakeWindows windows;
  windows.Registry().SetString(kNativeList, "Quillet-R", "Something Else");
  MdlODBC::CreateDataSource(windows, kCounty);
  ExpectValues(windows, kNativeList,
               {{"Quillet-R", win::kRegSz, win::StoredText("Microsoft Access Driver (*.mdb)")}});
}

TEST(CreateDataSource, TheSecondCallForOneNameFindsItPresent) {
  win::FakeWindows windows;
  EXPECT_EQ(MdlODBC::CreateDataSource(windows, kCounty).status, RegistrationStatus::Registered);
  EXPECT_EQ(MdlODBC::CreateDataSource(windows, kCounty).status,
            RegistrationStatus::AlreadyPresent);
}

// --------------------------------------------------------------------------- failures

TEST(CreateDataSource, WithoutASystemDirectoryFailsEachCallShowingAndWritingNothing) {
  win::FakeWindows windows;
  windows.System().SetSystemDirectory("");
  for (const char* name : {"A", "B", "C"}) {
    const auto outcome = MdlODBC::CreateDataSource(windows, {name, "p", "d"});
    EXPECT_EQ(outcome.status, RegistrationStatus::Failed);
    EXPECT_EQ(outcome.failure, "the driver directory could not be decided");
  }
  EXPECT_EQ(windows.CountCalls("MessageBoxA"), 0) << "the run's completion message says it";
  EXPECT_EQ(windows.CountCalls("RegCreateKeyExA"), 0);
  EXPECT_EQ(windows.CountCalls("RegSetValueExA"), 0);
}

TEST(CreateDataSourceWow64, OnAnUnknownPlatformFailsAndWritesNothing) {
  win::FakeWindows windows;
  windows.System().SetProcessKind(win::ProcessKind::Windows32);
  windows.System().SetVersion(4, 10, 0);
  EXPECT_EQ(MdlODBC::CreateDataSourceWow64(windows, kCounty).status, RegistrationStatus::Failed);
  EXPECT_EQ(windows.Screen().MessageBoxes().size(), 0u);
  EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\WOW6432node"));
}

struct WriteFailureCase {
  const char* function;
  const char* where;  // the key the failing call addresses
  const char* valueName;
  bool canRename;
  const char* failure;
};

// With the rename a failed write leaves nothing behind; written in place (Windows before Vista),
// the other writes still happen and the values of a key that could not be created go nowhere.
TEST(CreateDataSource, AFailedWriteIsReportedWithWhatItLeaves) {
  const WriteFailureCase cases[] = {
      {"RegSetValueExA", "Quillet-R", "Driver", true, "\"Driver\""},
      {"RegCreateKeyExA", "Engines\\Jet", "", true, "\"Engines\\Jet\""},
      {"RegSetValueExA", "Quillet-R", "Driver", false, "\"Driver\""},
      {"RegCreateKeyExA", "Engines\\Jet", "", false, "\"Engines\\Jet\""},
  };
  for (const auto& c : cases) {
    win::FakeWindows windows;
    if (!c.canRename) windows.Registry().RemoveRegRenameKey();
    windows.FailAt({c.function, c.where, c.valueName}, win::kErrorAccessDenied);

    const auto outcome = MdlODBC::CreateDataSource(windows, kCounty);

    SCOPED_TRACE(std::string(c.function) + (c.canRename ? " with rename" : " in place"));
    EXPECT_EQ(outcome.status, RegistrationStatus::Failed);
    EXPECT_EQ(outcome.errorCode, win::kErrorAccessDenied);
    EXPECT_NE(outcome.failure.find(c.failure), std::string::npos) << outcome.failure;
    EXPECT_EQ(windows.Registry().OpenHandleCount(), 0);
    if (c.canRename) {
      EXPECT_EQ(windows.Registry().SubkeyNames("SOFTWARE\\ODBC\\ODBC.INI"), std::vector<std::string>{});
      continue;
    }
    const bool jetMissing = std::string(c.function) == "RegCreateKeyExA";
    EXPECT_EQ(windows.Registry().Values(kNativeKey).size(), jetMissing ? 7u : 6u);
    EXPECT_EQ(windows.Registry().KeyExists(std::string(kNativeKey) + "\\Engines\\Jet"), !jetMissing);
    EXPECT_TRUE(windows.Registry().Value(kNativeList, "Quillet-R").has_value());
  }
}

// --------------------------------------------------------------------------- queries

struct VersionCase {
  std::uint32_t platformId, major, minor;
  const char* name;
};

void PrintTo(const VersionCase& c, std::ostream* out) {
  *out << c.platformId << "/" << c.major << "." << c.minor << " -> \"" << c.name << "\"";
}

class GetOSVersionName : public ::testing::TestWithParam<VersionCase> {};

TEST_P(GetOSVersionName, SortsTheVersionRecord) {
  win::FakeWindows windows;
  windows.System().SetVersion(GetParam().platformId, GetParam().major, GetParam().minor);
  EXPECT_EQ(MdlODBC::GetOSVersionName(windows.System()), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, GetOSVersionName,
    ::testing::Values(VersionCase{0, 3, 10, "Win32s"}, VersionCase{1, 4, 0, "Win95"},
                      VersionCase{1, 7, 10, "Win98"}, VersionCase{1, 4, 90, ""},
                      VersionCase{2, 3, 51, "WinNT361"}, VersionCase{2, 4, 0, "WinNT4"},
                      VersionCase{2, 5, 0, "Win2000"}, VersionCase{2, 5, 1, "WinXP"},
                      VersionCase{2, 5, 2, "Win2003"}, VersionCase{2, 5, 3, ""},
                      VersionCase{2, 6, 0, "Vista"}, VersionCase{2, 6, 3, "Vista"},
                      VersionCase{2, 10, 0, ""}, VersionCase{3, 0, 0, "WinCE"},
                      VersionCase{4, 0, 0, "Failed"}, VersionCase{0xFFFFFFFF, 0, 0, "Failed"}));

TEST(DriverDirectoryForVersion, PicksTheFixedDirectoryOfEachName) {
  EXPECT_EQ(MdlODBC::DriverDirectoryForVersion("Win2000"), "C:\\WinNT\\System32");
  EXPECT_EQ(MdlODBC::DriverDirectoryForVersion("WinNT4"), "C:\\WinNT\\System32");
  EXPECT_EQ(MdlODBC::DriverDirectoryForVersion("Win95"), "C:\\Windows\\System");
  EXPECT_EQ(MdlODBC::DriverDirectoryForVersion("Win98"), "C:\\Windows\\System");
  for (const char* other : {"WinXP", "Win2003", "Vista", "WinNT361", "Win32s", "WinCE", "",
                            "win98"}) {
    EXPECT_EQ(MdlODBC::DriverDirectoryForVersion(other), "C:\\WinNT\\System32") << other;
  }
  EXPECT_EQ(MdlODBC::DriverDirectoryForVersion("Failed"), std::nullopt);
}

TEST(GetSystemDir, GivesTheDirectoryAsTheSystemSpellsIt) {
  win::FakeWindows windows;
  windows.System().SetSystemDirectory("C:\\Windows\\system32");
  EXPECT_EQ(MdlODBC::GetSystemDir(windows.System()), "C:\\Windows\\system32");
  windows.System().SetSystemDirectory("");
  EXPECT_EQ(MdlODBC::GetSystemDir(windows.System()), "");
}

}  // namespace

namespace {

struct DriverCase {
  const char* name;
  const char* wow64Directory;  // "" on 32-bit Windows
  std::uint32_t platformId, major, minor;
  const char* expected;
};

// On 64-bit Windows the 32-bit view's driver is in the 32-bit system directory, as Windows names
// it: a file planted in the table's directory, or no driver at all yet, changes nothing. On 32-bit
// Windows, where no ODBC reads that key, the table stays.
TEST(Wow64DriverDirectory, IsTheThirtyTwoBitSystemDirectoryWhateverFilesThereAre) {
  const DriverCase cases[] = {
      {"64-bit, no driver anywhere", "C:\\Windows\\SysWOW64", 2, 10, 0, "C:\\Windows\\SysWOW64"},
      {"64-bit, a file planted", "C:\\Windows\\SysWOW64", 2, 6, 1, "C:\\Windows\\SysWOW64"},
      {"32-bit Windows", "", 2, 6, 1, "C:\\WinNT\\System32"},
      {"32-bit Windows 98", "", 1, 4, 10, "C:\\Windows\\System"},
  };
  for (const auto& c : cases) {
    win::FakeWindows windows;
    windows.System().SetSystemWow64Directory(c.wow64Directory);
    windows.System().SetVersion(c.platformId, c.major, c.minor);
    windows.System().AddFile("C:\\WinNT\\System32\\odbcjt32.dll");
    MdlODBC::CreateDataSourceWow64(windows, kCounty);
    MdlODBC::CreateDataSource(windows, kCounty);
    EXPECT_EQ(windows.Registry().Value(kWowKey, "Driver")->data,
              win::StoredText(std::string(c.expected) + "\\odbcjt32.dll"))
        << c.name;
    EXPECT_EQ(windows.Registry().Value(kNativeKey, "Driver")->data,
              win::StoredText("C:\\windows\\system32\\odbcjt32.dll"))
        << c.name << ": the native view keeps the system directory";
    EXPECT_EQ(windows.CountCalls("GetFileAttributesA"), 0) << "no file decides a path";
  }
}

}  // namespace

namespace {

TEST(CreateDataSource, RemovesAStagingKeyLeftByACutOffRunAndNothingElse) {
  win::FakeWindows windows;
  const std::string staging = "SOFTWARE\\ODBC\\ODBC.INI\\Quillet-R{QuilletSetup staging}";
  windows.Registry().SetString(staging, "Stray", "from an older run");
  windows.Registry().SetString(staging + "\\Engines\\Jet\\Deeper", "Stray", "x");
  windows.Registry().SetString("SOFTWARE\\ODBC\\ODBC.INI\\Quillet-S{QuilletSetup staging}", "Other", "kept");

  EXPECT_EQ(MdlODBC::CreateDataSource(windows, kCounty).status, RegistrationStatus::Registered);

  ExpectDataSource(windows, kNativeKey, kCounty, "C:\\windows\\system32\\odbcjt32.dll");
  EXPECT_EQ(windows.Registry().SubkeyNames("SOFTWARE\\ODBC\\ODBC.INI"),
            (std::vector<std::string>{"Quillet-S{QuilletSetup staging}", "Quillet-R",
                                      "ODBC Data Sources"}))
      << "another data source's staging key waits for its own registration";
}

}  // namespace

namespace {

}  // namespace

namespace {

TEST(CreateDataSource, ARunThatGetsThereFirstWinsAndTheStagingKeyGoes) {
  win::FakeWindows windows;
  windows.BeforeNextCall("RegRenameKey", [&] { windows.Registry().SetString(kNativeKey, "DBQ", "theirs"); });

  EXPECT_EQ(MdlODBC::CreateDataSource(windows, kCounty).status, RegistrationStatus::AlreadyPresent);
  EXPECT_EQ(windows.Registry().SubkeyNames("SOFTWARE\\ODBC\\ODBC.INI"), std::vector<std::string>{"Quillet-R"});
  EXPECT_EQ(windows.Registry().Values(kNativeKey).size(), 1u) << "the other run's data source is left alone";
  EXPECT_FALSE(windows.Registry().KeyExists(kNativeList));
}

}  // namespace

