#pragma once
// Owner of one GDI object (font, brush): deleted when the owner goes.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace win {

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const noexcept { ::DeleteObject(object); }
};

template <typename Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, DeleteGdiObject>;

}  // namespace win
