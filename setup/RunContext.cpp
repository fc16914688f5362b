#include "setup/RunContext.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <string_view>

#include "platform/basRegistry.h"

namespace quillet {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kProcessorValue = "Identifier";

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
      wow64_(windows, access_, MdlODBC::kWow64View) {}

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

std::string RunContext::AccessDriverState() {
  const auto& view = access_.sixtyFourBitWindows ? MdlODBC::kWow64View : MdlODBC::kNativeView;
  const std::string driver = "\"Microsoft Access Driver (*.mdb)\"";
  if (RegistryOf(view).DriverRegistered()) {
    return driver + " is installed for the " + Where(view) + ", which Quillet uses.";
  }
  return driver + " is not installed for the " + Where(view) +
         ", which Quillet uses: Quillet cannot open its databases until it is.";
}

std::string RunContext::Where(const MdlODBC::RegistryView& view) const {
  return MdlODBC::ViewLabel(view, access_);
}

}  // namespace quillet
