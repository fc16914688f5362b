#include "setup/Program.h"

#include <exception>
#include <optional>
#include <string>

#include "platform/Application.h"
#include "platform/QuietWindows.h"
#include "setup/CommandLine.h"
#include "setup/ExitCodes.h"
#include "setup/frmMessage.h"
#include "setup/frmQuillet.h"
#include "setup/modes/CheckMode.h"
#include "setup/modes/InstallMode.h"
#include "setup/modes/ScheduledTask.h"
#include "setup/modes/UninstallMode.h"
#include "setup/report/Conclusion.h"
#include "setup/report/RunLog.h"
#include "setup/run/RunLock.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"

namespace quillet {
namespace {

CommandLine ReadCommandLine(win::WindowsApi& windows) {
  auto arguments = SplitCommandLine(windows.System().GetCommandLineW());
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's own name
  return ParseCommandLine(arguments);
}

// One run, from its plan to its conclusion.
class Run {
 public:
  // `windows`' screen is the quiet one where no one may be asked anything.
  Run(win::WindowsApi& windows, const CommandLine& command)
      : windows_(windows),
        command_(command),
        plan_(StartRun(windows.Registry(), windows.System())),
        registries_(windows.Registry(), windows.System(), plan_.access),
        lock_(windows.System()),
        log_(windows.System()),
        conclusion_(windows.System(), log_, plan_, command.json, Interactive(), [this] {
          registries_.Close();
          lock_.Release();
        }) {}

  int Start(bool unseen);

 private:
  // The one place the run's boxes are shown.
  int Conclude(const RunResult& result) {
    const Concluded& concluded = conclusion_.Conclude(result);
    for (const auto& box : concluded.boxes) {
      windows_.Screen().MessageBoxA(box.text.c_str(), box.caption.c_str(), box.type);
    }
    return concluded.exitCode;
  }
  int Refuse(int exitCode, std::string why, std::string shown = {}) {
    return Conclude(Refusal(command_.mode, exitCode, std::move(why), std::move(shown)));
  }
  bool Interactive() { return windows_.Screen().IsDesktopVisible(); }
  int RunTheMode();
  int Setup(const std::string& unsafeProgramFolder);
  bool AnswersNoToTheRemoval();

