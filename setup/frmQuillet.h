#pragma once
// The main window, the program's face in the plain run and /repair: it shows itself, shows the
// progress window while the data sources are registered, shows how it went, and unloads itself.
// What is registered and what is said are decided elsewhere; the window only shows.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowsApi.h"
#include "setup/frmMessage.h"

namespace quillet {

class frmQuillet {
 public:
  explicit frmQuillet(win::WindowsApi& windows);
  ~frmQuillet();
  frmQuillet(const frmQuillet&) = delete;
  frmQuillet& operator=(const frmQuillet&) = delete;

  // Creates the window and runs its load handler: the window shows itself, `registerAll` runs
  // while the progress window asks the user to wait, `conclude` says how it went, and the window
  // unloads itself. Failures go to the caller.
  void Load(const std::function<void()>& registerAll, const std::function<void()>& conclude);

  // Shows the progress window over this one, runs `registerAll`, and unloads the progress window.
  void SetupDataSources(const std::function<void()>& registerAll);

  // The window's outer size in twips; the window is created (not loaded) if it does not exist.
  [[nodiscard]] win::TwipSize OuterSize() const;
  // Whether the window is visible and not minimised (it is created if it does not exist).
  [[nodiscard]] bool IsOnScreen() const;
  // Where the progress window centres: on this window by its outer size, or on the work area
  // when this window is minimised or hidden and has no size worth centring on.
  [[nodiscard]] win::TwipRect CentringArea() const;

  // Shell operations offered by the main window; the setup run itself does not use them, and
  // their failures go to the caller.
  // A shortcut below "$(Programs)" through the setup toolkit; nothing it returns is read.
  void CreateShortcut(const std::string& folderName, const std::string& linkName,
                      const std::string& linkPath);
  void RemoveShortcut(const std::string& folderName, const std::string& linkName);
  // A folder directly on the desktop, through the Windows Script Host objects.
  void DeleteDesktopFolder(const std::string& folderName);
  void CreateDesktopFolder(const std::string& folderName);
  // The Windows directory, or "" when the system does not give it.
  std::string GetWindowsDir();

  std::unique_ptr<win::AutomationObject> objFileSystem;  // of the last desktop-folder operation
  std::int16_t intPrivateLink = 0;  // the toolkit's private flag for new shortcuts

 private:
  void CreateWindowOnce() const;
  void Form_Load(const std::function<void()>& registerAll, const std::function<void()>& conclude);
  void Unload();
  std::string PrepareDesktopFolder(const std::string& folderName);

  win::WindowsApi& windows_;
  mutable win::WindowHandle hWnd_ = 0;
  frmMessage message_;
};

}  // namespace quillet
