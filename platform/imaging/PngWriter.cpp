#include "platform/imaging/PngWriter.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::atomic<unsigned> gTempCounter{0};

// One libpng write into an open file. Write() holds the setjmp; the row buffer and libpng's
// structures live in this object, outside that frame.
class PngFileWriter {
 public:
  PngFileWriter(const PixelSurface& surface, std::FILE* file) : surface_(surface), file_(file) {}
  ~PngFileWriter() {
    if (png_ != nullptr) png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
  }
  PngFileWriter(const PngFileWriter&) = delete;
  PngFileWriter& operator=(const PngFileWriter&) = delete;

  bool Write() {
    row_.resize(static_cast<size_t>(surface_.width) * 3);
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (png_ == nullptr) return false;
    info_ = png_create_info_struct(png_);
    if (info_ == nullptr) return false;
    if (setjmp(png_jmpbuf(png_)) != 0) return false;
    png_init_io(png_, file_);
    png_set_IHDR(png_, info_, static_cast<png_uint_32>(surface_.width), static_cast<png_uint_32>(surface_.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png_, info_);
    for (int32_t y = 0; y < surface_.height; ++y) {
      const uint32_t* from = surface_.pixels + static_cast<ptrdiff_t>(y) * surface_.stride;
      for (int32_t x = 0; x < surface_.width; ++x) {
        row_[x * 3] = static_cast<png_byte>(from[x] >> 16);
        row_[x * 3 + 1] = static_cast<png_byte>(from[x] >> 8);
        row_[x * 3 + 2] = static_cast<png_byte>(from[x]);
      }
      png_write_row(png_, row_.data());
    }
    png_write_end(png_, info_);
    return true;
  }

 private:
  [[noreturn]] static void OnError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
  static void OnWarning(png_structp, png_const_charp) {}

  const PixelSurface& surface_;
  std::FILE* file_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::vector<png_byte> row_;
};

}  // namespace

BOOL WritePngFile(const PixelSurface& surface, const char* path) {
  if (path == nullptr || *path == '\0' || surface.pixels == nullptr || surface.width <= 0 || surface.height <= 0 ||
      surface.stride < surface.width) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string temp = std::string(path) + ".tmp-" + std::to_string(getpid()) + "-" +
                           std::to_string(gTempCounter.fetch_add(1, std::memory_order_relaxed));
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(static_cast<DWORD>(errno));
    return FALSE;
  }
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    unlink(temp.c_str());
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
  }
  bool written;
  {
    PngFileWriter writer(surface, file);
    written = writer.Write();
  }
  int error = written ? 0 : EIO;
  if (std::fflush(file) != 0 || fsync(fd) != 0) error = errno != 0 ? errno : EIO;
  if (std::fclose(file) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), path) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
  }
  return TRUE;
}
