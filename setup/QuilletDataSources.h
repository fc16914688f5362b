#pragma once
// Which Quillet data sources exist: the five current databases, and the same five for every
// archive year.

#include <array>
#include <cstdint>
#include <vector>

#include "odbc/MdlODBC.h"

namespace quillet {

inline constexpr std::int16_t kFirstArchiveYear = 2002;

std::vector<MdlODBC::DataSourceSpec> CurrentDataSources();
std::vector<MdlODBC::DataSourceSpec> ArchiveDataSources(std::int16_t year);

}  // namespace quillet
