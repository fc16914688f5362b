#pragma once
// Registers one ODBC data source for an Access database below HKEY_LOCAL_MACHINE, in the native
// registry view or in the 32-bit-on-64-bit view: what a data source consists of, the two views,
// and where each view's driver lies. The registry work itself is DataSourceRegistry's.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryApi.h"
#include "platform/SystemApi.h"

namespace win {
class WindowsApi;
}  // namespace win

namespace MdlODBC {

struct DataSourceSpec {
  std::string name;          // the data source's key name and its line in the list
  std::string databasePath;  // "DBQ"
  std::string description;   // "Description"
};

enum class DriverDirectorySource {
  SystemDirectory,   // the directory GetSystemDir reports
  VersionNameTable,  // a fixed directory picked by GetOSVersionName
};

struct RegistryView {
  std::string_view label;     // how people call the view, in messages and logs
  std::string_view basePath;  // ends with a backslash; the data-source name follows directly
  std::string_view listKey;   // the "ODBC Data Sources" key of the view
  DriverDirectorySource driverDirectory;
  std::string_view driverKey;  // the Access driver's key in the view's "ODBCINST.INI"

  // The view's "ODBC.INI" key itself.
  [[nodiscard]] std::string OdbcIniKey() const {
    return std::string(basePath.substr(0, basePath.size() - 1));
  }
};

inline constexpr RegistryView kNativeView{
    "native", "SOFTWARE\\ODBC\\ODBC.INI\\", "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources",
    DriverDirectorySource::SystemDirectory,
    "SOFTWARE\\ODBC\\ODBCINST.INI\\Microsoft Access Driver (*.mdb)"};
inline constexpr RegistryView kWow64View{
    "32-bit-on-64-bit", "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\",
    "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\ODBC Data Sources",
    DriverDirectorySource::VersionNameTable,
    "SOFTWARE\\WOW6432node\\ODBC\\ODBCINST.INI\\Microsoft Access Driver (*.mdb)"};

// How this process reaches the two views. A 32-bit process on 64-bit Windows opens every key in
// the 64-bit view, so that the native path and the "WOW6432node" path are the two views their
// names say, exactly as for a 64-bit process; on 32-bit Windows there is one view only, and the
// "WOW6432node" path is an ordinary key in it.
struct RegistryAccess {
  std::uint32_t viewFlag = 0;       // added to the access of every open, create and delete
  bool sixtyFourBitWindows = true;  // whether the 32-bit-on-64-bit view exists at all
  bool canRenameKeys = true;        // RegRenameKey (Vista on): new data sources appear in one step
};

RegistryAccess DetectRegistryAccess(win::RegistryApi& registry, win::SystemApi& system);
// What to call a view in messages and logs, truthfully for this machine.
std::string ViewLabel(const RegistryView& view, const RegistryAccess& access);

// --- what one data source consists of ---

struct ValueSpec {
  std::string name;
  std::uint32_t type = win::kRegNone;
  std::vector<std::uint8_t>
      data;  // texts without their terminator, which Windows stores after them
};

struct KeySpec {
  std::string subKey;  // below the data source's key; "" is that key itself
  std::vector<ValueSpec> values;
};

struct DataSourceLayout {
  std::vector<KeySpec> keys;  // in the order they are written, each after the key it lies in
  ValueSpec listLine;         // the data source's line in the view's "ODBC Data Sources"
};

// Every key and value of one data source, as this program writes it.
DataSourceLayout Layout(const DataSourceSpec& spec, const std::string& driverDirectory);

// --- registering ---

enum class RegistrationStatus {
  Registered,      // every key and value was written
  AlreadyPresent,  // the data source was there and complete; nothing was written
  Incomplete,      // the data source was there with parts missing; nothing was written
  Failed,          // the driver directory was unknown, or a key or value could not be written
};

struct RegistrationOutcome {
  RegistrationStatus status = RegistrationStatus::Registered;
  std::string failure;             // the first thing that went wrong, in words; empty unless Failed
  win::Status errorCode = 0;       // the Windows error of that failure; 0 when none applies
  std::vector<std::string> parts;  // Incomplete: what is missing
};

inline constexpr const char* kFailedToGetOsVersion = "Failed to get OS Version";
// The failure of a data source whose driver directory could not be decided; nothing is written.
inline constexpr const char* kDriverDirectoryUnknown = "the driver directory could not be decided";

// One data source in one view, on its own; a run keeps a DataSourceRegistry per view instead.
RegistrationOutcome CreateDataSource(win::WindowsApi& windows, const DataSourceSpec& spec);
RegistrationOutcome CreateDataSourceWow64(win::WindowsApi& windows, const DataSourceSpec& spec);

// --- where the driver lies ---

// The Windows system directory as the system spells it, or "" when it cannot be had.
std::string GetSystemDir(win::SystemApi& system);
// One of "Win32s", "Win95", "Win98", "WinNT361", "WinNT4", "Win2000", "WinXP", "Win2003",
// "Vista", "WinCE", "Failed", or "" for a version outside those.
std::string GetOSVersionName(win::SystemApi& system);
// The driver directory of the 32-bit-on-64-bit view by the version name alone; none for "Failed".
std::optional<std::string> DriverDirectoryForVersion(std::string_view versionName);
// The 32-bit system directory of 64-bit Windows (SysWOW64) as Windows spells it; "" on 32-bit
// Windows.
std::string GetSystemWow64Dir(win::SystemApi& system);
// The driver directory of the 32-bit-on-64-bit view on this machine: on 64-bit Windows its 32-bit
// system directory, whether or not the driver is there yet; on 32-bit Windows, where no ODBC reads
// that key, the table's directory.
std::optional<std::string> Wow64DriverDirectory(win::SystemApi& system);
// The "Driver" paths of the table, which earlier versions wrote in the 32-bit-on-64-bit view of
// 64-bit Windows, where no such path exists.
std::vector<std::string> EarlierDriverPaths();
// The view's driver directory; none when it cannot be decided.
std::optional<std::string> DriverDirectory(win::SystemApi& system, const RegistryView& view);

}  // namespace MdlODBC
