#pragma once
// The program's source in the Application log, where Windows Event Forwarding and a SIEM collect
// one event per run of a mode that changes a workstation. It is registered with the message table
// of EventCreate.exe, which every Windows since XP ships and which reads "%1" for every event ID
// from 1 to 1000, so that Event Viewer shows the text itself.

#include <cstdint>
#include <string>

#include "platform/RegistryApi.h"

namespace quillet {

inline constexpr const char* kEventSource = "QuilletSetup";
inline constexpr const char* kEventSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuilletSetup";
inline constexpr const char* kEventMessageFile = "%SystemRoot%\\System32\\EventCreate.exe";

// The event IDs, one per way a run can end.
inline constexpr std::uint32_t kEventSucceeded = 1;  // information: exit code 0
inline constexpr std::uint32_t kEventPartly = 2;     // warning: 1603, but something was registered
inline constexpr std::uint32_t kEventFailed = 3;     // error: any other exit code

// Registers the source where it is absent, or completes it where it is this program's (it names
// this program's messages); the Windows status, kErrorAlreadyExists where another program
// registered a source of that name, which is left as it is. `viewFlag` is the run's (the key is
// not redirected, but every key the program opens names its view). The registration stays when
// the data sources go, so that the events already written stay readable.
win::Status RegisterEventSource(win::RegistryApi& registry, std::uint32_t viewFlag);

}  // namespace quillet
