#include "setup/run/RunPlan.h"

#include <exception>

#include "platform/TextCase.h"
#include "platform/basRegistry.h"

namespace quillet {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kProcessorValue = "Identifier";

void DecideView(RunPlan& plan) {
  plan.x86Windows = plan.processorId.empty() ? !plan.access.sixtyFourBitWindows
                                             : IsX86Processor(plan.processorId);
  plan.quilletView = plan.x86Windows ? &MdlODBC::kNativeView : &MdlODBC::kWow64View;
}

}  // namespace

bool IsX86Processor(const std::string& processorId) {
  return win::ContainsIgnoringCase(processorId, "x86");
}

std::string ReadProcessorIdentifier(win::RegistryApi& registry) {
  return basRegistry::ToText(
      basRegistry::GetRegistryString(registry, win::kLocalMachine, kProcessorKey, kProcessorValue));
}

std::string RunPlan::Where(const MdlODBC::RegistryView& view) const {
  return MdlODBC::ViewLabel(view, access);
}

SourceRow RunPlan::RowOf(const PlannedDataSource& planned) const {
  SourceRow row;
  row.name = planned.spec.name;
  row.view = planned.view;
  row.where = Where(*planned.view);
  return row;
}

RunPlan StartRun(win::WindowsApi& windows) {
  RunPlan plan;
  plan.access = MdlODBC::DetectRegistryAccess(windows);
  plan.started = windows.System().GetLocalDate();
  plan.lastArchiveYear = LastArchiveYear(plan.started);
  DecideView(plan);
  return plan;
}

void PlanRun(RunPlan& plan, win::RegistryApi& registry) {
  try {
    plan.processorId = ReadProcessorIdentifier(registry);
  } catch (const std::exception&) {
    plan.processorId.clear();  // skipped like any failing step: Windows' kind decides
  }
  DecideView(plan);
  plan.dataSources = PlanDataSources(plan.quilletView, plan.lastArchiveYear);
}

}  // namespace quillet
