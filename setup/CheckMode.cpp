#include "setup/CheckMode.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <exception>
#include <string>
#include <vector>

#include "setup/DataSourceSurvey.h"
#include "setup/ExitCodes.h"
#include "setup/RunLog.h"
#include "setup/Tally.h"

namespace quillet {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kTitle = "Quillet Check";
constexpr std::size_t kNamesInTheBox = 3;

enum class Condition { Complete, Customised, EarlierDriver, Incomplete, Missing, Unreadable };

// How the report names each condition.
const char* ReportedState(Condition condition) {
  switch (condition) {
    case Condition::Complete: return "complete";
    case Condition::Customised: return "customised";
    case Condition::EarlierDriver: return "earlier-driver";
    case Condition::Incomplete: return "incomplete";
    case Condition::Missing: return "missing";
    case Condition::Unreadable: return "unreadable";
  }
  return "unreadable";
}

const std::vector<OutcomeLabel<Condition>> kConditionLabels = {
    {Condition::Complete, "complete"},
    {Condition::Customised, "customised"},
    {Condition::EarlierDriver, "with an earlier version's driver path"},
    {Condition::Incomplete, "incomplete"},
    {Condition::Missing, "missing"},
    {Condition::Unreadable, "unreadable"}};

struct Verdict {
  Condition condition;
  std::string text;
};

Verdict Judge(const SurveyedDataSource& each) {
  if (!each.unreadable.empty()) return {Condition::Unreadable, "could not be read: " + each.unreadable};
  const auto& reading = each.reading;
  if (!reading.present) return {Condition::Missing, "missing"};
  if (!reading.missing.empty()) {
    return {Condition::Incomplete, "incomplete, missing " + Joined(reading.MissingNames())};
  }
  const std::string customised = Customisation(each);
  if (!each.earlierDriver.empty()) {
    return {Condition::EarlierDriver,
            "driver path of an earlier version: " + each.earlierDriver +
                " (this setup rewrites it when run again)" +
                (customised.empty() ? "" : "; customised: " + customised)};
  }
  if (!customised.empty()) return {Condition::Customised, "customised: " + customised};
  return {Condition::Complete, "complete"};
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

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

class Checker {
 public:
  explicit Checker(RunContext& run) : run_(run), system_(run.Windows().System()) {}

  void CheckAll() {
    for (const auto& each : SurveyDataSources(run_)) {
      const Verdict verdict = Judge(each);
      run_.Report().dataSources.push_back({each.planned.spec.name,
                                           RunContext::ReportedView(*each.planned.view),
                                           ReportedState(verdict.condition),
                                           each.reading.present ? each.reading.MissingNames()
                                                                : std::vector<std::string>{},
                                           each.differing, each.unreadable});
      std::string line = each.Who() + ": " + verdict.text;
      if (each.reading.staging) line += "; a staging key left by a cut-off run";
      lines_ += line + kLineEnd;
      tally_.Add(verdict.condition, each.Who());
      if (each.reading.present) WarnAbout(each);
      staging_ += each.reading.staging ? 1 : 0;
    }
  }

  // Every warning, those of a problem shared by many data sources grouped into one.
  [[nodiscard]] std::vector<std::string> WarningList() const {
    std::vector<std::string> list = warnings_;
    for (const auto& problem : problemOrder_) {
      const int count = grouped_.at(problem);
      list.push_back(problem + " (" + std::to_string(count) +
                     (count == 1 ? " data source)" : " data sources)"));
    }
    return list;
  }

  [[nodiscard]] std::string Counts() const {
    return std::to_string(tally_.Total()) + " data sources: " + CountsText(tally_, kConditionLabels);
  }

  [[nodiscard]] std::string Report() const {
    return lines_ + Warnings() + CountsText(tally_, kConditionLabels) + "; " +
           std::to_string(staging_) + " staging keys left; " + std::to_string(WarningCount()) +
           " warnings" + kLineEnd;
  }

  // The counts and the first names of each kind, for a message box.
  [[nodiscard]] std::string Summary() const {
    std::string text = std::to_string(tally_.Total()) + " Quillet data sources checked.\n";
    for (const auto& kind : kConditionLabels) {
      const auto& names = tally_.Named(kind.outcome);
      if (names.empty()) continue;
      text += "\n" + std::to_string(names.size()) + " " + kind.label + ": ";
      for (std::size_t i = 0; i < names.size() && i < kNamesInTheBox; ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
      }
      if (names.size() > kNamesInTheBox) text += ", ...";
    }
    if (WarningCount() > 0) {
      text += "\n\n" + std::to_string(WarningCount()) + " warnings (see /log).";
    }
    return text;
  }

  [[nodiscard]] int ExitCode() const {
    if (tally_.Count(Condition::Unreadable) != 0) return kExitInstallFailure;
    const bool lacking = tally_.Count(Condition::Incomplete) != 0 ||
                         tally_.Count(Condition::Missing) != 0 ||
                         tally_.Count(Condition::EarlierDriver) != 0;
    return lacking ? kExitSomethingToDo : kExitSuccess;
  }

 private:
  void Warn(const std::string& text) { warnings_.push_back(text); }

  // One warning per distinct problem, with how many data sources it concerns: a machine without
  // the Access driver gets one line for the driver, not one per data source.
  void Count(const std::string& problem) {
    if (!grouped_.contains(problem)) problemOrder_.push_back(problem);
    ++grouped_[problem];
  }

  [[nodiscard]] std::string Warnings() const {
    std::string text;
    for (const auto& warning : WarningList()) text += "warning: " + warning + kLineEnd;
    if (expectedNote_) {
      text += "note: the native view names no Access driver that exists, as expected on 64-bit "
              "Windows: the Access driver of this kind is 32-bit only, and Quillet uses the "
              "32-bit view" + std::string(kLineEnd);
    }
    return text;
  }

  [[nodiscard]] int WarningCount() const {
    return static_cast<int>(warnings_.size() + problemOrder_.size());
  }

  // Why Quillet might still not open a data source that is there: no driver, or no database.
  void WarnAbout(const SurveyedDataSource& each) {
    const auto* view = each.planned.view;
    // The 64-bit view's driver is loaded by 64-bit programs, which see the files unredirected.
    const bool nativeFiles = view == &MdlODBC::kNativeView && run_.Access().viewFlag != 0;
    // On 64-bit Windows the native view's Jet driver never exists: expected, not news.
    const bool driverExpectedMissing =
        view == &MdlODBC::kNativeView && run_.Access().sixtyFourBitWindows;
    const std::string driver = TextOf(each.reading, "Driver");
    const auto systemDirectory = run_.RegistryOf(*view).SystemDirectoryOfView();
    if (!driver.empty() && each.earlierDriver.empty() && systemDirectory &&
        !SameText(driver.substr(0, driver.rfind('\\')), *systemDirectory)) {
      Count("\"Driver\" " + driver + " is outside the system directory " + *systemDirectory);
    }
    // An earlier version's path is known to be wrong without looking, and lies below a folder any
    // user may create: an elevated detection rule never touches it.
    if (!driver.empty() && each.earlierDriver.empty() &&
        system_.GetFileAttributesA(driver.c_str(), nativeFiles) == win::kInvalidFileAttributes) {
      if (driverExpectedMissing) {
        expectedNote_ = true;
      } else {
        Count("driver file " + driver + " not found");
      }
    }
    const std::string database = TextOf(each.reading, "DBQ");
    if (!database.empty() &&
        system_.GetFileAttributesA(database.c_str(), nativeFiles) == win::kInvalidFileAttributes) {
      Count("database " + database + " not found");
    }
    if (std::find(viewsLooked_.begin(), viewsLooked_.end(), view) == viewsLooked_.end()) {
      viewsLooked_.push_back(view);
      if (!run_.RegistryOf(*view).DriverRegistered()) {
        if (driverExpectedMissing) {
          expectedNote_ = true;
        } else {
          Warn(each.where + ": \"Microsoft Access Driver (*.mdb)\" is not registered in " +
               std::string(view->driverKey.substr(0, view->driverKey.rfind('\\'))));
        }
      }
    }
  }

  RunContext& run_;
  win::SystemApi& system_;
  std::string lines_;
  std::vector<std::string> warnings_;  // each on its own, as met
  std::map<std::string, int> grouped_;      // how many data sources each problem concerns
  std::vector<std::string> problemOrder_;  // as first met
  bool expectedNote_ = false;
  int staging_ = 0;
  Tally<Condition> tally_;
  std::vector<const MdlODBC::RegistryView*> viewsLooked_;
};

}  // namespace

int RunCheck(RunContext& run) {
  win::WindowsApi& windows = run.Windows();
  std::string report;
  std::string summary;
  int exitCode = kExitSuccess;
  try {
    Checker checker(run);
    checker.CheckAll();
    report = checker.Report();
    summary = checker.Summary();
    exitCode = checker.ExitCode();
    run.Report().warnings = checker.WarningList();
    run.Report().summary = checker.Counts();
  } catch (const std::exception& error) {
    report = std::string("The check could not be done: ") + error.what() + kLineEnd;
    summary = report;
    exitCode = kExitInstallFailure;
  }
  // With /json the document is what goes to standard output.
  const bool printed = run.WritesJson() || windows.System().WriteStandardOutput(report);
  run.Log().Add(report);
  // The exit code tells the workstation's state alone, as detection rules read it: a log that
  // cannot be written is said where the report goes, and in the box.
  const auto logFailure =
      run.Conclude(exitCode, exitCode == kExitInstallFailure ? "the check could not be done" : "");
  if (logFailure && printed && !run.WritesJson()) {
    windows.System().WriteStandardOutput(*logFailure + kLineEnd);
  }
  if (!printed && run.Interactive()) {
    windows.Screen().MessageBoxA(summary.c_str(), kTitle,
                        win::kMbOk | (exitCode == kExitSuccess ? win::kMbIconInformation
                                                               : win::kMbIconWarning));
  }
  return exitCode;
}

}  // namespace quillet
