#include "platform/ui/core/TaskBar.h"

#include "platform/gfx/Gdi.h"
#include "platform/gfx/SurfaceDC.h"

bool TaskBar::Update(int32_t width, int32_t height, const std::u16string& title, bool okButton) {
  if (drawn_ && width == width_ && height == height_ && title == title_ && okButton == okShown_) return false;
  width_ = width;
  height_ = height;
  title_ = title;
  okShown_ = okButton;
  pixels_.assign(size_t(width) * size_t(height), kTaskBarPixel);
  okRect_ = OkButtonRectFor(width, height);
  Draw();
  drawn_ = true;
  return true;
}

RECT TaskBar::OkButtonRectFor(int32_t width, int32_t height) {
  const int32_t margin = height / 6;
  const int32_t buttonWidth = height * 3 / 2;
  return RECT{width - margin - buttonWidth, margin, width - margin, height - margin};
}

void TaskBar::Draw() {
  if (width_ <= 0 || height_ <= 0) return;
  HDC dc = CreateSurfaceDC(Surface(), 0, 0, RECT{0, 0, width_, height_});
  if (dc == nullptr) return;
  LOGFONTW request{};
  request.lfHeight = -(height_ / 2);
  request.lfWeight = FW_BOLD;
  HFONT font = CreateFontIndirectW(&request);
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorFromPixel(kTaskBarTextPixel));
  const int32_t pad = height_ / 4;
  RECT textRect{pad, 0, (okShown_ ? okRect_.left : width_) - pad, height_};
  if (!title_.empty()) {
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(title_.c_str()), int(title_.size()), &textRect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (okShown_) {
    HBRUSH white = CreateSolidBrush(ColorFromPixel(kTaskBarTextPixel));
    FillRect(dc, &okRect_, white);
    DeleteObject(white);
    RECT inner{okRect_.left + 1, okRect_.top + 1, okRect_.right - 1, okRect_.bottom - 1};
    HBRUSH blue = CreateSolidBrush(ColorFromPixel(kTaskBarPixel));
    FillRect(dc, &inner, blue);
    DeleteObject(blue);
    RECT label = okRect_;
    DrawTextW(dc, u"ok", 2, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  if (font != nullptr) DeleteObject(font);
  DeleteDC(dc);
}
