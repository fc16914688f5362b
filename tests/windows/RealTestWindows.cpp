#include "platform/win32/Win32Api.h"
#include "tests/shared/TestWindows.h"

namespace testing_windows {

std::unique_ptr<win::WindowsApi> MakeTestWindows() { return std::make_unique<win::Win32Api>(); }

// Every run of these tests gets a throwaway Wine prefix, so the keys need no cleaning up.
std::string ScratchKey(const std::string& testName) { return "SOFTWARE\\QuilletTests\\" + testName; }

}  // namespace testing_windows
