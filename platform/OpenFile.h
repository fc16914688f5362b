#pragma once
// Owner of one open file: closes it through the same system that opened it.

#include "platform/SystemApi.h"

namespace win {

class OpenFile {
 public:
  explicit OpenFile(SystemApi& system) noexcept : system_(system) {}
  ~OpenFile() { Close(); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  // Where an open function stores the new handle; anything held before is closed first.
  FileHandle* Receive() noexcept {
    Close();
    return &handle_;
  }
  [[nodiscard]] FileHandle Get() const noexcept { return handle_; }
  void Close() noexcept {
    if (handle_ != 0) system_.CloseFile(handle_);
    handle_ = 0;
  }

 private:
  SystemApi& system_;
  FileHandle handle_ = 0;
};

}  // namespace win
