#include "mapview/EncodedImage.h"

#include <initializer_list>

#include "mapview/SurfaceDrawing.h"

EncodedImage::~EncodedImage() {
  if (image_ != nullptr) image_->Release();
  if (factory_ != nullptr) factory_->Release();
}

bool EncodedImage::Decode(const uint8_t* bytes, uint32_t count) {
  if (image_ != nullptr || bytes == nullptr || count == 0) return false;
  void* made = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &made)))
    return false;
  factory_ = static_cast<IImagingFactory*>(made);
  if (FAILED(factory_->CreateImageFromBuffer(bytes, count, BufferDisposalFlagNone, &image_))) {
    image_ = nullptr;
    factory_->Release();
    factory_ = nullptr;
    return false;
  }
  return true;
}

bool EncodedImage::Draw(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom) const {
  return DrawPart(surface, left, top, right, bottom, 0, 0, 0);
}

bool EncodedImage::DrawPart(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x,
                            int32_t y, int32_t size) const {
  if (image_ == nullptr) return false;
  const RECT dest{left, top, right, bottom};
  const RECT source{x, y, x + size, y + size};
  return SUCCEEDED(image_->Draw(surface, &dest, size > 0 ? &source : nullptr));
}

bool EncodedImage::Size(int32_t* width, int32_t* height) const {
  ImageInfo info{0, 0};
  if (image_ == nullptr || FAILED(image_->GetImageInfo(&info))) return false;
  *width = int32_t(info.Width);
  *height = int32_t(info.Height);
  return true;
}

bool EncodedImage::CoversPixel(int32_t x, int32_t y) const {
  if (image_ == nullptr) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return false;
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 1, 1);
  HGDIOBJ old = bitmap != nullptr ? SelectObject(dc, bitmap) : nullptr;
  bool covers = false;
  if (old != nullptr) {
    for (const COLORREF background : {RGB(0, 0, 0), RGB(255, 255, 255)}) {
      SetPixel(dc, 0, 0, background);
      if (DrawPart(dc, 0, 0, 1, 1, x, y, 1) && GetPixel(dc, 0, 0) != background) covers = true;
    }
    SelectObject(dc, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(dc);
  return covers;
}

bool EncodedImage::HasPartialAlpha() const {
  int32_t width = 0, height = 0;
  if (!Size(&width, &height) || width <= 0 || height <= 0) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return false;
  uint32_t* bits[2] = {nullptr, nullptr};
  HBITMAP bitmaps[2] = {CreatePixelBitmap(dc, width, height, &bits[0]), CreatePixelBitmap(dc, width, height, &bits[1])};
  bool partial = false;
  if (bitmaps[0] != nullptr && bitmaps[1] != nullptr) {
    const size_t count = size_t(width) * size_t(height);
    HGDIOBJ old = SelectObject(dc, bitmaps[0]);
    Draw(dc, 0, 0, width, height);
    uint32_t* white = bits[1];
    for (size_t i = 0; i < count; ++i) white[i] = 0x00FFFFFF;
    SelectObject(dc, bitmaps[1]);
    Draw(dc, 0, 0, width, height);
    SelectObject(dc, old);
    const uint32_t* black = bits[0];
    for (size_t i = 0; i < count && !partial; ++i) {
      const uint32_t b = black[i] & 0x00FFFFFF, w = white[i] & 0x00FFFFFF;
      partial = b != w && !(b == 0 && w == 0x00FFFFFF);
    }
  }
  for (HBITMAP bitmap : bitmaps)
    if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(dc);
  return partial;
}
