#pragma once
// Writing the log where an elevated run may meet files that standard users planted: the bytes go
// to a new file under a name nobody can predict, beside the target, which takes the target's
// place in one step once it is whole. Nothing already at a name is followed, truncated or reused.

#include <string>

#include "platform/SystemApi.h"

namespace quillet {

// Creates or replaces the file at `path` (UTF-8, relative to the working directory) with exactly
// these bytes; the Windows status, or 0. A failure leaves whatever was at `path` untouched and no
// temporary file behind; a folder that is a link or junction is refused (kErrorStoppedOnSymlink).
win::Status ReplaceFileContents(win::SystemApi& system, const std::string& path,
                                const std::string& contents);

}  // namespace quillet