  win::WindowsApi& windows_;
  const CommandLine& command_;
  RunPlan plan_;
  ViewRegistries registries_;
  RunLock lock_;
  RunLog log_;
  Conclusion conclusion_;
};

int Run::Start(bool unseen) {
  win::SystemApi& system = windows_.System();
  // Before any file or registry work of the run: junctions a standard user made are not followed.
  const win::Status trust = system.TrustOnlyAdministratorsRedirections();
  conclusion_.Note(trust == win::kErrorSuccess
                       ? "Junctions and links made by non-administrators are not followed "
                         "(redirection trust)."
                       : "Redirection trust is not available here (" + system.ErrorText(trust) +
                             ").");
  // Before anything changes: a run that cannot keep its record changes nothing. /check's exit
  // code tells the workstation's state alone, and it says where the report goes that it has no log.
  std::optional<std::string> logFailure;
  if (command_.logPath) {
    logFailure =
        log_.Start(*command_.logPath, LogHeader(system, plan_.started, plan_.lastArchiveYear));
  }
  if (command_.notUnderstood) {
    const std::string reason = "This argument is not understood: " + *command_.notUnderstood;
    return Conclude(
        Refusal(std::nullopt, kExitBadCommandLine, reason, reason + "\n\n" + UsageText()));
  }
  if (logFailure && command_.mode != Mode::Check) {
    log_.Abandon();  // said once, here
    return Refuse(kExitLogFailure, *logFailure + " Nothing was changed.");
  }
  if (unseen) {
    conclusion_.Note(
        "No one can see this session's screen (its window station is not visible, as "
        "in a service or session 0): the run is quiet, as with /quiet.");
  }
  try {
    PlanRun(plan_, windows_.Registry());
    return RunTheMode();
  } catch (const std::exception& error) {
    if (conclusion_.Done()) {
      conclusion_.After(error.what());
      return conclusion_.ExitCode();
    }
    return Refuse(kExitInstallFailure,
                  std::string("Setup stopped by an unexpected error: ") + error.what());
  }
}

// The question comes before the lock, from a reading without it, so that no other run waits while
// it is open; what is removed is decided again under the lock, from what is there then.
bool Run::AnswersNoToTheRemoval() {
  const int removable = CountRemovable(plan_, registries_, windows_.System());
  registries_.Close();
  if (removable == 0) return false;
  const std::string question =
      "Remove the " + std::to_string(removable) + " Quillet data sources this setup registered?";
  return windows_.Screen().MessageBoxA(question.c_str(), kInstallationTitle,
                                       win::kMbYesNo | win::kMbIconQuestion) != win::kIdYes;
}

int Run::RunTheMode() {
  if (command_.mode == Mode::Uninstall && Interactive() && AnswersNoToTheRemoval()) {
    return Refuse(kExitUserDeclined, "The user answered No: nothing was removed.");
  }
  win::SystemApi& system = windows_.System();
  if (command_.mode == Mode::Check || command_.mode == Mode::Uninstall || command_.schedule) {
    WaitForTaskScheduler(system);
  }
  std::optional<frmMessage> waiting;
  const RunLockResult taken = lock_.Take(
      [&] {
        if (!Interactive()) return;
        waiting.emplace(windows_.Screen(), kWaitingCaption);
        waiting->Show(windows_.Screen().GetWorkArea());
        waiting->Refresh();
      },
      command_.mode != Mode::Check);
  waiting.reset();
  // A detection rule a standard user runs (a help-desk technician) reads without the lock; the
  // modes that write could not write anyway.
  const bool unlocked = taken.notElevated && command_.mode == Mode::Check;
  if (taken.exitCode != kExitSuccess && !unlocked) return Refuse(taken.exitCode, taken.note);
  if (!taken.note.empty() && !unlocked) conclusion_.Note(taken.note);
  switch (command_.mode) {
    case Mode::Check:
      return Conclude(RunCheck(plan_, registries_, system, unlocked, lock_.Unsafe()));
    case Mode::Uninstall: return Conclude(RunUninstall(plan_, registries_, system, lock_.Unsafe()));
    case Mode::Install:
    case Mode::Repair: break;
  }
  return Setup(lock_.Unsafe());
}

// The plain run and /repair have the main window as their face.
int Run::Setup(const std::string& unsafeProgramFolder) {
  RunResult installed;
  installed.mode = command_.mode;
  frmQuillet mainWindow(windows_);
  try {
    mainWindow.Load(
        [&] {
          installed = RunInstall(plan_, registries_, windows_.Registry(), windows_.System(),
                                 command_.mode, command_.schedule, unsafeProgramFolder);
        },
        [&] { Conclude(installed); });
  } catch (const std::exception& error) {
    if (conclusion_.Done()) {
      conclusion_.After(error.what());
    } else {
      installed.stoppedBy = error.what();
      installed.failure = std::string("Setup stopped: ") + error.what();
      installed.exitCode = kExitInstallFailure;
      Conclude(installed);
    }
  }
  return conclusion_.ExitCode();
}

int RunCommand(win::WindowsApi& system, const CommandLine& command) {
  // Where no one can see the screen (session 0, a service), a box would wait for ever.
  const bool unseen = !command.quiet && !system.Screen().IsDesktopVisible();
  win::QuietWindows quiet(system);
  win::WindowsApi& windows = command.quiet || unseen ? quiet : system;
  if (command.help && !command.notUnderstood) {
    std::string text = UsageText();
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
      text.insert(at, "\r");
    }
    if (!windows.System().WriteStandardOutput(text)) {
      windows.Screen().MessageBoxA(UsageText().c_str(), app::kTitle,
                                   win::kMbOk | win::kMbIconInformation);
    }
    return kExitSuccess;
  }
  Run run(windows, command);
  return run.Start(unseen);
}

}  // namespace

int RunProgram(win::WindowsApi& system) {
  try {
    return RunCommand(system, ReadCommandLine(system));
  } catch (...) {
    // Nothing ends the program abnormally: a deployment tool reads "failed".
    try {
      system.System().WriteStandardError(
          "QuilletSetup: stopped by an unexpected error (exit code 1603)\r\n");
    } catch (...) {
      // The exit code still tells.
    }
    return kExitInstallFailure;
  }
}

}  // namespace quillet
