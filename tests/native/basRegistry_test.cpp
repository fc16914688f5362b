// The reader's bookkeeping, seen through the in-memory Windows: which calls it makes and that it
// never leaves a key open.

#include <gtest/gtest.h>

#include "tests/support/FakeWindows.h"
#include "platform/basRegistry.h"

namespace {

using basRegistry::GetRegistryString;

constexpr const char* kKey = "SOFTWARE\\Reader";

TEST(basRegistry, ReadsWithOneOpenTwoQueriesAndOneClose) {
  win::FakeWindows windows;
  windows.Registry().SetString(kKey, "Name", "value");
  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, kKey, "Name"),
            basRegistry::RegistryValue("value"));
  EXPECT_EQ(windows.CallNames(),
            (std::vector<std::string>{"RegOpenKeyA", "RegQueryValueExA", "RegQueryValueExA",
                                      "RegCloseKey"}));
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0);
}

TEST(basRegistry, LeavesNoKeyOpenOnAnyFailure) {
  win::FakeWindows windows;
  windows.Registry().SetString(kKey, "Name", "value");
  windows.Registry().SetValue(kKey, "Binary", win::kRegBinary, {1, 2});

  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, "SOFTWARE\\Missing", "Name"),
            basRegistry::RegistryValue(""));
  EXPECT_EQ(windows.CountCalls("RegCloseKey"), 0) << "nothing was opened, so nothing is closed";
  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, kKey, "Missing"),
            basRegistry::RegistryValue(""));
  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, kKey, "Binary"),
            basRegistry::RegistryValue(""));
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0);
}

TEST(basRegistry, AStringThatGrewBetweenTheTwoQueriesGivesEmptyText) {
  win::FakeWindows windows;
  windows.Registry().SetString(kKey, "Name", "value");
  windows.FailAt({"RegQueryValueExA", kKey, "Name", 2}, win::kErrorMoreData);  // its second read
  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, kKey, "Name"),
            basRegistry::RegistryValue(""));
  EXPECT_EQ(windows.Registry().OpenHandleCount(), 0);
}

TEST(basRegistry, AFailedNumberReadGivesEmptyText) {
  win::FakeWindows windows;
  windows.Registry().SetDword(kKey, "Number", 7);
  windows.FailAt({"RegQueryValueExA", kKey, "Number", 2}, win::kErrorAccessDenied);
  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, kKey, "Number"),
            basRegistry::RegistryValue(""));
}

TEST(basRegistry, ReadsAKeyOpenOnlyForReading) {
  win::FakeWindows windows;
  windows.Registry().SetString(kKey, "Name", "readable");
  windows.Registry().DenyWriteAccess(kKey);
  EXPECT_EQ(GetRegistryString(windows.Registry(), win::kLocalMachine, kKey, "Name"),
            basRegistry::RegistryValue("readable"));
}

}  // namespace
