#include <windows.h>

#include "platform/win32/Win32Api.h"
#include "setup/frmQuillet.h"

namespace {

// Until the windows exist, the run shows no progress.
class NoProgressWindow : public quillet::ProgressWindow {
 public:
  void Show() override {}
  void Repaint() override {}
  void Unload() override {}
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  win::Win32Api windows;
  NoProgressWindow progress;
  quillet::frmQuillet main(windows, progress);
  main.SetupDataSources();
  return main.CountRegistrations(MdlODBC::RegistrationStatus::Failed) == 0 ? 0 : 1;
}
