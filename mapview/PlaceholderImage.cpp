#include "mapview/PlaceholderImage.h"

// Generated from resources/placeholder.png by orvan_embed_file.
extern "C" const unsigned char orvan_placeholder_png[];
extern "C" const unsigned int orvan_placeholder_png_size;

const uint8_t* PlaceholderImageBytes() { return orvan_placeholder_png; }
uint32_t PlaceholderImageSize() { return orvan_placeholder_png_size; }
