#include "platform/imaging/DecodedImageObject.h"

#include <utility>

#include "platform/imaging/ImageBlitter.h"

namespace imaging {

DecodedImageObject::DecodedImageObject(DecodedImage pixels)
    : ComObject<IImage>(IID_IImage), pixels_(std::move(pixels)) {}

HRESULT DecodedImageObject::GetImageInfo(ImageInfo* info) {
  if (info == nullptr) return E_POINTER;
  info->Width = pixels_.width;
  info->Height = pixels_.height;
  return S_OK;
}

HRESULT DecodedImageObject::Draw(HDC dc, const RECT* dest, const RECT* source) {
  if (dest == nullptr) return E_POINTER;
  if (dest->right <= dest->left || dest->bottom <= dest->top) return E_INVALIDARG;
  RECT whole = {0, 0, static_cast<LONG>(pixels_.width), static_cast<LONG>(pixels_.height)};
  if (source != nullptr) {
    if (source->left < 0 || source->top < 0 || source->right <= source->left || source->bottom <= source->top ||
        source->right > whole.right || source->bottom > whole.bottom) {
      return E_INVALIDARG;
    }
    whole = *source;
  }
  DrawTarget target{};
  if (!GetDrawTarget(dc, &target)) return E_INVALIDARG;
  ImageBlitter::Draw(pixels_, whole, *dest, target);
  return S_OK;
}

}  // namespace imaging
