// Resources as programs write them: lookups by module, type, name and language; strings; icons
// chosen from their group and made at the size asked; menus and their popups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/ui/Resources.h"
#include "tests/platform/imaging/TestImages.h"
#include "tests/platform/ui/ShellTestSupport.h"

using namespace imaging_test;

namespace {

constexpr WORD kKorean = 1042;
constexpr WORD kEnglish = 1033;

const char16_t kUnterminated[] = u"ABCDEF";  // registered with 3 units and no terminator

const MenuItemTemplate kPopupItems[] = {{MF_STRING, 40002, u"About...", nullptr, 0}};
const MenuItemTemplate kMenuItems[] = {{MF_POPUP, 0, u"Help", kPopupItems, 1}, {MF_STRING, 7, u"Plain", nullptr, 0}};
const MenuTemplate kMenu = {kMenuItems, 2};

// One solid colour per image, so that the drawn icon tells which image was chosen.
struct IconImage {
  WORD id;
  BYTE size;
  WORD bits;
  uint32_t colour;
  Bytes png;
};
std::vector<IconImage>& Images() {
  static std::vector<IconImage> images = [] {
    std::vector<IconImage> made = {{1, 16, 4, 0x000010, {}}, {2, 32, 4, 0x000020, {}},  {3, 48, 8, 0x000030, {}},
                                   {4, 32, 8, 0x000040, {}}, {5, 32, 32, 0x000050, {}}, {6, 48, 32, 0x000060, {}}};
    for (IconImage& image : made) {
      image.png =
          EncodeRgbPng(image.size, image.size, std::vector<uint32_t>(size_t(image.size) * image.size, image.colour));
    }
    return made;
  }();
  return images;
}

std::vector<uint8_t> GroupBytes(size_t count, size_t declared) {
  std::vector<uint8_t> bytes(sizeof(GRPICONDIR) + count * sizeof(GRPICONDIRENTRY));
  const GRPICONDIR header{0, 1, WORD(declared)};
  std::memcpy(bytes.data(), &header, sizeof header);
  for (size_t i = 0; i < count; ++i) {
    const IconImage& image = Images()[i];
    const BYTE colours = image.bits == 4 ? 16 : 0;
    const GRPICONDIRENTRY entry{image.size, image.size, colours, 0, 1, image.bits, DWORD(image.png.size()), image.id};
    std::memcpy(bytes.data() + sizeof header + i * sizeof entry, &entry, sizeof entry);
  }
  return bytes;
}

// Registered when the suite starts: the PNGs are made at run time.
void RegisterTestResources() {
  static std::vector<uint8_t> group = GroupBytes(Images().size(), Images().size());
  static std::vector<uint8_t> overstated = GroupBytes(2, 3);  // claims a third entry it lacks
  static std::vector<ResourceEntry> entries = [] {
    std::vector<ResourceEntry> made = {
        {RT_STRING, MAKEINTRESOURCEW(1), kEnglish, u"Title", sizeof(u"Title")},
        {RT_STRING, MAKEINTRESOURCEW(1), kKorean, u"제목", sizeof(u"제목")},
        {RT_STRING, MAKEINTRESOURCEW(2), kEnglish, u"Only English", sizeof(u"Only English")},
        {RT_STRING, MAKEINTRESOURCEW(3), kKorean, kUnterminated, 3 * sizeof(char16_t)},
        {u"CEUX", u"HI_RES_AWARE", kKorean, u"\x0001", 2},
        {RT_GROUP_ICON, MAKEINTRESOURCEW(101), kKorean, group.data(), DWORD(group.size())},
        {RT_GROUP_ICON, MAKEINTRESOURCEW(102), kKorean, overstated.data(), DWORD(overstated.size())},
        {RT_MENU, MAKEINTRESOURCEW(102), kKorean, &kMenu, sizeof kMenu},
    };
    for (const IconImage& image : Images()) {
      made.push_back({RT_ICON, MAKEINTRESOURCEW(image.id), kKorean, image.png.data(), DWORD(image.png.size())});
    }
    return made;
  }();
  RegisterResourceTable(GetModuleHandleW(nullptr), entries.data(), entries.size());
}

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterTestResources(); }
  void SetUp() override { shell_test::StartHeadlessScreen(); }
};

TEST_F(Resources, FoundInTheDeviceLanguageFirstThenAnyAndNamedCaseInsensitively) {
  HMODULE program = GetModuleHandleW(nullptr);
  WCHAR text[16] = {};
  EXPECT_EQ(LoadStringW(program, 1, text, 16), 2);
  EXPECT_EQ(std::u16string(text), u"제목");
  EXPECT_EQ(LoadStringW(program, 2, text, 16), 12);  // only in English: taken anyway
  EXPECT_NE(FindResourceExW(program, RT_STRING, MAKEINTRESOURCEW(1), kEnglish), nullptr);
  EXPECT_EQ(FindResourceExW(program, RT_STRING, MAKEINTRESOURCEW(2), kKorean), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
  EXPECT_EQ(FindResourceW(program, MAKEINTRESOURCEW(9), RT_STRING), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(FindResourceW(program, MAKEINTRESOURCEW(1), RT_DIALOG), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);

  HRSRC flag = FindResourceW(nullptr, u"hi_res_aware", u"ceux");  // null module: the program
  ASSERT_NE(flag, nullptr);
  EXPECT_EQ(SizeofResource(program, flag), 2u);
  EXPECT_EQ(*static_cast<const WORD*>(LockResource(LoadResource(program, flag))), 1);
  EXPECT_NE(FindResourceW(program, u"#101", RT_GROUP_ICON), nullptr);  // "#101" names id 101

  // A handle that is no registered entry is refused rather than read.
  const ResourceEntry forged{RT_RCDATA, MAKEINTRESOURCEW(1), 0, text, 1u << 30};
  EXPECT_EQ(LoadResource(program, reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&forged))), nullptr);
  EXPECT_EQ(SizeofResource(program, reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&forged))), 0u);
  EXPECT_EQ(GetModuleHandleW(u"other.dll"), nullptr);
}

