#pragma once
// Owner of memory Windows allocated for the caller with LocalAlloc (security descriptors, SID
// strings): freed with LocalFree when the owner goes.

#include <windows.h>

namespace win {

class LocalMemory {
 public:
  explicit LocalMemory(void* memory = nullptr) noexcept : memory_(memory) {}
  ~LocalMemory() {
    if (memory_ != nullptr) ::LocalFree(memory_);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;

 private:
  void* memory_;
};

// Owner of a kernel handle (a file, CONOUT$): closed when the owner goes.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle = INVALID_HANDLE_VALUE) noexcept : handle_(handle) {}
  ~KernelHandle() { Reset(INVALID_HANDLE_VALUE); }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  void Reset(HANDLE handle) noexcept {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = handle;
  }
  [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace win
