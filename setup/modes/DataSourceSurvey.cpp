#include "setup/modes/DataSourceSurvey.h"

#include <exception>

namespace quillet {

SourceRow RowOf(const RunPlan& plan, const PlannedDataSource& planned) {
  SourceRow row;
  row.name = planned.spec.name;
  row.view = planned.view;
  row.where = plan.Where(*planned.view);
  return row;
}

void Fail(SourceRow& row, std::string failure, win::Status status, win::SystemApi& system) {
  row.state = SourceState::Failed;
  row.failure = std::move(failure);
  row.status = status;
  row.statusText = status != 0 ? system.ErrorText(status) : "";
}

std::vector<SurveyedDataSource> SurveyDataSources(const RunPlan& plan, ViewRegistries& registries,
                                                  win::SystemApi& system, bool additions) {
  std::vector<SurveyedDataSource> surveyed;
  for (const auto& planned : plan.dataSources) {
    SurveyedDataSource each{planned, {}, true, RowOf(plan, planned)};
    auto& registry = registries.Of(*planned.view);
    try {
      each.reading = registry.Read(planned.spec, additions);
      if (each.reading.present) {
        each.row.differs = each.reading.Differing(registry.LayoutsAsWritten(planned.spec));
        each.row.added = each.reading.added;
        each.row.earlierDriver = registry.EarlierDriver(each.reading).value_or("");
      }
    } catch (const std::exception& error) {
      each = {planned, {}, false, RowOf(plan, planned)};
      const auto* registryError = dynamic_cast<const MdlODBC::RegistryError*>(&error);
      Fail(each.row, error.what(), registryError ? registryError->Status() : 0, system);
    }
    surveyed.push_back(std::move(each));
  }
  return surveyed;
}

}  // namespace quillet
