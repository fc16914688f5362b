#pragma once

namespace app {

// The program's title: the caption of every message box that has none of its own.
inline constexpr const char* kTitle = "Setup";

}  // namespace app
