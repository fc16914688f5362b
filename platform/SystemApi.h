#pragma once
// What the program asks of the system and does with files (kernel32).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WindowsTypes.h"

namespace win {

class SystemApi {
 public:
  virtual ~SystemApi() = default;

  // Whether this process is 32-bit on 32-bit Windows, 32-bit under WOW64 (IsWow64Process, which
  // early Windows lacks), or 64-bit.
  virtual ProcessKind GetProcessKind() = 0;
  // The 32-bit system directory of 64-bit Windows; "" where there is none (bound at run time).
  virtual std::string SystemWow64Directory() = 0;
  // kInvalidFileAttributes when the file or folder does not exist or cannot be seen. With
  // `nativeFileSystem`, a 32-bit process under WOW64 looks past the file-system redirector
  // (Wow64DisableWow64FsRedirection, bound at run time), as 64-bit programs see the files.
  virtual std::uint32_t GetFileAttributesA(const char* path, bool nativeFileSystem) = 0;
  // Writes to the program's standard output: the handle it was given (a redirection), or the
  // console of the process that started it (AttachConsole, bound at run time). False when it
  // has neither.
  virtual bool WriteStandardOutput(const std::string& text) = 0;
  // The same for standard error: where a run that is not understood says why.
  virtual bool WriteStandardError(const std::string& text) = 0;
  virtual bool GetVersionExA(OsVersionInfo* info) = 0;
  // The system and the Windows directory as the system spells them; "" when it gives none.
  virtual std::string SystemDirectory() = 0;
  virtual std::string WindowsDirectory() = 0;
  virtual LocalDate GetLocalDate() = 0;
  // The command line, read in UTF-16 and given as UTF-8, so that no path is lost to the ANSI
  // code page.
  virtual std::string GetCommandLineW() = 0;
  // The computer's name, as UTF-8.
  virtual std::string GetComputerNameW() = 0;
  // Writes one event to the Application log under `source` (RegisterEventSourceW, ReportEventW);
  // the text is UTF-8. The Windows status.
  virtual Status WriteEvent(const std::string& source, EventKind kind, std::uint32_t id,
                            const std::string& text) = 0;
  // The system's description of an error code, as UTF-8 text without a trailing line break.
  virtual std::string ErrorText(Status code) = 0;

  // Asks Windows not to follow, for this process, junctions and links that non-administrators
  // made (the redirection trust mitigation, Windows 10 2004 and later; bound at run time). The
  // Windows status: kErrorCallNotImplemented where Windows does not offer it.
  virtual Status TrustOnlyAdministratorsRedirections() = 0;

