// Picks the image of an icon group (the RT_GROUP_ICON directory) that best fits a size: an image
// of exactly that size first, then the nearest larger one (to be scaled down), then the largest
// smaller one; among images of one size the deepest colour wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/ui/Resources.h"

namespace ui::shell {

struct IconChoice {
  WORD iconId;  // the RT_ICON resource
  int width;
  int height;
};

// Nullopt for a directory that is malformed (too short for its count, wrong type) or empty.
std::optional<IconChoice> ChooseIconImage(const uint8_t* directory, size_t size, int width, int height);

}  // namespace ui::shell
