#include "setup/frmQuillet.h"

#include <exception>
#include <stdexcept>

namespace quillet {
namespace {

constexpr win::TwipSize kDesignedClientArea{6285, 3765};
constexpr const char* kCompletionTitle = "Quillet Installation";
const std::string kSetupComplete = "Setup Complete - DO NOT run this setup again.";
constexpr std::size_t kFailuresNamed = 5;

std::string Listed(const std::vector<std::string>& names, const char* what) {
  std::string text = "\n\n" + std::to_string(names.size()) +
                     (names.size() == 1 ? " data source " : " data sources ") + what + ":\n";
  for (std::size_t i = 0; i < names.size() && i < kFailuresNamed; ++i) text += "\n" + names[i];
  if (names.size() > kFailuresNamed) {
    text += "\n... and " + std::to_string(names.size() - kFailuresNamed) + " more";
  }
  return text;
}

}  // namespace

void ReportRegistrations(RunContext& run, const std::vector<RegistrationRecord>& records) {
  using MdlODBC::RegistrationStatus;
  for (const auto& record : records) {
    const auto& outcome = record.outcome;
    ReportedDataSource each{record.name, RunContext::ReportedView(*record.view), {}, {}, {}, {}};
    switch (outcome.status) {
      case RegistrationStatus::Registered: each.state = "registered"; break;
      case RegistrationStatus::AlreadyPresent: each.state = "already-present"; break;
      case RegistrationStatus::Incomplete: each.state = "incomplete"; break;
      case RegistrationStatus::Repaired: each.state = "repaired"; break;
      case RegistrationStatus::Failed: each.state = "failed"; break;
    }
    if (outcome.status == RegistrationStatus::Incomplete ||
        outcome.status == RegistrationStatus::Repaired) {
      each.missing = outcome.parts;
    }
    if (outcome.status == RegistrationStatus::Failed) {
      each.reason = outcome.failure + (outcome.errorCode != 0
                                           ? ": " + run.Windows().System().ErrorText(outcome.errorCode)
                                           : std::string());
    }
    run.Report().dataSources.push_back(std::move(each));
  }
  run.Report().summary = RegistrationCounts(records);
}

std::string FailureSummary(const std::vector<std::string>& failed,
                           const std::vector<std::string>& incomplete) {
  std::string text = "Setup did not complete.";
  if (!failed.empty()) text += Listed(failed, "could not be registered");
  if (!incomplete.empty()) text += Listed(incomplete, "are present but incomplete");
  if (!failed.empty()) {
    text += "\n\nRun this setup again with administrator rights to add what is missing.";
  }
  if (!incomplete.empty()) {
    text += "\n\nRun this setup with /repair to complete the incomplete data sources.";
  }
  return text;
}

frmQuillet::frmQuillet(RunContext& run, RunMode mode)
    : run_(run), windows_(run.Windows()), mode_(mode), message_(run.Windows().Screen()) {}

frmQuillet::~frmQuillet() {
  if (hWnd_ == 0) return;
  try {
    windows_.Screen().DestroyWindow(hWnd_);
  } catch (const std::exception&) {
    // Going away regardless.
  }
}

void frmQuillet::Load() {
  CreateWindowOnce();
  Form_Load();
}

void frmQuillet::CreateWindowOnce() const {
  if (hWnd_ == 0) hWnd_ = windows_.Screen().CreateFrameWindow({"Quillet Setup", kDesignedClientArea});
}

void frmQuillet::Form_Load() {
  windows_.Screen().ShowWindow(hWnd_);
  SetupDataSources();
  // The log is in place and the next run may start before the message waits for a person.
  run_.Log().Add(FormatRunLog(windows_.System(), registrations_, run_.AccessDriverState()));
  ReportRegistrations(run_, registrations_);
  run_.Conclude(ExitCode(), RegistrationCounts(registrations_));
  ShowCompletionMessage();
  Unload();
}

void frmQuillet::ShowCompletionMessage() {
  const auto& failed = tally_.Named(MdlODBC::RegistrationStatus::Failed);
  const auto& incomplete = tally_.Named(MdlODBC::RegistrationStatus::Incomplete);
  const std::string driver = run_.AccessDriverInstalled() ? "" : "\n\n" + run_.AccessDriverState();
  if (failed.empty() && incomplete.empty()) {
    windows_.Screen().MessageBoxA((kSetupComplete + driver).c_str(), kCompletionTitle, win::kMbOk);
  } else {
    windows_.Screen().MessageBoxA((FailureSummary(failed, incomplete) + driver).c_str(),
                                  kCompletionTitle, win::kMbOk | win::kMbIconWarning);
  }
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

int frmQuillet::ExitCode() const {
  const bool done = CountRegistrations(MdlODBC::RegistrationStatus::Failed) == 0 &&
                    CountRegistrations(MdlODBC::RegistrationStatus::Incomplete) == 0;
  return done ? kExitSuccess : kExitInstallFailure;
}

void frmQuillet::SetupDataSources() {
  // Showing and repainting are not covered by skip-on-failure: their failures go to the caller.
  message_.Show(CentringArea());
  message_.Refresh();

  strProcessorId = run_.ProcessorId();
  RegisterEveryDataSource();

  try {
    message_.Unload();
  } catch (const std::exception&) {
    // Skipped like any other failing step: the run is over either way.
  }
}

void frmQuillet::RegisterEveryDataSource() {
  const std::int16_t lastArchiveYear = run_.LastArchiveYear();
  intYear = kFirstArchiveYear;
  for (const auto& planned : run_.Plan()) {
    if (planned.archiveYear != 0) intYear = planned.archiveYear;
    Register(planned);
  }
  run_.RegisterEventSource();
  run_.CloseRegistries();  // the views' keys stay open for the registration alone
  // As the yearly loop leaves it: one past the last archive year it registered.
  if (lastArchiveYear >= kFirstArchiveYear) intYear = static_cast<std::int16_t>(lastArchiveYear + 1);
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
    throw std::runtime_error("The desktop folder could not be found (WScript.Shell gave no path for "
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

std::string frmQuillet::GetWindowsDir() {
  std::vector<char> buffer(256, '\0');
  auto count = windows_.System().GetWindowsDirectoryA(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  if (count >= buffer.size()) {
    // Too long for the buffer: the count is the size it needs. Ask again with that much room
    // rather than hand back a truncated or undefined directory.
    buffer.assign(count, '\0');
    count = windows_.System().GetWindowsDirectoryA(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (count >= buffer.size()) return {};
  }
  return std::string(buffer.data(), count);
}

void frmQuillet::Register(const PlannedDataSource& planned) {
  const auto& view = *planned.view;
  RegistrationRecord record{planned.spec.name, &view, run_.Where(view), {}};
  try {
    auto& registry = run_.RegistryOf(view);
    record.outcome =
        mode_ == RunMode::Repair ? registry.Repair(planned.spec) : registry.Register(planned.spec);
  } catch (const MdlODBC::RegistryError& error) {
    record.outcome = {MdlODBC::RegistrationStatus::Failed, error.what(), error.Status(), {}};
  } catch (const std::exception& error) {
    record.outcome = {MdlODBC::RegistrationStatus::Failed, error.what(), 0, {}};
  }
  tally_.Add(record.outcome.status, record.Who());
  registrations_.push_back(std::move(record));
}

}  // namespace quillet
