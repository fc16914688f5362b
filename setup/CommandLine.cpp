#include "setup/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace quillet {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The switch's name in lower case, or nothing when the argument is not a switch.
std::optional<std::string> SwitchName(const std::string& argument) {
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
  return Lower(argument.substr(1));
}

bool IsQuietSwitch(const std::string& word) {
  const auto name = SwitchName(word);
  return name == "quiet" || name == "q";
}

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
  return name == "quiet" || name == "q" || name == "?" || name == "help" || name == "log" ||
         name == "repair" || name == "check" || name == "uninstall";
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
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto name = SwitchName(arguments[i]);
    if (name == "quiet" || name == "q") {
      command.quiet = true;
    } else if (name == "?" || name == "help") {
      command.help = true;
    } else if (name == "repair") {
      command.repair = true;
    } else if (name == "check") {
      command.check = true;
    } else if (name == "uninstall") {
      command.uninstall = true;
    } else if (name == "log" && i + 1 < arguments.size() && !arguments[i + 1].empty() &&
               !IsKnownSwitch(arguments[i + 1])) {
      command.logPath = arguments[++i];
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
  if (int{command.repair} + int{command.check} + int{command.uninstall} > 1 &&
      !command.notUnderstood) {
    command.notUnderstood = "/repair, /check and /uninstall are one at a time";
  }
  return command;
}

std::string UsageText() {
  return "QuilletSetup registers the ODBC data sources of the Quillet databases on this "
         "computer, for all users.\n\n"
         "Switches:\n"
         "  /quiet, /q\tno window and no message: for deployment tools\n"
         "  /log FILE\twrite what became of each data source to FILE\n"
         "  /repair\talso add what is missing from incomplete data sources\n"
         "  /check\treport every data source, change nothing (exit 0 all there, 1 some missing)\n"
         "  /uninstall\tremove the data sources that are still as this setup wrote them\n"
         "  /?, /help\tshow this text\n\n"
         "Exit codes: 0 every data source is registered, 1603 setup failed or a data source is "
         "incomplete, "
         "87 the command line was not understood.";
}

}  // namespace quillet
