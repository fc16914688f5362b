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

  void Store(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data,
             const std::string& path = {}) {
    win::RegistryKey opened(*windows);
    const std::string full = path.empty() ? key : path;
    ASSERT_EQ(windows->RegCreateKeyExA(win::kLocalMachine, full.c_str(), win::kKeyAllAccess,
                                       opened.Receive()),
              win::kErrorSuccess);
    ASSERT_EQ(windows->RegSetValueExA(opened.Get(), name.c_str(), 0, type, data.data(),
                                      static_cast<std::uint32_t>(data.size())),
              win::kErrorSuccess);
  }
  void StoreText(const std::string& name, const std::string& text, bool terminated = true) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    if (terminated) data.push_back(0);
    Store(name, win::kRegSz, data);
  }
  RegistryValue Read(const std::string& name) {
    return GetRegistryString(*windows, win::kLocalMachine, key, name);
  }

  std::unique_ptr<win::WindowsApi> windows;
  std::string key;
};

RegistryValue Text(const std::string& text) { return text; }

// ------------------------------------------------------------------ the registry itself

TEST_F(RegistryBehaviour, CreateMakesEveryMissingKeyAndOpenIgnoresLetterCase) {
  win::RegistryKey created(*windows);
  ASSERT_EQ(windows->RegCreateKeyExA(win::kLocalMachine, (key + "\\Deep\\Deeper").c_str(),
                                     win::kKeyAllAccess, created.Receive()),
            win::kErrorSuccess);
  EXPECT_TRUE(created.IsOpen());

  for (const std::string& path : {key, key + "\\Deep", key + "\\DEEP\\deeper"}) {
    win::RegistryKey opened(*windows);
    EXPECT_EQ(windows->RegOpenKeyExA(win::kLocalMachine, path.c_str(), 0, win::kKeyAllAccess,
                                     opened.Receive()),
              win::kErrorSuccess)
        << path;
  }
}

TEST_F(RegistryBehaviour, OpeningAMissingKeyReportsFileNotFoundAndLeavesTheHandleEmpty) {
  win::RegistryKey opened(*windows);
  EXPECT_EQ(windows->RegOpenKeyExA(win::kLocalMachine, (key + "\\Missing").c_str(), 0,
                                   win::kKeyAllAccess, opened.Receive()),
            win::kErrorFileNotFound);
  EXPECT_FALSE(opened.IsOpen());
  EXPECT_EQ(windows->RegOpenKeyA(win::kLocalMachine, (key + "\\Missing").c_str(), opened.Receive()),
            win::kErrorFileNotFound);
  EXPECT_FALSE(opened.IsOpen());
}

TEST_F(RegistryBehaviour, SizeQueryWithoutBufferAndTooSmallBuffer) {
  StoreText("Name", "abcdef", /*terminated=*/false);
  win::RegistryKey opened(*windows);
  ASSERT_EQ(windows->RegOpenKeyA(win::kLocalMachine, key.c_str(), opened.Receive()),
            win::kErrorSuccess);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(windows->RegQueryValueExA(opened.Get(), "NAME", nullptr, &type, nullptr, &size),
            win::kErrorSuccess);
  EXPECT_EQ(type, win::kRegSz);
  EXPECT_EQ(size, 6u) << "a text stored without its NUL";

  std::uint8_t full[16];
  std::fill(std::begin(full), std::end(full), std::uint8_t{'#'});
  size = sizeof full;
  EXPECT_EQ(windows->RegQueryValueExA(opened.Get(), "Name", nullptr, &type, full, &size),
            win::kErrorSuccess);
  EXPECT_EQ(size, 6u) << "the NUL appended to the read";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(full), 7), std::string("abcdef\0", 7));

  std::uint8_t small[3] = {};
  size = sizeof small;
  EXPECT_EQ(windows->RegQueryValueExA(opened.Get(), "Name", nullptr, &type, small, &size),
            win::kErrorMoreData);

  type = 0;
  EXPECT_EQ(windows->RegQueryValueExA(opened.Get(), "Other", nullptr, &type, nullptr, &size),
            win::kErrorFileNotFound);
  EXPECT_EQ(type, 0u);
}

TEST_F(RegistryBehaviour, ClosingAClosedKeyIsAnInvalidHandle) {
  win::RegistryKey created(*windows);
  ASSERT_EQ(windows->RegCreateKeyExA(win::kLocalMachine, key.c_str(), win::kKeyAllAccess,
                                     created.Receive()),
            win::kErrorSuccess);
  const win::KeyHandle handle = created.Detach();
  EXPECT_EQ(windows->RegCloseKey(handle), win::kErrorSuccess);
  EXPECT_EQ(windows->RegCloseKey(handle), win::kErrorInvalidHandle);
}

// ------------------------------------------------------------------ the reader

TEST_F(RegistryBehaviour, ReaderGivesATerminatedStringWithoutItsNul) {
  StoreText("Identifier", "x86 Family 6 Model 15 Stepping 11");
  EXPECT_EQ(Read("Identifier"), Text("x86 Family 6 Model 15 Stepping 11"));
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
  EXPECT_EQ(GetRegistryString(*windows, win::kLocalMachine, key + "\\Nowhere", "Present"),
            Text(""));
}

}  // namespace
