#include "platform/imaging/Icon.h"

#include <memory>
#include <new>

#include "platform/gfx/Surface.h"
#include "platform/imaging/IconTable.h"
#include "platform/imaging/ImageBlitter.h"
#include "platform/kernel/HandleTable.h"

using imaging::DecodedImage;
using imaging::ImageError;

namespace {

uintptr_t HandleValue(HICON icon) { return reinterpret_cast<uintptr_t>(icon); }

// The live icons' pixels.
HandleTable<const DecodedImage>& Icons() {
  static HandleTable<const DecodedImage> table(kIconHandleTag);
  return table;
}

}  // namespace

HICON imaging::AddIcon(std::shared_ptr<const DecodedImage> pixels) {
  const uintptr_t handle = Icons().Insert(std::move(pixels));
  if (handle == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HICON>(handle);
}

HICON CreateIconFromImageBytes(const void* bytes, UINT size) {
  auto pixels = std::make_shared<DecodedImage>();
  const ImageError error = imaging::DecodeImage(bytes, size, pixels.get());
  if (error != ImageError::None) {
    SetLastError(error == ImageError::OutOfMemory ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return imaging::AddIcon(std::move(pixels));
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT /*step*/, HBRUSH /*flickerFreeBrush*/,
                UINT /*flags*/) {
  const std::shared_ptr<const DecodedImage> pixels = Icons().Find(HandleValue(icon));
  DrawTarget target{};
  if (pixels == nullptr || !GetDrawTarget(dc, &target)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (cx < 0 || cy < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto width = static_cast<int64_t>(cx == 0 ? pixels->width : static_cast<uint32_t>(cx));
  const auto height = static_cast<int64_t>(cy == 0 ? pixels->height : static_cast<uint32_t>(cy));
  const RECT source = {0, 0, static_cast<LONG>(pixels->width), static_cast<LONG>(pixels->height)};
  const RECT dest = {x, y, static_cast<LONG>(x + width), static_cast<LONG>(y + height)};
  if (dest.right <= dest.left || dest.bottom <= dest.top) {  // past the coordinate range
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  imaging::ImageBlitter::Draw(*pixels, source, dest, target);
  return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) { return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }

BOOL DestroyIcon(HICON icon) {
  if (Icons().Remove(HandleValue(icon)) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
