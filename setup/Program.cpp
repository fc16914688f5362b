#include "setup/Program.h"

#include <exception>

#include "platform/Application.h"
#include "setup/frmQuillet.h"

namespace quillet {

int RunProgram(win::WindowsApi& windows) {
  try {
    frmQuillet mainWindow(windows);
    mainWindow.Load();
    return mainWindow.ExitCode();
  } catch (const std::exception& error) {
    windows.MessageBoxA(error.what(), app::kTitle, win::kMbOk | win::kMbIconError);
    return kExitInstallFailure;
  }
}

}  // namespace quillet
