// The live icons: decoded pixels by checked handle (HandleTable).
#pragma once

#include <memory>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/Icon.h"

namespace imaging {

// Gives the pixels an icon handle; null with ERROR_NOT_ENOUGH_MEMORY when the table is full.
HICON AddIcon(std::shared_ptr<const DecodedImage> pixels);

}  // namespace imaging
