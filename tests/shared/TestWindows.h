#pragma once
// The Windows a shared test runs on: the in-memory one in native builds, the real one (under
// Wine) in Windows builds. Shared tests arrange everything through WindowsApi itself.

#include <memory>
#include <string>

#include "platform/WindowsApi.h"

namespace testing_windows {

std::unique_ptr<win::WindowsApi> MakeTestWindows();

// A key below HKEY_LOCAL_MACHINE that belongs to one test alone.
std::string ScratchKey(const std::string& testName);

// What a file test arranges beside the program, as another program or a person would: each of
// these is done with Windows' own functions under Wine, and as its stand-in in memory.
class Arrangement {
 public:
  virtual ~Arrangement() = default;
  // An empty folder that belongs to one test alone; its full path.
  virtual std::string ScratchFolder(const std::string& testName) = 0;
  virtual void MakeFolder(const std::string& path) = 0;
  virtual void MakeFile(const std::string& path) = 0;
  // The folder's 8.3 short path, as Windows gives it.
  virtual std::string ShortPath(const std::string& path) = 0;
  // Another program holds the file open, sharing reading and writing but not its deletion,
  // until Release.
  virtual void HoldWithoutDeleteSharing(const std::string& path) = 0;
  // Another program holds the folder open for listing, sharing nothing, until Release.
  virtual void HoldFolderSharingNothing(const std::string& path) = 0;
  virtual void Release() = 0;
};

std::unique_ptr<Arrangement> ArrangementFor(win::WindowsApi& windows);

}  // namespace testing_windows
