#include "setup/DataSourceSurvey.h"

#include <exception>

#include "setup/RunLog.h"
#include "setup/frmQuillet.h"

namespace quillet {
DataSourceSurvey::DataSourceSurvey(win::WindowsApi& windows)
    : windows_(windows),
      access_(MdlODBC::DetectRegistryAccess(windows)),
      x86Processor_(IsX86Processor(ReadProcessorIdentifier(windows))),
      native_(windows, access_, MdlODBC::kNativeView),
      wow64_(windows, access_, MdlODBC::kWow64View) {}

MdlODBC::DataSourceRegistry& DataSourceSurvey::RegistryOf(const MdlODBC::RegistryView& view) {
  return &view == &MdlODBC::kNativeView ? native_ : wow64_;
}

std::vector<SurveyedDataSource> DataSourceSurvey::ReadAll() {
  const auto lastArchiveYear = static_cast<std::int16_t>(windows_.GetLocalDate().year - 1);
  std::vector<SurveyedDataSource> surveyed;
  for (auto& planned : PlanDataSources(x86Processor_, lastArchiveYear)) {
    SurveyedDataSource each{planned, MdlODBC::ViewLabel(*planned.view, access_), {}, {}, {}};
    auto& registry = RegistryOf(*planned.view);
    try {
      each.reading = registry.Read(planned.spec, MdlODBC::ReadDepth::Thorough);
      if (each.reading.present) {
        each.differing = each.reading.Differing(registry.LayoutsAsWritten(planned.spec));
      }
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
