// An entity tag made from an image's bytes: equal bytes, equal tag, so a client that revalidates
// a tile it already has is answered 304 without the image.
#pragma once

#include <string>
#include <string_view>

namespace tilesources {

std::string ContentTag(std::string_view bytes);  // quoted, e.g. "\"b-1f3a...\""

}  // namespace tilesources
