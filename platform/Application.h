#pragma once

#include "Version.h"

namespace app {

// The program's title: the caption of every message box that has none of its own.
inline constexpr const char* kTitle = "Setup";
// The program's version, as its version resource gives it.
inline constexpr const char* kVersion = QUILLET_VERSION_TEXT;

}  // namespace app
