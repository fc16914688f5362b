#pragma once
// The system as the in-memory Windows shows it: version, directories, date, command line, the
// process's kind, the files on its disk, standard output and the files the program writes.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/SystemApi.h"
#include "tests/support/CallLog.h"

namespace win {

class FakeSystem : public SystemApi {
 public:
  explicit FakeSystem(CallLog& log);

  void SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);
  // An empty directory makes GetSystemDirectoryA fail (return 0).
  void SetSystemDirectory(std::string directory) { systemDirectory_ = std::move(directory); }
  void SetLocalDate(LocalDate date) { date_ = date; }
  void SetCommandLine(std::string commandLine) { commandLine_ = std::move(commandLine); }
  // GetWindowsDirectoryA reports it; empty makes the call fail.
  void SetWindowsDirectory(std::string directory) { windowsDirectory_ = std::move(directory); }
  // A 32-bit process under WOW64 has its "SOFTWARE\..." keys redirected to
  // "SOFTWARE\Wow6432Node\..." unless it asks for the 64-bit view, as on Windows.
  void SetProcessKind(ProcessKind kind) { processKind_ = kind; }
  [[nodiscard]] const ProcessKind& ProcessKindOfThisProcess() const { return processKind_; }
  // GetSystemWow64DirectoryA reports it on 64-bit Windows; empty makes the call fail, as it
  // always does on 32-bit Windows.
  void SetSystemWow64Directory(std::string directory) { wow64Directory_ = std::move(directory); }
  // Files that exist on the fake disk (GetFileAttributesA), by full path, any letter case.
  void AddFile(const std::string& path) { diskFiles_.push_back(path); }
  // What the program wrote to its standard output; without one (the default) writes fail.
  void GiveStandardOutput() { standardOutput_ = std::string(); }
  [[nodiscard]] const std::optional<std::string>& StandardOutput() const { return standardOutput_; }
  void GiveStandardError() { standardError_ = std::string(); }
  [[nodiscard]] const std::optional<std::string>& StandardError() const { return standardError_; }
  // The files on the fake disk that the program wrote, by full path. No file may be created at
  // a path that starts with one given to UnwritablePath. The folders that exist are the drive's
  // root, the working directory C:\Setup, the Windows directories and those given to AddFolder;
  // one given to MakeFolderALink is a junction to a folder on D:, where FinalPath leads.
  [[nodiscard]] const std::map<std::string, std::string>& Files() const { return files_; }
  void UnwritablePath(const std::string& path) { unwritable_.push_back(path); }
  void AddFolder(const std::string& folder) { folders_.push_back(folder); }
  void MakeFolderALink(const std::string& folder) {
    AddFolder(folder);
    linkFolders_.push_back(folder);
  }
  // Another program holds the file open; without delete sharing, nothing may replace or
  // delete it meanwhile (ERROR_ACCESS_DENIED, as Windows answers a rename onto it).
  void HoldOpen(const std::string& path, bool sharesDelete) { held_[path] = sharesDelete; }
  // Another process (anyone who may list it) holds the folder open sharing nothing: the run's
  // open for listing fails, one for its attributes alone does not and holds nothing; and Windows
  // cannot rename a file into it, for that opens the folder to write in it.
  void HoldSharingNothing(const std::string& folder) { sharingNothing_.push_back(folder); }
  // `shortPath` is an 8.3 name of the folder `longPath`, as "C:\PROGRA~1" of "C:\Program Files".
  void AddShortName(std::string shortPath, std::string longPath) {
    shortNames_.emplace_back(std::move(shortPath), std::move(longPath));
  }
  // A drive letter that is another name of a share or a folder (a mapped or a subst drive): its
  // final paths begin with `target`, "\\server\share".
  void AddDrive(std::string drive, std::string target) {
    drives_.emplace_back(std::move(drive), std::move(target));
  }
  // Someone replaces the folder with a junction: refused (ERROR_SHARING_VIOLATION) while a
  // handle holds it.
  Status ReplaceFolderWithLink(const std::string& folder);
  // Accounts a file's or folder's security lets change it (or, by an inherit-only entry, what is
  // made in it), besides the administrative ones; its owner, when that is not an administrative
  // account, among them; and those it lets only read and run it. A file given none has its
  // folder's, as one made in it inherits them, until it is given a protected DACL.
  void LetOthersWrite(const std::string& path, std::vector<std::string> accounts) {
    othersAccess_[path].first = std::move(accounts);
  }
  void LetOthersRead(const std::string& path, std::vector<std::string> accounts) {
    othersAccess_[path].second = std::move(accounts);
  }
  // The folder as Windows Installer makes it in the Windows directory, with the program in it:
  // both get what %windir%'s inheritable entries give, full control to SYSTEM, the Administrators,
  // TrustedInstaller and CREATOR OWNER (the creator), read and execute (GR, GE) to BUILTIN\Users
  // and to ALL APPLICATION PACKAGES.
  void InstallPackageFolder(const std::string& folder) {
    AddFolder(folder);
    AddFile(folder + "\\QuilletSetup.exe");
    LetOthersRead(folder, {"BUILTIN\\Users", "APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION PACKAGES"});
  }
  // The folder's security cannot be read (an ACL that denies READ_CONTROL).
  void HideSecurity(const std::string& folder) { hiddenSecurity_.push_back(folder); }
  [[nodiscard]] int OpenFileCount() const {
    return static_cast<int>(openFiles_.size() + openFolders_.size());
  }
  // Another run holds the lock file for this many more attempts to open it (-1: for ever); an
  // attempt fails with `status` (a file being deleted, which another administrator's process
  // still has open, gives kErrorAccessDenied).
  void OtherRunHoldsTheLock(int attempts, Status status = kErrorSharingViolation) {
    lockHeldFor_ = attempts;
    lockHeldStatus_ = status;
  }
  // The lock file is there, held by nobody: left by a computer that lost power.
  void LeaveLockFile() { lockLeft_ = true; }
  // This process runs as a standard user: it may not create in the Windows directory or open what
  // only SYSTEM and the Administrators may.
  void RunAsStandardUser() { standardUser_ = true; }
  // The lock files this process holds now.
  [[nodiscard]] int HeldLockCount() const { return static_cast<int>(heldLocks_.size()); }

