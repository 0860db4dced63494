#include "platform/imaging/PngDecoder.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>

#include "platform/imaging/ImageLimits.h"

namespace imaging {

namespace {

// The stats of the decode running on this thread; libspng's allocator hooks have no user pointer.
thread_local DecodeStats* tCurrentStats = nullptr;

void Note(size_t bytes) {
  if (tCurrentStats != nullptr && bytes > tCurrentStats->largestAllocation) tCurrentStats->largestAllocation = bytes;
}

void* CountedMalloc(size_t size) {
  Note(size);
  return std::malloc(size);
}
void* CountedRealloc(void* block, size_t size) {
  Note(size);
  return std::realloc(block, size);
}
void* CountedCalloc(size_t count, size_t size) {
  Note(count * size);
  return std::calloc(count, size);
}
void CountedFree(void* block) { std::free(block); }

spng_alloc gCountedAlloc = {CountedMalloc, CountedRealloc, CountedCalloc, CountedFree};

// The end marker is always the same twelve bytes: length 0, "IEND", and its CRC.
constexpr uint8_t kEndChunk[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

// libspng stops at the end marker's type without reading its CRC, so a stream cut inside those
// last four bytes would pass; the whole marker must be present.
bool HasEndChunk(const void* bytes, size_t size) {
  const auto* data = static_cast<const uint8_t*>(bytes);
  const auto* end = data + size;
  return std::find_end(data, end, std::begin(kEndChunk), std::end(kEndChunk)) != end;  // searches from the back
}

ImageError FromSpng(int code) {
  switch (code) {
    case SPNG_OK: return ImageError::None;
    case SPNG_IO_EOF:
    case SPNG_EOF:
    case SPNG_EIDAT_TOO_SHORT: return ImageError::Truncated;
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
    case SPNG_ECHUNK_LIMITS: return ImageError::TooLarge;
    case SPNG_EMEM: return ImageError::OutOfMemory;
    default: return ImageError::Corrupt;
  }
}

// One libspng decoder over a caller's buffer, with the limits and CRC checks set.
class SpngReader {
 public:
  SpngReader(const void* bytes, size_t size, DecodeStats* stats) : previousStats_(tCurrentStats) {
    tCurrentStats = stats;
    ctx_ = spng_ctx_new2(&gCountedAlloc, 0);
    if (ctx_ == nullptr) return;
    // Any bad checksum fails the image: a damaged tRNS or palette changes pixels as surely as a
    // damaged IDAT.
    if (spng_set_crc_action(ctx_, SPNG_CRC_ERROR, SPNG_CRC_ERROR) != SPNG_OK ||
        spng_set_image_limits(ctx_, kMaxImageSide, kMaxImageSide) != SPNG_OK ||
        spng_set_chunk_limits(ctx_, kMaxPngChunkBytes, kMaxPngChunkCacheBytes) != SPNG_OK ||
        spng_set_png_buffer(ctx_, const_cast<void*>(bytes), size) != SPNG_OK) {
      spng_ctx_free(ctx_);
      ctx_ = nullptr;
    }
  }
  ~SpngReader() {
    if (ctx_ != nullptr) spng_ctx_free(ctx_);
    tCurrentStats = previousStats_;
  }
  SpngReader(const SpngReader&) = delete;
  SpngReader& operator=(const SpngReader&) = delete;

  spng_ctx* ctx() const { return ctx_; }

  // Reads and checks the header: dimensions within the limits, decoded size within the limit.
  ImageError ReadHeader(spng_ihdr* ihdr, size_t* decodedBytes) {
    if (ctx_ == nullptr) return ImageError::OutOfMemory;
    ImageError error = FromSpng(spng_get_ihdr(ctx_, ihdr));
    if (error != ImageError::None) return error;
    error = FromSpng(spng_decoded_image_size(ctx_, SPNG_FMT_RGBA8, decodedBytes));
    if (error != ImageError::None) return error;
    if (*decodedBytes > kMaxDecodedBytes) return ImageError::TooLarge;
    return ImageError::None;
  }

 private:
  spng_ctx* ctx_ = nullptr;
  DecodeStats* previousStats_;
};

}  // namespace

ImageError PngDecoder::Decode(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats) {
  SpngReader reader(bytes, size, stats);
  spng_ihdr ihdr{};
  size_t decodedBytes = 0;
  ImageError error = reader.ReadHeader(&ihdr, &decodedBytes);
  if (error != ImageError::None) return error;

  Note(decodedBytes);
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[decodedBytes]);
  if (!pixels) return ImageError::OutOfMemory;
  error = FromSpng(spng_decode_image(reader.ctx(), pixels.get(), decodedBytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS));
  if (error != ImageError::None) return error;
  // The chunks after the image data, through IEND: a stream cut after its last row is still cut.
  error = FromSpng(spng_decode_chunks(reader.ctx()));
  if (error != ImageError::None) return error;
  if (!HasEndChunk(bytes, size)) return ImageError::Truncated;

  spng_trns trns{};
  const bool colourHasAlpha = (ihdr.color_type & 4) != 0;  // gray + alpha, RGBA
  out->width = ihdr.width;
  out->height = ihdr.height;
  out->hasAlpha = colourHasAlpha || spng_get_trns(reader.ctx(), &trns) == SPNG_OK;
  out->rgba = std::move(pixels);
  return ImageError::None;
}

}  // namespace imaging
