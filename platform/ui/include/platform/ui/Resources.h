// How a program's resources are written: C++ tables registered for a module before main runs.
//
//   static const ResourceEntry kResources[] = {
//       {RT_STRING, MAKEINTRESOURCEW(1), 1042, u"Ambrel", sizeof(u"Ambrel")},
//       ...};
//   static const ResourceTableRegistration kRegistration(GetModuleHandleW(nullptr), kResources);
//
// The data of each type:
// - RT_STRING: one entry per string (name = the string's id), UTF-16 text with its terminator.
// - RT_ICON: an encoded image (PNG) of one size and depth; RT_GROUP_ICON: the platform's icon
//   directory bytes (GRPICONDIR below) naming the RT_ICON ids of its images.
// - RT_MENU: a MenuTemplate; RT_DIALOG: a DialogTemplate; RT_ACCELERATOR: an array of ACCEL whose
//   last entry carries FLASTENTRY.
// - RT_RCDATA and custom types (a string type such as u"CEUX"): raw bytes, handed out as they are
//   (the soft-key menu bar's definition is such a raw resource).
#pragma once

#include <cstddef>

#include "platform/ui/Windows.h"

struct ResourceEntry {
  LPCWSTR type;    // RT_* or a string type name
  LPCWSTR name;    // MAKEINTRESOURCEW(id) or a string name
  WORD language;   // e.g. 1042
  const void* data;
  DWORD size;      // bytes at `data`
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
  BYTE bWidth;        // 0 means 256
  BYTE bHeight;
  BYTE bColorCount;   // 16 for 4-bit images, 0 otherwise
  BYTE bReserved;
  WORD wPlanes;
  WORD wBitCount;     // 4, 8 or 32
  DWORD dwBytesInRes;
  WORD nId;           // the RT_ICON resource holding the image
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

// A dialog: position and size in dialog units; the font (point size and family) sets the units.
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
  WORD pointSize;       // with DS_SETFONT
  LPCWSTR typeface;     // with DS_SETFONT
  const DialogItemTemplate* items;
  WORD itemCount;
};
