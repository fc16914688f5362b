#include "setup/QuilletDataSources.h"

#include <cstdio>
#include <string>

namespace quillet {
namespace {

struct CurrentDatabase {
  const char* name;
  const char* path;
  const char* description;
};

constexpr std::array<CurrentDatabase, 5> kCurrentDatabases{{
    {"Quillet-R", "C:\\Brannic\\Current\\Quillet-R.mdb", "Quillet Current - County"},
    {"Quillet-R1", "C:\\Brannic\\Current\\Quillet-R1.mdb", "Quillet Current - County Interim #1"},
    {"Quillet-S", "C:\\Brannic\\Current\\Quillet-S.mdb", "Quillet Current - School"},
    {"Quillet-S1", "C:\\Brannic\\Current\\Quillet-S1.mdb", "Quillet Current - School Interim #1"},
    {"Quillet-S2", "C:\\Brannic\\Current\\Quillet-S2.mdb", "Quillet Current - School Interim #2"},
}};

struct ArchiveKind {
  const char* suffix;
  const char* databaseFile;
  const char* descriptionEnding;
};

constexpr std::array<ArchiveKind, 5> kArchiveKinds{{
    {"-R", "\\Quillet-R.mdb", " - County"},
    {"-R1", "\\Quillet-R1.mdb", " - County Interim #1"},
    {"-S", "\\Quillet-S.mdb", " - School"},
    {"-S1", "\\Quillet-S1.mdb", " - School Interim #1"},
    {"-S2", "\\Quillet-S2.mdb", " - School Interim #2"},
}};

// The year with at least four digits, as the number format "0000" writes it.
std::string FourDigits(std::int16_t year) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", static_cast<int>(year));
  return text;
}

}  // namespace

std::int16_t LastArchiveYear(const win::LocalDate& today) {
  return static_cast<std::int16_t>(today.year - 1);
}

std::vector<MdlODBC::DataSourceSpec> CurrentDataSources() {
  std::vector<MdlODBC::DataSourceSpec> specs;
  for (const auto& database : kCurrentDatabases) {
    specs.push_back({database.name, database.path, database.description});
  }
  return specs;
}

std::vector<MdlODBC::DataSourceSpec> ArchiveDataSources(std::int16_t year) {
  const std::string yyyy = FourDigits(year);
  std::vector<MdlODBC::DataSourceSpec> specs;
  for (const auto& kind : kArchiveKinds) {
    specs.push_back({"Quillet" + yyyy + kind.suffix,
                     "C:\\Brannic\\Quillet-" + yyyy + kind.databaseFile,
                     "Quillet " + yyyy + kind.descriptionEnding});
  }
  return specs;
}

std::vector<PlannedDataSource> PlanDataSources(bool x86Processor, std::int16_t lastArchiveYear) {
  std::vector<PlannedDataSource> plan;
  const auto* currentView = x86Processor ? &MdlODBC::kNativeView : &MdlODBC::kWow64View;
  for (auto& spec : CurrentDataSources()) plan.push_back({currentView, std::move(spec), 0});
  for (std::int16_t year = kFirstArchiveYear; year <= lastArchiveYear; ++year) {
    for (const auto* view : {&MdlODBC::kNativeView, &MdlODBC::kWow64View}) {
      for (auto& spec : ArchiveDataSources(year)) plan.push_back({view, std::move(spec), year});
    }
  }
  return plan;
}

}  // namespace quillet
