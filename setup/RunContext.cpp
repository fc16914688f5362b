#include "setup/RunContext.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <string_view>

#include "platform/Application.h"
#include "platform/basRegistry.h"
#include "setup/EventSource.h"
#include "setup/ExitCodes.h"
#include "setup/RunLock.h"

namespace quillet {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kProcessorValue = "Identifier";
constexpr const char* kLineEnd = "\r\n";

}  // namespace

bool IsX86Processor(const std::string& processorId) {
  const std::string_view wanted = "x86";
  return std::search(processorId.begin(), processorId.end(), wanted.begin(), wanted.end(),
                     [](unsigned char a, unsigned char b) {
                       return std::tolower(a) == std::tolower(b);
                     }) != processorId.end();
}

std::string ReadProcessorIdentifier(win::RegistryApi& registry) {
  return basRegistry::ToText(
      basRegistry::GetRegistryString(registry, win::kLocalMachine, kProcessorKey, kProcessorValue));
}

RunContext::RunContext(win::WindowsApi& windows)
    : windows_(windows),
      access_(MdlODBC::DetectRegistryAccess(windows)),
      native_(windows, access_, MdlODBC::kNativeView),
      wow64_(windows, access_, MdlODBC::kWow64View),
      log_(windows.System()),
      started_(windows.System().GetLocalDate()) {}

std::string RunContext::ReportedView(const MdlODBC::RegistryView& view) {
  return &view == &MdlODBC::kNativeView ? "native" : "32-bit";
}

void RunContext::RegisterEventSource() {
  const win::Status status = quillet::RegisterEventSource(windows_.Registry(), access_.viewFlag);
  if (status != win::kErrorSuccess) {
    log_.Add("The Application log's source \"QuilletSetup\" could not be registered: " +
             windows_.System().ErrorText(status) + kLineEnd);
  }
}

const std::string& RunContext::ProcessorId() {
  if (!processorId_) {
    try {
      processorId_ = ReadProcessorIdentifier(windows_.Registry());
    } catch (const std::exception&) {
      processorId_ = std::string();  // skipped like any failing step: "not x86"
    }
  }
  return *processorId_;
}

std::int16_t RunContext::LastArchiveYear() {
  if (!lastArchiveYear_) lastArchiveYear_ = quillet::LastArchiveYear(windows_.System().GetLocalDate());
  return *lastArchiveYear_;
}

const std::vector<PlannedDataSource>& RunContext::Plan() {
  if (!plan_) plan_ = PlanDataSources(X86Processor(), LastArchiveYear());
  return *plan_;
}

MdlODBC::DataSourceRegistry& RunContext::RegistryOf(const MdlODBC::RegistryView& view) {
  return &view == &MdlODBC::kNativeView ? native_ : wow64_;
}

void RunContext::CloseRegistries() {
  native_.CloseViewKeys();
  wow64_.CloseViewKeys();
}

const MdlODBC::RegistryView& RunContext::QuilletView() const {
  return access_.sixtyFourBitWindows ? MdlODBC::kWow64View : MdlODBC::kNativeView;
}

bool RunContext::AccessDriverInstalled() {
  if (!accessDriverInstalled_) accessDriverInstalled_ = RegistryOf(QuilletView()).DriverRegistered();
  return *accessDriverInstalled_;
}

std::string RunContext::AccessDriverState() {
  const auto& view = QuilletView();
  const std::string driver = "\"Microsoft Access Driver (*.mdb)\"";
  if (AccessDriverInstalled()) {
    return driver + " is installed for the " + Where(view) + ", which Quillet uses.";
  }
  return driver + " is not installed for the " + Where(view) +
         ", which Quillet uses: Quillet cannot open its databases until it is.";
}

std::string RunContext::Where(const MdlODBC::RegistryView& view) const {
  return MdlODBC::ViewLabel(view, access_);
}

int RunContext::TakeLock() {
  lock_.emplace(windows_.System(), kRunLockName);
  const RunLockResult taken = TakeRunLock(windows_, *lock_, Interactive());
  if (taken.exitCode == kExitSuccess) {
    if (!taken.note.empty()) log_.Add(taken.note + kLineEnd);
    return kExitSuccess;
  }
  return Refuse(taken.exitCode, taken.note, taken.note, win::kMbIconWarning);
}

int RunContext::Refuse(int exitCode, const std::string& why, const std::string& shown,
                       std::uint32_t icon) {
  log_.Add(why + kLineEnd);
  Conclude(exitCode, why);
  if (Interactive()) windows_.Screen().MessageBoxA(shown.c_str(), app::kTitle, win::kMbOk | icon);
  return exitCode;
}

void RunContext::EndRegistryWork() {
  CloseRegistries();
  if (lock_) lock_->Release();
}

ReportFrame RunContext::Frame(int exitCode) {
  ReportFrame frame;
  frame.computer = windows_.System().GetComputerNameW();
  frame.version = app::kVersion;
  frame.started = started_;
  frame.exitCode = exitCode;
  frame.result = ResultWords(exitCode);
  frame.sixtyFourBitWindows = access_.sixtyFourBitWindows;
  frame.accessDriverView = ReportedView(QuilletView());
  // Asked of the registry only for the document, which says it.
  try {
    frame.accessDriverInstalled = json_ && AccessDriverInstalled();
  } catch (const std::exception&) {
    frame.accessDriverInstalled = false;
  }
  return frame;
}

// One event for each run of a mode that changes the workstation; its failure changes nothing.
void RunContext::ReportEvent(int exitCode) {
  bool registeredSome = false;
  for (const auto& each : report_.dataSources) {
    registeredSome = registeredSome || each.state == "registered" || each.state == "repaired";
  }
  const win::EventKind kind = exitCode == kExitSuccess ? win::EventKind::Information
                              : exitCode == kExitInstallFailure && registeredSome
                                  ? win::EventKind::Warning
                                  : win::EventKind::Error;
  const std::uint32_t id = kind == win::EventKind::Information ? kEventSucceeded
                           : kind == win::EventKind::Warning   ? kEventPartly
                                                               : kEventFailed;
  const std::string text = SummaryLine(report_, Frame(exitCode)) + kLineEnd +
                           (log_.Path().empty() ? "No log was asked for." : "Log: " + log_.Path());
  const win::Status status = windows_.System().WriteEvent(kEventSource, kind, id, text);
  if (status != win::kErrorSuccess) {
    log_.Add("The run's event could not be written to the Application log: " +
             windows_.System().ErrorText(status) + kLineEnd);
  }
}

std::optional<std::string> RunContext::Conclude(int exitCode, const std::string& failure) {
  EndRegistryWork();
  if (concluded_) return std::nullopt;
  concluded_ = true;
  win::SystemApi& system = windows_.System();
  if (exitCode != kExitSuccess && exitCode != kExitSomethingToDo && !failure.empty()) {
    system.WriteStandardError("QuilletSetup: " + failure + " (exit code " +
                              std::to_string(exitCode) + ")" + kLineEnd);
  }
  if (report_.mode != "check" && !report_.mode.empty()) ReportEvent(exitCode);
  if (json_) system.WriteStandardOutput(ReportJson(report_, Frame(exitCode)));
  auto problem = log_.Finish(exitCode);
  if (problem) {
    system.WriteStandardError(*problem + kLineEnd);
    if (Interactive()) {
      windows_.Screen().MessageBoxA(problem->c_str(), app::kTitle, win::kMbOk | win::kMbIconWarning);
    }
  }
  return problem;
}

}  // namespace quillet
