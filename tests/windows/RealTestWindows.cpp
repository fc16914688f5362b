#include <windows.h>

#include <stdexcept>
#include <vector>

#include "platform/win32/SystemText.h"
#include "platform/win32/Win32Api.h"
#include "tests/shared/TestWindows.h"

namespace testing_windows {

std::unique_ptr<win::WindowsApi> MakeTestWindows() { return std::make_unique<win::Win32Api>(); }

// Every run of these tests gets a throwaway Wine prefix, so the keys need no cleaning up.
std::string ScratchKey(const std::string& testName) { return "SOFTWARE\\QuilletTests\\" + testName; }

namespace {

std::wstring Wide(const std::string& path) { return win::ToWide(path, CP_UTF8); }

class RealArrangement : public Arrangement {
 public:
  ~RealArrangement() override { Release(); }

  std::string ScratchFolder(const std::string& testName) override {
    MakeFolder("C:\\QuilletTests");
    const std::string folder = "C:\\QuilletTests\\" + testName;
    MakeFolder(folder);
    return folder;
  }
  void MakeFolder(const std::string& path) override {
    if (!::CreateDirectoryW(Wide(path).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      throw std::runtime_error("CreateDirectoryW " + path);
    }
  }
  void MakeFile(const std::string& path) override {
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateFileW " + path);
    ::CloseHandle(file);
  }
  std::string ShortPath(const std::string& path) override {
    std::vector<wchar_t> buffer(MAX_PATH);
    const DWORD length = ::GetShortPathNameW(Wide(path).c_str(), buffer.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error("GetShortPathNameW " + path);
    return win::FromWide(std::wstring(buffer.data(), length), CP_UTF8);
  }
  void HoldWithoutDeleteSharing(const std::string& path) override {
    held_.push_back(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (held_.back() == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateFileW " + path);
  }
  void HoldFolderSharingNothing(const std::string& path) override {
    held_.push_back(::CreateFileW(Wide(path).c_str(), FILE_LIST_DIRECTORY, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (held_.back() == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateFileW " + path);
  }
  void Release() override {
    for (const HANDLE handle : held_) {
      if (handle != INVALID_HANDLE_VALUE && handle != nullptr) ::CloseHandle(handle);
    }
    held_.clear();
  }

 private:
  std::vector<HANDLE> held_;
};

}  // namespace

std::unique_ptr<Arrangement> ArrangementFor(win::WindowsApi&) { return std::make_unique<RealArrangement>(); }

}  // namespace testing_windows
