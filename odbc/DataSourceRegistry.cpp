#include "odbc/DataSourceRegistry.h"

#include <algorithm>
#include <stdexcept>

namespace MdlODBC {
namespace {

bool IsText(std::uint32_t type) { return type == win::kRegSz || type == win::kRegExpandSz; }

// Writes a value as Windows stores text: with its terminator, counted in the size passed, as
// RegSetValueEx asks; an empty text is stored empty, as this program always wrote it.
win::Status SetValue(win::RegistryApi& registry, win::KeyHandle key, const ValueSpec& value) {
  std::vector<std::uint8_t> bytes = value.data;
  if (IsText(value.type) && !bytes.empty()) bytes.push_back(0);
  return registry.RegSetValueExA(key, value.name.c_str(), 0, value.type, bytes.data(),
                                 static_cast<std::uint32_t>(bytes.size()));
}

bool Contains(const std::vector<DataSourcePart>& parts, const DataSourcePart& part) {
  return std::find(parts.begin(), parts.end(), part) != parts.end();
}

void NoteFailure(RegistrationOutcome& outcome, win::Status status, std::string what) {
  if (status == win::kErrorSuccess || outcome.status == RegistrationStatus::Failed) return;
  outcome.status = RegistrationStatus::Failed;
  outcome.failure = std::move(what);
  outcome.errorCode = status;
}

RegistrationOutcome Failure(std::string what, win::Status status = 0) {
  return {RegistrationStatus::Failed, std::move(what), status, {}};
}

// A read that fails for any reason but absence cannot classify the data source: the caller
// records the data source as failed, with the status.
[[noreturn]] void ThrowReadFailure(const std::string& what, win::Status status) {
  throw RegistryError("could not read " + what, status);
}

}  // namespace

std::string DataSourcePart::Name() const {
  if (listLine) return "its line in \"ODBC Data Sources\"";
  if (subKey.empty()) return valueName;
  return valueName.empty() ? subKey : subKey + "\\" + valueName;
}

std::vector<std::string> DataSourceReading::MissingNames() const {
  std::vector<std::string> names;
  for (const auto& part : missing) names.push_back(part.Name());
  return names;
}

std::optional<std::string> DataSourceReading::Text(const std::string& valueName) const {
  for (const auto& value : found) {
    if (value.part == DataSourcePart{"", valueName, false} && value.stored.type == win::kRegSz) {
      return std::string(value.stored.data.begin(), value.stored.data.end());
    }
  }
  return std::nullopt;
}

std::vector<std::string> DataSourceReading::Differing(
    const std::vector<DataSourceLayout>& layouts) const {
  std::vector<std::string> differing;
  for (const auto& value : found) {
    const bool asWritten = std::any_of(layouts.begin(), layouts.end(), [&](const auto& layout) {
      const ValueSpec* expected = nullptr;
      if (value.part.listLine) expected = &layout.listLine;
      for (const auto& key : layout.keys) {
        for (const auto& candidate : key.values) {
          if (key.subKey == value.part.subKey && candidate.name == value.part.valueName) {
            expected = &candidate;
          }
        }
      }
      return expected != nullptr && expected->type == value.stored.type &&
             expected->data == value.stored.data;
    });
    if (!asWritten) differing.push_back(value.part.Name());
  }
  return differing;
}

DataSourceRegistry::DataSourceRegistry(win::RegistryApi& registry, win::SystemApi& system,
                                       const RegistryAccess& access, const RegistryView& view)
    : registry_(registry),
      system_(system),
      access_(access),
      view_(view),
      odbcIni_{view.OdbcIniKey(), win::RegistryKey(registry), win::RegistryKey(registry)},
      list_{std::string(view.listKey), win::RegistryKey(registry), win::RegistryKey(registry)} {}

// Opened with read rights for reading, and with the rights writing needs only for writing, so
// that what only reads (/check, a survey) runs where reading is all an account may do.
std::pair<win::KeyHandle, win::Status> DataSourceRegistry::OpenForReading(ViewKey& viewKey) {
  if (viewKey.write.IsOpen()) return {viewKey.write.Get(), win::kErrorSuccess};
  if (!viewKey.readStatus) {
    viewKey.readStatus = registry_.RegOpenKeyExA(win::kLocalMachine, viewKey.path.c_str(), 0,
                                                 Access(win::kKeyRead), viewKey.read.Receive());
  }
  return {viewKey.read.Get(), *viewKey.readStatus};
}

// Created where it is missing; 0 with Windows' status where it cannot be written.
std::pair<win::KeyHandle, win::Status> DataSourceRegistry::OpenForWriting(ViewKey& viewKey) {
  if (!viewKey.writeStatus) {
    const char* path = viewKey.path.c_str();
    // Not there when last looked: no need to look again before creating it.
    win::Status status =
        viewKey.readStatus && win::IsAbsent(*viewKey.readStatus)
            ? win::kErrorFileNotFound
            : registry_.RegOpenKeyExA(win::kLocalMachine, path, 0, Access(win::kKeyAllAccess),
                                      viewKey.write.Receive());
    if (win::IsAbsent(status)) {
      status = registry_.RegCreateKeyExA(win::kLocalMachine, path, Access(win::kKeyAllAccess),
                                         viewKey.write.Receive(), nullptr);
    }
    viewKey.writeStatus = status;
  }
  if (viewKey.write.IsOpen()) return {viewKey.write.Get(), win::kErrorSuccess};
  return {0, *viewKey.writeStatus != win::kErrorSuccess ? *viewKey.writeStatus
                                                        : win::kErrorAccessDenied};
}

DataSourceReading DataSourceRegistry::Read(const DataSourceSpec& spec, bool additions) {
  DataSourceReading reading;
  const auto [odbcIni, opened] = OpenForReading(odbcIni_);
  if (odbcIni == 0) {
    if (win::IsAbsent(opened)) return reading;
    ThrowReadFailure(odbcIni_.path, opened);
  }
  win::RegistryKey dataSource(registry_);
  const win::Status found = registry_.RegOpenKeyExA(odbcIni, spec.name.c_str(), 0,
                                                    Access(win::kKeyRead), dataSource.Receive());
  if (found != win::kErrorSuccess && !win::IsAbsent(found))
    ThrowReadFailure(std::string(view_.basePath) + spec.name, found);
  reading.present = found == win::kErrorSuccess;
  // A staging key beside a missing data source is the plain run's to replace when it writes it.
  if (reading.present || additions) {
    win::RegistryKey staging(registry_);
    const std::string name = spec.name + std::string(kStagingSuffix);
    const win::Status left =
        registry_.RegOpenKeyExA(odbcIni, name.c_str(), 0, Access(win::kKeyRead), staging.Receive());
    if (left != win::kErrorSuccess && !win::IsAbsent(left)) {
      ThrowReadFailure(std::string(view_.basePath) + name, left);
    }
    reading.staging = left == win::kErrorSuccess;
  }
  if (!reading.present) return reading;

  const DataSourceLayout layout = Layout(spec, "");
  // Deepest first: a key without values of its own is then known to be there from a key below.
  for (auto key = layout.keys.rbegin(); key != layout.keys.rend(); ++key) {
    ReadKey(dataSource.Get(), layout, *key, additions, reading);
  }
  // Ordered as the layout is: a missing key before the values it would hold.
  const auto rank = [&](const DataSourcePart& part) {
    return std::find_if(layout.keys.begin(), layout.keys.end(),
                        [&](const KeySpec& key) { return key.subKey == part.subKey; }) -
           layout.keys.begin();
  };
  std::stable_sort(reading.missing.begin(), reading.missing.end(),
                   [&](const auto& a, const auto& b) { return rank(a) < rank(b); });

  const auto [list, listOpened] = OpenForReading(list_);
  if (list == 0 && !win::IsAbsent(listOpened)) ThrowReadFailure(list_.path, listOpened);
  const DataSourcePart line{"", spec.name, true};
  const auto stored = list == 0 ? std::nullopt : QueryValue(list, spec.name, line.Name());
  if (stored) {
    reading.found.push_back({line, *stored});
  } else {
    reading.missing.push_back(line);
  }
  return reading;
}

// The value's type and bytes; none when it does not exist.
std::optional<ValueSpec> DataSourceRegistry::QueryValue(win::KeyHandle key, const std::string& name,
                                                        const std::string& what) {
  auto stored = win::ReadValue(registry_, key, name.c_str());
  if (win::IsAbsent(stored.status)) return std::nullopt;
  if (stored.status != win::kErrorSuccess) ThrowReadFailure(what, stored.status);
  // Text reads the same with or without one terminator: as this program writes it, as earlier
  // versions wrote it, as "reg add" or an import stores it.
  if (IsText(stored.type) && !stored.data.empty() && stored.data.back() == 0) {
    stored.data.pop_back();
  }
  return ValueSpec{name, stored.type, std::move(stored.data)};
}

// A key without values of its own ("Engines") is there when a key below it is: where additions
// are not asked for it is opened only when that one is missing, so a complete data source costs
// one open less.
void DataSourceRegistry::ReadKey(win::KeyHandle dataSource, const DataSourceLayout& layout,
                                 const KeySpec& key, bool additions, DataSourceReading& reading) {
  if (key.values.empty() && !additions) {
    const bool holdsAFoundKey = std::any_of(
        reading.found.begin(), reading.found.end(),
        [&](const FoundValue& f) { return f.part.subKey.starts_with(key.subKey + "\\"); });
    if (holdsAFoundKey) return;
  }
  win::RegistryKey opened(registry_);
  win::KeyHandle handle = dataSource;
  if (!key.subKey.empty()) {
    const win::Status status = registry_.RegOpenKeyExA(dataSource, key.subKey.c_str(), 0,
                                                       Access(win::kKeyRead), opened.Receive());
    if (win::IsAbsent(status)) {
      reading.missing.push_back({key.subKey, "", false});
      for (const auto& value : key.values)
        reading.missing.push_back({key.subKey, value.name, false});
      return;
    }
    if (status != win::kErrorSuccess) ThrowReadFailure(key.subKey, status);
    handle = opened.Get();
  }
  for (const auto& value : key.values) {
    const DataSourcePart part{key.subKey, value.name, false};
    if (auto stored = QueryValue(handle, value.name, part.Name())) {
      reading.found.push_back({part, std::move(*stored)});
    } else {
      reading.missing.push_back(part);
    }
  }
  if (additions) ReadAdditions(handle, layout, key, reading);
}

void DataSourceRegistry::ReadAdditions(win::KeyHandle handle, const DataSourceLayout& layout,
                                       const KeySpec& key, DataSourceReading& reading) {
  const std::string prefix = key.subKey.empty() ? "" : key.subKey + "\\";
  // Counted first: a key that holds only what this program writes needs no enumeration, which
  // costs a call for every value (detection runs this on every workstation every hour).
  std::uint32_t subKeys = 0;
  std::uint32_t values = 0;
  if (registry_.RegQueryInfoKeyA(handle, &subKeys, &values) == win::kErrorSuccess) {
    const auto ours = std::count_if(
        reading.found.begin(), reading.found.end(),
        [&](const FoundValue& f) { return !f.part.listLine && f.part.subKey == key.subKey; });
    const auto ourKeys =
        std::count_if(layout.keys.begin(), layout.keys.end(), [&](const KeySpec& k) {
          const bool directlyBelow = k.subKey.starts_with(prefix) && !k.subKey.empty() &&
                                     k.subKey != key.subKey &&
                                     k.subKey.find('\\', prefix.size()) == std::string::npos;
          return directlyBelow && !Contains(reading.missing, {k.subKey, "", false});
        });
    if (values == static_cast<std::uint32_t>(ours) &&
        subKeys == static_cast<std::uint32_t>(ourKeys))
      return;
  }
  std::string name;
  for (std::uint32_t i = 0; registry_.RegEnumValueA(handle, i, &name) == win::kErrorSuccess; ++i) {
    const bool ours = std::any_of(key.values.begin(), key.values.end(),
                                  [&](const ValueSpec& value) { return value.name == name; });
    if (!ours) reading.added.push_back(prefix + name);
  }
  for (std::uint32_t i = 0; registry_.RegEnumKeyExA(handle, i, &name) == win::kErrorSuccess; ++i) {
    const bool ours = std::any_of(layout.keys.begin(), layout.keys.end(),
                                  [&](const KeySpec& k) { return k.subKey == prefix + name; });
    if (!ours) reading.added.push_back(prefix + name);
  }
}

std::vector<DataSourceLayout> DataSourceRegistry::LayoutsAsWritten(const DataSourceSpec& spec) {
  std::vector<DataSourceLayout> layouts;
  if (const auto& directory = Driver().directory) layouts.push_back(Layout(spec, *directory));
  for (const auto& path : EarlierDriverPathsOfView()) {
    layouts.push_back(Layout(spec, path.substr(0, path.rfind('\\'))));
  }
  return layouts;
}

// Decided once per run: the system directory, the version and the driver files do not change
// while it registers. The native view's driver is always in the system directory; the 32-bit
// view's only on 64-bit Windows, where it is the 32-bit system directory.
const DataSourceRegistry::DriverPlace& DataSourceRegistry::Driver() {
  if (!driver_) {
    driver_ = DriverPlace{DriverDirectory(system_, view_),
                          view_.driverDirectory == DriverDirectorySource::SystemDirectory ||
                              !GetSystemWow64Dir(system_).empty()};
  }
  return *driver_;
}

std::vector<std::string> DataSourceRegistry::EarlierDriverPathsOfView() {
  const bool applies = view_.driverDirectory == DriverDirectorySource::VersionNameTable &&
                       Driver().inSystemDirectory;
  return applies ? EarlierDriverPaths() : std::vector<std::string>{};
}

std::optional<std::string> DataSourceRegistry::EarlierDriver(const DataSourceReading& reading) {
  const auto driver = reading.Text("Driver");
  const auto earlier = EarlierDriverPathsOfView();
  if (driver && std::find(earlier.begin(), earlier.end(), *driver) != earlier.end()) return driver;
  return std::nullopt;
}

std::optional<std::string> DataSourceRegistry::SystemDirectoryOfView() {
  return Driver().inSystemDirectory ? Driver().directory : std::nullopt;
}

RegistrationOutcome DataSourceRegistry::Remove(const DataSourceSpec& spec) {
  const auto [list, opened] = OpenForReading(list_);
  if (list == 0 && !win::IsAbsent(opened)) {
    return Failure("could not open \"" + list_.path + "\"", opened);
  }
  const auto line = list == 0 ? std::nullopt : QueryValue(list, spec.name, "its list line");
  const ValueSpec ours = Layout(spec, "").listLine;
  if (line && line->type == ours.type && line->data == ours.data) {
    const auto [writable, why] = OpenForWriting(list_);
    const win::Status status =
        writable != 0 ? registry_.RegDeleteValueA(writable, spec.name.c_str()) : why;
    if (status != win::kErrorSuccess) {
      return Failure("could not delete \"" + spec.name + "\" in \"" + list_.path + "\"", status);
    }
  }
  const auto [odbcIni, why] = OpenForWriting(odbcIni_);
  const win::Status deleted = odbcIni != 0 ? DeleteTree(odbcIni, spec.name) : why;
  if (deleted != win::kErrorSuccess) {
    return Failure("could not delete the key \"" + std::string(view_.basePath) + spec.name + "\"",
                   deleted);
  }
  return {};
}

win::Status DataSourceRegistry::RemoveStaging(const DataSourceSpec& spec) {
  const auto [odbcIni, why] = OpenForWriting(odbcIni_);
  if (odbcIni == 0) return why;
  return DeleteTree(odbcIni, spec.name + std::string(kStagingSuffix));
}

void DataSourceRegistry::CloseViewKeys() {
  for (ViewKey* viewKey : {&odbcIni_, &list_}) {
    viewKey->read.Close();
    viewKey->write.Close();
    viewKey->readStatus.reset();
    viewKey->writeStatus.reset();
  }
}

bool DataSourceRegistry::DriverRegistered() {
  win::RegistryKey driver(registry_);
  return registry_.RegOpenKeyExA(win::kLocalMachine, std::string(view_.driverKey).c_str(), 0,
                                 Access(win::kKeyRead), driver.Receive()) == win::kErrorSuccess;
}

// Where the system allows it, the new data source is written under a staging name and renamed
// into place, so that it appears in one step: a run cut off part way leaves the staging key, which
// the next run removes, and never a half-written data source.
RegistrationOutcome DataSourceRegistry::Publish(const DataSourceSpec& spec) {
  // Decided before the first key is created, so that a failure never leaves a half-written entry.
  const auto driverDirectory = Driver().directory;
  if (!driverDirectory) return Failure(kDriverDirectoryUnknown);
  const DataSourceLayout layout = Layout(spec, *driverDirectory);
  const auto [odbcIni, why] = OpenForWriting(odbcIni_);
  if (odbcIni == 0) return Failure("could not create the key \"" + odbcIni_.path + "\"", why);
  // A key is renamed within its parent only: a name with a backslash is written in place.
  const bool staged = access_.canRenameKeys && spec.name.find('\\') == std::string::npos;
  const std::string name = staged ? spec.name + std::string(kStagingSuffix) : spec.name;
  win::RegistryKey dataSource(registry_);
  std::uint32_t disposition = 0;
  win::Status status = registry_.RegCreateKeyExA(odbcIni, name.c_str(), Access(win::kKeyAllAccess),
                                                 dataSource.Receive(), &disposition);
  if (status == win::kErrorSuccess && staged && disposition == win::kOpenedExistingKey) {
    dataSource.Close();
    DeleteTree(odbcIni, name);  // left by a run that was cut off
    status = registry_.RegCreateKeyExA(odbcIni, name.c_str(), Access(win::kKeyAllAccess),
                                       dataSource.Receive(), nullptr);
  }
  if (status != win::kErrorSuccess) {
    return Failure("could not create the key \"" + std::string(view_.basePath) + name + "\"",
                   status);
  }
  RegistrationOutcome outcome;
  WriteKeys(dataSource.Get(), layout, {}, outcome);
  if (staged) {
    if (outcome.status != RegistrationStatus::Failed) {
      status = registry_.RegRenameKey(dataSource.Get(), nullptr, spec.name.c_str());
    }
    dataSource.Close();
    if (outcome.status == RegistrationStatus::Failed || status != win::kErrorSuccess) {
      DeleteTree(odbcIni, name);
      if (outcome.status == RegistrationStatus::Failed) return outcome;
      if (Read(spec).present)
        return {RegistrationStatus::AlreadyPresent, {}, 0, {}};  // got there first
      return Failure("could not rename \"" + name + "\" to \"" + spec.name + "\"", status);
    }
  }
  return AddList(spec, outcome);
}

RegistrationOutcome DataSourceRegistry::AddList(const DataSourceSpec& spec,
                                                RegistrationOutcome outcome) {
  const ValueSpec line = Layout(spec, "").listLine;
  const auto [list, why] = OpenForWriting(list_);
  const win::Status status = list != 0 ? SetValue(registry_, list, line) : why;
  NoteFailure(outcome, status, "could not write \"" + line.name + "\" in \"" + list_.path + "\"");
  return outcome;
}

RegistrationOutcome DataSourceRegistry::Write(const DataSourceSpec& spec,
                                              const std::vector<DataSourcePart>& parts) {
  const auto driverDirectory = Driver().directory;
  if (!driverDirectory) return Failure(kDriverDirectoryUnknown);
  RegistrationOutcome outcome;
  const bool listLine = Contains(parts, {"", spec.name, true});
  if (!listLine || parts.size() > 1) {
    const auto [odbcIni, why] = OpenForWriting(odbcIni_);
    win::RegistryKey dataSource(registry_);
    const win::Status status =
        odbcIni == 0
            ? why
            : registry_.RegCreateKeyExA(odbcIni, spec.name.c_str(), Access(win::kKeyAllAccess),
                                        dataSource.Receive(), nullptr);
    if (status != win::kErrorSuccess) {
      return Failure("could not open the key \"" + std::string(view_.basePath) + spec.name + "\"",
                     status);
    }
    WriteKeys(dataSource.Get(), Layout(spec, *driverDirectory), parts, outcome);
  }
  return listLine ? AddList(spec, outcome) : outcome;
}

// Writes the layout's values below the data source's key (all of them, or those in `only`). A
// key without values of its own comes with the key below it ("Engines" with "Engines\Jet"). A
// failure is noted and the remaining writes go on.
void DataSourceRegistry::WriteKeys(win::KeyHandle dataSource, const DataSourceLayout& layout,
                                   const std::vector<DataSourcePart>& only,
                                   RegistrationOutcome& outcome) {
  for (const auto& key : layout.keys) {
    std::vector<const ValueSpec*> values;
    for (const auto& value : key.values) {
      if (only.empty() || Contains(only, {key.subKey, value.name, false})) values.push_back(&value);
    }
    if (values.empty()) continue;
    win::RegistryKey opened(registry_);
    win::KeyHandle handle = dataSource;
    if (!key.subKey.empty()) {
      const win::Status created = registry_.RegCreateKeyExA(
          dataSource, key.subKey.c_str(), Access(win::kKeyAllAccess), opened.Receive(), nullptr);
      if (created != win::kErrorSuccess) {
        NoteFailure(outcome, created, "could not create the key \"" + key.subKey + "\"");
        continue;
      }
      handle = opened.Get();
    }
    for (const auto* value : values) {
      const win::Status written = SetValue(registry_, handle, *value);
      NoteFailure(outcome, written, "could not write \"" + value->name + "\"");
    }
  }
}

// Subkeys first, then the key: what every Windows can do. Only ever given a staging key or a
// data source found exactly as this program writes it.
win::Status DataSourceRegistry::DeleteTree(win::KeyHandle parent, const std::string& name) {
  win::RegistryKey key(registry_);
  const win::Status opened =
      registry_.RegOpenKeyExA(parent, name.c_str(), 0, Access(win::kKeyRead), key.Receive());
  if (opened != win::kErrorSuccess) return opened;
  std::vector<std::string> children;
  std::string child;
  while (registry_.RegEnumKeyExA(key.Get(), static_cast<std::uint32_t>(children.size()), &child) ==
         win::kErrorSuccess) {
    children.push_back(child);
  }
  for (const auto& each : children) {
    const win::Status status = DeleteTree(key.Get(), each);
    if (status != win::kErrorSuccess) return status;
  }
  key.Close();
  return registry_.RegDeleteKeyA(parent, name.c_str(), access_.viewFlag);
}

}  // namespace MdlODBC
