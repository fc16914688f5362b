#include "setup/run/RunLock.h"

#include <exception>
#include <vector>

#include "platform/OpenFile.h"
#include "setup/ExitCodes.h"

namespace quillet {

std::string ProgramFolder(win::SystemApi& system) {
  std::string windows = system.WindowsDirectory();
  if (windows.empty()) return {};
  return windows + (windows.ends_with('\\') ? "" : "\\") + kProgramFolder;
}

RunLockResult RunLock::CouldNotMakeSure(win::Status error) {
  return {kExitInstallFailure,
          "This setup could not make sure that no other copy of it is running (" +
              system_.ErrorText(error) + "); it changed nothing.",
          false};
}

// A folder that was there before this program made it (on early Windows, %windir% let everyone
// change it) may let others create the lock file first: said, so that an administrator fixes it.
std::string RunLock::OthersWhoMayWrite(const std::string& folder) {
  win::OpenFile held(system_);
  std::vector<std::string> writers;
  if (system_.OpenFolder(folder, held.Receive()) != win::kErrorSuccess ||
      system_.OtherWriters(held.Get(), &writers) != win::kErrorSuccess || writers.empty()) {
    return {};
  }
  std::string names;
  for (const auto& writer : writers) names += (names.empty() ? "" : ", ") + writer;
  return "warning: the run lock's folder " + folder + " may also be written by " + names +
         "; only SYSTEM and the Administrators should, or they may make every run wait or fail";
}

void RunLock::Release() {
  if (held_ != 0) system_.CloseFile(held_);  // and Windows deletes the file
  held_ = 0;
}

RunLockResult RunLock::Take(const std::function<void()>& waiting) {
  const std::string programFolder = ProgramFolder(system_);
  const std::string lockFolder = programFolder + "\\" + kRunLockFolder;
  const std::string path = programFolder.empty() ? "" : lockFolder + "\\" + kRunLockFile;
  // Told by the token, never by an access denied, which a file being deleted gives too.
  if (!system_.IsElevated()) {
    return {kExitInstallFailure,
            "This setup needs administrator rights: only SYSTEM and the Administrators may take "
            "its run lock (" +
                path +
                ") and change the data sources. Run it elevated; it "
                "changed nothing.",
            true};
  }
  if (path.empty()) return CouldNotMakeSure(win::kErrorPathNotFound);
  win::Status status = system_.CreateAdministratorsFolder(programFolder);
  if (status == win::kErrorSuccess) status = system_.CreateAdministratorsFolder(lockFolder);
  std::string others;
  if (status == win::kErrorSuccess) {
    for (const auto& folder : {programFolder, lockFolder}) {
      const std::string said = OthersWhoMayWrite(folder);
      others += (others.empty() || said.empty() ? "" : "\r\n") + said;
    }
  }
  bool leftBehind = false;
  if (status == win::kErrorSuccess) status = system_.HoldLockFile(path, &held_, &leftBehind);
  // A file that another administrator's process (a virus scanner) still has open as the last run
  // lets it go is being deleted, and cannot be opened meanwhile: waited for like a run.
  const auto busy = [&] {
    return status == win::kErrorSharingViolation || status == win::kErrorAccessDenied;
  };
  for (std::uint32_t waited = 0; busy() && waited < kRunLockWaitMs; waited += kRunLockPollMs) {
    if (waited == 0 && waiting) {
      try {
        waiting();
      } catch (const std::exception&) {
        // Waiting matters more than the window that says so.
      }
    }
    system_.Pause(kRunLockPollMs);
    status = system_.HoldLockFile(path, &held_, &leftBehind);
  }
  switch (status) {
    case win::kErrorSuccess:
      return {
          kExitSuccess,
          others + (!others.empty() && leftBehind ? "\r\n" : "") +
              (leftBehind ? "The run lock " + path +
                                " was left by a run that ended without "
                                "letting it go (the computer lost power); this run took it over."
                          : std::string()),
          false};
    case win::kErrorSharingViolation:
      return {kExitAlreadyRunning,
              "Another copy of this setup has been running for " +
                  std::to_string(kRunLockWaitMs / 1000) +
                  " seconds; this one changed nothing. Run it again when that one has ended.",
              false};
    default: return CouldNotMakeSure(status);
  }
}

}  // namespace quillet
