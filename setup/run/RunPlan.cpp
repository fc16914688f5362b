#include "setup/run/RunPlan.h"

#include <exception>

#include "platform/TextCase.h"
#include "platform/basRegistry.h"

namespace quillet {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kProcessorValue = "Identifier";

const MdlODBC::RegistryView* QuilletView(const MdlODBC::RegistryAccess& access,
                                         const std::string& processor) {
  const bool x86Windows =
      processor.empty() ? !access.sixtyFourBitWindows : win::ContainsIgnoringCase(processor, "x86");
  return x86Windows ? &MdlODBC::kNativeView : &MdlODBC::kWow64View;
}

}  // namespace

std::string RunPlan::Where(const MdlODBC::RegistryView& view) const {
  return MdlODBC::ViewLabel(view, access);
}

RunPlan StartRun(win::RegistryApi& registry, win::SystemApi& system) {
  RunPlan plan;
  plan.access = MdlODBC::DetectRegistryAccess(registry, system);
  plan.started = system.GetLocalDate();
  plan.lastArchiveYear = LastArchiveYear(plan.started);
  plan.quilletView = QuilletView(plan.access, "");
  return plan;
}

void PlanRun(RunPlan& plan, win::RegistryApi& registry) {
  std::string processor;
  try {
    processor = basRegistry::ToText(basRegistry::GetRegistryString(registry, win::kLocalMachine,
                                                                   kProcessorKey, kProcessorValue));
  } catch (const std::exception&) {
    // skipped like any failing step: Windows' kind decides
  }
  plan.quilletView = QuilletView(plan.access, processor);
  plan.dataSources = PlanDataSources(plan.quilletView, plan.lastArchiveYear);
}

}  // namespace quillet