  // --- files; paths in UTF-8 ---
  // Every file call below sees the files as 64-bit programs do: a 32-bit process under WOW64
  // looks past the file-system redirector, so "C:\Windows\System32" is that folder.
  // The full path of a path relative to the working directory; "" when it has none.
  virtual std::string FullPathName(const std::string& path) = 0;
  // kInvalidFileAttributes when nothing can be seen there.
  virtual std::uint32_t PathAttributes(const std::string& path) = 0;
  // Opens a folder (or file) itself, not what a link or junction at its name points to, and holds
  // it: while it is open, nobody can rename, delete or replace it (its deletion is not shared).
  // Where another process holds it shared with nobody, it is opened for its attributes and
  // security alone, which no share mode governs: then it is not held. Closed with CloseFile.
  virtual Status OpenFolder(const std::string& path, FileHandle* folder) = 0;
  // Success when the open folder is a folder and not a link or junction; kErrorStoppedOnSymlink
  // when it is one; the error when its attributes cannot be read.
  virtual Status CheckFolder(FileHandle folder) = 0;
  // Where an open file or folder really is, every link and junction on the way resolved, as a
  // plain path ("C:\Logs", "\\server\share\Logs"); "" where Windows cannot tell (before Vista).
  virtual std::string FinalPath(FileHandle file) = 0;
  // The path with every 8.3 short name in it made long, as the folders are named
  // (GetLongPathNameW), as a plain path (no "\\?\"); where Windows cannot tell, the path itself.
  virtual std::string LongPathName(const std::string& path) = 0;
  // Whether two open files or folders are one and the same (volume and file index).
  virtual bool SameObject(FileHandle first, FileHandle second) = 0;
  // Whom, besides SYSTEM, the Administrators, TrustedInstaller, this process's account and CREATOR
  // OWNER, the open file's or folder's security lets in. `writers`: those it lets write, append,
  // delete, change its permissions or take ownership (of it, or by an inherit-only entry of what is
  // made in it), its owner among them (an owner may always change its security); `readers`: those
  // it lets only read or run it. The Windows status of reading the security.
  virtual Status OthersWithAccess(FileHandle file, std::vector<std::string>* writers,
                                  std::vector<std::string>* readers) = 0;
  // Gives the file or folder a protected DACL of SYSTEM and the Administrators alone (a folder's
  // inherited by what it holds). The Windows status.
  virtual Status ProtectForAdministrators(const std::string& path, bool folder) = 0;
  // A name nobody can guess beforehand (a GUID as text).
  virtual std::string UnpredictableName() = 0;
  // Creates a file that does not exist yet, failing on anything at that name, a link included,
  // rather than following or reusing it. While it is open others may read it, and it may be
  // renamed or deleted by name (what the fallbacks of early Windows do).
  virtual Status CreateNewFile(const std::string& path, FileHandle* file) = 0;
  // Writes all these bytes after what the file holds and flushes them to the disk.
  virtual Status AppendToFile(FileHandle file, const std::string& contents) = 0;
  // Success when the open file is an ordinary file with this one name (not a directory, not a
  // link, no other hard link to it).
  virtual Status CheckOrdinaryFile(FileHandle file) = 0;
  // Gives the open file (now at `currentPath`) the name `target`, replacing what is there: by its
  // name relative to the open `folder` that holds it, so that no link met on the way by path can
  // send it elsewhere; by full paths only where Windows cannot rename through a handle.
  virtual Status RenameOpenFile(FileHandle file, FileHandle folder, const std::string& currentPath,
                                const std::string& target) = 0;
  // Deletes the open file (now at `currentPath`).
  virtual Status DeleteOpenFile(FileHandle file, const std::string& currentPath) = 0;
  virtual void CloseFile(FileHandle file) = 0;
  // --- the run lock ---
  // Whether this process runs with an administrator's rights in force: SYSTEM, or a member of the
  // Administrators that User Account Control has not filtered out. True where Windows knows no
  // such thing (before Windows 2000).
  virtual bool IsElevated() = 0;
  // Creates the folder where it is missing, for SYSTEM and the Administrators alone: nobody else
  // may so much as list it; success where it exists.
  virtual Status CreateAdministratorsFolder(const std::string& path) = 0;
  // Opens the lock file for this process alone, shared with nobody, creating it where it is
  // missing with SYSTEM and the Administrators alone in its DACL. Windows deletes it when its last
  // handle closes, however the process ends. kErrorSharingViolation while another process holds
  // it, kErrorAccessDenied for an account that may not; `*leftBehind` tells that a file was there
  // that no process held (left by a computer that lost power).
  virtual Status HoldLockFile(const std::string& path, FileHandle* handle, bool* leftBehind) = 0;
  // Waits `milliseconds`, keeping the program's windows painted meanwhile.
  virtual void Pause(std::uint32_t milliseconds) = 0;

  // --- the scheduled task, in the Task Scheduler's root folder (Vista and later) ---
  // The full path of this program's own file; "" where Windows cannot tell.
  virtual std::string ProgramPath() = 0;
  // Connects to the Task Scheduler: kSchedServiceNotRunning while it is starting.
  virtual Status ConnectTaskScheduler() = 0;
  // Registers the task from its definition (the Task Scheduler's XML), to run as the definition's
  // principal, SYSTEM, with `sddl` for its own security; fails where a task of the name is there.
  virtual Status RegisterTask(const std::string& name, const std::string& definition,
                              const std::string& sddl) = 0;
  // Deletes the task; kErrorFileNotFound where there is none.
  virtual Status DeleteTask(const std::string& name) = 0;
  // Success where the task is there, kErrorFileNotFound where it is not; what it runs as whom.
  virtual Status FindTask(const std::string& name, FoundTask* task) = 0;
};

}  // namespace win
