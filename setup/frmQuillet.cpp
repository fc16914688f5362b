#include "setup/frmQuillet.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>

#include "platform/basRegistry.h"
#include "setup/QuilletDataSources.h"

namespace quillet {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kProcessorValue = "Identifier";
constexpr win::TwipSize kDesignedClientArea{6285, 3765};
constexpr const char* kCompletionTitle = "Quillet Installation";
constexpr const char* kSetupComplete = "Setup Complete - DO NOT run this setup again.";
constexpr std::size_t kFailuresNamed = 5;

}  // namespace

bool IsX86Processor(const std::string& processorId) {
  const std::string_view wanted = "x86";
  return std::search(processorId.begin(), processorId.end(), wanted.begin(), wanted.end(),
                     [](unsigned char a, unsigned char b) {
                       return std::tolower(a) == std::tolower(b);
                     }) != processorId.end();
}

namespace {

std::string Listed(const std::vector<const RegistrationRecord*>& records, const char* what) {
  std::string text = "\n\n" + std::to_string(records.size()) +
                     (records.size() == 1 ? " data source " : " data sources ") + what + ":\n";
  for (std::size_t i = 0; i < records.size() && i < kFailuresNamed; ++i) {
    text += "\n" + records[i]->name + " (" + records[i]->where + ")";
  }
  if (records.size() > kFailuresNamed) {
    text += "\n... and " + std::to_string(records.size() - kFailuresNamed) + " more";
  }
  return text;
}

}  // namespace

std::string ReadProcessorIdentifier(win::WindowsApi& windows) {
  return basRegistry::ToText(
      basRegistry::GetRegistryString(windows, win::kLocalMachine, kProcessorKey, kProcessorValue));
}

