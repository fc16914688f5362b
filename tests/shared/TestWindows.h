#pragma once
// The Windows a shared test runs on: the in-memory one in native builds, the real one (under
// Wine) in Windows builds. Shared tests arrange everything through WindowsApi itself.

#include <memory>
#include <string>

#include "platform/WindowsApi.h"

namespace testing_windows {

std::unique_ptr<win::WindowsApi> MakeTestWindows();

// A key below HKEY_LOCAL_MACHINE that belongs to one test alone.
std::string ScratchKey(const std::string& testName);

}  // namespace testing_windows
