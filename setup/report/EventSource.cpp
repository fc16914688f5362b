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
  std::vector<std::uint8_t> file(kEventMessageFile, kEventMessageFile + std::strlen(kEventMessageFile) + 1);
  return {{"EventMessageFile", win::kRegExpandSz, file},
          {"TypesSupported", win::kRegDword, {kTypesSupported, 0, 0, 0}}};
}

bool Holds(win::RegistryApi& registry, win::KeyHandle key, const Wanted& value) {
  std::vector<std::uint8_t> data(value.data.size() + 2);
  std::uint32_t type = 0;
  auto size = static_cast<std::uint32_t>(data.size());
  if (registry.RegQueryValueExA(key, value.name, nullptr, &type, data.data(), &size) != win::kErrorSuccess) {
    return false;
  }
  data.resize(size);
  return type == value.type && data == value.data;
}

// Whether the source is registered as this program registers it; the status of opening its key.
win::Status RegisteredSo(win::RegistryApi& registry, std::uint32_t viewFlag, bool* so) {
  win::RegistryKey existing(registry);
  const win::Status opened = registry.RegOpenKeyExA(win::kLocalMachine, kEventSourceKey, 0,
                                                    win::kKeyRead | viewFlag, existing.Receive());
  *so = opened == win::kErrorSuccess;
  for (const auto& value : Values()) *so = *so && Holds(registry, existing.Get(), value);
  return opened;
}

}  // namespace

win::Status RegisterEventSource(win::RegistryApi& registry, std::uint32_t viewFlag) {
  bool registered = false;
  RegisteredSo(registry, viewFlag, &registered);
  if (registered) return win::kErrorSuccess;
  win::RegistryKey key(registry);
  win::Status status = registry.RegCreateKeyExA(win::kLocalMachine, kEventSourceKey,
                                                win::kKeyAllAccess | viewFlag, key.Receive(), nullptr);
  for (const auto& value : Values()) {
    if (status != win::kErrorSuccess) break;
    status = registry.RegSetValueExA(key.Get(), value.name, 0, value.type, value.data.data(),
                                     static_cast<std::uint32_t>(value.data.size()));
  }
  return status;
}

win::Status RemoveEventSource(win::RegistryApi& registry, std::uint32_t viewFlag) {
  bool ours = false;
  const win::Status opened = RegisteredSo(registry, viewFlag, &ours);
  if (opened != win::kErrorSuccess) return opened == win::kErrorFileNotFound ? win::kErrorSuccess : opened;
  // Someone else's source of the same name, or one changed since: not this program's to delete.
  if (!ours) return win::kErrorSuccess;
  return registry.RegDeleteKeyA(win::kLocalMachine, kEventSourceKey, viewFlag);
}

}  // namespace quillet
