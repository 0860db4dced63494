#include "platform/ui/shell/DeviceFont.h"

#include "platform/kernel/WideText.h"

namespace ui::shell {

namespace {

constexpr int kDotsPerInchAt240 = 96;
constexpr int kReferenceWidth = 240;
constexpr int kPointsPerInch = 72;
constexpr int kControlPoints = 9;

}  // namespace

int PointsToPixels(int points) {
  int width = GetSystemMetrics(SM_CXSCREEN);
  if (width <= 0) width = kReferenceWidth;
  const int64_t dots = int64_t(kDotsPerInchAt240) * width;
  // Rounded to the nearest pixel: points * dpi / 72, dpi = 96 * width / 240.
  const int64_t scale = int64_t(kPointsPerInch) * kReferenceWidth;
  return int((int64_t(points) * dots + scale / 2) / scale);
}

HFONT CreateDeviceFont(LPCWSTR typeface, int points, bool bold) {
  LOGFONTW request{};
  request.lfHeight = -PointsToPixels(points);
  request.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  if (typeface) WideCopyToField(request.lfFaceName, LF_FACESIZE, typeface);
  return CreateFontIndirectW(&request);
}

HFONT DefaultControlFont() {
  static const HFONT font = [] {
    HFONT made = CreateDeviceFont(nullptr, kControlPoints, false);
    return made ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }();
  return font;
}

}  // namespace ui::shell
