#pragma once
// Owner of one open registry key: closes it through the same registry that opened it.

#include <vector>

#include "platform/RegistryApi.h"

namespace win {

class RegistryKey {
 public:
  explicit RegistryKey(RegistryApi& registry) noexcept : registry_(&registry) {}
  ~RegistryKey() { Close(); }

  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  RegistryKey(RegistryKey&& other) noexcept : registry_(other.registry_), handle_(other.Detach()) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      Close();
      registry_ = other.registry_;
      handle_ = other.Detach();
    }
    return *this;
  }

  // Where an open function stores the new handle; anything held before is closed first.
  KeyHandle* Receive() noexcept {
    Close();
    return &handle_;
  }
  [[nodiscard]] KeyHandle Get() const noexcept { return handle_; }
  [[nodiscard]] bool IsOpen() const noexcept { return handle_ != 0; }
  KeyHandle Detach() noexcept {
    const KeyHandle handle = handle_;
    handle_ = 0;
    return handle;
  }
  // The status of RegCloseKey, or success when nothing was open.
  Status Close() noexcept {
    if (handle_ == 0) return kErrorSuccess;
    const Status status = registry_->RegCloseKey(handle_);
    handle_ = 0;
    return status;
  }

 private:
  RegistryApi* registry_;
  KeyHandle handle_ = 0;
};

// A value as stored, read whole whatever its size.
struct ValueRead {
  Status status = kErrorSuccess;  // why it could not be read (absent: IsAbsent)
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
};

inline ValueRead ReadValue(RegistryApi& registry, KeyHandle key, const char* name) {
  ValueRead value{kErrorSuccess, kRegNone, std::vector<std::uint8_t>(256)};
  auto size = static_cast<std::uint32_t>(value.data.size());
  const auto query = [&] {
    return registry.RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
  };
  value.status = query();
  if (value.status == kErrorMoreData) {
    value.data.resize(size);
    value.status = query();
  }
  value.data.resize(value.status == kErrorSuccess ? size : 0);
  return value;
}

}  // namespace win
