// Registry behaviour the program relies on, and the reader built on it. The same cases run on the
// in-memory Windows and on Wine's real registry, so the stand-in cannot drift from the real thing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/RegistryKey.h"
#include "platform/basRegistry.h"
#include "tests/shared/TestWindows.h"

namespace {

using basRegistry::GetRegistryString;
using basRegistry::RegistryValue;

class RegistryBehaviour : public ::testing::Test {
 protected:
  void SetUp() override {
    windows = testing_windows::MakeTestWindows();
    key = testing_windows::ScratchKey(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  // The bytes passed are followed by `after`, which is not counted: Windows looks at it.
  void Store(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data,
             const std::string& path = {}, std::uint8_t after = '#') {
    std::vector<std::uint8_t> buffer = data;
    buffer.push_back(after);
    win::RegistryKey opened(windows->Registry());
    const std::string full = path.empty() ? key : path;
    ASSERT_EQ(windows->Registry().RegCreateKeyExA(win::kLocalMachine, full.c_str(), win::kKeyAllAccess,
                                       opened.Receive(), nullptr),
              win::kErrorSuccess);
    ASSERT_EQ(windows->Registry().RegSetValueExA(opened.Get(), name.c_str(), 0, type, buffer.data(),
                                                 static_cast<std::uint32_t>(data.size())),
              win::kErrorSuccess);
  }
  void StoreText(const std::string& name, const std::string& text, bool terminated = true) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    if (terminated) data.push_back(0);
    Store(name, win::kRegSz, data);
  }
  RegistryValue Read(const std::string& name) {
    return GetRegistryString(windows->Registry(), win::kLocalMachine, key, name);
  }

  std::unique_ptr<win::WindowsApi> windows;
  std::string key;
};

RegistryValue Text(const std::string& text) { return text; }

// ------------------------------------------------------------------ the registry itself

TEST_F(RegistryBehaviour, CreateMakesEveryMissingKeyAndOpenIgnoresLetterCase) {
  win::RegistryKey created(windows->Registry());
  ASSERT_EQ(windows->Registry().RegCreateKeyExA(win::kLocalMachine, (key + "\\Deep\\Deeper").c_str(),
                                     win::kKeyAllAccess, created.Receive(), nullptr),
            win::kErrorSuccess);
  EXPECT_TRUE(created.IsOpen());

  for (const std::string& path : {key, key + "\\Deep", key + "\\DEEP\\deeper"}) {
    win::RegistryKey opened(windows->Registry());
    EXPECT_EQ(windows->Registry().RegOpenKeyExA(win::kLocalMachine, path.c_str(), 0, win::kKeyAllAccess,
                                     opened.Receive()),
              win::kErrorSuccess)
        << path;
  }
}

TEST_F(RegistryBehaviour, OpeningAMissingKeyReportsFileNotFoundAndLeavesTheHandleEmpty) {
  win::RegistryKey opened(windows->Registry());
  EXPECT_EQ(windows->Registry().RegOpenKeyExA(win::kLocalMachine, (key + "\\Missing").c_str(), 0,
                                   win::kKeyAllAccess, opened.Receive()),
            win::kErrorFileNotFound);
  EXPECT_FALSE(opened.IsOpen());
  EXPECT_EQ(windows->Registry().RegOpenKeyA(win::kLocalMachine, (key + "\\Missing").c_str(), opened.Receive()),
            win::kErrorFileNotFound);
  EXPECT_FALSE(opened.IsOpen());
}

TEST_F(RegistryBehaviour, SizeQueryWithoutBufferAndTooSmallBuffer) {
  StoreText("Name", "abcdef", /*terminated=*/false);
  win::RegistryKey opened(windows->Registry());
  ASSERT_EQ(windows->Registry().RegOpenKeyA(win::kLocalMachine, key.c_str(), opened.Receive()),
            win::kErrorSuccess);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(windows->Registry().RegQueryValueExA(opened.Get(), "NAME", nullptr, &type, nullptr, &size),
            win::kErrorSuccess);
  EXPECT_EQ(type, win::kRegSz);
  EXPECT_EQ(size, 6u) << "a text stored without its NUL";

  std::uint8_t full[16];
  std::fill(std::begin(full), std::end(full), std::uint8_t{'#'});
  size = sizeof full;
  EXPECT_EQ(windows->Registry().RegQueryValueExA(opened.Get(), "Name", nullptr, &type, full, &size),
            win::kErrorSuccess);
  EXPECT_EQ(size, 6u) << "the NUL appended to the read";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(full), 7), std::string("abcdef\0", 7));

  std::uint8_t small[3] = {};
  size = sizeof small;
  EXPECT_EQ(windows->Registry().RegQueryValueExA(opened.Get(), "Name", nullptr, &type, small, &size),
            win::kErrorMoreData);

  type = 0;
  EXPECT_EQ(windows->Registry().RegQueryValueExA(opened.Get(), "Other", nullptr, &type, nullptr, &size),
            win::kErrorFileNotFound);
  EXPECT_EQ(type, 0u);
}

