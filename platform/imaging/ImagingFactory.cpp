#include "platform/imaging/ImagingFactory.h"

#include <new>
#include <utility>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/DecodedImageObject.h"

namespace imaging {

HRESULT ImagingFactory::CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal,
                                              IImage** image) {
  if (image == nullptr) return E_POINTER;
  *image = nullptr;
  if (buffer == nullptr) return E_POINTER;
  if (size == 0 || disposal != BufferDisposalFlagNone) return E_INVALIDARG;
  DecodedImage pixels;
  const ImageError error = DecodeImage(buffer, size, &pixels);
  if (error == ImageError::OutOfMemory) return E_OUTOFMEMORY;
  if (error != ImageError::None) return E_FAIL;
  auto* made = new (std::nothrow) DecodedImageObject(std::move(pixels));
  if (made == nullptr) return E_OUTOFMEMORY;
  *image = made;
  return S_OK;
}

}  // namespace imaging
