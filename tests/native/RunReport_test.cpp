// What a fleet's tools collect: the JSON document of a run and its event in the Application log.

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/report/EventSource.h"
#include "setup/ExitCodes.h"
#include "setup/Program.h"
#include "setup/report/ReportJson.h"
#include "tests/support/AnsiCodePage.h"
#include "tests/support/FakeWindows.h"

namespace {

using win::AppendUtf8;

// Whether the bytes are UTF-8 as RFC 3629 has it: no overlong forms, surrogates or codes past U+10FFFF.
bool IsUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF               ? 3
                               : lead >= 0xF0 && lead <= 0xF4               ? 4
                                                                            : 0;
    if (length == 0 || at + length > text.size()) return false;
    unsigned code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
      if ((byte(at + i) & 0xC0) != 0x80) return false;
      code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
    at += length;
  }
  return true;
}

// What a JSON reader makes of a string the program wrote; nothing when it is not one.
std::optional<std::string> Read(const std::string& json) {
  if (json.size() < 2 || json.front() != '"' || json.back() != '"') return std::nullopt;
  std::string text;
  for (std::size_t at = 1; at + 1 < json.size(); ++at) {
    const char c = json[at];
    if (c == '"' || static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    if (c != '\\') {
      text += c;
      continue;
    }
    const char escape = json.at(++at);
    if (escape == 'u') {
      AppendUtf8(text, static_cast<unsigned>(std::stoul(json.substr(at + 1, 4), nullptr, 16)));
      at += 4;
    } else {
      const std::string plain = "\"\\/bfnrt";
      const std::string meant = "\"\\/\b\f\n\r\t";
      if (plain.find(escape) == std::string::npos) return std::nullopt;
      text += meant[plain.find(escape)];
    }
  }
  return text;
}

// Names and paths may hold any character: what a reader gets back is the text itself.
RC_GTEST_PROP(JsonString, AnyTextReadsBackAsItself, ()) {
  const auto codes = *rc::gen::container<std::vector<unsigned>>(rc::gen::oneOf(
      rc::gen::inRange(0u, 0x80u), rc::gen::inRange(0x80u, 0xD800u), rc::gen::inRange(0xE000u, 0x110000u)));
  std::string text;
  for (const unsigned code : codes) AppendUtf8(text, code);
  const std::string json = quillet::JsonString(text);
  RC_ASSERT(Read(json) == std::optional<std::string>(text));
  // Only what JSON requires is escaped: anything else is written as it is.
  const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  });
  RC_ASSERT(!plain || json == "\"" + text + "\"");
}

// Bytes that are not UTF-8 still make a valid UTF-8 document a reader takes.
RC_GTEST_PROP(JsonString, AnyBytesMakeAStringAReaderTakes, (const std::string& bytes)) {
  const auto read = Read(quillet::JsonString(bytes));
  RC_ASSERT(read.has_value());
  RC_ASSERT(IsUtf8(quillet::JsonString(bytes)));
}

TEST(OneLine, IsOneLineWithinTheLimitCutAtACharacter) {
  const std::string long_ = std::string(2046, 'a') + "\xC3\xA9\xC3\xA9 and\r\nmore";
  const std::string line = quillet::OneLine(long_);
  EXPECT_LE(line.size(), quillet::kSummaryLimit);
  EXPECT_EQ(line, std::string(2045, 'a') + "...");
  EXPECT_EQ(quillet::OneLine("a\r\nb"), "a  b");
  EXPECT_EQ(quillet::IsoTime({2026, 12, 8, 9, 5, 0, -330}), "2026-12-08T09:05:00-05:30");
}

struct EventCase {
  const char* arguments;
  void (*arrange)(win::FakeWindows&);
  int exitCode;
  int events;  // 0 for /check
  win::EventKind kind;
  std::uint32_t id;
  bool source;  // the Application log's source is registered afterwards
};

void InstalledAlready(win::FakeWindows& w) {
  w.System().SetCommandLine("QuilletSetup.exe /quiet");
  quillet::RunProgram(w);
  w.ClearCalls();
}

