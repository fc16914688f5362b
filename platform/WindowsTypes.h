#pragma once
// Values and records of the Windows API, spelled so that they can live beside <windows.h>
// (whose macros would swallow the usual ERROR_/HKEY_/REG_ names).

#include <array>
#include <cstdint>
#include <string>

namespace win {

using Status = std::int32_t;          // LONG result of the registry functions
using KeyHandle = std::uintptr_t;     // HKEY; 0 is "no key"
using WindowHandle = std::uintptr_t;  // HWND; 0 is "no window"
using FileHandle = std::uintptr_t;    // HANDLE of an open file; 0 is "none"

// The predefined root keys are sign-extended 32-bit values, as in <winreg.h>.
inline constexpr KeyHandle kLocalMachine =
    static_cast<KeyHandle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

inline constexpr Status kErrorSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorPathNotFound = 3;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorInvalidParameter = 87;
inline constexpr Status kErrorCallNotImplemented = 120;
inline constexpr Status kErrorMoreData = 234;
inline constexpr Status kErrorNoMoreItems = 259;
inline constexpr Status kErrorKeyDeleted = 1018;
inline constexpr Status kErrorFileExists = 80;
inline constexpr Status kErrorAlreadyExists = 183;
inline constexpr Status kErrorSharingViolation = 32;
// The file or folder is a link (symbolic link, junction) where an ordinary one must be.
inline constexpr Status kErrorStoppedOnSymlink = 681;

// The Task Scheduler service is not running (yet): SCHED_E_SERVICE_NOT_RUNNING.
inline constexpr Status kSchedServiceNotRunning = static_cast<Status>(0x80041315u);

// Whether a status says that what was asked for is not there: the key, value or file itself, or a
// key or folder on its way.
inline constexpr bool IsAbsent(Status status) {
  return status == kErrorFileNotFound || status == kErrorPathNotFound;
}

// What RegCreateKeyExA did.
inline constexpr std::uint32_t kCreatedNewKey = 1;
inline constexpr std::uint32_t kOpenedExistingKey = 2;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
// Opens or creates a key in the 64-bit registry view, whatever the process; ignored on 32-bit
// Windows.
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;

inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

enum class ProcessKind {
  Windows32,  // a 32-bit process on 32-bit Windows: one registry view
  Wow64,      // a 32-bit process on 64-bit Windows: the registry redirector applies to it
  Windows64,  // a 64-bit process: it sees the registry as it is stored
};

// OSVERSIONINFOA, field for field.
struct OsVersionInfo {
  std::uint32_t size = 0;
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t platformId = 0;
  std::array<char, 128> servicePack{};
};
static_assert(sizeof(OsVersionInfo) == 148);

// The local date and time (GetLocalTime).
struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int utcOffsetMinutes = 0;  // local time minus UTC, daylight saving included
};

// A task as the Task Scheduler gives it back; "" where it does not tell.
struct FoundTask {
  bool enabled = true;
  std::string principalSid;  // the account it runs as, by its SID
  std::string command;       // its first Exec action's program, as written
  std::string arguments;
};

// The kinds of event the Application log shows.
enum class EventKind { Information, Warning, Error };

// System colour indexes (GetSysColor).
inline constexpr int kColorWindow = 5;
inline constexpr int kColorCaptionText = 9;
inline constexpr int kColorAppWorkspace = 12;
inline constexpr int kColorBtnText = 18;

// A colour as GetSysColor gives it: 0x00BBGGRR.
using ColorRef = std::uint32_t;

// Window geometry is in twips (1/1440 inch), as single-precision numbers.
struct TwipSize {
  float width = 0;
  float height = 0;
};

// A rectangle of the screen in twips.
struct TwipRect {
  float left = 0, top = 0, width = 0, height = 0;
};

// The program's main window: an MDI frame whose client area shows COLOR_APPWORKSPACE.
struct FrameWindowDesign {
  const char* caption = "";
  TwipSize clientSize;
};

// A fixed-size text label in a window's client area, centred and wrapped at word boundaries.
struct LabelDesign {
  const char* caption = "";
  float left = 0, top = 0, width = 0, height = 0;  // twips, in the client area
  const char* fontName = "";
  int fontPoints = 0;
  int fontWeight = 0;
  int fontCharset = 0;
  ColorRef background = 0;
  ColorRef text = 0;
};

// A small window with a title bar and one label.
struct LabelWindowDesign {
  const char* caption = "";
  TwipSize clientSize;
  LabelDesign label;
};

// MessageBox styles and answers used by the program.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

}  // namespace win