  // --- SystemApi ---
  ProcessKind GetProcessKind() override;
  std::string SystemWow64Directory() override;
  std::uint32_t GetFileAttributesA(const char* path, bool nativeFileSystem) override;
  bool WriteStandardOutput(const std::string& text) override;
  bool WriteStandardError(const std::string& text) override;
  bool GetVersionExA(OsVersionInfo* info) override;
  std::string SystemDirectory() override;
  std::string WindowsDirectory() override;
  LocalDate GetLocalDate() override;
  std::string GetCommandLineW() override;
  std::string GetComputerNameW() override { return "WORKSTATION-7"; }
  std::string ErrorText(Status code) override;
  Status WriteEvent(const std::string& source, EventKind kind, std::uint32_t id,
                     const std::string& text) override;
  Status TrustOnlyAdministratorsRedirections() override;
  std::string FullPathName(const std::string& path) override;
  std::uint32_t PathAttributes(const std::string& path) override;
  std::string UnpredictableName() override;
  Status CreateNewFile(const std::string& path, FileHandle* file) override;
  Status AppendToFile(FileHandle file, const std::string& contents) override;
  Status CheckOrdinaryFile(FileHandle file) override;
  Status OpenFolder(const std::string& path, FileHandle* folder) override;
  Status CheckFolder(FileHandle folder) override;
  std::string FinalPath(FileHandle file) override;
  std::string LongPathName(const std::string& path) override;
  bool SameObject(FileHandle first, FileHandle second) override;
  Status OthersWithAccess(FileHandle file, std::vector<std::string>* writers,
                          std::vector<std::string>* readers) override;
  Status ProtectForAdministrators(const std::string& path, bool folder) override;
  Status RenameOpenFile(FileHandle file, FileHandle folder, const std::string& currentPath,
                        const std::string& target) override;
  Status DeleteOpenFile(FileHandle file, const std::string& currentPath) override;
  void CloseFile(FileHandle file) override;
  bool IsElevated() override { return !standardUser_; }
  Status CreateAdministratorsFolder(const std::string& path) override;
  Status HoldLockFile(const std::string& path, FileHandle* handle, bool* leftBehind) override;
  void Pause(std::uint32_t milliseconds) override;
  std::string ProgramPath() override { return programPath_; }
  Status ConnectTaskScheduler() override;
  Status RegisterTask(const std::string& name, const std::string& definition,
                      const std::string& sddl) override;
  Status DeleteTask(const std::string& name) override;
  Status FindTask(const std::string& name, FoundTask* task) override;

