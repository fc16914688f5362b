#include "setup/report/EventSource.h"

#include <vector>

#include "platform/RegistryKey.h"

namespace quillet {

win::Status RegisterEventSource(win::RegistryApi& registry, std::uint32_t viewFlag) {
  const std::string file = kEventMessageFile;
  const struct {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;  // as stored, a text with its terminator
  } values[] = {
      {"EventMessageFile", win::kRegExpandSz, {file.c_str(), file.c_str() + file.size() + 1}},
      {"TypesSupported", win::kRegDword, {7, 0, 0, 0}},  // error, warning and information
  };
  win::RegistryKey key(registry);
  win::Status status = registry.RegOpenKeyExA(win::kLocalMachine, kEventSourceKey, 0,
                                              win::kKeyRead | viewFlag, key.Receive());
  if (status == win::kErrorSuccess) {
    const auto holds = [&](const win::ValueRead& stored, const auto& value) {
      return stored.status == win::kErrorSuccess && stored.type == value.type &&
             stored.data == value.data;
    };
    // Another program's when it names other messages, and left as it is; this program's, or one
    // a cut-off run left without its values, is completed.
    const auto messages = win::ReadValue(registry, key.Get(), values[0].name);
    if (!win::IsAbsent(messages.status)) {
      if (!holds(messages, values[0])) return win::kErrorAlreadyExists;
      if (holds(win::ReadValue(registry, key.Get(), values[1].name), values[1])) {
        return win::kErrorSuccess;
      }
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
