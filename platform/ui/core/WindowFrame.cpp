#include "platform/ui/core/WindowFrame.h"

#include "platform/gfx/Gdi.h"
#include "platform/gfx/SurfaceDC.h"
#include "platform/ui/core/ShellHooks.h"

void DrawWindowFrame(PixelSurface store, const RECT& frame, const RECT& clip, DWORD style,
                     const std::u16string& title) {
  const bool border = (style & (WS_BORDER | WS_DLGFRAME)) != 0;
  const bool caption = (style & WS_CAPTION) == WS_CAPTION;
  if (!border && !caption) return;
  HDC dc = CreateSurfaceDC(store, 0, 0, clip);
  if (dc == nullptr) return;
  if (border) {
    HBRUSH black = CreateSolidBrush(ColorFromPixel(kFramePixel));
    const RECT edges[4] = {{frame.left, frame.top, frame.right, frame.top + 1},
                           {frame.left, frame.bottom - 1, frame.right, frame.bottom},
                           {frame.left, frame.top, frame.left + 1, frame.bottom},
                           {frame.right - 1, frame.top, frame.right, frame.bottom}};
    for (const RECT& edge : edges) FillRect(dc, &edge, black);
    DeleteObject(black);
  }
  if (caption) {
    const int32_t inset = border ? 1 : 0;
    RECT bar{frame.left + inset, frame.top + inset, frame.right - inset, frame.top + inset + CaptionHeight()};
    HBRUSH fill = CreateSolidBrush(ColorFromPixel(kCaptionPixel));
    FillRect(dc, &bar, fill);
    DeleteObject(fill);
    LOGFONTW request{};
    request.lfHeight = -(CaptionHeight() * 3 / 5);
    request.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectW(&request);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text{bar.left + CaptionHeight() / 4, bar.top, bar.right - CaptionHeight() / 4, bar.bottom};
    DrawTextW(dc, title.c_str(), int(title.size()), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont != nullptr) SelectObject(dc, oldFont);
    if (font != nullptr) DeleteObject(font);
  }
  DeleteDC(dc);
}
