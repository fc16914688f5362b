#include "tests/support/FakeWindows.h"
#include "tests/shared/TestWindows.h"

namespace testing_windows {

std::unique_ptr<win::WindowsApi> MakeTestWindows() { return std::make_unique<win::FakeWindows>(); }

std::string ScratchKey(const std::string& testName) { return "SOFTWARE\\QuilletTests\\" + testName; }

}  // namespace testing_windows
