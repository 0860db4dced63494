// The platform's imaging service: a factory (made with CoCreateInstance) that turns encoded image
// bytes (PNG, JPEG) into images, and images that draw themselves into a device context, scaled to
// a rectangle and blended by their alpha.
#pragma once

#include "platform/gfx/GdiTypes.h"
#include "platform/imaging/ComRuntime.h"
#include "platform/imaging/ComTypes.h"

// {327ABDA8-072B-11D3-9D7B-0000F81EF32E}
inline constexpr CLSID CLSID_ImagingFactory = {
    0x327ABDA8, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
// {327ABDA7-072B-11D3-9D7B-0000F81EF32E}
inline constexpr IID IID_IImagingFactory = {
    0x327ABDA7, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
// {327ABDA9-072B-11D3-9D7B-0000F81EF32E}
inline constexpr IID IID_IImage = {0x327ABDA9, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// What happens to a caller's buffer when the image made from it is released. Only "nothing" is
// offered: the buffer stays the caller's.
enum BufferDisposalFlag {
  BufferDisposalFlagNone = 0,
};

struct ImageInfo {
  UINT Width;   // pixels
  UINT Height;  // pixels
};

struct IImage : IUnknown {
  virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
  // Draws the image's `source` rectangle (null: the whole image; in image pixels, inside the
  // image and not empty) into `dest` (context coordinates, not empty), clipped to the context's
  // clip. Equal sizes copy pixel for pixel; other sizes are resampled smoothly. Transparent pixels
  // leave the context's pixels as they were; opaque ones replace them exactly.
  // E_POINTER for a null `dest`; E_INVALIDARG for a context that is not live, an empty `dest`, or
  // a `source` outside the image.
  virtual HRESULT Draw(HDC dc, const RECT* dest, const RECT* source) = 0;

 protected:
  ~IImage() = default;
};

struct IImagingFactory : IUnknown {
  // Decodes `size` bytes at `buffer` into a new image (reference count 1). The buffer is read
  // during this call only: the caller may change or free it as soon as the call returns.
  // E_POINTER for a null `buffer` or `image`; E_INVALIDARG for size 0 or a disposal other than
  // BufferDisposalFlagNone; E_FAIL for bytes that are not a decodable image (unknown format,
  // truncated, corrupt, or larger than the service's limits); E_OUTOFMEMORY.
  virtual HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal, IImage** image) = 0;

 protected:
  ~IImagingFactory() = default;
};
