#include "odbc/MdlODBC.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "platform/WindowsApi.h"

namespace MdlODBC {
namespace {

constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWindows = 1;
constexpr std::uint32_t kPlatformNt = 2;
constexpr std::uint32_t kPlatformCe = 3;
constexpr const char* kDriverFile = "\\odbcjt32.dll";

ValueSpec Text(std::string name, const std::string& text) {
  return {std::move(name), win::kRegSz, {text.begin(), text.end()}};
}

ValueSpec Number(std::string name, std::uint32_t number) {
  return {std::move(name),
          win::kRegDword,
          {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
           static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

}  // namespace

std::string GetSystemWow64Dir(win::SystemApi& system) { return system.SystemWow64Directory(); }

std::vector<std::string> EarlierDriverPaths() {
  std::vector<std::string> paths;
  for (const char* version : {"Win2000", "Win98"}) {  // the table's two directories
    paths.push_back(*DriverDirectoryForVersion(version) + kDriverFile);
  }
  return paths;
}

DataSourceLayout Layout(const DataSourceSpec& spec, const std::string& driverDirectory) {
  return {
      {{"",
        {Text("DBQ", spec.databasePath), Text("Description", spec.description),
         Text("Driver", driverDirectory + kDriverFile), Number("DriverId", 25),
         Text("FIL", "MS Access;"), Number("SafeTransactions", 0), Text("UID", "")}},
       {"Engines", {}},
       {"Engines\\Jet",
        {Text("ImplicitCommitSync", ""), Number("MaxBufferSize", 2048), Number("PageTimeout", 5),
         Number("Threads", 3), Text("UserCommitSync", "Yes")}}},
      Text(spec.name, "Microsoft Access Driver (*.mdb)"),
  };
}

RegistryAccess DetectRegistryAccess(win::RegistryApi& registry, win::SystemApi& system) {
  RegistryAccess access;
  switch (system.GetProcessKind()) {
    case win::ProcessKind::Wow64: access.viewFlag = win::kKeyWow64_64Key; break;
    case win::ProcessKind::Windows32: access.sixtyFourBitWindows = false; break;
    case win::ProcessKind::Windows64: break;
  }
  access.canRenameKeys = registry.HasRegRenameKey();
  return access;
}

std::string ViewLabel(const RegistryView& view, const RegistryAccess& access) {
  if (view.driverDirectory == DriverDirectorySource::VersionNameTable &&
      !access.sixtyFourBitWindows) {
    return "WOW6432node key";  // 32-bit Windows has no second view
  }
  return std::string(view.label) + " view";
}

namespace {

// A data source that is not there is written whole; one that is there is left as it is.
RegistrationOutcome Create(win::WindowsApi& windows, const DataSourceSpec& spec,
                           const RegistryView& view) {
  DataSourceRegistry registry(windows.Registry(), windows.System(),
                              DetectRegistryAccess(windows.Registry(), windows.System()), view);
  const DataSourceReading reading = registry.Read(spec);
  if (!reading.present) return registry.Publish(spec);
  if (reading.missing.empty()) return {RegistrationStatus::AlreadyPresent, {}, 0, {}};
  return {RegistrationStatus::Incomplete, {}, 0, reading.MissingNames()};
}

}  // namespace

RegistrationOutcome CreateDataSource(win::WindowsApi& windows, const DataSourceSpec& spec) {
  return Create(windows, spec, kNativeView);
}

RegistrationOutcome CreateDataSourceWow64(win::WindowsApi& windows, const DataSourceSpec& spec) {
  return Create(windows, spec, kWow64View);
}

std::optional<std::string> DriverDirectory(win::SystemApi& system, const RegistryView& view) {
  if (view.driverDirectory == DriverDirectorySource::SystemDirectory) {
    std::string directory = GetSystemDir(system);
    if (directory.empty()) return std::nullopt;
    return directory;
  }
  return Wow64DriverDirectory(system);
}

std::string GetSystemDir(win::SystemApi& system) { return system.SystemDirectory(); }

std::string GetOSVersionName(win::SystemApi& system) {
  win::OsVersionInfo version;
  version.size = sizeof version;
  version.servicePack.fill(' ');
  system.GetVersionExA(&version);  // read as it stands, whatever the call says

  switch (version.platformId) {
    case kPlatformWin32s: return "Win32s";
    case kPlatformWindows:
      if (version.minorVersion == 0) return "Win95";
      if (version.minorVersion == 10) return "Win98";
      return "";
    case kPlatformNt:
      switch (version.majorVersion) {
        case 3: return "WinNT361";
        case 4: return "WinNT4";
        case 5:
          if (version.minorVersion == 0) return "Win2000";
          if (version.minorVersion == 1) return "WinXP";
          if (version.minorVersion == 2) return "Win2003";
          return "";
        case 6: return "Vista";
        default: return "";
      }
    case kPlatformCe: return "WinCE";
    default: return "Failed";
  }
}

std::optional<std::string> DriverDirectoryForVersion(std::string_view versionName) {
  if (versionName == "Failed") return std::nullopt;
  if (versionName == "Win95" || versionName == "Win98") return "C:\\Windows\\System";
  return "C:\\WinNT\\System32";  // Win2000, WinNT4 and every other name, the empty one included
}

// Named by Windows, never chosen by which files exist: a folder at the root of C: is anyone's to
// create, and a DLL planted there would be loaded by every 32-bit ODBC client.
std::optional<std::string> Wow64DriverDirectory(win::SystemApi& system) {
  std::string wow64Directory = GetSystemWow64Dir(system);
  if (!wow64Directory.empty()) return wow64Directory;
  return DriverDirectoryForVersion(GetOSVersionName(system));
}

}  // namespace MdlODBC
