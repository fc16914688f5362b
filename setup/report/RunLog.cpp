#include "setup/report/RunLog.h"

#include <cstdio>

#include "platform/Application.h"
#include "setup/report/ResultText.h"
#include "setup/run/QuilletDataSources.h"

namespace quillet {

std::string LogHeader(win::SystemApi& system, const win::LocalDate& started,
                      std::int16_t lastArchiveYear) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", started.year, started.month,
                started.day, started.hour, started.minute, started.second);
  const std::string years = lastArchiveYear < kFirstArchiveYear
                                ? "no archive years"
                                : "archive years " + std::to_string(kFirstArchiveYear) + "-" +
                                      std::to_string(lastArchiveYear);
  return std::string("QuilletSetup ") + app::kVersion + " on " + system.GetComputerNameW() + ", " +
         stamp + ", " + years + ", command line: " + system.GetCommandLineW() + kLineEnd;
}

std::optional<std::string> RunLog::Start(const std::string& requested, const std::string& header) {
  requested_ = requested;
  const std::string target = LogFile::TargetFor(system_, requested);
  win::Status status = target.empty() ? win::kErrorInvalidParameter : file_.Create(target);
  if (status == win::kErrorSuccess) {
    status = file_.Append(header + "Log file: " + target + kLineEnd);
  }
  if (status == win::kErrorSuccess) {
    // Not a refusal: the folder is the administrator's choice, but whoever else may write there
    // may prepare what the log's name meets next time.
    std::vector<std::string> others;
    const win::Status security = file_.OtherWriters(&others);
    const std::string advice =
        "; keep the log in a folder only administrators can write, such as "
        "%windir%\\Logs";
    if (security != win::kErrorSuccess) {
      text_ += "warning: who may write in the log's folder could not be read (" +
               system_.ErrorText(security) + ")" + advice + kLineEnd;
    } else if (!others.empty()) {
      text_ +=
          "warning: the log's folder may also be written by " + Joined(others) + advice + kLineEnd;
    }
    return std::nullopt;
  }
  if (file_.IsOpen()) file_.Discard();
  const std::string why = status == win::kErrorStoppedOnSymlink
                              ? "its folder, or a folder above it, is a link or junction; write "
                                "the log to a folder reached without one."
                              : system_.ErrorText(status);
  startFailure_ = "The log file " + requested + " could not be written: " + why;
  return startFailure_;
}

void RunLog::Add(const std::string& lines) { text_ += lines; }

std::optional<std::string> RunLog::Finish(int exitCode) {
  if (finished_ || !requested_) return std::nullopt;
  finished_ = true;
  if (startFailure_) return startFailure_;
  const std::string where = "The log file " + file_.Target();
  win::Status status = file_.Append(text_ + "Result: " + ResultWords(exitCode) + ", exit code " +
                                    std::to_string(exitCode) + kLineEnd);
  if (status == win::kErrorSuccess) {
    status = file_.PutInPlace();
  } else {
    file_.Close();
  }
  if (status == win::kErrorSuccess) return std::nullopt;
  if (status == win::kErrorStoppedOnSymlink) {
    // Someone gave the new file another name meanwhile: what it holds is no longer ours to keep.
    const win::Status deleted = file_.Discard();
    return where + " was not written: its new file was linked elsewhere while it was written" +
           (deleted == win::kErrorSuccess
                ? ", and was deleted."
                : "; it could not be deleted (" + system_.ErrorText(deleted) +
                      "): " + file_.Current());
  }
  return where + " could not be put in place (" + system_.ErrorText(status) +
         "); the log of this run is kept as " + file_.Current();
}

}  // namespace quillet
