#include "setup/frmQuillet.h"

#include <exception>
#include <stdexcept>

namespace quillet {
namespace {

constexpr win::TwipSize kDesignedClientArea{6285, 3765};

}  // namespace

frmQuillet::frmQuillet(win::WindowsApi& windows) : windows_(windows), message_(windows.Screen()) {}

frmQuillet::~frmQuillet() {
  if (hWnd_ == 0) return;
  try {
    windows_.Screen().DestroyWindow(hWnd_);
  } catch (const std::exception&) {
    // Going away regardless.
  }
}

void frmQuillet::Load(const std::function<void()>& registerAll,
                      const std::function<void()>& conclude) {
  CreateWindowOnce();
  Form_Load(registerAll, conclude);
}

void frmQuillet::CreateWindowOnce() const {
  if (hWnd_ == 0)
    hWnd_ = windows_.Screen().CreateFrameWindow({"Quillet Setup", kDesignedClientArea});
}

void frmQuillet::Form_Load(const std::function<void()>& registerAll,
                           const std::function<void()>& conclude) {
  windows_.Screen().ShowWindow(hWnd_);
  SetupDataSources(registerAll);
  conclude();
  Unload();
}

void frmQuillet::Unload() {
  const win::WindowHandle window = hWnd_;
  hWnd_ = 0;
  windows_.Screen().DestroyWindow(window);
}

win::TwipSize frmQuillet::OuterSize() const {
  CreateWindowOnce();
  return windows_.Screen().GetWindowSize(hWnd_);
}

bool frmQuillet::IsOnScreen() const {
  CreateWindowOnce();
  return windows_.Screen().IsWindowOnScreen(hWnd_);
}

win::TwipRect frmQuillet::CentringArea() const {
  if (!IsOnScreen()) return windows_.Screen().GetWorkArea();
  const win::TwipSize outer = OuterSize();
  return {0, 0, outer.width, outer.height};
}

void frmQuillet::SetupDataSources(const std::function<void()>& registerAll) {
  // Showing and repainting are not covered by skip-on-failure: their failures go to the caller.
  message_.Show(CentringArea());
  message_.Refresh();
  registerAll();
  try {
    message_.Unload();
  } catch (const std::exception&) {
    // Skipped like any other failing step: the run is over either way.
  }
}

void frmQuillet::CreateShortcut(const std::string& folderName, const std::string& linkName,
                                const std::string& linkPath) {
  windows_.Shell().fCreateShellLink(folderName.c_str(), linkName.c_str(), linkPath.c_str(), "",
                                    intPrivateLink, "$(Programs)");
}

void frmQuillet::RemoveShortcut(const std::string& folderName, const std::string& linkName) {
  windows_.Shell().fRemoveShellLink(folderName.c_str(), linkName.c_str());
}

// What both desktop-folder operations do first: the folder's path (the desktop's path, one
// backslash, the name, nothing checked or trimmed) and a new FileSystemObject in objFileSystem.
std::string frmQuillet::PrepareDesktopFolder(const std::string& folderName) {
  const auto shell = windows_.Shell().CreateObject("WScript.Shell");
  const auto desktop = shell->Invoke("SpecialFolders", {std::string("Desktop")});
  const auto* desktopPath = std::get_if<std::string>(&desktop);
  // Without a desktop the path would be "\Archive", a folder at the root of the drive.
  if (desktopPath == nullptr || desktopPath->empty()) {
    throw std::runtime_error(
        "The desktop folder could not be found (WScript.Shell gave no path for "
        "\"Desktop\"); nothing was created or deleted.");
  }
  const std::string path = *desktopPath + "\\" + folderName;
  objFileSystem = windows_.Shell().CreateObject("Scripting.FileSystemObject");
  return path;
}

void frmQuillet::DeleteDesktopFolder(const std::string& folderName) {
  const std::string path = PrepareDesktopFolder(folderName);
  objFileSystem->Invoke("DeleteFolder", {path});
}

void frmQuillet::CreateDesktopFolder(const std::string& folderName) {
  const std::string path = PrepareDesktopFolder(folderName);
  objFileSystem->Invoke("CreateFolder", {path});
}

std::string frmQuillet::GetWindowsDir() { return windows_.System().WindowsDirectory(); }

}  // namespace quillet
