#pragma once
// What became of one data source in the plain run or a repair.

#include <string>

#include "odbc/MdlODBC.h"

namespace quillet {

struct RegistrationRecord {
  std::string name;
  const MdlODBC::RegistryView* view = nullptr;
  std::string where;  // the view as this machine has it, for messages and logs ("native view")
  MdlODBC::RegistrationOutcome outcome;

  // "Quillet-R (native view)": how messages and logs name it.
  [[nodiscard]] std::string Who() const { return name + " (" + where + ")"; }
};

}  // namespace quillet
