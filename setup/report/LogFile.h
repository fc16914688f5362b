#pragma once
// The log's file, where an elevated run may meet files and folders that standard users prepared.
// The log's folder is opened once and held while the log is written, so that nobody can swap it
// for a link meanwhile; it is refused when it, or a folder above it, is a link or junction. The
// bytes go to a new file under a name nobody can predict, created in that folder when the run
// starts, which takes the target's place in one step, by its name in the held folder, once the
// run is over. Nothing already at a name is followed, truncated or reused.

#include <string>
#include <vector>

#include "platform/OpenFile.h"
#include "platform/SystemApi.h"

namespace quillet {

// The name a log gets in a folder given to /log.
inline constexpr const char* kLogFileName = "QuilletSetup.log";

class LogFile {
 public:
  explicit LogFile(win::SystemApi& system) noexcept
      : system_(system), folder_(system), file_(system) {}

  // The full path of the log asked for as `requested`: a folder (one that exists, or a path
  // ending in a backslash) holds it as "QuilletSetup.log"; a relative path is taken from the
  // working directory. "" when it has no full path.
  static std::string TargetFor(win::SystemApi& system, const std::string& requested);

  // Opens and holds the target's folder and creates the new file in it; the Windows status. A
  // folder that is, or lies below, a link or junction is refused (kErrorStoppedOnSymlink), as is
  // one whose attributes cannot be read.
  win::Status Create(const std::string& target);
  win::Status Append(const std::string& text);
  // Checks that the file is still an ordinary file with one name and gives it the target's name,
  // replacing what is there, and closes it. When the move fails, the file stays whole under its
  // temporary name; when the check fails, it stays open for Discard.
  win::Status PutInPlace();
  // Deletes the file where it is now; the status of the deletion.
  win::Status Discard();
  // The accounts besides the administrative ones that may write in the log's folder; the
  // Windows status of reading its security.
  win::Status OtherWriters(std::vector<std::string>* writers) const;

  void Close() noexcept {
    file_.Close();
    folder_.Close();
  }
  [[nodiscard]] bool IsOpen() const noexcept { return file_.Get() != 0; }
  [[nodiscard]] const std::string& Target() const noexcept { return target_; }
  // Where the file is now: its temporary name until it is put in place.
  [[nodiscard]] const std::string& Current() const noexcept { return current_; }

 private:
  win::Status HoldFolder(const std::string& folder);
  [[nodiscard]] std::string Plain(const std::string& path) const;
  win::Status CheckWithoutFinalPaths(const std::string& folder);

  win::SystemApi& system_;
  win::OpenFile folder_;
  win::OpenFile file_;
  std::string target_;
  std::string current_;
  std::string finalFolder_;  // where the folder really is, "" where Windows cannot tell
};

}  // namespace quillet
