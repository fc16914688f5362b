#pragma once
// The real Windows behind WindowsApi (Windows builds only): one class per concern, each in its own
// source file, and Win32Api holding the four.

#include <memory>

#include "platform/WindowsApi.h"

namespace win {

class LoadedLibrary;
class ComApartment;
class KernelHandle;

// DLLs from the system directory only, for the whole process: called first thing, before any DLL
// is loaded by name. Where SetDefaultDllDirectories is missing, the working directory at least is
// taken out of the search.
void RestrictDllSearch();

// Win32Registry.cpp
class Win32Registry : public RegistryApi {
 public:
  Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                       std::uint32_t access, KeyHandle* result) override;
  Status RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                         KeyHandle* result, std::uint32_t* disposition) override;
  Status RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) override;
  Status RegRenameKey(KeyHandle key, const char* subKey, const char* newName) override;
  bool HasRegRenameKey() override;
  Status RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) override;
  Status RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) override;
  Status RegQueryInfoKeyA(KeyHandle key, std::uint32_t* subKeys, std::uint32_t* values) override;
  Status RegDeleteValueA(KeyHandle key, const char* valueName) override;
  Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                        std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override;
  Status RegCloseKey(KeyHandle key) override;
  Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) override;
  Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;
};

// Win32System.cpp
class Win32System : public SystemApi {
 public:
  Win32System();
  ~Win32System() override;
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;
  bool GetVersionExA(OsVersionInfo* info) override;
  ProcessKind GetProcessKind() override;
  std::string SystemWow64Directory() override;
  std::uint32_t GetFileAttributesA(const char* path, bool nativeFileSystem) override;
  bool WriteStandardOutput(const std::string& text) override;
  bool WriteStandardError(const std::string& text) override;
  std::string SystemDirectory() override;
  std::string WindowsDirectory() override;
  LocalDate GetLocalDate() override;
  std::string GetCommandLineW() override;
  std::string GetComputerNameW() override;
  std::string ErrorText(Status code) override;
  Status WriteEvent(const std::string& source, EventKind kind, std::uint32_t id,
                    const std::string& text) override;
  Status TrustOnlyAdministratorsRedirections() override;
  std::string FullPathName(const std::string& path) override;
  std::uint32_t PathAttributes(const std::string& path) override;
  Status OpenFolder(const std::string& path, FileHandle* folder) override;
  Status CheckFolder(FileHandle folder) override;
  std::string FinalPath(FileHandle file) override;
  std::string LongPathName(const std::string& path) override;
  bool SameObject(FileHandle first, FileHandle second) override;
  Status OthersWithAccess(FileHandle file, std::vector<std::string>* writers,
                          std::vector<std::string>* readers) override;
  Status ProtectForAdministrators(const std::string& path, bool folder) override;
  std::string UnpredictableName() override;
  Status CreateNewFile(const std::string& path, FileHandle* file) override;
  Status AppendToFile(FileHandle file, const std::string& contents) override;
  Status CheckOrdinaryFile(FileHandle file) override;
  Status RenameOpenFile(FileHandle file, FileHandle folder, const std::string& currentPath,
                        const std::string& target) override;
  Status DeleteOpenFile(FileHandle file, const std::string& currentPath) override;
  void CloseFile(FileHandle file) override;
  bool IsElevated() override;
  Status CreateAdministratorsFolder(const std::string& path) override;
  Status HoldLockFile(const std::string& path, FileHandle* handle, bool* leftBehind) override;
  void Pause(std::uint32_t milliseconds) override;
  std::string ProgramPath() override;
  Status ConnectTaskScheduler() override;
  Status RegisterTask(const std::string& name, const std::string& definition,
                      const std::string& sddl) override;
  Status DeleteTask(const std::string& name) override;
  Status FindTask(const std::string& name, FoundTask* task) override;

 private:
  void* StandardStream(int stream);  // 0 output, 1 error
  bool WriteStream(int stream, const std::string& text);

  void* streams_[2] = {nullptr, nullptr};  // HANDLEs, looked for at the first write
  bool looked_[2] = {false, false};
  bool consoleAttached_ = false;
  std::unique_ptr<KernelHandle> console_;  // CONOUT$ of the console attached, for both streams
};

// Win32Screen.cpp
class Win32Screen : public ScreenApi {
 public:
  bool IsDesktopVisible() override;
  int MessageBoxA(const char* text, const char* caption, std::uint32_t style) override;
  WindowHandle CreateFrameWindow(const FrameWindowDesign& design) override;
  WindowHandle CreateLabelWindow(const LabelWindowDesign& design) override;
  void ShowWindow(WindowHandle window) override;
  void RepaintWindow(WindowHandle window) override;
  void DestroyWindow(WindowHandle window) override;
  TwipSize GetWindowSize(WindowHandle window) override;
  void SetWindowWidth(WindowHandle window, float twips) override;
  void SetWindowHeight(WindowHandle window, float twips) override;
  void SetWindowLeft(WindowHandle window, float twips) override;
  void SetWindowTop(WindowHandle window, float twips) override;
  ColorRef GetSysColor(int index) override;
  bool IsWindowOnScreen(WindowHandle window) override;
  TwipRect GetWorkArea() override;
};

// Win32Shell.cpp: the setup toolkit and automation objects.
class Win32Shell : public ShellApi {
 public:
  Win32Shell();
  ~Win32Shell() override;
  Win32Shell(const Win32Shell&) = delete;
  Win32Shell& operator=(const Win32Shell&) = delete;

  std::int32_t fCreateShellLink(const char* folderName, const char* linkName, const char* linkPath,
                                const char* linkArguments, std::int32_t privateFlag,
                                const char* parentFolder) override;
  std::int32_t fRemoveShellLink(const char* folderName, const char* linkName) override;
  std::unique_ptr<AutomationObject> CreateObject(const std::string& programId) override;

 private:
  std::unique_ptr<LoadedLibrary> toolkit_;  // Vb6stkit.dll, loaded at its first use
  // COM, entered at the first automation object (a run that needs none starts faster without it)
  // and left with this object, which outlives every automation object the program holds.
  std::unique_ptr<ComApartment> com_;
};

class Win32Api : public WindowsApi {
 public:
  RegistryApi& Registry() override { return registry_; }
  SystemApi& System() override { return system_; }
  ScreenApi& Screen() override { return screen_; }
  ShellApi& Shell() override { return shell_; }

 private:
  Win32Registry registry_;
  Win32System system_;
  Win32Screen screen_;
  Win32Shell shell_;
};

// COM on the calling thread for as long as the object lives (single-threaded apartment).
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace win
