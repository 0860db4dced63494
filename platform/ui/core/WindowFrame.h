// The parts of a window the window manager draws itself: the one-pixel black border of WS_BORDER
// (and WS_DLGFRAME) windows and the caption of WS_CAPTION windows with their title.
#pragma once

#include <string>

#include "platform/gfx/Surface.h"
#include "platform/ui/Windows.h"

// Draws into `store` the frame of a window whose frame occupies `frame` (store coordinates),
// clipped to `clip`.
void DrawWindowFrame(PixelSurface store, const RECT& frame, const RECT& clip, DWORD style, const std::u16string& title);

constexpr uint32_t kFramePixel = 0x00000000;
constexpr uint32_t kCaptionPixel = 0x00203C78;