TEST_F(RegistryBehaviour, ClosingAClosedKeyIsAnInvalidHandle) {
  win::RegistryKey created(windows->Registry());
  ASSERT_EQ(windows->Registry().RegCreateKeyExA(win::kLocalMachine, key.c_str(), win::kKeyAllAccess,
                                     created.Receive(), nullptr),
            win::kErrorSuccess);
  const win::KeyHandle handle = created.Detach();
  EXPECT_EQ(windows->Registry().RegCloseKey(handle), win::kErrorSuccess);
  EXPECT_EQ(windows->Registry().RegCloseKey(handle), win::kErrorInvalidHandle);
}

TEST_F(RegistryBehaviour, CreateTellsANewKeyFromAnExistingOne) {
  for (const std::uint32_t expected : {win::kCreatedNewKey, win::kOpenedExistingKey}) {
    win::RegistryKey created(windows->Registry());
    std::uint32_t disposition = 0;
    ASSERT_EQ(windows->Registry().RegCreateKeyExA(win::kLocalMachine, key.c_str(), win::kKeyAllAccess,
                                       created.Receive(), &disposition),
              win::kErrorSuccess);
    EXPECT_EQ(disposition, expected);
  }
}

TEST_F(RegistryBehaviour, RenameMovesAKeyWithItsContentButNotOntoATakenName) {
  if (!windows->Registry().HasRegRenameKey()) GTEST_SKIP() << "RegRenameKey is not available";
  StoreText("Kept", "here", true);
  Store("Other", win::kRegDword, {1, 0, 0, 0}, key + "\\Taken");
  win::RegistryKey renamed(windows->Registry());
  ASSERT_EQ(windows->Registry().RegOpenKeyExA(win::kLocalMachine, key.c_str(), 0, win::kKeyAllAccess,
                                   renamed.Receive()),
            win::kErrorSuccess);
  // A sibling of the key being renamed.
  const std::string taken = key.substr(key.rfind('\\') + 1) + "Taken";
  Store("Other", win::kRegDword, {1, 0, 0, 0}, "SOFTWARE\\QuilletTests\\" + taken);

  EXPECT_EQ(windows->Registry().RegRenameKey(renamed.Get(), nullptr, taken.c_str()), win::kErrorAccessDenied);
  const std::string newName = taken + "New";
  EXPECT_EQ(windows->Registry().RegRenameKey(renamed.Get(), nullptr, newName.c_str()), win::kErrorSuccess);
  EXPECT_EQ(GetRegistryString(windows->Registry(), win::kLocalMachine, "SOFTWARE\\QuilletTests\\" + newName,
                              "Kept"),
            RegistryValue(std::string("here")));
  EXPECT_EQ(GetRegistryString(windows->Registry(), win::kLocalMachine,
                              "SOFTWARE\\QuilletTests\\" + newName + "\\Taken", "Other"),
            RegistryValue(std::int32_t{1})) << "subkeys move with the key";
  win::RegistryKey old(windows->Registry());
  EXPECT_EQ(windows->Registry().RegOpenKeyA(win::kLocalMachine, key.c_str(), old.Receive()),
            win::kErrorFileNotFound);
}

TEST_F(RegistryBehaviour, DeleteRefusesAKeyWithSubkeysSoATreeGoesLeavesFirst) {
  Store("Value", win::kRegDword, {1, 0, 0, 0}, key + "\\Tree\\Leaf");
  win::RegistryKey parent(windows->Registry());
  ASSERT_EQ(windows->Registry().RegOpenKeyExA(win::kLocalMachine, key.c_str(), 0, win::kKeyAllAccess,
                                   parent.Receive()),
            win::kErrorSuccess);
  std::string name;
  EXPECT_EQ(windows->Registry().RegEnumKeyExA(parent.Get(), 0, &name), win::kErrorSuccess);
  EXPECT_EQ(name, "Tree");
  EXPECT_EQ(windows->Registry().RegEnumKeyExA(parent.Get(), 1, &name), win::kErrorNoMoreItems);

  EXPECT_EQ(windows->Registry().RegDeleteKeyA(parent.Get(), "Tree", 0), win::kErrorAccessDenied);
  EXPECT_EQ(windows->Registry().RegDeleteKeyA(parent.Get(), "Tree\\Leaf", 0), win::kErrorSuccess);
  EXPECT_EQ(windows->Registry().RegDeleteKeyA(parent.Get(), "Tree", 0), win::kErrorSuccess);
  EXPECT_EQ(windows->Registry().RegDeleteKeyA(parent.Get(), "Tree", 0), win::kErrorFileNotFound);
  EXPECT_EQ(windows->Registry().RegEnumKeyExA(parent.Get(), 0, &name), win::kErrorNoMoreItems);
}

// ------------------------------------------------------------------ the reader

TEST_F(RegistryBehaviour, ReaderGivesATerminatedStringWithoutItsNul) {
  StoreText("Identifier", "x86 Family 6 Model 15 Stepping 11");
  EXPECT_EQ(Read("Identifier"), Text("x86 Family 6 Model 15 Stepping 11"));
}

