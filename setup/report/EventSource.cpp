#include "setup/report/EventSource.h"

#include <cstring>
#include <vector>

#include "platform/RegistryKey.h"

namespace quillet {
namespace {

constexpr std::uint32_t kTypesSupported = 7;  // error, warning and information

struct Wanted {
  const char* name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;  // as stored, a text with its terminator
};

std::vector<Wanted> Values() {
  std::vector<std::uint8_t> file(kEventMessageFile,
                                 kEventMessageFile + std::strlen(kEventMessageFile) + 1);
  return {{"EventMessageFile", win::kRegExpandSz, file},
          {"TypesSupported", win::kRegDword, {kTypesSupported, 0, 0, 0}}};
}

enum class Holding { Absent, So, Otherwise };

Holding Holds(win::RegistryApi& registry, win::KeyHandle key, const Wanted& value) {
  const auto stored = win::ReadValue(registry, key, value.name);
  if (win::IsAbsent(stored.status)) return Holding::Absent;
  return stored.status == win::kErrorSuccess && stored.type == value.type &&
                 stored.data == value.data
             ? Holding::So
             : Holding::Otherwise;
}

}  // namespace

win::Status RegisterEventSource(win::RegistryApi& registry, std::uint32_t viewFlag) {
  const auto values = Values();
  win::RegistryKey key(registry);
  win::Status status = registry.RegOpenKeyExA(win::kLocalMachine, kEventSourceKey, 0,
                                              win::kKeyRead | viewFlag, key.Receive());
  if (status == win::kErrorSuccess) {
    // Another program's when it names other messages, and left as it is; this program's, or one
    // a cut-off run left without its values, is completed.
    const Holding messages = Holds(registry, key.Get(), values[0]);
    if (messages == Holding::Otherwise) return win::kErrorAlreadyExists;
    if (messages == Holding::So && Holds(registry, key.Get(), values[1]) == Holding::So) {
      return win::kErrorSuccess;
    }
  } else if (!win::IsAbsent(status)) {
    return status;
  }
  status = registry.RegCreateKeyExA(win::kLocalMachine, kEventSourceKey,
                                    win::kKeyAllAccess | viewFlag, key.Receive(), nullptr);
  for (const auto& value : values) {
    if (status != win::kErrorSuccess) break;
    status = registry.RegSetValueExA(key.Get(), value.name, 0, value.type, value.data.data(),
                                     static_cast<std::uint32_t>(value.data.size()));
  }
  return status;
}

}  // namespace quillet
