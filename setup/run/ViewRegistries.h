#pragma once
// The data sources of both registry views, for the length of a run's registry work: one
// DataSourceRegistry per view, whose keys stay open until the work is done.

#include "odbc/DataSourceRegistry.h"

namespace quillet {

class ViewRegistries {
 public:
  ViewRegistries(win::RegistryApi& registry, win::SystemApi& system,
                 const MdlODBC::RegistryAccess& access)
      : native_(registry, system, access, MdlODBC::kNativeView),
        wow64_(registry, system, access, MdlODBC::kWow64View) {}

  MdlODBC::DataSourceRegistry& Of(const MdlODBC::RegistryView& view) {
    return &view == &MdlODBC::kNativeView ? native_ : wow64_;
  }
  // Closes the keys kept open; the next need opens them again.
  void Close() {
    native_.CloseViewKeys();
    wow64_.CloseViewKeys();
  }

 private:
  MdlODBC::DataSourceRegistry native_;
  MdlODBC::DataSourceRegistry wow64_;
};

}  // namespace quillet