std::string FailureSummary(const std::vector<const RegistrationRecord*>& failed,
                           const std::vector<const RegistrationRecord*>& incomplete) {
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

frmQuillet::frmQuillet(win::WindowsApi& windows, RunMode mode)
    : windows_(windows), mode_(mode), message_(windows, *this) {}

frmQuillet::~frmQuillet() {
  if (hWnd_ == 0) return;
  try {
    windows_.DestroyWindow(hWnd_);
  } catch (const std::exception&) {
    // Going away regardless.
  }
}

void frmQuillet::Load() {
  CreateWindowOnce();
  Form_Load();
}

void frmQuillet::CreateWindowOnce() const {
  if (hWnd_ == 0) hWnd_ = windows_.CreateFrameWindow({"Quillet Setup", kDesignedClientArea});
}

void frmQuillet::Form_Load() {
  windows_.ShowWindow(hWnd_);
  SetupDataSources();
  ShowCompletionMessage();
  Unload();
}

void frmQuillet::ShowCompletionMessage() {
  std::vector<const RegistrationRecord*> failed;
  std::vector<const RegistrationRecord*> incomplete;
  for (const auto& record : registrations_) {
    if (record.outcome.status == MdlODBC::RegistrationStatus::Failed) failed.push_back(&record);
    if (record.outcome.status == MdlODBC::RegistrationStatus::Incomplete) {
      incomplete.push_back(&record);
    }
  }
  if (failed.empty() && incomplete.empty()) {
    windows_.MessageBoxA(kSetupComplete, kCompletionTitle, win::kMbOk);
  } else {
    windows_.MessageBoxA(FailureSummary(failed, incomplete).c_str(), kCompletionTitle,
                         win::kMbOk | win::kMbIconWarning);
  }
}

void frmQuillet::Unload() {
  const win::WindowHandle window = hWnd_;
  hWnd_ = 0;
  windows_.DestroyWindow(window);
}

win::TwipSize frmQuillet::OuterSize() const {
  CreateWindowOnce();
  return windows_.GetWindowSize(hWnd_);
}

bool frmQuillet::IsOnScreen() const {
  CreateWindowOnce();
  return windows_.IsWindowOnScreen(hWnd_);
}

int frmQuillet::ExitCode() const {
  const bool done = CountRegistrations(MdlODBC::RegistrationStatus::Failed) == 0 &&
                    CountRegistrations(MdlODBC::RegistrationStatus::Incomplete) == 0;
  return done ? kExitSuccess : kExitInstallFailure;
}

void frmQuillet::SetupDataSources() {
  // Showing and repainting are not covered by skip-on-failure: their failures go to the caller.
  message_.Show();
  message_.Refresh();

  ReadProcessorId();
  RegisterEveryDataSource();

  try {
    message_.Unload();
  } catch (const std::exception&) {
    // Skipped like any other failing step: the run is over either way.
  }
}

// The views' keys stay open for the whole registration and are closed when it ends.
void frmQuillet::RegisterEveryDataSource() {
  access_ = MdlODBC::DetectRegistryAccess(windows_);
  MdlODBC::DataSourceRegistry native(windows_, access_, MdlODBC::kNativeView);
  MdlODBC::DataSourceRegistry wow64(windows_, access_, MdlODBC::kWow64View);
  const std::int16_t lastArchiveYear = LastArchiveYear();
  intYear = kFirstArchiveYear;
  for (const auto& planned : PlanDataSources(IsX86Processor(strProcessorId), lastArchiveYear)) {
    if (planned.archiveYear != 0) intYear = planned.archiveYear;
    Register(planned.view == &MdlODBC::kNativeView ? native : wow64, *planned.view, planned.spec);
  }
  // As the yearly loop leaves it: one past the last archive year it registered.
  if (lastArchiveYear >= kFirstArchiveYear) intYear = static_cast<std::int16_t>(lastArchiveYear + 1);
}

int frmQuillet::CountRegistrations(MdlODBC::RegistrationStatus status) const {
  return static_cast<int>(std::count_if(registrations_.begin(), registrations_.end(),
                                        [&](const auto& r) { return r.outcome.status == status; }));
}

void frmQuillet::CreateShortcut(const std::string& folderName, const std::string& linkName,
                                const std::string& linkPath) {
  windows_.fCreateShellLink(folderName.c_str(), linkName.c_str(), linkPath.c_str(), "",
                            intPrivateLink, "$(Programs)");
}

void frmQuillet::RemoveShortcut(const std::string& folderName, const std::string& linkName) {
  windows_.fRemoveShellLink(folderName.c_str(), linkName.c_str());
}

// What both desktop-folder operations do first: the folder's path (the desktop's path, one
// backslash, the name, nothing checked or trimmed) and a new FileSystemObject in objFileSystem.
std::string frmQuillet::PrepareDesktopFolder(const std::string& folderName) {
  const auto shell = windows_.CreateObject("WScript.Shell");
  const auto desktop = shell->Invoke("SpecialFolders", {std::string("Desktop")});
  const auto* desktopPath = std::get_if<std::string>(&desktop);
  // Without a desktop the path would be "\Archive", a folder at the root of the drive.
  if (desktopPath == nullptr || desktopPath->empty()) {
    throw std::runtime_error("The desktop folder could not be found (WScript.Shell gave no path for "
                             "\"Desktop\"); nothing was created or deleted.");
  }
  const std::string path = *desktopPath + "\\" + folderName;
  objFileSystem = windows_.CreateObject("Scripting.FileSystemObject");
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
  auto count = windows_.GetWindowsDirectoryA(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  if (count >= buffer.size()) {
    // Too long for the buffer: the count is the size it needs. Ask again with that much room
    // rather than hand back a truncated or undefined directory.
    buffer.assign(count, '\0');
    count = windows_.GetWindowsDirectoryA(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (count >= buffer.size()) return {};
  }
  return std::string(buffer.data(), count);
}

void frmQuillet::ReadProcessorId() {
  try {
    strProcessorId = ReadProcessorIdentifier(windows_);
  } catch (const std::exception&) {
    // Left as it was: an unreadable identifier means "not x86".
  }
}

void frmQuillet::Register(MdlODBC::DataSourceRegistry& registry, const MdlODBC::RegistryView& view,
                          const MdlODBC::DataSourceSpec& spec) {
  RegistrationRecord record{spec.name, &view, MdlODBC::ViewLabel(view, access_), {}};
  try {
    record.outcome =
        mode_ == RunMode::Repair ? registry.Repair(spec) : registry.Register(spec);
  } catch (const std::exception& error) {
    record.outcome = {MdlODBC::RegistrationStatus::Failed, error.what(), 0, {}};
  }
  registrations_.push_back(std::move(record));
}

std::int16_t frmQuillet::LastArchiveYear() {
  return static_cast<std::int16_t>(windows_.GetLocalDate().year - 1);
}

}  // namespace quillet
