// The imaging factory object behind CLSID_ImagingFactory.
#pragma once

#include "platform/imaging/ComObject.h"
#include "platform/imaging/Imaging.h"

namespace imaging {

class ImagingFactory final : public ComObject<IImagingFactory> {
 public:
  ImagingFactory() : ComObject<IImagingFactory>(IID_IImagingFactory) {}

  HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal, IImage** image) override;

 private:
  ~ImagingFactory() override = default;
};

}  // namespace imaging