// One event per run of a mode that changes the workstation, and the source registered where
// Windows looks for it; /check, which detection runs every hour, writes none.
TEST(ApplicationLog, OneEventPerRunThatChangesTheWorkstation) {
  const EventCase cases[] = {
      {"/quiet", nullptr, 0, 1, win::EventKind::Information, quillet::kEventSucceeded, true},
      {"/repair /quiet", nullptr, 0, 1, win::EventKind::Information, quillet::kEventSucceeded, true},
      {"/check /quiet", nullptr, 1, 0, win::EventKind::Information, 0, false},
      {"/quiet",
       [](win::FakeWindows& w) { w.Registry().DenyWriteAccess("SOFTWARE\\ODBC\\ODBC.INI"); },
       quillet::kExitInstallFailure, 1, win::EventKind::Warning, quillet::kEventPartly, true},
      {"/quiet", [](win::FakeWindows& w) { w.System().OtherRunHoldsTheLock(-1); },
       quillet::kExitAlreadyRunning, 1, win::EventKind::Error, quillet::kEventFailed, false},
      {"/uninstall /quiet", InstalledAlready, 0, 1, win::EventKind::Information, quillet::kEventSucceeded, true},
      // Answered No: nothing changed, as asked.
      {"/uninstall",
       [](win::FakeWindows& w) {
         InstalledAlready(w);
         w.Screen().AnswerMessageBoxes(win::kIdNo);
       },
       quillet::kExitUserDeclined, 1, win::EventKind::Information, quillet::kEventSucceeded, true},
      // A deployment with a wrong command line is a failure an administrator must see.
      {"/chekc /quiet", nullptr, quillet::kExitBadCommandLine, 1, win::EventKind::Error,
       quillet::kEventFailed, false},
      {"/quiet",
       [](win::FakeWindows& w) {
         w.FailAt({"WriteEvent"}, win::kErrorAccessDenied);  // changes nothing but the log
       },
       0, 1, win::EventKind::Information, quillet::kEventSucceeded, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    win::FakeWindows windows;
    windows.System().SetLocalDate({2003, 6, 15});
    if (c.arrange != nullptr) c.arrange(windows);
    windows.System().SetCommandLine(std::string("QuilletSetup.exe ") + c.arguments + " /log C:\\e.log");
    EXPECT_EQ(quillet::RunProgram(windows), c.exitCode);
    const auto events = windows.CallsOf("WriteEvent");
    ASSERT_EQ(static_cast<int>(events.size()), c.events);
    if (events.empty()) continue;
    EXPECT_EQ(events[0].caption, "QuilletSetup");
    EXPECT_EQ(events[0].type, static_cast<std::uint32_t>(c.kind));
    EXPECT_EQ(events[0].number, c.id);
    EXPECT_NE(events[0].valueName.find(", exit code " + std::to_string(c.exitCode) + "\r\nLog: C:\\e.log"),
              std::string::npos) << events[0].valueName;
    EXPECT_EQ(windows.Registry().KeyExists(quillet::kEventSourceKey), c.source);
    if (c.source) {
      EXPECT_EQ(windows.Registry().Value(quillet::kEventSourceKey, "EventMessageFile")->type, win::kRegExpandSz);
    }
  }
}

// The events already written stay readable: /uninstall keeps the source. Another program's source
// of the same name is never this program's to change.
TEST(ApplicationLog, TheSourceStaysAfterUninstallAndAnotherProgramsIsLeftAlone) {
  win::FakeWindows windows;
  windows.System().SetLocalDate({2003, 6, 15});
  windows.System().SetCommandLine("QuilletSetup.exe /quiet");
  ASSERT_EQ(quillet::RunProgram(windows), 0);
  windows.System().SetCommandLine("QuilletSetup.exe /uninstall /quiet");
  ASSERT_EQ(quillet::RunProgram(windows), 0);
  EXPECT_FALSE(windows.Registry().KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Quillet2002-R"));
  EXPECT_TRUE(windows.Registry().KeyExists(quillet::kEventSourceKey));

  win::FakeWindows other;
  other.Registry().CreateKey(quillet::kEventSourceKey);
  other.Registry().SetString(quillet::kEventSourceKey, "EventMessageFile", "C:\\Other\\messages.dll");
  const auto before = other.Registry().Values(quillet::kEventSourceKey);
  other.System().SetCommandLine("QuilletSetup.exe /quiet /log C:\\other.log");
  ASSERT_EQ(quillet::RunProgram(other), 0);
  EXPECT_EQ(other.Registry().Values(quillet::kEventSourceKey),
            before);
  EXPECT_NE(other.System().Files().at("C:\\other.log").find(
                "The Application log's source \"QuilletSetup\" is another program's; it was left as it is."),
            std::string::npos);
}

// The document lists every data source in the state its mode gives it, and counts that agree.
TEST(JsonReport, NamesEachDataSourceInItsStateAndCountsThem) {
  win::FakeWindows windows;
  windows.System().SetLocalDate({2003, 6, 15});
  windows.System().SetCommandLine("QuilletSetup.exe /quiet");
  ASSERT_EQ(quillet::RunProgram(windows), 0);
  const std::string wow = "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI\\";
  windows.Registry().SetString(wow + "Quillet-R", "DBQ", "D:\\Custom \"quoted\".mdb");
  windows.Registry().RemoveValue(wow + "Quillet-S\\Engines\\Jet", "Threads");
  windows.Registry().SetString(wow + "Quillet-S1", "Driver", "C:\\WinNT\\System32\\odbcjt32.dll");
  windows.Registry().RemoveKey("SOFTWARE\\ODBC\\ODBC.INI\\Quillet2002-S");
  windows.System().GiveStandardOutput();
  windows.System().SetCommandLine("QuilletSetup.exe /check /json");
  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitSomethingToDo);
  const std::string json = *windows.System().StandardOutput();
  for (const char* expected :
       {"\"schema\": \"quillet-setup-report/1\"", "\"mode\": \"check\"", "\"exitCode\": 1",
        "\"result\": \"something to do\"", "\"time\": \"2003-06-15T00:00:00+00:00\"",
        "{\"name\": \"Quillet-R\", \"view\": \"32-bit\", \"state\": \"customised\", \"differs\": [\"DBQ\"]}",
        "{\"name\": \"Quillet-S\", \"view\": \"32-bit\", \"state\": \"incomplete\", \"missing\": "
        "[\"Engines\\\\Jet\\\\Threads\"]}",
        "{\"name\": \"Quillet-S1\", \"view\": \"32-bit\", \"state\": \"earlier-driver\"}",
        "{\"name\": \"Quillet2002-S\", \"view\": \"native\", \"state\": \"missing\"}",
        "\"counts\": {\"complete\": 11, \"customised\": 1, \"earlier-driver\": 1, \"incomplete\": 1, "
        "\"missing\": 1}",
        "\"accessDriver\": {\"view\": \"32-bit\", \"installed\": false}"}) {
    EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
  }
  EXPECT_EQ(json.find("Quillet-R (32-bit-on-64-bit view): "), std::string::npos) << "no text report";
  EXPECT_EQ(windows.CountCalls("MessageBoxA"), 0);
}

// A command line not understood ran no mode, and its summary says what was not understood.
TEST(JsonReport, ACommandLineNotUnderstoodNamesNoMode) {
  win::FakeWindows windows;
  windows.System().GiveStandardOutput();
  windows.System().SetCommandLine("QuilletSetup.exe /chekc /quiet /json");
  EXPECT_EQ(quillet::RunProgram(windows), quillet::kExitBadCommandLine);
  const std::string json = *windows.System().StandardOutput();
  for (const char* expected :
       {"\"mode\": null", "\"exitCode\": 87",
        "\"summary\": \"QuilletSetup on WORKSTATION-7: This argument is not understood: /chekc; "
        "result: command line not understood, exit code 87\"",
        "\"installed\": null", "\"dataSources\": []"}) {
    EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
  }
}

}  // namespace
