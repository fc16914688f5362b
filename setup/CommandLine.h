#pragma once
// The switches the program understands, for unattended deployment.

#include <optional>
#include <string>
#include <vector>

#include "setup/report/RunResult.h"

namespace quillet {

struct CommandLine {
  bool quiet = false;  // /quiet, /q: no window and no message box at all
  bool help = false;   // /?, /help
  // /repair: complete incomplete data sources; /check: report where the machine stands, change
  // nothing; /uninstall: remove what is still as this program wrote it.
  Mode mode = Mode::Install;
  bool json = false;      // /json: a JSON document on standard output instead
  bool schedule = false;  // /schedule: with the plain run or /repair, the scheduled task too
  std::optional<std::string> logPath;        // /log FILE
  std::optional<std::string> notUnderstood;  // the first argument that is not a switch above
};

// The arguments of a Windows command line, split as the C runtime splits them (quotes group,
// backslashes escape only quotes); the program's own name is the first.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Reads the arguments after the program's name. Switches begin with "/" or "-", in any case.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// What /? shows.
std::string UsageText();

}  // namespace quillet
