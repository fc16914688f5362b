#include "setup/modes/CheckMode.h"

#include <algorithm>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "platform/TextCase.h"
#include "setup/ExitCodes.h"
#include "setup/modes/DataSourceSurvey.h"
#include "setup/modes/ScheduledTask.h"

namespace quillet {
namespace {

SourceState Judge(const SurveyedDataSource& each) {
  if (!each.readable) return SourceState::Unreadable;
  if (!each.reading.present) return SourceState::Missing;
  if (!each.reading.missing.empty()) return SourceState::Incomplete;
  if (!each.row.earlierDriver.empty()) return SourceState::EarlierDriver;
  if (!each.row.Customisation().empty()) return SourceState::Customised;
  return SourceState::Complete;
}

// The text of a value as the program reads it: up to its first NUL.
std::string TextOf(const MdlODBC::DataSourceReading& reading, const std::string& valueName) {
  for (const auto& found : reading.found) {
    if (found.part.subKey.empty() && !found.part.listLine && found.part.valueName == valueName &&
        found.stored.type == win::kRegSz) {
      const auto& data = found.stored.data;
      return std::string(data.begin(), std::find(data.begin(), data.end(), std::uint8_t{0}));
    }
  }
  return {};
}

// Why Quillet might still not open a data source that is there: no driver, or no database. A
// problem shared by many data sources is one warning, with how many it concerns: a machine
// without the Access driver gets one line for the driver, not one per data source.
class Warnings {
 public:
  Warnings(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system)
      : plan_(plan), registries_(registries), system_(system) {}

  void About(const SurveyedDataSource& each) {
    const auto* view = each.planned.view;
    auto& registry = registries_.Of(*view);
    // The 64-bit view's driver is loaded by 64-bit programs, which see the files unredirected.
    const bool nativeFiles = view == &MdlODBC::kNativeView && plan_.access.viewFlag != 0;
    // On 64-bit Windows the native view's Jet driver never exists: expected, not news.
    const bool driverExpectedMissing =
        view == &MdlODBC::kNativeView && plan_.access.sixtyFourBitWindows;
    const std::string driver = TextOf(each.reading, "Driver");
    const bool earlier = !each.row.earlierDriver.empty();
    const auto systemDirectory = registry.SystemDirectoryOfView();
    if (!driver.empty() && !earlier && systemDirectory &&
        !win::SameIgnoringCase(driver.substr(0, driver.rfind('\\')), *systemDirectory)) {
      Count("\"Driver\" " + driver + " is outside the system directory " + *systemDirectory);
    }
    // An earlier version's path is known to be wrong without looking, and lies below a folder any
    // user may create: an elevated detection rule never touches it.
    if (!driver.empty() && !earlier && !Exists(driver, nativeFiles)) {
      if (driverExpectedMissing) {
        expected_ = true;
      } else {
        Count("driver file " + driver + " not found");
      }
    }
    const std::string database = TextOf(each.reading, "DBQ");
    if (!database.empty() && !Exists(database, nativeFiles)) {
      Count("database " + database + " not found");
    }
    if (std::find(viewsLooked_.begin(), viewsLooked_.end(), view) == viewsLooked_.end()) {
      viewsLooked_.push_back(view);
      if (!registry.DriverRegistered()) {
        if (driverExpectedMissing) {
          expected_ = true;
        } else {
          single_.push_back(each.row.where +
                            ": \"Microsoft Access Driver (*.mdb)\" is not registered in " +
                            std::string(view->driverKey.substr(0, view->driverKey.rfind('\\'))));
        }
      }
    }
  }

  [[nodiscard]] std::vector<std::string> List() const {
    std::vector<std::string> list = single_;
    for (const auto& problem : order_) {
      const int count = grouped_.at(problem);
      list.push_back(problem + " (" + std::to_string(count) +
                     (count == 1 ? " data source)" : " data sources)"));
    }
    return list;
  }
  [[nodiscard]] bool NativeDriverExpected() const { return expected_; }

 private:
  // Each path looked at once, and a file not looked for where its folder is missing: every data
  // source of a view names the same driver, and five databases share a folder.
  bool Exists(const std::string& path, bool nativeFiles) {
    const auto known = exists_.find({path, nativeFiles});
    if (known != exists_.end()) return known->second;
    const auto slash = path.rfind('\\');
    const bool folderMissing =
        slash != std::string::npos && slash > 2 && !Exists(path.substr(0, slash), nativeFiles);
    const bool exists = !folderMissing && system_.GetFileAttributesA(path.c_str(), nativeFiles) !=
                                              win::kInvalidFileAttributes;
    exists_[{path, nativeFiles}] = exists;
    return exists;
  }

  void Count(const std::string& problem) {
    if (!grouped_.contains(problem)) order_.push_back(problem);
    ++grouped_[problem];
  }

  const RunPlan& plan_;
  ViewRegistries& registries_;
  win::SystemApi& system_;
  std::vector<std::string> single_;     // each on its own, as met
  std::map<std::string, int> grouped_;  // how many data sources each problem concerns
  std::vector<std::string> order_;      // as first met
  std::vector<const MdlODBC::RegistryView*> viewsLooked_;
  std::map<std::pair<std::string, bool>, bool> exists_;
  bool expected_ = false;
};

int ExitCodeOf(const RunResult& result) {
  if (result.Count(SourceState::Unreadable) != 0) return kExitInstallFailure;
  const bool lacking = result.Count(SourceState::Incomplete) != 0 ||
                       result.Count(SourceState::Missing) != 0 ||
                       result.Count(SourceState::EarlierDriver) != 0;
  return lacking ? kExitSomethingToDo : kExitSuccess;
}

}  // namespace

RunResult RunCheck(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system,
                   bool unlocked) {
  RunResult result;
  result.mode = Mode::Check;
  try {
    Warnings warnings(plan, registries, system);
    for (auto& each : SurveyDataSources(plan, registries, system)) {
      each.row.state = Judge(each);
      if (each.readable) each.row.missing = each.reading.MissingNames();
      each.row.stagingLeft = each.reading.staging;
      if (each.reading.present) warnings.About(each);
      result.rows.push_back(std::move(each.row));
    }
    result.warnings = warnings.List();
    result.nativeDriverExpected = warnings.NativeDriverExpected();
    result.accessDriverInstalled = registries.Of(*plan.quilletView).DriverRegistered();
    result.exitCode = ExitCodeOf(result);
  } catch (const std::exception& error) {
    result.rows.clear();
    result.warnings.clear();
    result.stoppedBy = error.what();
    result.exitCode = kExitInstallFailure;
    result.failure = "the check could not be done";
  }
  result.task = FindTask(system);
  if (unlocked) {
    result.warnings.insert(result.warnings.begin(),
                           "checked without the run lock, which only SYSTEM and the "
                           "Administrators may take: another run may have been changing the "
                           "data sources meanwhile");
  }
  return result;
}

}  // namespace quillet
