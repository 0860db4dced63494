// How a program's resources are written: C++ tables registered for a module before main runs.
//
//   static const ResourceEntry kResources[] = {
//       {RT_STRING, MAKEINTRESOURCEW(1), 1042, u"Ambrel", sizeof(u"Ambrel")},
//       ...};
//   static const ResourceTableRegistration kRegistration(GetModuleHandleW(nullptr), kResources);
//
// Lookups (FindResourceW and every loader) take the entry in the device's language, 1042, when
// there is one, else the first registered in any language; FindResourceExW with a language other
// than LANG_NEUTRAL takes only that language. Integer names match the same integer or the text
// "#<id>"; text names and types match without regard to ASCII case. A null module is the program.
//
// The data of each type:
// - RT_STRING: one entry per string (name = the string's id), UTF-16 text; the terminator may be
//   left out, nothing past `size` is read.
// - RT_ICON: an encoded image (PNG or JPEG) of one size and depth; RT_GROUP_ICON: the platform's
//   icon directory bytes (GRPICONDIR below) naming the RT_ICON ids of its images. Loading picks
//   the image of exactly the size asked, else the nearest larger one scaled down, else the
//   largest; among images of one size the deepest colour. A directory shorter than its count is
//   refused.
// - RT_MENU: a MenuTemplate; RT_DIALOG: a DialogTemplate (each entry's size is sizeof the
//   template); RT_ACCELERATOR: an array of ACCEL whose last entry carries FLASTENTRY (entries
//   after it are not read).
// - RT_RCDATA and custom types (a string type such as u"CEUX"): raw bytes, handed out as they are
//   (the soft-key menu bar's definition is such a raw resource; its layout is in Shell.h).
#pragma once

#include <cstddef>

#include "platform/ui/Windows.h"

struct ResourceEntry {
  LPCWSTR type;   // RT_* or a string type name
  LPCWSTR name;   // MAKEINTRESOURCEW(id) or a string name
  WORD language;  // e.g. 1042
  const void* data;
  DWORD size;  // bytes at `data`
};

// Registers `count` entries for `module`; the entries (and their data) must live as long as the
// process (static tables). Registering is safe during static initialisation.
void RegisterResourceTable(HMODULE module, const ResourceEntry* entries, size_t count);

struct ResourceTableRegistration {
  template <size_t N>
  ResourceTableRegistration(HMODULE module, const ResourceEntry (&entries)[N]) {
    RegisterResourceTable(module, entries, N);
  }
};

// The icon directory of an RT_GROUP_ICON resource, byte for byte as the platform lays it out
// (2-byte packing): a 6-byte header followed by idCount 14-byte entries.
#pragma pack(push, 2)
struct GRPICONDIRENTRY {
  BYTE bWidth;  // 0 means 256
  BYTE bHeight;
  BYTE bColorCount;  // 16 for 4-bit images, 0 otherwise
  BYTE bReserved;
  WORD wPlanes;
  WORD wBitCount;  // 4, 8 or 32
  DWORD dwBytesInRes;
  WORD nId;  // the RT_ICON resource holding the image
};
struct GRPICONDIR {
  WORD idReserved;  // 0
  WORD idType;      // 1
  WORD idCount;
  // GRPICONDIRENTRY idEntries[idCount] follow
};
#pragma pack(pop)
static_assert(sizeof(GRPICONDIR) == 6 && sizeof(GRPICONDIRENTRY) == 14);

// A menu: items, each a command or a popup with its own items.
struct MenuItemTemplate {
  UINT flags;  // MF_STRING, MF_POPUP or MF_SEPARATOR
  UINT id;     // command identifier (0 for a popup or separator)
  LPCWSTR text;
  const MenuItemTemplate* items;  // a popup's items
  UINT itemCount;
};
struct MenuTemplate {
  const MenuItemTemplate* items;
  UINT itemCount;
};

// A dialog: position (from the work area's corner) and size of its client area in dialog units,
// and its controls' in the dialog's client area. A horizontal unit is a quarter of the dialog
// font's average width of the letters A-Z a-z, a vertical unit an eighth of its height; the font
// is the template's (with DS_SETFONT; points at 96 dpi on a 240-wide screen, scaled with the
// width) or else the system's 9-point font.
struct DialogItemTemplate {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
  WORD id;
  LPCWSTR windowClass;  // u"button", u"static"
  LPCWSTR text;         // for an SS_ICON static: MAKEINTRESOURCEW(icon group id)
};
struct DialogTemplate {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
  LPCWSTR caption;
  WORD pointSize;    // with DS_SETFONT
  LPCWSTR typeface;  // with DS_SETFONT
  const DialogItemTemplate* items;
  WORD itemCount;
};
