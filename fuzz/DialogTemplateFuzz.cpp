// Dialog templates: the numbers, texts and controls of a template taken from the bytes, run as a
// modal dialog on the headless screen the way DialogBoxParamW runs a program's RT_DIALOG resource,
// and ended as soon as it is initialised.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/Resources.h"

namespace {

// Reads the bytes front to back; past the end everything reads as zero.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }
  uint16_t Word() { return uint16_t(Byte() | Byte() << 8); }
  uint32_t Dword() { return uint32_t(Word()) | uint32_t(Word()) << 16; }
  // A text of up to `max` UTF-16 units, its length in the first byte.
  std::u16string Text(size_t max) {
    std::u16string text(Byte() % (max + 1), u'\0');
    for (char16_t& c : text) c = char16_t(Word());
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

BOOL EndAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, IDOK);
  return FALSE;
}

void RunDialog(Bytes& in) {
  static const bool started = StartDeviceScreenWith(DeviceScreenConfig{"headless", 240, 320, 1});
  if (!started) __builtin_trap();
  constexpr int kMaxItems = 4;
  std::u16string classes[kMaxItems], texts[kMaxItems];
  DialogItemTemplate items[kMaxItems] = {};
  DialogTemplate dialog{};
  dialog.style = in.Dword();
  dialog.exStyle = in.Dword();
  dialog.x = short(in.Word());
  dialog.y = short(in.Word());
  dialog.cx = short(in.Word());
  dialog.cy = short(in.Word());
  dialog.pointSize = in.Word();
  const std::u16string caption = in.Text(32), typeface = in.Text(32);
  dialog.caption = caption.c_str();
  dialog.typeface = typeface.c_str();
  dialog.itemCount = in.Byte() % (kMaxItems + 1);
  for (int i = 0; i < dialog.itemCount; ++i) {
    DialogItemTemplate& item = items[i];
    item.style = in.Dword();
    item.exStyle = in.Dword();
    item.x = short(in.Word());
    item.y = short(in.Word());
    item.cx = short(in.Word());
    item.cy = short(in.Word());
    item.id = in.Word();
    const uint8_t kind = in.Byte();
    classes[i] = kind % 3 == 0 ? u"button" : kind % 3 == 1 ? u"static" : in.Text(16);
    item.windowClass = classes[i].c_str();
    texts[i] = in.Text(32);
    // An icon control names its icon group by number.
    item.text = kind & 0x80 ? MAKEINTRESOURCEW(in.Word()) : texts[i].c_str();
  }
  dialog.items = items;
  DialogBoxIndirectParamW(nullptr, &dialog, nullptr, EndAtOnce, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  RunDialog(in);
  return 0;
}
