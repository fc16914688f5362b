#pragma once
// What a run found and did, as the tools that collect it from a fleet read it: one JSON document
// on standard output (/json), and one event in the Application log for the modes that change a
// workstation.

#include <string>
#include <string_view>
#include <vector>

#include "odbc/MdlODBC.h"
#include "platform/WindowsTypes.h"
#include "setup/report/RunResult.h"

namespace quillet {

inline constexpr const char* kReportSchema = "quillet-setup-report/1";
inline constexpr std::size_t kSummaryLimit = 2048;

// What the run knows of itself and the machine, beside its result.
struct ReportFrame {
  std::string computer;
  std::string version;
  win::LocalDate started;
  bool sixtyFourBitWindows = true;
};

// "native" or "32-bit", as the document names a view.
std::string ViewWord(const MdlODBC::RegistryView& view);

// UTF-8 text as a JSON string, quotes included, escaping only what JSON requires (quotes,
// backslashes, control characters); a byte that is not part of valid UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view text);
// "2026-12-08T09:05:00+01:00".
std::string IsoTime(const win::LocalDate& date);
// The text on one line of at most `limit` bytes, cut at a character's start.
std::string OneLine(std::string_view text, std::size_t limit = kSummaryLimit);
// The run's summary line: the mode, the counts or why it did not do its work, and the result.
std::string SummaryLine(const RunResult& result, const ReportFrame& frame);
// The whole document, UTF-8, with a line end after it. `quilletView` is the view Quillet uses.
std::string ReportJson(const RunResult& result, const ReportFrame& frame,
                       const MdlODBC::RegistryView& quilletView);

}  // namespace quillet
