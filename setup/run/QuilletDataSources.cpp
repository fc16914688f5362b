#include "setup/run/QuilletDataSources.h"

#include <array>
#include <cstdio>
#include <string>

namespace quillet {
namespace {

// The five databases: the current one is "Quillet" + suffix in "C:\Brannic\Current", described
// as "Quillet Current" + ending; an archive year's is "Quillet" + YYYY + suffix in
// "C:\Brannic\Quillet-YYYY", described as "Quillet YYYY" + ending.
struct DatabaseKind {
  const char* suffix;
  const char* databaseFile;
  const char* descriptionEnding;
};

constexpr std::array<DatabaseKind, 5> kKinds{{
    {"-R", "\\Quillet-R.mdb", " - County"},
    {"-R1", "\\Quillet-R1.mdb", " - County Interim #1"},
    {"-S", "\\Quillet-S.mdb", " - School"},
    {"-S1", "\\Quillet-S1.mdb", " - School Interim #1"},
    {"-S2", "\\Quillet-S2.mdb", " - School Interim #2"},
}};

std::vector<MdlODBC::DataSourceSpec> FiveOf(const std::string& nameWord, const std::string& folder,
                                            const std::string& descriptionWord) {
  std::vector<MdlODBC::DataSourceSpec> specs;
  for (const auto& kind : kKinds) {
    specs.push_back({"Quillet" + nameWord + kind.suffix,
                     "C:\\Brannic\\" + folder + kind.databaseFile,
                     "Quillet " + descriptionWord + kind.descriptionEnding});
  }
  return specs;
}

// The year with at least four digits, as the number format "0000" writes it.
std::string FourDigits(std::int16_t year) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", static_cast<int>(year));
  return text;
}

std::vector<MdlODBC::DataSourceSpec> CurrentDataSources() {
  return FiveOf("", "Current", "Current");
}

std::vector<MdlODBC::DataSourceSpec> ArchiveDataSources(std::int16_t year) {
  const std::string yyyy = FourDigits(year);
  return FiveOf(yyyy, "Quillet-" + yyyy, yyyy);
}

}  // namespace

std::int16_t LastArchiveYear(const win::LocalDate& today) {
  return static_cast<std::int16_t>(today.year - 1);
}

std::vector<PlannedDataSource> PlanDataSources(const MdlODBC::RegistryView* quilletView,
                                               std::int16_t lastArchiveYear) {
  std::vector<PlannedDataSource> plan;
  for (auto& spec : CurrentDataSources()) plan.push_back({quilletView, std::move(spec), 0});
  for (std::int16_t year = kFirstArchiveYear; year <= lastArchiveYear; ++year) {
    for (const auto* view : {&MdlODBC::kNativeView, &MdlODBC::kWow64View}) {
      for (auto& spec : ArchiveDataSources(year)) plan.push_back({view, std::move(spec), year});
    }
  }
  return plan;
}

}  // namespace quillet
