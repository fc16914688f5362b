#pragma once
// The main window. Loading it runs the whole program: it shows itself, registers every Quillet
// data source while the progress window asks the user to wait, tells the user how it went, and
// unloads itself.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "odbc/MdlODBC.h"
#include "platform/WindowsApi.h"
#include "setup/ExitCodes.h"
#include "setup/RunContext.h"
#include "setup/Tally.h"
#include "setup/frmMessage.h"

namespace quillet {

// What the run does with a data source that is present but incomplete: report it, or add what
// is missing.
enum class RunMode { Install, Repair };

class frmQuillet {
 public:
  explicit frmQuillet(RunContext& run, RunMode mode = RunMode::Install);
  ~frmQuillet();
  frmQuillet(const frmQuillet&) = delete;
  frmQuillet& operator=(const frmQuillet&) = delete;

  // Creates the window and runs its load handler; failures go to the caller.
  void Load();

  // Registers the five current data sources in the view the processor calls for, then the five
  // archive data sources of every year from 2002 to last year in both views. A step that fails
  // is skipped and the run goes on with the next one.
  void SetupDataSources();

  [[nodiscard]] const std::vector<RegistrationRecord>& Registrations() const {
    return registrations_;
  }
  [[nodiscard]] int CountRegistrations(MdlODBC::RegistrationStatus status) const {
    return tally_.Count(status);
  }
  // 0 when every data source is registered, repaired, or was already there and complete.
  [[nodiscard]] int ExitCode() const;
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

  std::string strProcessorId;  // the processor identifier, as read at the start of the run
  std::int16_t intYear = 0;    // the archive year being registered
  std::unique_ptr<win::AutomationObject> objFileSystem;  // of the last desktop-folder operation
  std::int16_t intPrivateLink = 0;  // the toolkit's private flag for new shortcuts

 private:
  void CreateWindowOnce() const;
  void Form_Load();
  void ShowCompletionMessage();
  void Unload();
  std::string PrepareDesktopFolder(const std::string& folderName);
  void RegisterEveryDataSource();
  void Register(const PlannedDataSource& planned);

  RunContext& run_;
  win::WindowsApi& windows_;
  RunMode mode_;
  mutable win::WindowHandle hWnd_ = 0;
  frmMessage message_;
  std::vector<RegistrationRecord> registrations_;
  Tally<MdlODBC::RegistrationStatus> tally_;  // who came to which outcome, as Who() names them
};

// What became of each data source, in the run's report.
void ReportRegistrations(RunContext& run, const std::vector<RegistrationRecord>& records);

// The completion message for a run that could not register the data sources named in `failed`
// or found those in `incomplete` present with parts missing.
std::string FailureSummary(const std::vector<std::string>& failed,
                           const std::vector<std::string>& incomplete = {});

}  // namespace quillet
