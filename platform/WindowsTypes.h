#pragma once
// Values and records of the Windows API, spelled so that they can live beside <windows.h>
// (whose macros would swallow the usual ERROR_/HKEY_/REG_ names).

#include <array>
#include <cstdint>

namespace win {

using Status = std::int32_t;          // LONG result of the registry functions
using KeyHandle = std::uintptr_t;     // HKEY; 0 is "no key"
using WindowHandle = std::uintptr_t;  // HWND; 0 is "no window"

// The predefined root keys are sign-extended 32-bit values, as in <winreg.h>.
inline constexpr KeyHandle kLocalMachine =
    static_cast<KeyHandle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

inline constexpr Status kErrorSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorNotEnoughMemory = 8;
inline constexpr Status kErrorInvalidParameter = 87;
inline constexpr Status kErrorMoreData = 234;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

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

// The local calendar date (the year, month and day of GetLocalTime).
struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// MessageBox styles and answers used by the program.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr int kIdOk = 1;

}  // namespace win
