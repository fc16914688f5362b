#include "setup/CheckMode.h"

#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <vector>

#include "setup/DataSourceSurvey.h"
#include "setup/ExitCodes.h"
#include "setup/RunLog.h"

namespace quillet {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kTitle = "Quillet Check";
constexpr std::size_t kNamesInTheBox = 3;

enum class Condition { Complete, Customised, Incomplete, Missing, Unreadable };

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

class Checker {
 public:
  explicit Checker(win::WindowsApi& windows) : windows_(windows), survey_(windows) {}

  void CheckAll() {
    for (const auto& each : survey_.ReadAll()) {
      const Verdict verdict = Judge(each);
      std::string line = each.planned.spec.name + " (" + each.where + "): " + verdict.text;
      if (each.reading.staging) line += "; a staging key left by a cut-off run";
      lines_ += line + kLineEnd;
      named_[static_cast<int>(verdict.condition)].push_back(each.planned.spec.name + " (" +
                                                            each.where + ")");
      if (each.reading.present) WarnAbout(each);
      staging_ += each.reading.staging ? 1 : 0;
    }
  }

  [[nodiscard]] std::string Report() const {
    return lines_ + warnings_ + Count(Condition::Complete) + " complete, " +
           Count(Condition::Customised) + " customised, " + Count(Condition::Incomplete) +
           " incomplete, " + Count(Condition::Missing) + " missing, " +
           Count(Condition::Unreadable) + " unreadable; " + std::to_string(staging_) +
           " staging keys left; " + std::to_string(warningCount_) + " warnings" + kLineEnd;
  }

  // The counts and the first names of each kind, for a message box.
  [[nodiscard]] std::string Summary() const {
    std::string text = std::to_string(Total()) + " Quillet data sources checked.\n";
    static constexpr std::array<const char*, 5> kNames = {"complete", "customised", "incomplete",
                                                          "missing", "unreadable"};
    for (std::size_t kind = 0; kind < kNames.size(); ++kind) {
      const auto& names = named_[kind];
      if (names.empty()) continue;
      text += "\n" + std::to_string(names.size()) + " " + kNames[kind] + ": ";
      for (std::size_t i = 0; i < names.size() && i < kNamesInTheBox; ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
      }
      if (names.size() > kNamesInTheBox) text += ", ...";
    }
    if (warningCount_ > 0) text += "\n\n" + std::to_string(warningCount_) + " warnings (see /log).";
    return text;
  }

  [[nodiscard]] int ExitCode() const {
    if (!named_[static_cast<int>(Condition::Unreadable)].empty()) return kExitInstallFailure;
    const bool lacking = !named_[static_cast<int>(Condition::Incomplete)].empty() ||
                         !named_[static_cast<int>(Condition::Missing)].empty();
    return lacking ? kExitSomeDataSourceMissing : kExitSuccess;
  }

 private:
  [[nodiscard]] std::size_t Total() const {
    std::size_t total = 0;
    for (const auto& names : named_) total += names.size();
    return total;
  }
  [[nodiscard]] std::string Count(Condition condition) const {
    return std::to_string(named_[static_cast<int>(condition)].size());
  }

  void Warn(const std::string& text) {
    warnings_ += "warning: " + text + kLineEnd;
    ++warningCount_;
  }

  // Why Quillet might still not open a data source that is there: no driver, or no database.
  void WarnAbout(const SurveyedDataSource& each) {
    const std::string who = each.planned.spec.name + " (" + each.where + ")";
    // The 64-bit view's driver is loaded by 64-bit programs, which see the files unredirected.
    const bool nativeFiles = each.planned.view == &MdlODBC::kNativeView &&
                             survey_.Access().viewFlag != 0;
    const std::string driver = TextOf(each.reading, "Driver");
    if (!driver.empty() &&
        windows_.GetFileAttributesA(driver.c_str(), nativeFiles) == win::kInvalidFileAttributes) {
      Warn(who + ": driver file " + driver + " not found");
    }
    const std::string database = TextOf(each.reading, "DBQ");
    if (!database.empty() &&
        windows_.GetFileAttributesA(database.c_str(), nativeFiles) == win::kInvalidFileAttributes) {
      Warn(who + ": database " + database + " not found");
    }
    const auto* view = each.planned.view;
    if (std::find(viewsLooked_.begin(), viewsLooked_.end(), view) == viewsLooked_.end()) {
      viewsLooked_.push_back(view);
      if (!survey_.RegistryOf(*view).DriverRegistered()) {
        Warn(each.where + ": \"Microsoft Access Driver (*.mdb)\" is not registered in " +
             std::string(view->driverKey.substr(0, view->driverKey.rfind('\\'))));
      }
    }
  }

  win::WindowsApi& windows_;
  DataSourceSurvey survey_;
  std::string lines_;
  std::string warnings_;
  int warningCount_ = 0;
  int staging_ = 0;
  std::array<std::vector<std::string>, 5> named_;
  std::vector<const MdlODBC::RegistryView*> viewsLooked_;
};

}  // namespace

int RunCheck(win::WindowsApi& windows, const CommandLine& command) {
  std::string report;
  std::string summary;
  int exitCode = kExitSuccess;
  try {
    Checker checker(windows);
    checker.CheckAll();
    report = checker.Report();
    summary = checker.Summary();
    exitCode = checker.ExitCode();
  } catch (const std::exception& error) {
    report = std::string("The check could not be done: ") + error.what() + kLineEnd;
    summary = report;
    exitCode = kExitInstallFailure;
  }
  const bool printed = windows.WriteStandardOutput(report);
  if (command.logPath && !WriteLog(windows, *command.logPath, report)) {
    exitCode = kExitInstallFailure;
  }
  if (!printed) {
    windows.MessageBoxA(summary.c_str(), kTitle,
                        win::kMbOk | (exitCode == kExitSuccess ? win::kMbIconInformation
                                                               : win::kMbIconWarning));
  }
  return exitCode;
}

}  // namespace quillet
