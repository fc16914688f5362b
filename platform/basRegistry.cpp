#include "platform/basRegistry.h"

#include <algorithm>
#include <vector>

#include "platform/RegistryKey.h"

namespace basRegistry {
namespace {

// The second query reads into a buffer as long as the first one reported; the text keeps that
// full length, and ends at its first NUL if it has one.
RegistryValue ReadString(win::RegistryApi& registry, const win::RegistryKey& key,
                         const std::string& valueName, std::uint32_t size) {
  std::vector<std::uint8_t> buffer(size, ' ');
  std::uint8_t emptyBuffer = 0;
  std::uint32_t scratchType = 0;
  const win::Status status =
      registry.RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &scratchType,
                                buffer.empty() ? &emptyBuffer : buffer.data(), &size);
  if (status != win::kErrorSuccess) return std::string();
  std::string text(buffer.begin(), buffer.end());
  // The position is held in a size_t, so a string of any length reads back whole.
  const std::size_t firstNul = text.find('\0');
  if (firstNul != std::string::npos) text.resize(firstNul);
  return text;
}

RegistryValue ReadNumber(win::RegistryApi& registry, const win::RegistryKey& key,
                         const std::string& valueName, std::uint32_t* type) {
  std::uint8_t data[4] = {0, 0, 0, 0};
  std::uint32_t scratchSize = sizeof data;
  const win::Status status =
      registry.RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, type, data, &scratchSize);
  if (status != win::kErrorSuccess) return std::string();
  const std::uint32_t bits = std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                             std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24;
  return static_cast<std::int32_t>(bits);
}

}  // namespace

RegistryValue GetRegistryString(win::RegistryApi& registry, win::KeyHandle root,
                                std::string keyPath, std::string valueName) {
  win::RegistryKey key(registry);
  registry.RegOpenKeyA(root, keyPath.c_str(), key.Receive());
  // A failed open is told by the empty handle, not by the status.
  if (!key.IsOpen()) return std::string();

  // Size query. Its status is not examined: a missing value leaves the type at "none".
  std::uint32_t type = win::kRegNone;
  std::uint32_t size = 0;
  registry.RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size);

  switch (type) {
    case win::kRegSz: return ReadString(registry, key, valueName, size);
    case win::kRegDword: return ReadNumber(registry, key, valueName, &type);
    default: return std::string();
  }
}

std::string ToText(const RegistryValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return std::to_string(std::get<std::int32_t>(value));
}

}  // namespace basRegistry
