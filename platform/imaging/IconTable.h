// The live icons: decoded pixels by handle value. Handle values count up and are never reused.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/imaging/DecodedImage.h"

namespace imaging {

class IconTable {
 public:
  static IconTable& Instance();

  // The new icon's handle value (never 0).
  uintptr_t Add(std::shared_ptr<const DecodedImage> pixels);
  // The icon's pixels, kept alive for the caller even if the icon is destroyed meanwhile; null
  // for a handle that is not live.
  std::shared_ptr<const DecodedImage> Find(uintptr_t handle) const;
  bool Remove(uintptr_t handle);

 private:
  mutable std::mutex lock_;
  std::unordered_map<uintptr_t, std::shared_ptr<const DecodedImage>> icons_;
  uintptr_t next_ = 1;
};

}  // namespace imaging
