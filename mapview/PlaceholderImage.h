// The placeholder tile built into the library: a 256 x 256, 8-bit RGB PNG of 8787 bytes, drawn by
// resources/make_placeholder.py.
#pragma once

#include <cstdint>

const uint8_t* PlaceholderImageBytes();
uint32_t PlaceholderImageSize();
