#include "setup/CommandLine.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/Application.h"
#include "platform/TextCase.h"
#include "setup/ExitCodes.h"

namespace quillet {
namespace {

enum class Switch { Quiet, Help, Log, Repair, Check, Uninstall, Json, Schedule, NoRestart };

// Every name the program understands, in lower case. The quiet ones include those of other
// installers that deployment tools pass out of habit: none of them may leave a run waiting for a
// person; /norestart is what they add out of habit too, and this program never restarts Windows.
constexpr std::pair<std::string_view, Switch> kSwitchNames[] = {
    {"quiet", Switch::Quiet},   {"q", Switch::Quiet},           {"silent", Switch::Quiet},
    {"s", Switch::Quiet},       {"verysilent", Switch::Quiet},  {"qn", Switch::Quiet},
    {"?", Switch::Help},        {"help", Switch::Help},         {"log", Switch::Log},
    {"repair", Switch::Repair}, {"check", Switch::Check},       {"uninstall", Switch::Uninstall},
    {"json", Switch::Json},     {"schedule", Switch::Schedule}, {"norestart", Switch::NoRestart},
};

// The switch an argument names, in any case, after "/", "-" or "--" (as other tools write long
// switches); none when it is not one.
std::optional<Switch> SwitchOf(const std::string& argument) {
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
  const std::size_t start = argument.starts_with("--") && argument.size() > 2 ? 2 : 1;
  const std::string name = win::LowerCase(argument.substr(start));
  for (const auto& [known, what] : kSwitchNames) {
    if (name == known) return what;
  }
  return std::nullopt;
}

// Whether a quiet switch stands anywhere in the argument, also where a quote swallowed it into
// another argument ("C:\Logs\" /quiet splits into one argument: C:\Logs" /quiet).
bool HoldsQuietSwitch(const std::string& argument) {
  std::string word;
  for (const char c : argument + ' ') {
    if (c == ' ' || c == '\t' || c == '"') {
      if (SwitchOf(word) == Switch::Quiet) return true;
      word.clear();
    } else {
      word += c;
    }
  }
  return false;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (c == '\\') {
      std::size_t slashes = 0;
      while (i < commandLine.size() && commandLine[i] == '\\') {
        ++slashes;
        ++i;
      }
      if (i < commandLine.size() && commandLine[i] == '"') {
        current.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          current += '"';
        } else {
          quoted = !quoted;
        }
      } else {
        current.append(slashes, '\\');
        --i;
      }
      inArgument = true;
    } else if (c == '"') {
      if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
        current += '"';  // "" inside quotes is a literal quote
        ++i;
      } else {
        quoted = !quoted;
      }
      inArgument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine command;
  int modes = 0;
  const auto chooseMode = [&](Mode mode) {
    modes += modes == 0 || mode != command.mode ? 1 : 0;
    command.mode = mode;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto named = SwitchOf(arguments[i]);
    switch (named.value_or(Switch::NoRestart)) {
      case Switch::Quiet: command.quiet = true; continue;
      case Switch::Help: command.help = true; continue;
      case Switch::Repair: chooseMode(Mode::Repair); continue;
      case Switch::Check: chooseMode(Mode::Check); continue;
      case Switch::Uninstall: chooseMode(Mode::Uninstall); continue;
      case Switch::Json: command.json = true; continue;
      case Switch::Schedule: command.schedule = true; continue;
      case Switch::Log:
        if (i + 1 < arguments.size() && !arguments[i + 1].empty() && !SwitchOf(arguments[i + 1])) {
          if (command.logPath && !command.notUnderstood) {
            command.notUnderstood = "/log " + arguments[i + 1] + " (a second log file; give one)";
          }
          if (!command.logPath) command.logPath = arguments[i + 1];
          ++i;
          continue;
        }
        break;
      case Switch::NoRestart:
        if (named) continue;
        break;
    }
    if (!command.notUnderstood) {
      command.notUnderstood = arguments[i];
      if (named == Switch::Log) *command.notUnderstood += " (without a file name)";
    }
  }
  for (const auto& argument : arguments)
    command.quiet = command.quiet || HoldsQuietSwitch(argument);
  if (command.logPath && command.logPath->find('"') != std::string::npos &&
      !command.notUnderstood) {
    command.notUnderstood =
        "/log " + *command.logPath +
        "\n\nA backslash right before a closing quote keeps the quote in the path, and what "
        "follows with it. Write a folder that ends in a backslash as \"C:\\Logs\\\\\" "
        "or leave the trailing backslash out";
  }
  if (modes > 1 && !command.notUnderstood) {
    command.notUnderstood = "/repair, /check and /uninstall are one at a time";
  }
  if (command.schedule && (command.mode == Mode::Check || command.mode == Mode::Uninstall) &&
      !command.notUnderstood) {
    command.notUnderstood = "/schedule goes with the plain run or /repair";
  }
  return command;
}

namespace {

struct UsageRow {
  std::string left;
  std::string right;
};

const std::vector<UsageRow> kSwitches = {
    {"/quiet, /q", "no window and no message: for deployment tools"},
    {"", "(/silent, /s, /verysilent, /qn and --quiet mean the same)"},
    {"/log FILE", "write what became of each data source to FILE"},
    {"", "(a folder, or a path ending in \\, gets QuilletSetup.log)"},
    {"/repair", "also complete incomplete data sources and mend old driver paths"},
    {"/check", "report every data source and change nothing"},
    {"/uninstall", "remove the data sources still as this setup wrote them"},
    {"/json", "write one JSON document of the run to standard output"},
    {"/schedule", "also register the task that runs this setup at every start and daily,"},
    {"", "so that each year's archive arrives by itself (from %windir%\\QuilletSetup)"},
    {"/norestart", "accepted; this setup never restarts Windows"},
    {"/?, /help", "show this text"},
};

std::vector<UsageRow> ExitCodeRows() {
  std::vector<UsageRow> rows;
  for (const auto& meaning : kExitCodes) {
    rows.push_back({std::to_string(meaning.code), std::string(meaning.usage)});
  }
  return rows;
}

// Rows in two columns lined up with spaces, which every font and every console keeps.
std::string Columns(const std::vector<UsageRow>& rows) {
  std::size_t width = 0;
  for (const auto& row : rows) width = std::max(width, row.left.size());
  std::string text;
  for (const auto& row : rows) {
    text += "  " + row.left + std::string(width - row.left.size() + 2, ' ') + row.right + "\n";
  }
  return text;
}

}  // namespace

std::string UsageText() {
  return std::string("QuilletSetup ") + app::kVersion +
         " registers the ODBC data sources of the Quillet databases on this computer, for all "
         "users.\n\nSwitches:\n" +
         Columns(kSwitches) + "\nExit codes:\n" + Columns(ExitCodeRows());
}

}  // namespace quillet
