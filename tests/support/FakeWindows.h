#pragma once
// An in-memory Windows for tests: a registry that behaves like the real one where the program
// relies on it (names compared case-insensitively and kept as first written, every missing key
// created along a path, the error codes Windows returns, bytes stored exactly), plus the system
// queries, the date and the message box. Tests can deny write access to a key, make the Nth call
// of a function fail or throw, read the order of calls and count the handles left open, and cut a process off at any registry call.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/WindowsApi.h"

namespace win {

struct StoredValue {
  std::string name;
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// Every key below HKEY_LOCAL_MACHINE by full path as written, with its values sorted by name: two
// registries hold the same data exactly when their trees are equal.
using RegistryTree = std::map<std::string, std::vector<StoredValue>>;

// What RegRenameKey answers, on Windows and Wine alike, when the new name is taken.
inline constexpr Status kRenameOntoExistingKey = kErrorAccessDenied;

// One call made through the fake, in the order made. Key paths are full ("HKLM\...").
struct RecordedCall {
  std::string function;
  std::string keyPath;    // the key addressed (registry functions)
  std::string valueName;  // the value, or the text of a message box
  std::uint32_t type = 0;  // value type, or message box style
  std::vector<std::uint8_t> data;
  std::string caption;    // message boxes and windows
  WindowHandle window = 0;  // window functions
  double number = 0;        // twips passed to a window function
  std::vector<std::string> texts;  // texts passed to a toolkit or automation call
};

// A window as the fake keeps it; sizes are outer sizes in twips, whole pixels at the fake's DPI.
struct FakeWindow {
  std::string kind;  // "frame" or "label"
  std::string caption;
  TwipSize size;
  float left = 0, top = 0;
  bool visible = false;
  bool minimised = false;
  bool destroyed = false;
  LabelDesign label;  // label windows only
};

class FakeWindows : public WindowsApi {
 public:
  FakeWindows();
  ~FakeWindows() override;

  // --- the registry as tests arrange and inspect it; paths below HKEY_LOCAL_MACHINE ---
  void CreateKey(const std::string& path);
  void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  void SetDword(const std::string& path, const std::string& name, std::uint32_t number);
  void RemoveValue(const std::string& path, const std::string& name);
  void RemoveKey(const std::string& path);  // with everything below it
  [[nodiscard]] bool KeyExists(const std::string& path) const;
  [[nodiscard]] std::optional<StoredValue> Value(const std::string& path,
                                                 const std::string& name) const;
  // Subkey and value names of a key as written, in creation order.
  [[nodiscard]] std::vector<std::string> SubkeyNames(const std::string& path) const;
  [[nodiscard]] std::vector<StoredValue> Values(const std::string& path) const;
  // The key may still be opened for reading, but not for full access, not written, and no
  // subkey may be created below it.
  void DenyWriteAccess(const std::string& path);
  [[nodiscard]] RegistryTree Tree() const;
  // Windows before Vista: RegRenameKey cannot be bound.
  void RemoveRegRenameKey() { hasRenameKey_ = false; }

  // --- a process cut off part way ---
  // From the nth registry call from now (1-based) on, no registry call reaches the registry, as
  // if the process had been killed there; until StartNewProcess.
  void KillAtRegistryCall(int nth) { killAt_ = registryCalls_ + nth; }
  // A new process on the same machine: the dead one's handles are gone, the registry stays.
  void StartNewProcess();
  [[nodiscard]] int RegistryCallCount() const { return registryCalls_; }

