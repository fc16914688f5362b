#pragma once
// The data sources of one registry view, for the length of a run. The view's "ODBC.INI" key and
// its list key are opened once; each data source is read once into a DataSourceReading (what is
// there against what this program writes), and each mode is a short decision over that reading:
// the plain run adds what is missing and leaves what is present, a repair completes it.

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
  // A thorough reading also tells:
  std::vector<std::string> added;  // values and subkeys below its keys that this program never writes
  bool staging = false;            // a staging key left by a cut-off run

  // The values found that hold something else (type or bytes) than every one of these layouts
  // writes: a value differs only when no layout has it so.
  [[nodiscard]] std::vector<std::string> Differing(const std::vector<DataSourceLayout>& layouts) const;
  // What is missing, as people call it ("DBQ", "Engines\Jet").
  [[nodiscard]] std::vector<std::string> MissingNames() const;
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

enum class ReadDepth {
  WhatIsWritten,  // the keys and values this program writes, and the list line
  Thorough,       // also what was added below them, and a staging key left behind
};

class DataSourceRegistry {
 public:
  DataSourceRegistry(win::WindowsApi& windows, const RegistryAccess& access,
                     const RegistryView& view);

  // Reads the data source without changing anything.
  DataSourceReading Read(const DataSourceSpec& spec, ReadDepth depth = ReadDepth::WhatIsWritten);
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
  // The plain run: registers a missing data source, leaves a present one as it is (and reports
  // it incomplete when parts are missing), but for a "Driver" that holds an earlier version's
  // path in a complete one, which is rewritten. A key of the view that cannot be read for any
  // reason but absence throws RegistryError, as every reading does.
  RegistrationOutcome Register(const DataSourceSpec& spec);
  // Like Register, and adds exactly the missing parts of an incomplete data source, with the
  // values this program writes, and rewrites an earlier version's "Driver"; nothing else that
  // exists is changed.
  RegistrationOutcome Repair(const DataSourceSpec& spec);

 private:
  // A key of the view opened at the first need and kept for the run.
  struct ViewKey {
    std::string path;
    win::RegistryKey key;
    bool writable = false;
    bool looked = false;     // opening it was tried
    win::Status status = 0;      // why it is not open for writing, as Windows said
    win::Status readStatus = 0;  // why it is not open at all: kErrorFileNotFound when absent
  };

  win::KeyHandle Open(ViewKey& viewKey, bool forWriting);
  // The key opened for writing, or none with why not.
  std::pair<win::KeyHandle, win::Status> OpenForWriting(ViewKey& viewKey);
  RegistrationOutcome Publish(const DataSourceSpec& spec);
  RegistrationOutcome RegisterPresent(const DataSourceSpec& spec, const DataSourceReading& reading);
  RegistrationOutcome SweepStaging(const DataSourceSpec& spec, RegistrationOutcome outcome);
  RegistrationOutcome AddList(const DataSourceSpec& spec, RegistrationOutcome outcome);
  RegistrationOutcome AddMissing(const DataSourceSpec& spec, const DataSourceReading& reading,
                                 const std::optional<std::string>& earlierDriver);
  bool DriverInSystemDirectory();
  std::vector<std::string> EarlierDriverPathsOfView();
  const std::optional<std::string>& ViewDriverDirectory();
  void ReadKey(win::KeyHandle dataSource, const DataSourceLayout& layout, const KeySpec& key,
               ReadDepth depth, DataSourceReading& reading);
  void ReadAdditions(win::KeyHandle handle, const DataSourceLayout& layout, const KeySpec& key,
                     DataSourceReading& reading);
  std::optional<ValueSpec> QueryValue(win::KeyHandle key, const std::string& name,
                                      const std::string& what);
  void WriteKeys(win::KeyHandle dataSource, const DataSourceLayout& layout,
                 const std::vector<DataSourcePart>& only, RegistrationOutcome& outcome);
  win::Status DeleteTree(win::KeyHandle parent, const std::string& name);
  [[nodiscard]] std::uint32_t Access(std::uint32_t rights) const { return rights | access_.viewFlag; }

  win::RegistryApi& registry_;
  win::SystemApi& system_;
  RegistryAccess access_;
  const RegistryView& view_;
  ViewKey odbcIni_;
  ViewKey list_;
  std::optional<std::optional<std::string>> driverDirectory_;  // asked for at the first need
  std::optional<bool> driverInSystemDirectory_;
};

}  // namespace MdlODBC