TEST_F(Resources, StringsAreCutToTheBufferAndNeverReadPastTheirData) {
  HMODULE program = GetModuleHandleW(nullptr);
  WCHAR text[8];
  std::fill(std::begin(text), std::end(text), u'#');
  EXPECT_EQ(LoadStringW(program, 2, text, 5), 4);  // "Only" and the terminator
  EXPECT_EQ(std::u16string(text), u"Only");
  EXPECT_EQ(text[5], u'#');
  EXPECT_EQ(LoadStringW(program, 3, text, 8), 3);  // three units registered, no terminator
  EXPECT_EQ(std::u16string(text), u"ABC");
  EXPECT_EQ(LoadStringW(program, 77, text, 8), 0);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(LoadStringW(program, 1, text, 0), 0);
}

// Draws the icon at its own size on white and reads back its size and colour.
struct Drawn {
  int width = 0;
  uint32_t colour = 0;
};
Drawn DrawOnWhite(HICON icon) {
  TestSurface surface(80, 80, 0xFFFFFF);
  EXPECT_TRUE(DrawIcon(surface.dc(), 0, 0, icon));
  Drawn drawn;
  while (drawn.width < 80 && surface.At(drawn.width, 0) != 0xFFFFFF) ++drawn.width;
  drawn.colour = surface.At(0, 0);
  return drawn;
}

TEST_F(Resources, IconsTakeTheExactSizeThenTheNearestLargerThenTheDeepestColour) {
  HMODULE program = GetModuleHandleW(nullptr);
  struct Case {
    int size;
    int width;
    uint32_t colour;
  } cases[] = {
      {32, 32, 0x000050},  // exact: the 32-bit image of three 32 x 32 ones
      {16, 16, 0x000010},  // exact, only one depth
      {24, 24, 0x000050},  // the nearest larger (32), scaled down
      {40, 40, 0x000060},  // the nearest larger (48, the deeper one)
      {64, 64, 0x000060},  // none larger: the largest, deepest
  };
  for (const Case& c : cases) {
    HICON icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(101), IMAGE_ICON, c.size, c.size, 0));
    ASSERT_NE(icon, nullptr) << c.size;
    const Drawn drawn = DrawOnWhite(icon);
    EXPECT_EQ(drawn.width, c.width) << c.size;
    EXPECT_EQ(drawn.colour, c.colour) << c.size;
    DestroyIcon(icon);
  }
  HICON standard = LoadIconW(program, MAKEINTRESOURCEW(101));
  ASSERT_NE(standard, nullptr);
  EXPECT_EQ(DrawOnWhite(standard).width, GetSystemMetrics(SM_CXICON));
  DestroyIcon(standard);
  EXPECT_EQ(LoadIconW(program, MAKEINTRESOURCEW(102)), nullptr);  // its directory overstates its count
  EXPECT_EQ(LoadImageW(program, MAKEINTRESOURCEW(101), IMAGE_ICON, 1 << 20, 1 << 20, 0), nullptr);
}

TEST_F(Resources, MenusHandOutTheirPopupsAndTakeThemAlongWhenDestroyed) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102));
  ASSERT_NE(menu, nullptr);
  HMENU popup = GetSubMenu(menu, 0);
  EXPECT_NE(popup, nullptr);
  EXPECT_EQ(GetSubMenu(menu, 1), nullptr);  // a plain item
  EXPECT_EQ(GetSubMenu(menu, 2), nullptr);
  EXPECT_EQ(GetSubMenu(menu, -1), nullptr);
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(DestroyMenu(popup));
  EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
}

}  // namespace

namespace {

constexpr UINT kLook = WM_APP + 3;
uint32_t iconCorner = 0, iconFarCorner = 0, pastIcon = 0;
bool iconKnown = false;

BOOL IconDialogProcedure(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    PostMessageW(dialog, kLook, 0, 0);
    return TRUE;
  }
  if (message != kLook) return FALSE;
  shell_test::PumpMessages();  // painted
  HWND icon = GetDlgItem(dialog, 201);
  iconKnown = SendMessageW(icon, STM_GETIMAGE, IMAGE_ICON, 0) != 0;
  RECT frame{};
  GetWindowRect(icon, &frame);
  const int size = GetSystemMetrics(SM_CXICON);
  iconCorner = ScreenPixel(frame.left, frame.top);
  iconFarCorner = ScreenPixel(frame.left + size - 1, frame.top + size - 1);
  pastIcon = ScreenPixel(frame.left + size, frame.top + size);
  EndDialog(dialog, 1);
  return TRUE;
}

TEST_F(Resources, DialogIconControlShowsTheGroupsImageForTheSystemIconSize) {
  const DialogItemTemplate items[] = {
      {WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE, 0, 12, 12, 30, 30, 201, u"static", MAKEINTRESOURCEW(101)}};
  const DialogTemplate about = {
      WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 156, 129, u"About", 9, u"MS Shell Dlg", items, 1};
  ASSERT_EQ(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &about, nullptr, IconDialogProcedure, 0), 1);
  EXPECT_TRUE(iconKnown);
  EXPECT_EQ(iconCorner, 0x000050u);  // the 32 x 32 image with 32 bits per pixel, unscaled
  EXPECT_EQ(iconFarCorner, 0x000050u);
  EXPECT_EQ(pastIcon, 0xFFFFFFu);
}

}  // namespace
