#pragma once
// What a run of the program decides once, where it starts, and every mode (install, repair,
// check, uninstall) works from: how this process reaches the two registry views, which processor
// the machine has, the last archive year, the plan of data sources, and one registry per view
// that stays open while the run lasts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "odbc/MdlODBC.h"
#include "platform/WindowsApi.h"
#include "setup/QuilletDataSources.h"

namespace quillet {

// What became of one data source, in run order.
struct RegistrationRecord {
  std::string name;
  const MdlODBC::RegistryView* view = nullptr;
  std::string where;  // the view as this machine has it, for messages and logs ("native view")
  MdlODBC::RegistrationOutcome outcome;

  // "Quillet-R (native view)": how messages and logs name it.
  [[nodiscard]] std::string Who() const { return name + " (" + where + ")"; }
};

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
  // Windows, the native view on 32-bit Windows), in a sentence for logs and messages.
  std::string AccessDriverState();
  // The view as this machine has it, for messages and logs ("native view").
  [[nodiscard]] std::string Where(const MdlODBC::RegistryView& view) const;

 private:
  win::WindowsApi& windows_;
  MdlODBC::RegistryAccess access_;
  std::optional<std::string> processorId_;
  std::optional<std::int16_t> lastArchiveYear_;
  std::optional<std::vector<PlannedDataSource>> plan_;
  MdlODBC::DataSourceRegistry native_;
  MdlODBC::DataSourceRegistry wow64_;
};

}  // namespace quillet
