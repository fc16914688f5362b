#pragma once
// Windows that show nothing: every window and message box of the program goes nowhere, and
// everything else passes through to the Windows underneath. For unattended runs, where nobody is
// there to look or to press OK.

#include <map>

#include "platform/WindowsApi.h"

namespace win {

class QuietWindows : public WindowsApi {
 public:
  explicit QuietWindows(WindowsApi& underlying) : underlying_(underlying) {}

  Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                       std::uint32_t access, KeyHandle* result) override {
    return underlying_.RegOpenKeyExA(root, subKey, options, access, result);
  }
  Status RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                         KeyHandle* result, std::uint32_t* disposition) override {
    return underlying_.RegCreateKeyExA(root, subKey, access, result, disposition);
  }
  Status RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) override {
    return underlying_.RegDeleteKeyA(key, subKey, viewFlag);
  }
  Status RegRenameKey(KeyHandle key, const char* subKey, const char* newName) override {
    return underlying_.RegRenameKey(key, subKey, newName);
  }
  bool HasRegRenameKey() override { return underlying_.HasRegRenameKey(); }
  Status RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) override {
    return underlying_.RegEnumKeyExA(key, index, name);
  }
  Status RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) override {
    return underlying_.RegEnumValueA(key, index, name);
  }
  Status RegDeleteValueA(KeyHandle key, const char* valueName) override {
    return underlying_.RegDeleteValueA(key, valueName);
  }
  Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                        std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) override {
    return underlying_.RegSetValueExA(key, valueName, reserved, type, data, size);
  }
  Status RegCloseKey(KeyHandle key) override { return underlying_.RegCloseKey(key); }
  Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) override {
    return underlying_.RegOpenKeyA(root, subKey, result);
  }
  Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override {
    return underlying_.RegQueryValueExA(key, valueName, reserved, type, data, size);
  }
  bool GetVersionExA(OsVersionInfo* info) override { return underlying_.GetVersionExA(info); }
  ProcessKind GetProcessKind() override { return underlying_.GetProcessKind(); }
  std::uint32_t GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) override {
    return underlying_.GetSystemWow64DirectoryA(buffer, size);
  }
  std::uint32_t GetFileAttributesA(const char* path, bool nativeFileSystem) override {
    return underlying_.GetFileAttributesA(path, nativeFileSystem);
  }
  bool WriteStandardOutput(const std::string& text) override {
    return underlying_.WriteStandardOutput(text);
  }
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return underlying_.GetSystemDirectoryA(buffer, size);
  }
  std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) override {
    return underlying_.GetWindowsDirectoryA(buffer, size);
  }
  LocalDate GetLocalDate() override { return underlying_.GetLocalDate(); }
  std::string GetCommandLineW() override { return underlying_.GetCommandLineW(); }
  std::string GetComputerNameW() override { return underlying_.GetComputerNameW(); }
  std::string ErrorText(Status code) override { return underlying_.ErrorText(code); }
  Status WriteFileContents(const std::string& path, const std::string& contents) override {
    return underlying_.WriteFileContents(path, contents);
  }
  ColorRef GetSysColor(int index) override { return underlying_.GetSysColor(index); }
  std::int32_t fCreateShellLink(const char* folderName, const char* linkName,
                                const char* linkPath, const char* linkArguments,
                                std::int32_t privateFlag, const char* parentFolder) override {
    return underlying_.fCreateShellLink(folderName, linkName, linkPath, linkArguments, privateFlag,
                                        parentFolder);
  }
  std::int32_t fRemoveShellLink(const char* folderName, const char* linkName) override {
    return underlying_.fRemoveShellLink(folderName, linkName);
  }
  std::unique_ptr<AutomationObject> CreateObject(const std::string& programId) override {
    return underlying_.CreateObject(programId);
  }

  // Nothing is shown; a message box answers OK at once.
  int MessageBoxA(const char*, const char*, std::uint32_t) override { return kIdOk; }
  WindowHandle CreateFrameWindow(const FrameWindowDesign& design) override;
  WindowHandle CreateLabelWindow(const LabelWindowDesign& design) override;
  void ShowWindow(WindowHandle) override {}
  void RepaintWindow(WindowHandle) override {}
  void DestroyWindow(WindowHandle window) override { sizes_.erase(window); }
  TwipSize GetWindowSize(WindowHandle window) override { return sizes_[window]; }
  void SetWindowWidth(WindowHandle window, float twips) override { sizes_[window].width = twips; }
  void SetWindowHeight(WindowHandle window, float twips) override {
    sizes_[window].height = twips;
  }
  void SetWindowLeft(WindowHandle, float) override {}
  void SetWindowTop(WindowHandle, float) override {}
  bool IsWindowOnScreen(WindowHandle) override { return true; }
  TwipRect GetWorkArea() override { return {}; }

 private:
  WindowHandle Remember(TwipSize size);

  WindowsApi& underlying_;
  std::map<WindowHandle, TwipSize> sizes_;  // windows that exist only here
  WindowHandle next_ = 1;
};

}  // namespace win
