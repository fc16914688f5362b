#pragma once
// Owner of memory Windows allocated for the caller with LocalAlloc (security descriptors, SID
// strings): freed with LocalFree when the owner goes.

#include <windows.h>

#include <memory>

namespace win {

struct FreeLocalMemory {
  void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, FreeLocalMemory>;

// Owner of a kernel handle (a file, CONOUT$): closed when the owner goes.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle = INVALID_HANDLE_VALUE) noexcept : handle_(handle) {}
  ~KernelHandle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace win
