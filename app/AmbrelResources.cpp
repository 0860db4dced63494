// Ambrel's resources, all in Korean (language 1042): strings, the program icon, the Help menu and
// the soft-key menu bar's definition, the accelerators, the About dialogs and the marker that the
// program draws for high-resolution screens itself.
#include <cstddef>

#include "app/ResourceIds.h"
#include "platform/ui/Resources.h"

// The icon images, built in from resources/icons/generated/ (made by resources/icons/make-icons.py).
extern "C" const unsigned char ambrel_icon_32_4bpp[], ambrel_icon_16_4bpp[], ambrel_icon_48_8bpp[],
    ambrel_icon_32_8bpp[], ambrel_icon_16_8bpp[], ambrel_icon_48_32bpp[], ambrel_icon_32_32bpp[],
    ambrel_icon_16_32bpp[];
extern "C" const unsigned int ambrel_icon_32_4bpp_size, ambrel_icon_16_4bpp_size, ambrel_icon_48_8bpp_size,
    ambrel_icon_32_8bpp_size, ambrel_icon_16_8bpp_size, ambrel_icon_48_32bpp_size, ambrel_icon_32_32bpp_size,
    ambrel_icon_16_32bpp_size;

namespace ambrel {
namespace {

// ---- Icon group 101: eight images, 16 colours, 256 colours and 32 bits ----
struct IconImage {
  BYTE size;
  WORD bitCount;
  const unsigned char* bytes;
  const unsigned int* byteCount;
};
constexpr int kIconImageCount = 8;
const IconImage kIconImages[kIconImageCount] = {
    {32, 4, ambrel_icon_32_4bpp, &ambrel_icon_32_4bpp_size},
    {16, 4, ambrel_icon_16_4bpp, &ambrel_icon_16_4bpp_size},
    {48, 8, ambrel_icon_48_8bpp, &ambrel_icon_48_8bpp_size},
    {32, 8, ambrel_icon_32_8bpp, &ambrel_icon_32_8bpp_size},
    {16, 8, ambrel_icon_16_8bpp, &ambrel_icon_16_8bpp_size},
    {48, 32, ambrel_icon_48_32bpp, &ambrel_icon_48_32bpp_size},
    {32, 32, ambrel_icon_32_32bpp, &ambrel_icon_32_32bpp_size},
    {16, 32, ambrel_icon_16_32bpp, &ambrel_icon_16_32bpp_size},
};

#pragma pack(push, 2)
struct ProgramIconGroup {
  GRPICONDIR header;
  GRPICONDIRENTRY entries[kIconImageCount];
};
#pragma pack(pop)
static_assert(sizeof(ProgramIconGroup) == 6 + 14 * kIconImageCount);

ProgramIconGroup MakeProgramIconGroup() {
  ProgramIconGroup group{};
  group.header = GRPICONDIR{0, 1, kIconImageCount};
  for (int i = 0; i < kIconImageCount; ++i) {
    const IconImage& image = kIconImages[i];
    GRPICONDIRENTRY& entry = group.entries[i];
    entry.bWidth = image.size;
    entry.bHeight = image.size;
    entry.bColorCount = image.bitCount == 4 ? 16 : 0;
    entry.wPlanes = 1;
    entry.wBitCount = image.bitCount;
    entry.dwBytesInRes = *image.byteCount;
    entry.nId = WORD(kIconImageFirst + i);
  }
  return group;
}
// Made during static initialisation, before any window looks the group up.
const ProgramIconGroup kProgramIconGroup = MakeProgramIconGroup();

// ---- Menu 102: one popup, "Help", holding "About..." ----
const MenuItemTemplate kHelpItems[] = {{MF_STRING, kCommandAbout, u"About...", nullptr, 0}};
const MenuItemTemplate kMenuItems[] = {{MF_POPUP, 0, u"Help", kHelpItems, 1}};
const MenuTemplate kHelpMenu = {kMenuItems, 1};

// ---- Menu-bar definition 102, byte for byte (16-bit values little-endian) ----
// menu 102, 2 buttons; per button: image, command, state, style, string, 0, popup index.
const unsigned char kMenuBarDefinition[] = {
    0x66, 0x00, 0x02, 0x00,                                                  // menu 102, 2 buttons
    0xFE, 0xFF, 0x40, 0x9C, 0x04, 0x10, 0x67, 0x00, 0x00, 0x00, 0xFF, 0xFF,  // "OK": 40000, push, no popup
    0xFE, 0xFF, 0x41, 0x9C, 0x04, 0x18, 0x68, 0x00, 0x00, 0x00, 0x00, 0x00,  // "Help": 40001, drop-down, popup 0
};
static_assert(sizeof(kMenuBarDefinition) == 28);

// ---- Accelerator table 2 ----
const ACCEL kAcceleratorTable[] = {
    {FVIRTKEY | FNOINVERT | FCONTROL, 'A', kCommandAbout},
    {FVIRTKEY | FNOINVERT | FCONTROL | FLASTENTRY, 'Q', kCommandOk},
};

// ---- Dialogs 105 (About) and 106 (its wide-screen layout) ----
constexpr DWORD kAboutStyle = 0x80C00048;  // popup with caption, font in the template
constexpr DWORD kAboutExStyle = WS_EX_CAPTIONOKBTN;
constexpr DWORD kIconStyle = 0x50000803;     // child, visible, SS_ICON | SS_REALSIZEIMAGE
constexpr DWORD kVersionStyle = 0x50020080;  // child, visible, group, SS_NOPREFIX
constexpr DWORD kNoticeStyle = 0x50020000;   // child, visible, group, SS_LEFT
static_assert(kIconStyle == (WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE));
static_assert(kVersionStyle == (WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX));
constexpr const char16_t* kLegalNotice = u"(C) 2026 Ambrel developers";

const DialogItemTemplate kAboutItems[] = {
    {kIconStyle, 0, 12, 12, 20, 20, kAboutIcon, u"static", MAKEINTRESOURCEW(kIconGroupProgram)},
    {kVersionStyle, 0, 12, 36, 70, 8, kAboutVersion, u"static", u"Ambrel Version 1.0"},
    {kNoticeStyle, 0, 12, 48, 138, 8, kAboutNotice, u"static", kLegalNotice},
};
const DialogTemplate kAboutDialog = {kAboutStyle, kAboutExStyle,   0,           0, 156, 129, u"Ambrel 정보",
                                     9,           u"MS Shell Dlg", kAboutItems, 3};

const DialogItemTemplate kAboutWideItems[] = {
    {kIconStyle, 0, 12, 12, 20, 20, kAboutIcon, u"static", MAKEINTRESOURCEW(kIconGroupProgram)},
    {kVersionStyle, 0, 48, 12, 66, 8, kAboutVersion, u"static", u"Ambrel 버전 1.0"},
    {kNoticeStyle, 0, 48, 24, 157, 8, kAboutNotice, u"static", kLegalNotice},
};
const DialogTemplate kAboutWideDialog = {kAboutStyle,     kAboutExStyle,   0, 0, 210, 129, u"Ambrel 정보", 9,
                                         u"MS Shell Dlg", kAboutWideItems, 3};

// ---- High-resolution marker: the program lays itself out for the real screen size ----
const WORD kHighResolutionAware = 1;

#define AMBREL_STRING(id, text) \
  { RT_STRING, MAKEINTRESOURCEW(id), kLanguageKorean, text, sizeof(text) }
#define AMBREL_ICON(index, symbol) \
  { RT_ICON, MAKEINTRESOURCEW(kIconImageFirst + index), kLanguageKorean, symbol, symbol##_size }

const ResourceEntry kResources[] = {
    AMBREL_STRING(kStringTitle, u"Ambrel"),
    AMBREL_STRING(kStringClassName, u"AMBREL"),
    AMBREL_STRING(kStringSoftKeyOk, u"OK"),
    AMBREL_STRING(kStringSoftKeyHelp, u"Help"),
    AMBREL_ICON(0, ambrel_icon_32_4bpp),
    AMBREL_ICON(1, ambrel_icon_16_4bpp),
    AMBREL_ICON(2, ambrel_icon_48_8bpp),
    AMBREL_ICON(3, ambrel_icon_32_8bpp),
    AMBREL_ICON(4, ambrel_icon_16_8bpp),
    AMBREL_ICON(5, ambrel_icon_48_32bpp),
    AMBREL_ICON(6, ambrel_icon_32_32bpp),
    AMBREL_ICON(7, ambrel_icon_16_32bpp),
    {RT_GROUP_ICON, MAKEINTRESOURCEW(kIconGroupProgram), kLanguageKorean, &kProgramIconGroup,
     sizeof(kProgramIconGroup)},
    {RT_MENU, MAKEINTRESOURCEW(kMenuHelp), kLanguageKorean, &kHelpMenu, sizeof(kHelpMenu)},
    {RT_RCDATA, MAKEINTRESOURCEW(kMenuBar), kLanguageKorean, kMenuBarDefinition, sizeof(kMenuBarDefinition)},
    {RT_ACCELERATOR, MAKEINTRESOURCEW(kAccelerators), kLanguageKorean, kAcceleratorTable, sizeof(kAcceleratorTable)},
    {RT_DIALOG, MAKEINTRESOURCEW(kDialogAbout), kLanguageKorean, &kAboutDialog, sizeof(kAboutDialog)},
    {RT_DIALOG, MAKEINTRESOURCEW(kDialogAboutWide), kLanguageKorean, &kAboutWideDialog, sizeof(kAboutWideDialog)},
    {u"CEUX", u"HI_RES_AWARE", kLanguageKorean, &kHighResolutionAware, sizeof(kHighResolutionAware)},
};

#undef AMBREL_STRING
#undef AMBREL_ICON

const ResourceTableRegistration kRegistration(GetModuleHandleW(nullptr), kResources);

}  // namespace
}  // namespace ambrel
