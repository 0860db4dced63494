// Rectangle arithmetic for clipping, in 64 bits so that no sum of 32-bit coordinates overflows.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/gfx/GdiTypes.h"

namespace gfx {

struct Box {
  int64_t left, top, right, bottom;  // right and bottom exclusive
  bool Empty() const { return right <= left || bottom <= top; }
  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
};

inline Box BoxOf(const RECT& r) { return Box{r.left, r.top, r.right, r.bottom}; }

inline Box Intersect(const Box& a, const Box& b) {
  return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
}

inline Box Offset(const Box& b, int64_t dx, int64_t dy) {
  return Box{b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
}

}  // namespace gfx
