// Text on a machine without fonts: a font configuration that names no font folders is installed
// before the font library starts, and every text call must still succeed and draw nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "GfxTestSupport.h"
#include "tests/support/TempFolder.h"

namespace {

// The configuration file lives in a TempFolder, removed when the program ends.
struct EmptyFontConfig {
  EmptyFontConfig() : folder("orvan-gfx-nofonts") {
    const std::string path = folder.File("fonts.conf");
    if (FILE* f = std::fopen(path.c_str(), "w")) {
      std::fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", f);
      std::fclose(f);
    }
    setenv("FONTCONFIG_FILE", path.c_str(), 1);
  }
  TempFolder folder;
};
EmptyFontConfig noFonts;  // before main, so before any text call

TEST(TextWithoutFonts, DrawsNothingAndStillSucceeds) {
  gfxtest::Canvas c(100, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) c.Set(x, y, 0x00FFFFFF);
  SetBkMode(c.dc(), TRANSPARENT);
  RECT r{0, 0, 100, 30};
  EXPECT_GT(DrawTextW(c.dc(), u"Ambrel 정보", -1, &r, DT_SINGLELINE | DT_CENTER), 0);
  EXPECT_EQ(gfxtest::CountInk(c, 0x00FFFFFF), 0);
  SIZE size{-1, -1};
  ASSERT_TRUE(GetTextExtentPoint32W(c.dc(), u"Ambrel", 6, &size));
  EXPECT_EQ(size.cx, 0);
  RECT calc{0, 0, 0, 0};
  EXPECT_EQ(DrawTextW(c.dc(), u"Ambrel", -1, &calc, DT_CALCRECT | DT_SINGLELINE), size.cy);
}

}  // namespace
