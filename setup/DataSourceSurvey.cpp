#include "setup/DataSourceSurvey.h"

#include <exception>

#include "setup/RunLog.h"

namespace quillet {

std::vector<SurveyedDataSource> SurveyDataSources(RunContext& run) {
  std::vector<SurveyedDataSource> surveyed;
  for (const auto& planned : run.Plan()) {
    SurveyedDataSource each{planned, run.Where(*planned.view), {}, {}, {}, {}};
    auto& registry = run.RegistryOf(*planned.view);
    try {
      each.reading = registry.Read(planned.spec, MdlODBC::ReadDepth::Thorough);
      if (each.reading.present) {
        each.differing = each.reading.Differing(registry.LayoutsAsWritten(planned.spec));
        each.earlierDriver = registry.EarlierDriver(each.reading).value_or("");
      }
    } catch (const MdlODBC::RegistryError& error) {
      each.unreadable = std::string(error.what()) + ": " + run.Windows().System().ErrorText(error.Status());
    } catch (const std::exception& error) {
      each.unreadable = error.what();
    }
    surveyed.push_back(std::move(each));
  }
  return surveyed;
}

std::string Customisation(const SurveyedDataSource& surveyed) {
  std::string text;
  const auto& differing = surveyed.differing;
  if (!differing.empty()) text = Joined(differing) + (differing.size() == 1 ? " differs" : " differ");
  if (!surveyed.reading.added.empty()) {
    text += (text.empty() ? "added " : "; added ") + Joined(surveyed.reading.added);
  }
  return text;
}

}  // namespace quillet
