#include "setup/run/RunLock.h"

#include <exception>
#include <vector>

#include "platform/OpenFile.h"
#include "platform/TextCase.h"
#include "setup/ExitCodes.h"

namespace quillet {

std::string ProgramFolder(win::SystemApi& system) {
  std::string windows = system.WindowsDirectory();
  if (windows.empty()) return {};
  return windows + (windows.ends_with('\\') ? "" : "\\") + kProgramFolder;
}

std::string KeptProgram(win::SystemApi& system) {
  const std::string folder = ProgramFolder(system);
  return folder.empty() ? "" : folder + "\\QuilletSetup.exe";
}

RunLockResult RunLock::CouldNotMakeSure(win::Status error) {
  return {kExitInstallFailure,
          "This setup could not make sure that no other copy of it is running (" +
              system_.ErrorText(error) + "); it changed nothing.",
          false};
}

namespace {

std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

std::string RunLock::Examine(const std::string& path, bool folder, bool mend, std::string* notes) {
  win::OpenFile held(system_);
  win::Status status = system_.OpenFolder(path, held.Receive());
  if (!folder && win::IsAbsent(status)) return {};
  if (status == win::kErrorSuccess) {
    status = folder ? system_.CheckFolder(held.Get()) : system_.CheckOrdinaryFile(held.Get());
  }
  // Where Windows opens what a link leads to, it is told by where the file really is.
  const std::string final = status == win::kErrorSuccess ? system_.FinalPath(held.Get()) : "";
  if (!final.empty() && !win::SameIgnoringCase(final, system_.LongPathName(path))) {
    status = win::kErrorStoppedOnSymlink;
  }
  if (status == win::kErrorStoppedOnSymlink) {
    return path + " is a link, junction or other reparse point";
  }
  std::vector<std::string> writers, readers;
  if (status == win::kErrorSuccess)
    status = system_.OthersWithAccess(held.Get(), &writers, &readers);
  if (status != win::kErrorSuccess) {
    return "the security of " + path + " could not be read (" + system_.ErrorText(status) + ")";
  }
  if (!writers.empty()) return path + " may also be changed by " + Listed(writers);
  if (readers.empty() || !mend) return {};
  status = system_.ProtectForAdministrators(path, folder);
  *notes += (notes->empty() ? "" : "\r\n") + path + " could also be read by " + Listed(readers) +
            (status == win::kErrorSuccess
                 ? "; it was given to SYSTEM and the Administrators alone"
                 : "; it could not be given to SYSTEM and the Administrators alone (" +
                       system_.ErrorText(status) + ")");
  return {};
}

void RunLock::Release() {
  if (held_ != 0) system_.CloseFile(held_);  // and Windows deletes the file
  held_ = 0;
}

RunLockResult RunLock::Take(const std::function<void()>& waiting, bool mend) {
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
    // The folder first: the program there inherits what it is given.
    const std::pair<std::string, bool> looked[] = {
        {programFolder, true}, {lockFolder, true}, {KeptProgram(system_), false}};
    for (const auto& [each, folder] : looked) {
      if (unsafe_.empty()) unsafe_ = Examine(each, folder, mend, &others);
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
      return {kExitSuccess,
              others + (!others.empty() && leftBehind ? "\r\n" : "") +
                  (leftBehind ? "The run lock " + path +
                                    " was left by a run that ended without letting it go (the "
                                    "computer lost power); this run took it over."
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
