#pragma once
// The data sources of one registry view, for the length of a run. The view's "ODBC.INI" key and
// its list key are opened once; each data source is read once into a DataSourceReading (what is
// there against what this program writes), and each mode is a short decision over that reading:
// the plain run adds what is missing and leaves what is present, a repair completes it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "odbc/MdlODBC.h"
#include "platform/RegistryKey.h"

namespace MdlODBC {

// Where a new data source is written before it appears under its own name in one step. DSN names
// cannot hold braces, so no data source ever has this name.
inline constexpr std::string_view kStagingSuffix = "{QuilletSetup staging}";

// One key or value of a data source, or its list line.
struct DataSourcePart {
  std::string subKey;     // below the data source's key; "" is that key itself
  std::string valueName;  // "" for the key itself
  bool listLine = false;

  // How people call it: "DBQ", "Engines\Jet", "Engines\Jet\Threads", "list line".
  [[nodiscard]] std::string Name() const;
  friend bool operator==(const DataSourcePart&, const DataSourcePart&) = default;
};

struct FoundValue {
  DataSourcePart part;
  ValueSpec stored;
};

struct DataSourceReading {
  bool present = false;                 // the data source's own key exists
  std::vector<DataSourcePart> missing;  // what this program writes that is not there, in order
  std::vector<FoundValue> found;        // the values this program writes that are there

  [[nodiscard]] bool Complete() const { return present && missing.empty(); }
  // Every key and value exactly as this program writes it (type and bytes), the list line aside.
  [[nodiscard]] bool AsWritten(const DataSourceLayout& layout) const;
};

class DataSourceRegistry {
 public:
  DataSourceRegistry(win::WindowsApi& windows, const RegistryAccess& access,
                     const RegistryView& view);

  // Reads the data source without changing anything.
  DataSourceReading Read(const DataSourceSpec& spec);
  // The plain run: registers a missing data source, leaves a present one as it is (and reports
  // it incomplete when parts are missing).
  RegistrationOutcome Register(const DataSourceSpec& spec);
  // Like Register, and adds exactly the missing parts of an incomplete data source, with the
  // values this program writes; nothing that exists is changed.
  RegistrationOutcome Repair(const DataSourceSpec& spec);

 private:
  // A key of the view opened at the first need and kept for the run.
  struct ViewKey {
    std::string path;
    win::RegistryKey key;
    bool writable = false;
    bool looked = false;  // opening it was tried
  };

  win::KeyHandle Open(ViewKey& viewKey, bool forWriting);
  RegistrationOutcome Publish(const DataSourceSpec& spec);
  RegistrationOutcome AddList(const DataSourceSpec& spec, RegistrationOutcome outcome);
  RegistrationOutcome AddMissing(const DataSourceSpec& spec, const DataSourceReading& reading);
  const std::optional<std::string>& ViewDriverDirectory();
  std::optional<std::string> DriverDirectoryOrMessage();
  void ReadKey(win::KeyHandle dataSource, const KeySpec& key, DataSourceReading& reading);
  void WriteKeys(win::KeyHandle dataSource, const DataSourceLayout& layout,
                 const std::vector<DataSourcePart>& only, RegistrationOutcome& outcome);
  void DeleteTree(win::KeyHandle parent, const std::string& name);
  [[nodiscard]] std::uint32_t Access(std::uint32_t rights) const { return rights | access_.viewFlag; }

  win::WindowsApi& windows_;
  RegistryAccess access_;
  const RegistryView& view_;
  ViewKey odbcIni_;
  ViewKey list_;
  std::optional<std::optional<std::string>> driverDirectory_;  // asked for at the first need
};

}  // namespace MdlODBC