// REG_SZ data is meant to end with its terminator: where the caller counted only the text and a
// NUL follows it, Windows stores the NUL too; an empty text stays empty.
TEST_F(RegistryBehaviour, ATextFollowedByANulIsStoredWithItsTerminator) {
  const std::vector<std::uint8_t> text = {'a', 'b', 'c'};
  Store("Followed", win::kRegSz, text, {}, 0);
  Store("Guarded", win::kRegSz, text, {}, '#');
  Store("Empty", win::kRegSz, {}, {}, 0);
  win::RegistryKey opened(windows->Registry());
  ASSERT_EQ(windows->Registry().RegOpenKeyA(win::kLocalMachine, key.c_str(), opened.Receive()),
            win::kErrorSuccess);
  for (const auto& [name, stored] : {std::pair{"Followed", 4u}, {"Guarded", 3u}, {"Empty", 0u}}) {
    std::uint32_t size = 0;
    EXPECT_EQ(windows->Registry().RegQueryValueExA(opened.Get(), name, nullptr, nullptr, nullptr,
                                                   &size),
              win::kErrorSuccess);
    EXPECT_EQ(size, stored) << name;
  }
}

TEST_F(RegistryBehaviour, ReaderStopsAtTheFirstNul) {
  Store("Inner", win::kRegSz, {'a', 'b', 0, 'c', 'd', 0});
  Store("Leading", win::kRegSz, {0, 'a', 'b', 0});
  EXPECT_EQ(Read("Inner"), Text("ab"));
  EXPECT_EQ(Read("Leading"), Text(""));
}

TEST_F(RegistryBehaviour, ReaderGivesEmptyAndUnterminatedStringsAsStored) {
  Store("Empty", win::kRegSz, {});
  StoreText("Bare", "no terminator", /*terminated=*/false);
  EXPECT_EQ(Read("Empty"), Text(""));
  EXPECT_EQ(Read("Bare"), Text("no terminator"));
}

TEST_F(RegistryBehaviour, ReaderReadsAStringLongerThanASixteenBitPosition) {
  const std::string longText(100000, 'q');
  StoreText("Long", longText);
  EXPECT_EQ(Read("Long"), Text(longText));
}

TEST_F(RegistryBehaviour, ReaderGivesNumbersAsSignedIntegers) {
  Store("Five", win::kRegDword, {5, 0, 0, 0});
  Store("AllOnes", win::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Read("Five"), RegistryValue(std::int32_t{5}));
  EXPECT_EQ(Read("AllOnes"), RegistryValue(std::int32_t{-1}));
  EXPECT_EQ(basRegistry::ToText(Read("AllOnes")), "-1");
}

TEST_F(RegistryBehaviour, ReaderGivesEmptyTextForOtherTypes) {
  Store("Expand", win::kRegExpandSz, {'%', 'P', 'A', 'T', 'H', '%', 0});
  Store("Binary", win::kRegBinary, {1, 2, 3});
  Store("Multi", win::kRegMultiSz, {'a', 0, 'b', 0, 0});
  for (const char* name : {"Expand", "Binary", "Multi"}) {
    EXPECT_EQ(Read(name), Text("")) << name;
  }
}

TEST_F(RegistryBehaviour, ReaderGivesEmptyTextForAMissingKeyOrValue) {
  StoreText("Present", "here");
  EXPECT_EQ(Read("Absent"), Text(""));
  EXPECT_EQ(GetRegistryString(windows->Registry(), win::kLocalMachine, key + "\\Nowhere", "Present"),
            Text(""));
}

// Texts and names are UTF-8 on the program's side of the ANSI entry points, whatever their code
// page: what Windows holds arrives as itself, sized in UTF-8 bytes.
TEST_F(RegistryBehaviour, TextsAndNamesPassTheAnsiEntryPointsAsUtf8) {
  const std::string text = "C:\\Donn\xC3\xA9" "es\\\xE2\x82\xAC" "uvre-\xC5\x93.mdb";  // é, €, œ
  const std::string name = "D\xC3\xA9j\xC3\xA0";                                  // Déjà
  StoreText(name, text);
  EXPECT_EQ(Read(name), Text(text));
  win::RegistryKey opened(windows->Registry());
  ASSERT_EQ(windows->Registry().RegOpenKeyA(win::kLocalMachine, key.c_str(), opened.Receive()),
            win::kErrorSuccess);
  std::uint32_t size = 0;
  EXPECT_EQ(windows->Registry().RegQueryValueExA(opened.Get(), name.c_str(), nullptr, nullptr,
                                                 nullptr, &size),
            win::kErrorSuccess);
  EXPECT_EQ(size, text.size() + 1);
  std::string enumerated;
  EXPECT_EQ(windows->Registry().RegEnumValueA(opened.Get(), 0, &enumerated), win::kErrorSuccess);
  EXPECT_EQ(enumerated, name);
}

}  // namespace
