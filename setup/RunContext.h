#pragma once
// What a run of the program decides once, where it starts, and every mode (install, repair,
// check, uninstall) works from: how this process reaches the two registry views, which processor
// the machine has, the last archive year, the plan of data sources, and one registry per view
// that stays open while the run lasts; and the run's log and lock: the lock is held for the
// registry work alone, and the log is finished before any box waits for a person.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "odbc/MdlODBC.h"
#include "platform/NamedMutex.h"
#include "platform/WindowsApi.h"
#include "setup/QuilletDataSources.h"
#include "setup/RegistrationRecord.h"
#include "setup/RunLog.h"
#include "setup/RunReport.h"

namespace quillet {

// Whether the processor identifier names a 32-bit x86 machine ("x86" anywhere, any letter case).
bool IsX86Processor(const std::string& processorId);

// The machine's processor identifier as text ("" when it cannot be read).
std::string ReadProcessorIdentifier(win::RegistryApi& registry);

class RunContext {
 public:
  explicit RunContext(win::WindowsApi& windows);
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  [[nodiscard]] win::WindowsApi& Windows() const { return windows_; }
  [[nodiscard]] const MdlODBC::RegistryAccess& Access() const { return access_; }

  // Each read at its first need (the main window is on the screen before the work starts) and
  // kept for the run. An identifier that cannot be read is empty: not x86.
  const std::string& ProcessorId();
  bool X86Processor() { return IsX86Processor(ProcessorId()); }
  std::int16_t LastArchiveYear();
  // Every data source of the run, in its order, in the view it goes to.
  const std::vector<PlannedDataSource>& Plan();

  MdlODBC::DataSourceRegistry& RegistryOf(const MdlODBC::RegistryView& view);
  // Closes the keys the views' registries keep open, once the registry work is done.
  void CloseRegistries();
  // Whether the Access driver is installed for the view Quillet uses (the 32-bit view on 64-bit
  // Windows, the native view on 32-bit Windows); asked once.
  bool AccessDriverInstalled();
  // The same in a sentence for logs and messages.
  std::string AccessDriverState();

  // Whether a person may see and answer what the run shows: not in a quiet run.
  [[nodiscard]] bool Interactive() const { return windows_.Screen().IsDesktopVisible(); }
  RunLog& Log() { return log_; }
  // What the mode found and did, for /json and the Application log; the mode names itself in it.
  RunReport& Report() { return report_; }
  // /json: the document goes to standard output when the run is concluded, instead of any text.
  void WriteJson() { json_ = true; }
  [[nodiscard]] bool WritesJson() const { return json_; }
  // "native" or "32-bit", as the report names a view.
  [[nodiscard]] static std::string ReportedView(const MdlODBC::RegistryView& view);
  // After the last registry write of a mode that registers: the Application log's source.
  void RegisterEventSource();
  // Takes the run lock before the first registry read, waiting for another run that holds it.
  // 0 once it is held; otherwise the exit code, after the run was concluded and everyone who
  // may look was told why.
  int TakeLock();
  // Ends a run that will not do its work: `why` in the log and on standard error, the run
  // concluded, and `shown` in a box when interactive. Returns `exitCode`.
  int Refuse(int exitCode, const std::string& why, const std::string& shown,
             std::uint32_t icon = win::kMbIconError);
  // Closes the views' keys and lets the next run in: after the last registry write.
  void EndRegistryWork();
  // Ends the registry work and finishes the log, once; before any box that waits for a person.
  // `failure` (the counts, the reason), said on standard error when the run failed. What went
  // wrong with the log is said on standard error and, when interactive, in a box, and returned.
  std::optional<std::string> Conclude(int exitCode, const std::string& failure = {});
  [[nodiscard]] bool Concluded() const { return concluded_; }
  // The view as this machine has it, for messages and logs ("native view").
  [[nodiscard]] std::string Where(const MdlODBC::RegistryView& view) const;

 private:
  // The view Quillet uses: the 32-bit view on 64-bit Windows, the native view on 32-bit Windows.
  [[nodiscard]] const MdlODBC::RegistryView& QuilletView() const;
  ReportFrame Frame(int exitCode);
  void ReportEvent(int exitCode);

  win::WindowsApi& windows_;
  MdlODBC::RegistryAccess access_;
  std::optional<std::string> processorId_;
  std::optional<std::int16_t> lastArchiveYear_;
  std::optional<std::vector<PlannedDataSource>> plan_;
  MdlODBC::DataSourceRegistry native_;
  MdlODBC::DataSourceRegistry wow64_;
  std::optional<bool> accessDriverInstalled_;
  RunLog log_;
  RunReport report_;
  bool json_ = false;
  win::LocalDate started_;
  std::optional<win::NamedMutex> lock_;
  bool concluded_ = false;
};

}  // namespace quillet
