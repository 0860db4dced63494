// LoadIconW / LoadImageW: the best image of an icon group for the size asked, made at that size.
#include "platform/ui/shell/IconGroupChooser.h"
#include "platform/ui/shell/ResourceBytes.h"
#include "platform/ui/shell/SizedIcon.h"

namespace {

constexpr int kLargestIcon = 1024;  // pixels a side; larger requests are refused

}  // namespace

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT /*flags*/) {
  if (type != IMAGE_ICON || cx < 0 || cy < 0 || cx > kLargestIcon || cy > kLargestIcon) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (cx == 0) cx = GetSystemMetrics(SM_CXICON);
  if (cy == 0) cy = GetSystemMetrics(SM_CYICON);
  const ui::shell::ResourceBytes group = ui::shell::FindResourceBytes(instance, name, RT_GROUP_ICON);
  if (!group) return nullptr;
  const auto choice = ui::shell::ChooseIconImage(group.data, group.size, cx, cy);
  if (!choice) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const ui::shell::ResourceBytes image =
      ui::shell::FindResourceBytes(instance, MAKEINTRESOURCEW(choice->iconId), RT_ICON);
  if (!image) return nullptr;
  return ui::shell::CreateIconAtSize(image.data, image.size, cx, cy);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  return static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
}
