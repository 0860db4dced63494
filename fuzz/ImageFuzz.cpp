// Encoded images (PNG, JPEG, WebP) through the imaging factory, as the map control meets tiles:
// the image is made from the bytes, then drawn scaled into a small surface and at its own size.
#include <cstddef>
#include <cstdint>

#include "platform/gfx/Gdi.h"
#include "platform/imaging/Imaging.h"

namespace {

constexpr int kSurfaceSide = 64;

struct Surface {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, kSurfaceSide, kSurfaceSide);
  Surface() { SelectObject(dc, bitmap); }
};

IImagingFactory* Factory() {
  static IImagingFactory* factory = [] {
    void* made = nullptr;
    CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &made);
    return static_cast<IImagingFactory*>(made);
  }();
  return factory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Surface surface;
  IImagingFactory* factory = Factory();
  if (factory == nullptr || surface.bitmap == nullptr) __builtin_trap();
  IImage* image = nullptr;
  if (FAILED(factory->CreateImageFromBuffer(data, UINT(size), BufferDisposalFlagNone, &image))) return 0;
  ImageInfo info{};
  image->GetImageInfo(&info);
  const RECT scaled{3, 5, 61, 50};
  image->Draw(surface.dc, &scaled, nullptr);
  const RECT natural{-7, -9, -7 + LONG(info.Width), -9 + LONG(info.Height)};
  image->Draw(surface.dc, &natural, nullptr);
  image->Release();
  return 0;
}
