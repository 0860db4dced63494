// Ambrel's resource table as the device reads it: the icon group's directory against the images it
// names (made by resources/icons/make-icons.py), and the high-resolution marker.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "platform/ui/Resources.h"

namespace {

constexpr WORD kKorean = 1042;

struct Found {
  const unsigned char* bytes = nullptr;
  DWORD size = 0;
};

Found Lookup(LPCWSTR type, LPCWSTR name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceExW(module, type, name, kKorean);
  if (resource == nullptr) return {};
  return {static_cast<const unsigned char*>(LockResource(LoadResource(module, resource))),
          SizeofResource(module, resource)};
}

uint32_t BigEndian32(const unsigned char* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

TEST(AmbrelResources, IconGroupNamesEightImagesOfTheSizeAndDepthItClaims) {
  const Found group = Lookup(RT_GROUP_ICON, MAKEINTRESOURCEW(101));
  ASSERT_NE(group.bytes, nullptr);
  GRPICONDIR header;
  std::memcpy(&header, group.bytes, sizeof header);
  EXPECT_EQ(header.idReserved, 0);
  EXPECT_EQ(header.idType, 1);
  ASSERT_EQ(header.idCount, 8);
  ASSERT_EQ(group.size, sizeof(GRPICONDIR) + 8 * sizeof(GRPICONDIRENTRY));

  std::set<std::pair<int, int>> kinds;
  for (int i = 0; i < header.idCount; ++i) {
    GRPICONDIRENTRY entry;
    std::memcpy(&entry, group.bytes + sizeof(GRPICONDIR) + i * sizeof(GRPICONDIRENTRY), sizeof entry);
    SCOPED_TRACE("image " + std::to_string(entry.nId));
    kinds.insert({entry.bWidth, entry.wBitCount});
    EXPECT_EQ(entry.bWidth, entry.bHeight);
    EXPECT_EQ(entry.bColorCount, entry.wBitCount == 4 ? 16 : 0);
    EXPECT_EQ(entry.wPlanes, 1);

    const Found image = Lookup(RT_ICON, MAKEINTRESOURCEW(entry.nId));
    ASSERT_NE(image.bytes, nullptr);
    ASSERT_EQ(image.size, entry.dwBytesInRes);
    // The PNG's header: 16 colours and 256 colours are palette images of depth 4 and 8; 32 bits
    // per pixel is RGBA with 8 bits a channel.
    ASSERT_GT(image.size, 33u);
    ASSERT_EQ(std::memcmp(image.bytes, "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(BigEndian32(image.bytes + 16), entry.bWidth);
    EXPECT_EQ(BigEndian32(image.bytes + 20), entry.bHeight);
    const int depth = image.bytes[24], colourType = image.bytes[25];
    if (entry.wBitCount == 32) {
      EXPECT_EQ(colourType, 6);
      EXPECT_EQ(depth, 8);
    } else {
      EXPECT_EQ(colourType, 3);
      EXPECT_EQ(depth, entry.wBitCount);
    }
  }
  const std::set<std::pair<int, int>> expected = {{32, 4}, {16, 4},  {48, 8},  {32, 8},
                                                  {16, 8}, {48, 32}, {32, 32}, {16, 32}};
  EXPECT_EQ(kinds, expected);
  // The device decodes them: the program icon loads.
  EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101)), nullptr);
}

TEST(AmbrelResources, HighResolutionMarkerIsTheSixteenBitValueOne) {
  const Found marker = Lookup(u"CEUX", u"HI_RES_AWARE");
  ASSERT_NE(marker.bytes, nullptr);
  ASSERT_EQ(marker.size, 2u);
  EXPECT_EQ(marker.bytes[0] | marker.bytes[1] << 8, 1);
}

}  // namespace
