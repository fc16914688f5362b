#pragma once
// Owner of one GDI object (font, brush): deleted when the owner goes.

#include <windows.h>

#include <utility>

namespace win {

template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle = nullptr) noexcept : handle_(handle) {}
  ~GdiObject() {
    if (handle_ != nullptr) ::DeleteObject(handle_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  [[nodiscard]] Handle Get() const noexcept { return handle_; }

 private:
  Handle handle_;
};

}  // namespace win
