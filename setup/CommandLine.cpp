#include "setup/CommandLine.h"

#include <algorithm>

#include "platform/Application.h"
#include "platform/TextCase.h"

namespace quillet {
namespace {

// The switch's name in lower case, or nothing when the argument is not a switch. "--" is taken
// as "-", as other tools write long switches.
std::optional<std::string> SwitchName(const std::string& argument) {
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
  const std::size_t start = argument.starts_with("--") && argument.size() > 2 ? 2 : 1;
  return win::LowerCase(argument.substr(start));
}

// The program's own quiet switches, and those of other installers that deployment tools pass out
// of habit: none of them may leave a run waiting for a person.
bool IsQuietName(const std::optional<std::string>& name) {
  static constexpr const char* kQuietNames[] = {"quiet", "q", "silent", "s", "verysilent", "qn"};
  return name && std::any_of(std::begin(kQuietNames), std::end(kQuietNames),
                             [&](const char* quiet) { return *name == quiet; });
}

bool IsQuietSwitch(const std::string& word) { return IsQuietName(SwitchName(word)); }

// Whether a quiet switch stands anywhere in the argument, also where a quote swallowed it into
// another argument ("C:\Logs\" /quiet splits into one argument: C:\Logs" /quiet).
bool HoldsQuietSwitch(const std::string& argument) {
  std::string word;
  for (const char c : argument + ' ') {
    if (c == ' ' || c == '\t' || c == '"') {
      if (IsQuietSwitch(word)) return true;
      word.clear();
    } else {
      word += c;
    }
  }
  return false;
}

bool IsKnownSwitch(const std::string& argument) {
  const auto name = SwitchName(argument);
  return IsQuietName(name) || name == "?" || name == "help" || name == "log" ||
         name == "repair" || name == "check" || name == "uninstall" || name == "norestart" || name == "json";
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
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto name = SwitchName(arguments[i]);
    if (IsQuietName(name)) {
      command.quiet = true;
    } else if (name == "?" || name == "help") {
      command.help = true;
    } else if (name == "repair" || name == "check" || name == "uninstall") {
      const Mode mode = name == "repair" ? Mode::Repair : name == "check" ? Mode::Check : Mode::Uninstall;
      modes += modes == 0 || mode != command.mode ? 1 : 0;
      command.mode = mode;
    } else if (name == "json") {
      command.json = true;
    } else if (name == "norestart") {
      // What deployment tools add out of habit: this program never restarts Windows.
    } else if (name == "log" && i + 1 < arguments.size() && !arguments[i + 1].empty() &&
               !IsKnownSwitch(arguments[i + 1])) {
      if (command.logPath && !command.notUnderstood) {
        command.notUnderstood = "/log " + arguments[i + 1] + " (a second log file; give one)";
      }
      if (!command.logPath) command.logPath = arguments[i + 1];
      ++i;
    } else if (!command.notUnderstood) {
      command.notUnderstood = arguments[i];
      if (name == "log") *command.notUnderstood += " (without a file name)";
    }
  }
  for (const auto& argument : arguments) command.quiet = command.quiet || HoldsQuietSwitch(argument);
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
  return command;
}

namespace {

struct UsageRow {
  const char* left;
  const char* right;
};

constexpr UsageRow kSwitches[] = {
    {"/quiet, /q", "no window and no message: for deployment tools"},
    {"", "(/silent, /s, /verysilent, /qn and --quiet mean the same)"},
    {"/log FILE", "write what became of each data source to FILE"},
    {"", "(a folder, or a path ending in \\, gets QuilletSetup.log)"},
    {"/repair", "also complete incomplete data sources and mend old driver paths"},
    {"/check", "report every data source and change nothing"},
    {"/uninstall", "remove the data sources still as this setup wrote them"},
    {"/json", "write one JSON document of the run to standard output"},
    {"/norestart", "accepted; this setup never restarts Windows"},
    {"/?, /help", "show this text"},
};

constexpr UsageRow kExitCodes[] = {
    {"0", "done: every data source is there (/check: all complete)"},
    {"1", "/check: something to do (missing, incomplete, old driver path)"},
    {"87", "the command line was not understood; nothing was changed"},
    {"1602", "/uninstall: the user answered No"},
    {"1603", "failed: a data source or the check (the log says why)"},
    {"1618", "another copy was still running after a minute: retry later"},
    {"1622", "the log could not be written; nothing was changed"},
};

// Rows in two columns lined up with spaces, which every font and every console keeps.
template <std::size_t N>
std::string Columns(const UsageRow (&rows)[N]) {
  std::size_t width = 0;
  for (const auto& row : rows) width = std::max(width, std::string(row.left).size());
  std::string text;
  for (const auto& row : rows) {
    const std::string left = row.left;
    text += "  " + left + std::string(width - left.size() + 2, ' ') + row.right + "\n";
  }
  return text;
}

}  // namespace

std::string UsageText() {
  return std::string("QuilletSetup ") + app::kVersion +
         " registers the ODBC data sources of the Quillet databases on this computer, for all "
         "users.\n\nSwitches:\n" +
         Columns(kSwitches) + "\nExit codes:\n" + Columns(kExitCodes);
}

}  // namespace quillet
