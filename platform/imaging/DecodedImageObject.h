// The image the factory hands out: pixels decoded once when the image is made, owned by the image,
// drawn by ImageBlitter. It keeps nothing of the caller's buffer.
#pragma once

#include "platform/imaging/ComObject.h"
#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/Imaging.h"

namespace imaging {

class DecodedImageObject final : public ComObject<IImage> {
 public:
  explicit DecodedImageObject(DecodedImage pixels);

  HRESULT GetImageInfo(ImageInfo* info) override;
  HRESULT Draw(HDC dc, const RECT* dest, const RECT* source) override;

 private:
  ~DecodedImageObject() override = default;

  DecodedImage pixels_;
};

}  // namespace imaging
