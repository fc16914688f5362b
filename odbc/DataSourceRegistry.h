#pragma once
// The data sources of one registry view, for the length of a run. The view's "ODBC.INI" key and
// its list key are opened once; each data source is read once into a DataSourceReading (what is
// there against what this program writes), and written or removed as a mode decides from it.

#include <optional>
#include <stdexcept>
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
  std::vector<std::string> added;       // values and subkeys below its keys that it never writes
  bool staging = false;                 // a staging key left by a cut-off run

  // The values found that hold something else (type or bytes) than every one of these layouts
  // writes: a value differs only when no layout has it so.
  [[nodiscard]] std::vector<std::string> Differing(
      const std::vector<DataSourceLayout>& layouts) const;
  // What is missing, as people call it ("DBQ", "Engines\Jet").
  [[nodiscard]] std::vector<std::string> MissingNames() const;
  // The bytes of a REG_SZ value of the data source's own key; none where there is no such value.
  [[nodiscard]] std::optional<std::string> Text(const std::string& valueName) const;
};

// A registry call that failed while a data source was read, with the status Windows gave.
class RegistryError : public std::runtime_error {
 public:
  RegistryError(const std::string& what, win::Status status)
      : std::runtime_error(what), status_(status) {}
  [[nodiscard]] win::Status Status() const noexcept { return status_; }

 private:
  win::Status status_;
};

class DataSourceRegistry {
 public:
  DataSourceRegistry(win::RegistryApi& registry, win::SystemApi& system,
                     const RegistryAccess& access, const RegistryView& view);

  // Reads the data source without changing anything, with what was added below its keys where
  // `additions` asks for it (what the plain run does not need, and costs a call per key). A key
  // of the view that cannot be read for any reason but absence throws RegistryError.
  DataSourceReading Read(const DataSourceSpec& spec, bool additions = true);
  // What this program writes for the data source on this machine; in the 32-bit-on-64-bit view
  // also with the fixed directory's driver, which it wrote before it looked for SysWOW64.
  std::vector<DataSourceLayout> LayoutsAsWritten(const DataSourceSpec& spec);
  // The earlier version's "Driver" path a data source in this view holds, on 64-bit Windows only;
  // none when it holds another.
  std::optional<std::string> EarlierDriver(const DataSourceReading& reading);
  // The system directory a "Driver" of this view belongs in: the system directory, or the 32-bit
  // one of 64-bit Windows; none for the "WOW6432node" key of 32-bit Windows.
  std::optional<std::string> SystemDirectoryOfView();
  // Deletes the data source's list line, when it holds this program's text, and then its keys
  // (subkeys first): a removal cut off part way leaves a key that the next removal finds, never a
  // list line that names nothing. For a data source that a thorough reading found as written.
  RegistrationOutcome Remove(const DataSourceSpec& spec);
  // Deletes a staging key left behind for the data source; the status of the deletion.
  win::Status RemoveStaging(const DataSourceSpec& spec);
  // Closes the view's keys kept open; the next need opens them again.
  void CloseViewKeys();
  // Whether the view's ODBC lists the Access driver ("ODBCINST.INI").
  bool DriverRegistered();
  // Writes a data source that is not there, whole: Registered, Failed, or AlreadyPresent when
  // another run made it meanwhile.
  RegistrationOutcome Publish(const DataSourceSpec& spec);
  // Writes these parts of a data source that is there (values, its list line) as this program
  // lays them out, and nothing else: Registered or Failed.
  RegistrationOutcome Write(const DataSourceSpec& spec, const std::vector<DataSourcePart>& parts);

 private:
  // A key of the view opened at the first need and kept for the run.
  struct ViewKey {
    std::string path;
    win::RegistryKey read;
    win::RegistryKey write;
    std::optional<win::Status> readStatus{};  // once opening it was tried
    std::optional<win::Status> writeStatus{};
  };

  std::pair<win::KeyHandle, win::Status> OpenForReading(ViewKey& viewKey);
  std::pair<win::KeyHandle, win::Status> OpenForWriting(ViewKey& viewKey);
  RegistrationOutcome AddList(const DataSourceSpec& spec, RegistrationOutcome outcome);
  struct DriverPlace {
    std::optional<std::string> directory;  // none when it cannot be decided
    bool inSystemDirectory = false;
  };
  const DriverPlace& Driver();
  std::vector<std::string> EarlierDriverPathsOfView();
  void ReadKey(win::KeyHandle dataSource, const DataSourceLayout& layout, const KeySpec& key,
               bool additions, DataSourceReading& reading);
  void ReadAdditions(win::KeyHandle handle, const DataSourceLayout& layout, const KeySpec& key,
                     DataSourceReading& reading);
  std::optional<ValueSpec> QueryValue(win::KeyHandle key, const std::string& name,
                                      const std::string& what);
  void WriteKeys(win::KeyHandle dataSource, const DataSourceLayout& layout,
                 const std::vector<DataSourcePart>& only, RegistrationOutcome& outcome);
  win::Status DeleteTree(win::KeyHandle parent, const std::string& name);
  [[nodiscard]] std::uint32_t Access(std::uint32_t rights) const {
    return rights | access_.viewFlag;
  }

  win::RegistryApi& registry_;
  win::SystemApi& system_;
  RegistryAccess access_;
  const RegistryView& view_;
  ViewKey odbcIni_;
  ViewKey list_;
  std::optional<DriverPlace> driver_;  // asked for at the first need
};

}  // namespace MdlODBC
