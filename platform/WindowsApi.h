#pragma once
// The Windows functions the program calls, behind one interface: the exes bind it to the real
// functions (Win32Api), the native tests to an in-memory Windows (FakeWindows). Every text goes
// through the ANSI entry points, so texts here are ANSI bytes.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Automation.h"
#include "platform/WindowsTypes.h"

namespace win {

class WindowsApi {
 public:
  virtual ~WindowsApi() = default;

  // advapi32
  virtual Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) = 0;
  // Opens the key with `access`, creating it and every missing key on its path; `disposition`
  // (may be null) tells whether it was created or already there.
  virtual Status RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                 KeyHandle* result, std::uint32_t* disposition) = 0;
  // Deletes a subkey that has no subkeys of its own, in the view `viewFlag` names
  // (RegDeleteKeyExA, bound at run time, where a view flag is given; RegDeleteKeyA otherwise).
  virtual Status RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) = 0;
  // Renames `key` itself (subKey null) or its subkey. RegRenameKey came with Windows Vista and is
  // bound at run time: where it is missing, kErrorCallNotImplemented, and HasRegRenameKey() says so.
  virtual Status RegRenameKey(KeyHandle key, const char* subKey, const char* newName) = 0;
  virtual bool HasRegRenameKey() = 0;
  // The name of the key's index-th subkey, or value; kErrorNoMoreItems past the last.
  virtual Status RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) = 0;
  virtual Status RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) = 0;
  virtual Status RegDeleteValueA(KeyHandle key, const char* valueName) = 0;
  virtual Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) = 0;
  virtual Status RegCloseKey(KeyHandle key) = 0;
  virtual Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) = 0;
  virtual Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                                  std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* size) = 0;

  // kernel32
  // Whether this process is 32-bit on 32-bit Windows, 32-bit under WOW64 (IsWow64Process, which
  // early Windows lacks), or 64-bit.
  virtual ProcessKind GetProcessKind() = 0;
  // The 32-bit system directory of 64-bit Windows; 0 where there is none (bound at run time).
  virtual std::uint32_t GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) = 0;
  // kInvalidFileAttributes when the file or folder does not exist or cannot be seen. With
  // `nativeFileSystem`, a 32-bit process under WOW64 looks past the file-system redirector
  // (Wow64DisableWow64FsRedirection, bound at run time), as 64-bit programs see the files.
  virtual std::uint32_t GetFileAttributesA(const char* path, bool nativeFileSystem) = 0;
  // Writes to the program's standard output: the handle it was given (a redirection), or the
  // console of the process that started it (AttachConsole, bound at run time). False when it
  // has neither.
  virtual bool WriteStandardOutput(const std::string& text) = 0;
  virtual bool GetVersionExA(OsVersionInfo* info) = 0;
  virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) = 0;
  virtual std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) = 0;
  virtual LocalDate GetLocalDate() = 0;
  // The command line, read in UTF-16 and given as UTF-8, so that no path is lost to the ANSI
  // code page.
  virtual std::string GetCommandLineW() = 0;
  // The computer's name, as UTF-8.
  virtual std::string GetComputerNameW() = 0;
  // The system's description of an error code, as UTF-8 text without a trailing line break.
  virtual std::string ErrorText(Status code) = 0;
  // Creates or replaces a file (path in UTF-8, relative to the working directory) with exactly
  // these bytes; the error code, or 0 on success. The bytes go to a temporary file beside it that
  // others may read meanwhile, which then takes its place: a failed write leaves whatever was
  // there before untouched.
  virtual Status WriteFileContents(const std::string& path, const std::string& contents) = 0;

  // user32: a modal message box; its texts are UTF-8 and are shown in UTF-16.
  virtual int MessageBoxA(const char* text, const char* caption, std::uint32_t style) = 0;

  // user32/gdi32: the program's windows, sized and placed in twips through the display's logical
  // DPI; sizes are outer sizes (frame and title bar included). Created hidden; a failure to
  // create, show or repaint one is thrown as std::runtime_error.
  virtual WindowHandle CreateFrameWindow(const FrameWindowDesign& design) = 0;
  virtual WindowHandle CreateLabelWindow(const LabelWindowDesign& design) = 0;
  virtual void ShowWindow(WindowHandle window) = 0;  // modeless, without an owner
  virtual void RepaintWindow(WindowHandle window) = 0;
  virtual void DestroyWindow(WindowHandle window) = 0;
  virtual TwipSize GetWindowSize(WindowHandle window) = 0;
  virtual void SetWindowWidth(WindowHandle window, float twips) = 0;
  virtual void SetWindowHeight(WindowHandle window, float twips) = 0;
  virtual void SetWindowLeft(WindowHandle window, float twips) = 0;
  virtual void SetWindowTop(WindowHandle window, float twips) = 0;
  virtual ColorRef GetSysColor(int index) = 0;
  // Whether the window is visible and not minimised.
  virtual bool IsWindowOnScreen(WindowHandle window) = 0;
  // The part of the primary screen not taken by task bars.
  virtual TwipRect GetWorkArea() = 0;

  // Vb6stkit.dll, the setup toolkit's shortcut library, loaded at the first call of one of its
  // functions. A library or function that cannot be found is thrown as std::runtime_error.
  virtual std::int32_t fCreateShellLink(const char* folderName, const char* linkName,
                                        const char* linkPath, const char* linkArguments,
                                        std::int32_t privateFlag, const char* parentFolder) = 0;
  virtual std::int32_t fRemoveShellLink(const char* folderName, const char* linkName) = 0;

  // An automation object created by its programmatic identifier ("WScript.Shell"); a failure is
  // thrown as std::runtime_error.
  virtual std::unique_ptr<AutomationObject> CreateObject(const std::string& programId) = 0;
};

}  // namespace win
