// Limits the imaging service applies to every encoded image before it allocates anything for it.
// They sit far above any tile (256 x 256) or icon and far below what could exhaust the device's
// memory, so a crafted header cannot make a decoder allocate gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace imaging {

// Largest width or height an image may declare.
constexpr uint32_t kMaxImageSide = 4096;
// Largest decoded image, 4 bytes per pixel.
constexpr size_t kMaxDecodedBytes = size_t{32} << 20;
// Largest single ancillary PNG chunk kept in memory (text, colour profiles, unknown chunks).
constexpr size_t kMaxPngChunkBytes = size_t{1} << 20;
// Largest total of ancillary PNG chunks kept in memory.
constexpr size_t kMaxPngChunkCacheBytes = size_t{4} << 20;
// Most scans a progressive JPEG may have; real encoders write about ten, crafted files thousands
// (each scan re-walks the whole coefficient buffer).
constexpr int kMaxJpegScans = 256;
// Most memory libjpeg may use for its own buffers beyond the output rows.
constexpr long kMaxJpegWorkBytes = 64L << 20;

}  // namespace imaging