  // --- the rest of the machine ---
  void SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);
  // An empty directory makes GetSystemDirectoryA fail (return 0).
  void SetSystemDirectory(std::string directory);
  void SetLocalDate(LocalDate date);
  void SetCommandLine(std::string commandLine) { commandLine_ = std::move(commandLine); }
  // GetWindowsDirectoryA reports it; empty makes the call fail.
  void SetWindowsDirectory(std::string directory) { windowsDirectory_ = std::move(directory); }
  // Without the toolkit library its functions cannot be bound.
  void RemoveToolkit() { toolkitPresent_ = false; }
  // The desktop of the automation objects, and the folders on the fake disk.
  void SetDesktopPath(std::string path) { desktopPath_ = std::move(path); }
  [[nodiscard]] const std::vector<std::string>& Folders() const { return folders_; }
  // Files written through WriteFileContents, by path; a path listed in UnwritablePath fails.
  [[nodiscard]] const std::map<std::string, std::string>& Files() const { return files_; }
  void UnwritablePath(const std::string& path) { unwritable_.push_back(path); }
  // What every message box answers (OK unless set).
  void AnswerMessageBoxes(int answer) { messageBoxAnswer_ = answer; }
  void SetProcessorIdentifier(const std::string& identifier);
  // A 32-bit process under WOW64 has its "SOFTWARE\..." keys redirected to
  // "SOFTWARE\Wow6432Node\..." unless it asks for the 64-bit view, as on Windows.
  void SetProcessKind(ProcessKind kind) { processKind_ = kind; }
  // GetSystemWow64DirectoryA reports it; empty (the default) makes the call fail.
  void SetSystemWow64Directory(std::string directory) { wow64Directory_ = std::move(directory); }
  // Files that exist on the fake disk (GetFileAttributesA), by full path, any letter case.
  void AddFile(const std::string& path) { diskFiles_.push_back(path); }
  // What the program wrote to its standard output; without one (the default) writes fail.
  void GiveStandardOutput() { standardOutput_ = std::string(); }
  [[nodiscard]] const std::optional<std::string>& StandardOutput() const { return standardOutput_; }
  void RemoveProcessorIdentifier();

  // --- windows ---
  void SetDpi(int dpi) { dpi_ = dpi; }
  // What frame and title bar add to a client area, in twips (defaults: 120 wide, 405 high).
  void SetFrameAllowance(TwipSize allowance) { frameAllowance_ = allowance; }
  void SetSysColor(int index, ColorRef color) { sysColors_[index] = color; }
  // The program started minimised (start /min): the main window shows as an icon.
  void StartMinimised() { startMinimised_ = true; }
  void SetWorkArea(TwipRect area) { workArea_ = area; }
  [[nodiscard]] const FakeWindow& Window(WindowHandle window) const;
  [[nodiscard]] int LiveWindowCount() const;

  // --- fault injection: the Nth call (1-based) of a function, counted from now ---
  void FailCall(const std::string& function, int nth, Status status);
  void ThrowOnCall(const std::string& function, int nth);
  // Something another process does just before the next call of a function.
  void BeforeNextCall(const std::string& function, std::function<void()> action) {
    pending_.push_back({function, std::move(action)});
  }

  // --- observation ---
  [[nodiscard]] const std::vector<RecordedCall>& Calls() const { return calls_; }
  [[nodiscard]] std::vector<std::string> CallNames() const;
  [[nodiscard]] int CountCalls(const std::string& function) const;
  void ClearCalls() { calls_.clear(); }
  [[nodiscard]] int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
  [[nodiscard]] std::vector<RecordedCall> MessageBoxes() const;

