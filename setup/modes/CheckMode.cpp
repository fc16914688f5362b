#include "setup/modes/CheckMode.h"

#include <algorithm>
#include <exception>
#include <functional>
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
  const std::string text = reading.Text(valueName).value_or("");
  return text.substr(0, text.find('\0'));
}

struct Warnings {
  std::vector<std::string> list;
  bool nativeDriverExpected = false;  // on 64-bit Windows the native view's Jet driver never exists
};

// Why Quillet might still not open a data source that is there: no driver, or no database. A
// problem shared by many data sources is one warning, with how many it concerns: a machine
// without the Access driver gets one line for the driver, not one per data source.
Warnings WarningsAbout(const std::vector<SurveyedDataSource>& surveyed, const RunPlan& plan,
                       ViewRegistries& registries, win::SystemApi& system) {
  Warnings warnings;
  std::vector<std::pair<std::string, int>> grouped;  // as first met, with how many they concern
  const auto count = [&](const std::string& problem) {
    if (problem.empty()) return;
    auto found = std::find_if(grouped.begin(), grouped.end(),
                              [&](const auto& each) { return each.first == problem; });
    if (found == grouped.end()) found = grouped.insert(grouped.end(), {problem, 0});
    ++found->second;
  };
  // Each path looked at once, from its drive down, and nothing looked for where its folder is
  // missing or a link: every data source of a view names the same driver, five databases share a
  // folder, and a junction a standard user made may lead the machine's account to their share.
  struct Seen {
    bool there = false;
    std::string link;  // the link on the way, not followed
  };
  std::map<std::pair<std::string, bool>, Seen> known;
  const std::function<Seen(const std::string&, bool)> look = [&](const std::string& path,
                                                                 bool nativeFiles) {
    if (const auto found = known.find({path, nativeFiles}); found != known.end()) {
      return found->second;
    }
    const auto slash = path.rfind('\\');
    Seen seen{true, {}};
    if (slash != std::string::npos && slash > 2) seen = look(path.substr(0, slash), nativeFiles);
    if (seen.there) {
      const std::uint32_t attributes = system.GetFileAttributesA(path.c_str(), nativeFiles);
      seen.there = attributes != win::kInvalidFileAttributes;
      if (seen.there && (attributes & win::kFileAttributeReparsePoint) != 0) seen = {false, path};
    }
    return known[{path, nativeFiles}] = seen;
  };
  // "" where the file is there, or none is named.
  const auto lookFor = [&](const std::string& what, const std::string& path, bool nativeFiles) {
    if (path.empty()) return std::string();
    const Seen seen = look(path, nativeFiles);
    if (!seen.link.empty()) {
      return what + " " + path + " not looked for: " + seen.link +
             " is a link, junction or mount point, which this check does not follow";
    }
    return seen.there ? std::string() : what + " " + path + " not found";
  };
  std::vector<const MdlODBC::RegistryView*> views;
  for (const auto& each : surveyed) {
    if (!each.reading.present) continue;
    const auto* view = each.planned.view;
    // The 64-bit view's driver is loaded by 64-bit programs, which see the files unredirected.
    const bool nativeFiles = view == &MdlODBC::kNativeView && plan.access.viewFlag != 0;
    const bool driverExpectedMissing =
        view == &MdlODBC::kNativeView && plan.access.sixtyFourBitWindows;
    const std::string driver = TextOf(each.reading, "Driver");
    const bool earlier = !each.row.earlierDriver.empty();
    const auto systemDirectory = registries.Of(*view).SystemDirectoryOfView();
    if (!driver.empty() && !earlier && systemDirectory &&
        !win::SameIgnoringCase(driver.substr(0, driver.rfind('\\')), *systemDirectory)) {
      count("\"Driver\" " + driver + " is outside the system directory " + *systemDirectory);
    }
    // An earlier version's path is known to be wrong without looking, and lies below a folder any
    // user may create: an elevated detection rule never touches it.
    const std::string driverProblem = earlier ? "" : lookFor("driver file", driver, nativeFiles);
    if (driverExpectedMissing && !driverProblem.empty()) {
      warnings.nativeDriverExpected = true;
    } else {
      count(driverProblem);
    }
    count(lookFor("database", TextOf(each.reading, "DBQ"), nativeFiles));
    if (std::find(views.begin(), views.end(), view) != views.end()) continue;
    views.push_back(view);
    if (registries.Of(*view).DriverRegistered()) continue;
    if (driverExpectedMissing) {
      warnings.nativeDriverExpected = true;
    } else {
      warnings.list.push_back(each.row.where +
                              ": \"Microsoft Access Driver (*.mdb)\" is not registered in " +
                              std::string(view->driverKey.substr(0, view->driverKey.rfind('\\'))));
    }
  }
  for (const auto& [problem, concerned] : grouped) {
    warnings.list.push_back(problem + " (" + std::to_string(concerned) +
                            (concerned == 1 ? " data source)" : " data sources)"));
  }
  return warnings;
}

int ExitCodeOf(const RunResult& result) {
  if (result.Count(SourceState::Unreadable) != 0) return kExitInstallFailure;
  const bool lacking = result.Count(SourceState::Incomplete) != 0 ||
                       result.Count(SourceState::Missing) != 0 ||
                       result.Count(SourceState::EarlierDriver) != 0;
  return lacking ? kExitSomethingToDo : kExitSuccess;
}

}  // namespace

RunResult RunCheck(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system,
                   bool unlocked, const std::string& unsafeProgramFolder) {
  RunResult result;
  result.mode = Mode::Check;
  try {
    auto surveyed = SurveyDataSources(plan, registries, system);
    const Warnings warnings = WarningsAbout(surveyed, plan, registries, system);
    for (auto& each : surveyed) {
      each.row.state = Judge(each);
      if (each.readable) each.row.missing = each.reading.MissingNames();
      each.row.stagingLeft = each.reading.staging;
      result.rows.push_back(std::move(each.row));
    }
    result.warnings = warnings.list;
    result.nativeDriverExpected = warnings.nativeDriverExpected;
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
  if (!unsafeProgramFolder.empty()) result.warnings.push_back(unsafeProgramFolder);
  if (unlocked) {
    result.warnings.insert(result.warnings.begin(),
                           "checked without the run lock, which only SYSTEM and the "
                           "Administrators may take: another run may have been changing the "
                           "data sources meanwhile");
  }
  return result;
}

}  // namespace quillet
