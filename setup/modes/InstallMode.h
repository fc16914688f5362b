#pragma once
// The plain run and /repair: every data source of the plan registered in its view, what is
// already there left as it is (a repair completes what is missing), and the Application log's
// source registered after the last data source.

#include "platform/WindowsApi.h"
#include "setup/report/RunResult.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"

namespace quillet {

class InstallMode {
 public:
  InstallMode(const RunPlan& plan, ViewRegistries& registries, win::WindowsApi& windows,
              Mode mode);

  // Registers every data source of the plan, in its order; one that fails costs only itself.
  // The run lock is held.
  void RegisterAll();
  // What became of the data sources so far: all of them once RegisterAll has returned. Exit code
  // 0 when every one is registered, repaired, or was already there and complete.
  [[nodiscard]] const RunResult& Result() const { return result_; }

 private:
  SourceRow Register(const PlannedDataSource& planned);

  const RunPlan& plan_;
  ViewRegistries& registries_;
  win::WindowsApi& windows_;
  RunResult result_;
};

}  // namespace quillet