  // --- WindowsApi ---
  Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                       std::uint32_t access, KeyHandle* result) override;
  Status RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                         KeyHandle* result, std::uint32_t* disposition) override;
  Status RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) override;
  Status RegRenameKey(KeyHandle key, const char* subKey, const char* newName) override;
  bool HasRegRenameKey() override { return hasRenameKey_; }
  Status RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) override;
  Status RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) override;
  Status RegDeleteValueA(KeyHandle key, const char* valueName) override;
  Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                        std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) override;
  Status RegCloseKey(KeyHandle key) override;
  Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) override;
  Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;
  bool GetVersionExA(OsVersionInfo* info) override;
  ProcessKind GetProcessKind() override;
  std::uint32_t GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) override;
  std::uint32_t GetFileAttributesA(const char* path, bool nativeFileSystem) override;
  bool WriteStandardOutput(const std::string& text) override;
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) override;
  LocalDate GetLocalDate() override;
  std::string GetCommandLineW() override;
  std::string GetComputerNameW() override { return "WORKSTATION-7"; }
  std::string ErrorText(Status code) override;
  Status WriteFileContents(const std::string& path, const std::string& contents) override;
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
  TwipRect GetWorkArea() override { return workArea_; }
  std::int32_t fCreateShellLink(const char* folderName, const char* linkName,
                                const char* linkPath, const char* linkArguments,
                                std::int32_t privateFlag, const char* parentFolder) override;
  std::int32_t fRemoveShellLink(const char* folderName, const char* linkName) override;
  std::unique_ptr<AutomationObject> CreateObject(const std::string& programId) override;

 private:
  class FakeAutomationObject;
  struct Node;
  struct OpenKey {
    Node* node = nullptr;
    bool writable = false;
  };
  struct Fault {
    std::string function;
    int remaining = 0;
    std::optional<Status> status;  // empty: throw
  };

  RecordedCall& Record(std::string function);
  // The key a registry call works on, its path noted in the call; null, with the status to
  // answer, when the process was cut off, the handle is unknown or its key was deleted.
  Node* TargetKey(RecordedCall& call, KeyHandle key, Status* failure, bool* writable);
  // Records a registry call; false from the call where the process was cut off.
  bool RegistryCall(RecordedCall& call);
  std::optional<Status> InjectedFault(const std::string& function);
  Node* Resolve(KeyHandle key, bool* writable);
  Node* Find(Node* from, const std::string& subKey) const;
  enum class OpenAccess { Read, Write, MaximumAllowed };
  Status OpenExisting(KeyHandle root, const char* subKey, OpenAccess wanted, KeyHandle* result,
                      RecordedCall& call);
  KeyHandle NewHandle(Node* node, bool writable);
  std::string PathOf(const Node* node) const;
  [[nodiscard]] std::string Redirected(KeyHandle root, const std::string& subKey,
                                       std::uint32_t access) const;
  Node* Ensure(const std::string& path);
  FakeWindow& LiveWindow(RecordedCall& call, WindowHandle window);
  WindowHandle AddWindow(FakeWindow window);
  [[nodiscard]] float WholePixels(float twips) const;
  [[nodiscard]] const Node* Lookup(const std::string& path) const;

  std::unique_ptr<Node> localMachine_;
  std::vector<std::unique_ptr<Node>> deletedKeys_;  // kept so that handles to them stay valid
  bool hasRenameKey_ = true;
  int registryCalls_ = 0;
  int killAt_ = 0;
  bool killed_ = false;
  std::map<KeyHandle, OpenKey> handles_;
  KeyHandle nextHandle_ = 0x1000;
  std::vector<RecordedCall> calls_;
  std::vector<Fault> faults_;
  std::vector<std::pair<std::string, std::function<void()>>> pending_;
  OsVersionInfo version_;
  std::string systemDirectory_ = "C:\\windows\\system32";
  LocalDate date_{2026, 12, 8};
  std::string commandLine_ = "QuilletSetup.exe";
  ProcessKind processKind_ = ProcessKind::Windows64;
  std::string wow64Directory_;
  std::vector<std::string> diskFiles_;
  std::optional<std::string> standardOutput_;
  int messageBoxAnswer_ = kIdOk;
  std::string windowsDirectory_ = "C:\\windows";
  bool toolkitPresent_ = true;
  std::string desktopPath_ = "C:\\users\\Public\\Desktop";
  std::vector<std::string> folders_;
  std::map<std::string, std::string> files_;
  std::vector<std::string> unwritable_;
  int dpi_ = 96;
  bool startMinimised_ = false;
  TwipRect workArea_{0, 0, 15360, 11070};  // 1024 x 738 pixels
  TwipSize frameAllowance_{120, 405};
  std::map<int, ColorRef> sysColors_{{kColorWindow, 0xFFFFFF},
                                     {kColorCaptionText, 0x000000},
                                     {kColorAppWorkspace, 0xABABAB},
                                     {kColorBtnText, 0x000000}};
  std::map<WindowHandle, FakeWindow> windows_;
  WindowHandle nextWindow_ = 0x20000;
};

// Bytes of an ASCII text, as the tests compare stored data.
std::vector<std::uint8_t> Bytes(const std::string& text);

}  // namespace win
