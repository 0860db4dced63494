#include "platform/imaging/JpegDecoder.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/imaging/ImageLimits.h"

namespace imaging {

namespace {

constexpr int kRowsPerRead = 16;

struct ErrorJump {
  jpeg_error_mgr manager;  // first, so the library's pointer to it is a pointer to this
  std::jmp_buf jump;
  ImageError error;
};

[[noreturn]] void FailWith(j_common_ptr cinfo, ImageError error) {
  auto* jump = reinterpret_cast<ErrorJump*>(cinfo->err);
  jump->error = error;
  std::longjmp(jump->jump, 1);
}

[[noreturn]] void OnError(j_common_ptr cinfo) {
  FailWith(cinfo, cinfo->err->msg_code == JERR_OUT_OF_MEMORY ? ImageError::OutOfMemory : ImageError::Corrupt);
}

// Level -1 is a warning: the library would carry on with made-up data (grey padding for a cut
// stream, zeroed blocks after a bad code). Such an image is not what was sent, so it fails.
// Warnings that leave the pixels intact are let through; trace messages (level >= 0) are dropped.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  const int code = cinfo->err->msg_code;
  if (code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC) return;
  FailWith(cinfo, code == JWRN_JPEG_EOF ? ImageError::Truncated : ImageError::Corrupt);
}

void OnProgress(j_common_ptr cinfo) {
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxJpegScans) FailWith(cinfo, ImageError::Corrupt);
}

// One decompression over a caller's buffer. Run() holds the setjmp; everything that must survive
// a longjmp lives in this object, outside Run()'s frame, and nothing between the setjmp and the
// library's calls has a destructor to skip.
class JpegSession {
 public:
  JpegSession(const void* bytes, size_t size) : bytes_(static_cast<const unsigned char*>(bytes)), size_(size) {
    cinfo_.err = jpeg_std_error(&jump_.manager);
    jump_.manager.error_exit = OnError;
    jump_.manager.emit_message = OnMessage;
    progress_.progress_monitor = OnProgress;
  }
  ~JpegSession() {
    if (created_) jpeg_destroy_decompress(&cinfo_);
  }
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;

  // Reads the header, checks the limits, then decodes into pixels_.
  ImageError Run(DecodeStats* stats) {
    if (setjmp(jump_.jump) != 0) return jump_.error;
    jpeg_create_decompress(&cinfo_);
    created_ = true;
    cinfo_.mem->max_memory_to_use = kMaxJpegWorkBytes;
    cinfo_.progress = &progress_;
    jpeg_mem_src(&cinfo_, bytes_, static_cast<unsigned long>(size_));
    jpeg_read_header(&cinfo_, TRUE);
    if (cinfo_.image_width > kMaxImageSide || cinfo_.image_height > kMaxImageSide ||
        size_t{cinfo_.image_width} * cinfo_.image_height * 4 > kMaxDecodedBytes) {
      return ImageError::TooLarge;
    }
    width_ = cinfo_.image_width;
    height_ = cinfo_.image_height;

    cinfo_.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo_);
    if (cinfo_.output_width != width_ || cinfo_.output_height != height_ || cinfo_.output_components != 4) {
      return ImageError::Corrupt;
    }
    const size_t rowBytes = size_t{width_} * 4;
    const size_t bytes = rowBytes * height_;
    if (bytes > stats->largestAllocation) stats->largestAllocation = bytes;
    pixels_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!pixels_) return ImageError::OutOfMemory;
    JSAMPROW rows[kRowsPerRead];
    while (cinfo_.output_scanline < height_) {
      const JDIMENSION first = cinfo_.output_scanline;
      int count = 0;
      for (; count < kRowsPerRead && first + count < height_; ++count)
        rows[count] = pixels_.get() + (first + count) * rowBytes;
      if (jpeg_read_scanlines(&cinfo_, rows, count) == 0) return ImageError::Truncated;
    }
    jpeg_finish_decompress(&cinfo_);
    return ImageError::None;
  }

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  std::unique_ptr<uint8_t[]> TakePixels() { return std::move(pixels_); }

 private:
  const unsigned char* bytes_;
  size_t size_;
  jpeg_decompress_struct cinfo_{};
  ErrorJump jump_{};
  jpeg_progress_mgr progress_{};
  bool created_ = false;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  std::unique_ptr<uint8_t[]> pixels_;
};

}  // namespace

ImageError JpegDecoder::Decode(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats) {
  JpegSession session(bytes, size);
  const ImageError error = session.Run(stats);
  if (error != ImageError::None) return error;
  out->width = session.width();
  out->height = session.height();
  out->hasAlpha = false;
  out->rgba = session.TakePixels();
  return ImageError::None;
}

}  // namespace imaging
