#include "tests/support/FakeWindows.h"
#include "tests/shared/TestWindows.h"

#include <cctype>

namespace testing_windows {

std::unique_ptr<win::WindowsApi> MakeTestWindows() { return std::make_unique<win::FakeWindows>(); }

std::string ScratchKey(const std::string& testName) { return "SOFTWARE\\QuilletTests\\" + testName; }

namespace {

class FakeArrangement : public Arrangement {
 public:
  explicit FakeArrangement(win::FakeWindows& windows) : system_(windows.System()) {}

  std::string ScratchFolder(const std::string& testName) override {
    MakeFolder("C:\\QuilletTests");
    const std::string folder = "C:\\QuilletTests\\" + testName;
    MakeFolder(folder);
    return folder;
  }
  void MakeFolder(const std::string& path) override { system_.AddFolder(path); }
  void MakeFile(const std::string& path) override {
    win::FileHandle file = 0;
    system_.CreateNewFile(path, &file);
    system_.CloseFile(file);
  }
  // Six characters of the name, in capitals, and "~1", as Windows makes the first.
  std::string ShortPath(const std::string& path) override {
    const auto slash = path.rfind('\\');
    std::string name;
    for (const char c : path.substr(slash + 1)) {
      if (c != ' ' && name.size() < 6) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::string shortPath = path.substr(0, slash + 1) + name + "~1";
    system_.AddShortName(shortPath, path);
    return shortPath;
  }
  void HoldWithoutDeleteSharing(const std::string& path) override { system_.HoldOpen(path, false); }
  void HoldFolderSharingNothing(const std::string& path) override { system_.HoldSharingNothing(path); }
  void Release() override {}

 private:
  win::FakeSystem& system_;
};

}  // namespace

std::unique_ptr<Arrangement> ArrangementFor(win::WindowsApi& windows) {
  return std::make_unique<FakeArrangement>(dynamic_cast<win::FakeWindows&>(windows));
}

}  // namespace testing_windows
