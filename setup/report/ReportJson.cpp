#include "setup/report/ReportJson.h"

#include "setup/report/ResultText.h"

#include <cstdio>
#include <map>

namespace quillet {
namespace {

// The length of the valid UTF-8 sequence that starts at `at`, or 0.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  else
    return 0;
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // No overlong forms, no surrogates, nothing beyond U+10FFFF.
  if (lead == 0xE0 && byte(at + 1) < 0xA0) return 0;
  if (lead == 0xED && byte(at + 1) > 0x9F) return 0;
  if (lead == 0xF0 && byte(at + 1) < 0x90) return 0;
  if (lead == 0xF4 && byte(at + 1) > 0x8F) return 0;
  return length;
}

std::string Escaped(unsigned code) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", code);
  return text;
}

std::string Strings(const std::vector<std::string>& texts) {
  std::string json = "[";
  for (const auto& text : texts) json += (json.size() > 1 ? ", " : "") + JsonString(text);
  return json + "]";
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t length = Utf8Length(text, at);
    if (length == 0) {
      json += "\xEF\xBF\xBD";  // U+FFFD: the document stays UTF-8, whatever it was given
      ++at;
      continue;
    }
    if (length > 1) {
      json.append(text.substr(at, length));
    } else if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (c == '\n') {
      json += "\\n";
    } else if (c == '\r') {
      json += "\\r";
    } else if (c == '\t') {
      json += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      json += Escaped(static_cast<unsigned char>(c));
    } else {
      json += c;
    }
    at += length;
  }
  return json + "\"";
}

std::string IsoTime(const win::LocalDate& date) {
  const int offset = date.utcOffsetMinutes < 0 ? -date.utcOffsetMinutes : date.utcOffsetMinutes;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", date.year,
                date.month, date.day, date.hour, date.minute, date.second,
                date.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string OneLine(std::string_view text, std::size_t limit) {
  std::string line;
  for (const char c : text) line += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
  if (line.size() <= limit) return line;
  std::size_t cut = limit - 3;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  return line.substr(0, cut) + "...";
}

std::string ViewWord(const MdlODBC::RegistryView& view) {
  return &view == &MdlODBC::kNativeView ? "native" : "32-bit";
}

std::string SummaryLine(const RunResult& result, const ReportFrame& frame) {
  const std::string mode = result.mode ? std::string(" ") + ModeWord(*result.mode) : "";
  return OneLine("QuilletSetup" + mode + " on " + frame.computer + ": " + Summary(result) +
                 "; result: " + ResultWords(result.exitCode) + ", exit code " +
                 std::to_string(result.exitCode));
}

std::string ReportJson(const RunResult& result, const ReportFrame& frame,
                       const MdlODBC::RegistryView& quilletView) {
  std::map<std::string, int> counts;
  std::string sources;
  for (const auto& each : result.rows) {
    const std::string state = StateWord(each.state);
    ++counts[state];
    sources +=
        std::string(sources.empty() ? "" : ",") + "\n    {\"name\": " + JsonString(each.name) +
        ", \"view\": " + JsonString(ViewWord(*each.view)) + ", \"state\": " + JsonString(state);
    if (!each.missing.empty()) sources += ", \"missing\": " + Strings(each.missing);
    if (!each.differs.empty()) sources += ", \"differs\": " + Strings(each.differs);
    if (!each.failure.empty()) sources += ", \"reason\": " + JsonString(each.Reason());
    sources += "}";
  }
  std::string countsJson;
  for (const auto& [state, count] : counts) {
    countsJson +=
        (countsJson.empty() ? "" : ", ") + JsonString(state) + ": " + std::to_string(count);
  }
  const std::string installed = !result.accessDriverInstalled   ? "null"
                                : *result.accessDriverInstalled ? "true"
                                                                : "false";
  return "{\n  \"schema\": " + JsonString(kReportSchema) +
         ",\n  \"computer\": " + JsonString(frame.computer) +
         ",\n  \"version\": " + JsonString(frame.version) +
         ",\n  \"time\": " + JsonString(IsoTime(frame.started)) +
         ",\n  \"mode\": " + (result.mode ? JsonString(ModeWord(*result.mode)) : "null") +
         ",\n  \"exitCode\": " + std::to_string(result.exitCode) +
         ",\n  \"result\": " + JsonString(ResultWords(result.exitCode)) +
         ",\n  \"summary\": " + JsonString(SummaryLine(result, frame)) +
         ",\n  \"windows\": {\"sixtyFourBit\": " + (frame.sixtyFourBitWindows ? "true" : "false") +
         "}" + ",\n  \"accessDriver\": {\"view\": " + JsonString(ViewWord(quilletView)) +
         ", \"installed\": " + installed + "}" +
         ",\n  \"task\": " + (result.task ? JsonString(result.task->word) : "null") +
         ",\n  \"dataSources\": [" + sources + (sources.empty() ? "]" : "\n  ]") +
         ",\n  \"counts\": {" + countsJson + "}" +
         ",\n  \"warnings\": " + Strings(result.warnings) + "\n}\n";
}

}  // namespace quillet
