#pragma once
// The log's file, where an elevated run may meet files that standard users planted: the bytes go
// to a new file under a name nobody can predict, beside the target, created when the run starts;
// it takes the target's place in one step once the run is over. Nothing already at a name is
// followed, truncated or reused.

#include <string>

#include "platform/OpenFile.h"
#include "platform/SystemApi.h"

namespace quillet {

// The name a log gets in a folder given to /log.
inline constexpr const char* kLogFileName = "QuilletSetup.log";

class LogFile {
 public:
  explicit LogFile(win::SystemApi& system) noexcept : system_(system), file_(system) {}

  // The full path of the log asked for as `requested`: a folder (one that exists, or a path
  // ending in a backslash) holds it as "QuilletSetup.log"; a relative path is taken from the
  // working directory. "" when it has no full path.
  static std::string TargetFor(win::SystemApi& system, const std::string& requested);

  // Creates the new file beside `target`; the Windows status. A folder that is a link or
  // junction is refused (kErrorStoppedOnSymlink).
  win::Status Create(const std::string& target);
  win::Status Append(const std::string& text);
  // Checks that the file is still an ordinary file with one name and gives it the target's name,
  // replacing what is there, and closes it. When the move fails, the file stays whole under its
  // temporary name; when the check fails, it stays open for Discard.
  win::Status PutInPlace();
  // Deletes the file where it is now; the status of the deletion.
  win::Status Discard();

  void Close() noexcept { file_.Close(); }
  [[nodiscard]] bool IsOpen() const noexcept { return file_.Get() != 0; }
  [[nodiscard]] const std::string& Target() const noexcept { return target_; }
  // Where the file is now: its temporary name until it is put in place.
  [[nodiscard]] const std::string& Current() const noexcept { return current_; }

 private:
  win::SystemApi& system_;
  win::OpenFile file_;
  std::string target_;
  std::string current_;
};

}  // namespace quillet