  // Where the program runs from; C:\Setup\QuilletSetup.exe unless set.
  void SetProgramPath(std::string path) { programPath_ = std::move(path); }
  // The Task Scheduler's root folder: each task by name, as it gives it back from the definition
  // registered. Every task call fails with `status` once FailTaskCalls was given one; while it is
  // starting, for so many more connections (-1: for ever), with kSchedServiceNotRunning.
  [[nodiscard]] const std::map<std::string, FoundTask>& Tasks() const { return tasks_; }
  void AddTask(const std::string& name, FoundTask task) { tasks_[name] = std::move(task); }
  void FailTaskCalls(Status status) { taskFailure_ = status; }
  void StartTaskScheduler(int connections) { schedulerStartsIn_ = connections; }

 private:
  std::string programPath_ = "C:\\Setup\\QuilletSetup.exe";
  std::map<std::string, FoundTask> tasks_;
  Status taskFailure_ = kErrorSuccess;
  int schedulerStartsIn_ = 0;
  // Records a task call; the failure every task call answers, if one was given.
  Status TaskCall(const char* function, const std::string& name);
  [[nodiscard]] bool IsFolder(const std::string& path) const;
  [[nodiscard]] bool IsLink(const std::string& folder) const;
  // The path with the junctions on its way resolved.
  [[nodiscard]] std::string Resolved(const std::string& path) const;
  // The path with its short names made long.
  [[nodiscard]] std::string Long(const std::string& path) const;
  // The path with short names made long and every folder named as it was made.
  [[nodiscard]] std::string Canonical(const std::string& path) const;
  // Where the path really is: short names made long, junctions and drives resolved, every folder
  // named as it was made.
  [[nodiscard]] std::string Final(const std::string& path) const;
  // A write to a standard stream: false where the program was given none.
  bool Write(std::optional<std::string>& stream, const char* function, const std::string& text);

  CallLog& log_;
  OsVersionInfo version_;
  std::string systemDirectory_ = "C:\\windows\\system32";
  LocalDate date_{2026, 12, 8};
  std::string commandLine_ = "QuilletSetup.exe";
  ProcessKind processKind_ = ProcessKind::Windows64;
  std::string wow64Directory_ = "C:\\windows\\SysWOW64";
  std::vector<std::string> diskFiles_;
  std::optional<std::string> standardOutput_;
  std::optional<std::string> standardError_;
  std::string windowsDirectory_ = "C:\\windows";
  std::map<std::string, std::string> files_;
  std::vector<std::string> unwritable_;
  std::vector<std::string> folders_ = {"C:\\", "C:\\Setup", "C:\\windows",
                                       "C:\\windows\\system32", "C:\\windows\\SysWOW64"};
  std::vector<std::string> linkFolders_;
  std::map<std::string, bool> held_;  // files other programs hold open: whether they share deletion
  std::map<FileHandle, std::string> openFiles_;  // by handle, the path each has now
  std::map<FileHandle, std::string> openFolders_;  // by handle, the folder opened
  std::vector<std::string> sharingNothing_;
  std::set<FileHandle> notHeld_;  // folders opened for their attributes alone
  // by path: the others who may change it, and those who may only read it
  std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> othersAccess_;
  std::vector<std::string> hiddenSecurity_;
  std::vector<std::pair<std::string, std::string>> shortNames_;
  std::vector<std::pair<std::string, std::string>> drives_;
  FileHandle nextFile_ = 0x4000;
  int namesGiven_ = 0;
  int lockHeldFor_ = 0;
  Status lockHeldStatus_ = kErrorSharingViolation;
  bool lockLeft_ = false;
  bool standardUser_ = false;
  std::map<FileHandle, std::string> heldLocks_;  // by handle, the lock file
};

}  // namespace win
