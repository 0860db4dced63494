// A painted tile as PNG bytes: a palette image when it has at most 256 colours (the usual case:
// sea, land, lines and their blends), else 8-bit RGB; zlib's smallest output either way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace worldmap {

// `pixels`: side x side values 0x00RRGGBB, row by row. Empty when encoding failed.
std::string EncodeTilePng(const std::vector<uint32_t>& pixels, int side);

}  // namespace worldmap
