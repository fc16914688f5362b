#pragma once
// What the check and the removal start from: every data source of the program's set in the view
// the plain run writes it to, read thoroughly, with a registry per view that stays open while
// they work.

#include <string>
#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "setup/QuilletDataSources.h"

namespace quillet {

struct SurveyedDataSource {
  PlannedDataSource planned;
  std::string where;                   // "native view", as messages and logs name it
  MdlODBC::DataSourceReading reading;  // empty when it could not be read
  std::string unreadable;              // why it could not be read; empty when it was
  std::vector<std::string> differing;  // values that hold something else than this program writes
};

class DataSourceSurvey {
 public:
  explicit DataSourceSurvey(win::WindowsApi& windows);

  // Reads every data source of the set, in the run's order.
  std::vector<SurveyedDataSource> ReadAll();
  MdlODBC::DataSourceRegistry& RegistryOf(const MdlODBC::RegistryView& view);
  [[nodiscard]] const MdlODBC::RegistryAccess& Access() const { return access_; }

 private:
  win::WindowsApi& windows_;
  MdlODBC::RegistryAccess access_;
  bool x86Processor_;
  MdlODBC::DataSourceRegistry native_;
  MdlODBC::DataSourceRegistry wow64_;
};

// "DBQ differs", "DBQ, Driver differ; added Engines\Extra": how a data source differs from what
// this program writes; empty when it does not.
std::string Customisation(const SurveyedDataSource& surveyed);

}  // namespace quillet
