// An icon made from encoded image bytes at a given size: decoded, then scaled down (area
// average, alpha-weighted so transparent pixels do not darken the edges) when the image is larger.
#pragma once

#include <cstddef>

#include "platform/imaging/Icon.h"

namespace ui::shell {

// Null with the last error set when the bytes are not an image. `width` or `height` 0: own size.
HICON CreateIconAtSize(const void* bytes, size_t size, int width, int height);

}  // namespace ui::shell
