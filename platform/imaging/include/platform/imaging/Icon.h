// Icons made from encoded image bytes (PNG, JPEG): decoded once, kept as their own pixels, drawn
// with their alpha blended over the context. Handles are checked on every call; a value comes
// back only after its slot has been reused 2^24 times, so a destroyed icon's handle names no later one.
#pragma once

#include "platform/gfx/GdiTypes.h"

struct IconObject;
using HICON = IconObject*;

// DrawIconEx flags; every icon is drawn as colour with alpha, so any of them draws the same.
constexpr UINT DI_MASK = 0x0001;
constexpr UINT DI_IMAGE = 0x0002;
constexpr UINT DI_NORMAL = 0x0003;

// An icon of the image in `size` bytes at `bytes`; the bytes are read during the call only.
// Null with ERROR_INVALID_PARAMETER for bytes that are not a decodable image, or
// ERROR_NOT_ENOUGH_MEMORY.
HICON CreateIconFromImageBytes(const void* bytes, UINT size);

// Draws the icon with its left-top at (x, y), scaled to cx x cy (0 for either: the icon's own
// size). `step` and `flickerFreeBrush` are accepted and unused. FALSE with ERROR_INVALID_HANDLE
// for an icon or context that is not live, ERROR_INVALID_PARAMETER for a negative size.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flickerFreeBrush, UINT flags);

// DrawIconEx at the icon's own size.
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);

// FALSE with ERROR_INVALID_HANDLE for an icon that is not live.
BOOL DestroyIcon(HICON icon);
