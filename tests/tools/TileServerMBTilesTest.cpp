// MBTiles files as the tile server's source: the stored bytes served as they are, rows counted
// from the south in the file and from the north in tile URLs, 404 for tiles not in the file, the
// file never written, JPEG and WebP tiles that the viewer's imaging draws, and files that are no
// usable MBTiles refused at start with one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/imaging/Imaging.h"
#include "tests/platform/imaging/TestImages.h"
#include "tests/support/RawHttpConnection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tests/tools/PngTestImage.h"
#include "tests/tools/ServerRun.h"
#include "tools/tileserver/TileAddress.h"
#include "tools/tileserver/TileStyle.h"

namespace {

constexpr int kTimeoutMs = 10000;

std::string World(int n) { return "mt" + std::to_string(n) + "." + tileserver::WorldDomain(); }
std::string Regional(int n) { return "mt" + std::to_string(n) + "." + tileserver::RegionalDomain(); }

std::string AsString(const imaging_test::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string OneColourPng(uint32_t rgb) {
  return AsString(imaging_test::EncodeRgbPng(8, 8, std::vector<uint32_t>(64, rgb)));
}

RawHttpReply Fetch(TileServer& server, const std::string& request) {
  RawHttpConnection connection(server.Port());
  connection.Send(request);
  RawHttpReply reply;
  EXPECT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete) << request;
  return reply;
}

void WriteSmallMap(const std::string& path, const std::string& format) {
  MBTilesTestFile file(path);
  file.Metadata("name", "Test map");
  file.Metadata("format", format);
  file.Metadata("bounds", "126.7,37.4,127.2,37.7");
  file.Metadata("minzoom", "0");
  file.Metadata("maxzoom", "2");
}

TEST(MBTilesSource, ServesTheStoredBytesWithRowsFlippedAndNeverWritesTheFile) {
  TempFolder folder;
  const std::string path = folder.File("map.mbtiles");
  const std::string north = OneColourPng(0x00FF0000), south = OneColourPng(0x000000FF);
  WriteSmallMap(path, "png");
  {
    MBTilesTestFile file(path);
    file.Tile(2, 1, 3, north);  // TMS row 3 of level 2 is the northernmost row, y = 0 in a tile URL
    file.Tile(2, 1, 0, south);
  }
  const std::string before = ReadWholeFile(path);
  {
    TileServer server({"--source", "mbtiles:" + path, "--regional-source", "synthetic"});
    const RawHttpReply top = Fetch(server, TileRequestText(World(1), 1, 0, 2, true));
    ASSERT_EQ(top.status, 200);
    EXPECT_EQ(top.body, north);
    EXPECT_EQ(top.Header("Content-Type"), "image/png");
    EXPECT_EQ(Fetch(server, TileRequestText(World(2), 1, 3, 2, true)).body, south);
    EXPECT_EQ(Fetch(server, TileRequestText(World(0), 1, 1, 2, true)).status, 404);   // a row not in the file
    EXPECT_EQ(Fetch(server, TileRequestText(World(0), 0, 0, 0, false)).status, 404);  // a level not in it

    // The client's copy is still the same: 304 and no image.
    const std::string tag = top.Header("ETag").value_or("");
    ASSERT_FALSE(tag.empty());
    const RawHttpReply again =
        Fetch(server, TileRequestText(World(1), 1, 0, 2, true, "If-None-Match: " + tag + "\r\n"));
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(Fetch(server, TileRequestText(World(1), 1, 3, 2, true, "If-None-Match: " + tag + "\r\n")).status, 200);

    // The regional domain names another source: a drawn tile where the file has none.
    const DecodedPng drawn = DecodePng(Fetch(server, TileRequestText(Regional(1), 1, 1, 2, true)).body);
    ASSERT_TRUE(drawn.ok);
    EXPECT_EQ(drawn.At(tileserver::style::kProbeX, tileserver::style::kProbeY), tileserver::style::kRegionalBackground);

    std::vector<std::string> outcomes;
    for (const TileServerLogEntry& e : server.Log()) outcomes.push_back(e.outcome);
    EXPECT_EQ(outcomes, (std::vector<std::string>{"200 tile", "200 tile", "404 missing", "404 missing",
                                                  "304 not-modified", "200 tile", "200 tile"}));
  }
  EXPECT_TRUE(ReadWholeFile(path) == before);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"map.mbtiles"});  // no journal, no WAL
}

// The bytes reach the viewer's imaging as they are stored and are drawn: a JPEG closely (it is
// lossy), a lossless WebP exactly.
TEST(MBTilesSource, JpegAndWebpTilesCarryTheirTypeAndAreDrawnByTheImagingFactory) {
  constexpr int kSide = 256;
  std::vector<uint8_t> rgb, rgba;
  std::vector<uint32_t> expected;
  for (int i = 0; i < kSide * kSide; ++i) {
    const uint8_t r = uint8_t(i % kSide), g = uint8_t(i / kSide), b = uint8_t(255 - (i % kSide + i / kSide) / 2);
    rgb.insert(rgb.end(), {r, g, b});
    rgba.insert(rgba.end(), {r, g, b, 255});
    expected.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | b);
  }
  const std::string jpeg = AsString(imaging_test::EncodeJpeg(kSide, kSide, false, false, rgb));
  const std::string webp = AsString(imaging_test::EncodeWebp(kSide, kSide, true, rgba));
  TempFolder folder;
  WriteSmallMap(folder.File("photo.mbtiles"), "jpg");
  WriteSmallMap(folder.File("webp.mbtiles"), "webp");
  MBTilesTestFile(folder.File("photo.mbtiles")).Tile(1, 1, 0, jpeg);
  MBTilesTestFile(folder.File("webp.mbtiles")).Tile(1, 1, 0, webp);
  TileServer server({"--source", "mbtiles:" + folder.File("photo.mbtiles"), "--regional-source",
                     "mbtiles:" + folder.File("webp.mbtiles")});

  IImagingFactory* factory = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  for (const auto& [host, stored, type, tolerance] :
       {std::tuple{World(0), jpeg, "image/jpeg", 12}, std::tuple{Regional(0), webp, "image/webp", 0}}) {
    const RawHttpReply reply = Fetch(server, TileRequestText(host, 1, 1, 1, true));
    ASSERT_EQ(reply.status, 200) << type;
    EXPECT_EQ(reply.Header("Content-Type"), type);
    ASSERT_TRUE(reply.body == stored) << type;
    IImage* image = nullptr;
    ASSERT_EQ(
        factory->CreateImageFromBuffer(reply.body.data(), UINT(reply.body.size()), BufferDisposalFlagNone, &image),
        S_OK)
        << type;
    imaging_test::TestSurface surface(kSide, kSide, 0);
    const RECT dest = {0, 0, kSide, kSide};
    ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK) << type;
    image->Release();
    int worst = 0;
    for (int i = 0; i < kSide * kSide; ++i) {
      for (int shift : {0, 8, 16}) {
        worst = std::max(worst, std::abs(int(surface.Pixels()[i] >> shift & 0xFF) - int(expected[i] >> shift & 0xFF)));
      }
    }
    EXPECT_LE(worst, tolerance) << type;
  }
  factory->Release();
}

TEST(MBTilesSource, FilesThatAreNoSoundMBTilesAreRefusedAtStartWithOneLine) {
  TempFolder folder;
  struct Case {
    std::string name, reason;
  };
  std::vector<Case> cases;
  auto add = [&](const std::string& name, const std::string& reason) {
    cases.push_back({name, reason});
    return folder.File(name);
  };
  WriteWholeFile(add("text.mbtiles", "not an SQLite database"), "a page of text, no database\n");
  MBTilesTestFile(add("other.mbtiles", "no metadata table")).Exec("DROP TABLE metadata");
  MBTilesTestFile(add("notiles.mbtiles", "no tiles table")).Exec("DROP TABLE tiles");
  WriteSmallMap(add("vector.mbtiles", "vector tiles (format pbf)"), "pbf");
  WriteSmallMap(add("gif.mbtiles", "unknown tile format \"gif\""), "gif");
  MBTilesTestFile bounds(add("bounds.mbtiles", "bad bounds"));
  bounds.Metadata("format", "png");
  bounds.Metadata("bounds", "126.7,37.4");
  bounds.Close();
  add("absent.mbtiles", "No such file");

  // A sound file of many pages, then damaged: a run of pages overwritten, and another cut short.
  const std::string sound = folder.File("sound.mbtiles");
  WriteSmallMap(sound, "png");
  {
    MBTilesTestFile file(sound);
    file.Exec("BEGIN");
    for (int x = 0; x < 64; ++x) file.Tile(6, x, 0, std::string(3000, char('a' + x % 26)));
    file.Exec("COMMIT");
  }
  const std::string bytes = ReadWholeFile(sound);
  ASSERT_GT(bytes.size(), 64u * 4096);
  std::string damaged = bytes;
  std::fill(damaged.begin() + 8 * 4096, damaged.begin() + 12 * 4096, '\x5A');
  WriteWholeFile(add("damaged.mbtiles", "damaged"), damaged);
  WriteWholeFile(add("cut.mbtiles", "damaged"), bytes.substr(0, bytes.size() / 2));

  for (const Case& c : cases) {
    const std::string path = folder.File(c.name);
    const std::string before = ReadWholeFile(path);
    const ProgramRun run = RunServer("--source 'mbtiles:" + path + "'");
    EXPECT_EQ(run.exitCode, 4) << c.name << ": " << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << c.name << ": " << run.output;
    EXPECT_EQ(run.output.rfind("tileserver: world tiles: " + path + ": ", 0), 0u) << run.output;
    EXPECT_NE(run.output.find(c.reason), std::string::npos) << c.name << ": " << run.output;
    EXPECT_TRUE(ReadWholeFile(path) == before) << c.name;
  }
  // The sound file it was made from starts, and says what it read.
  TileServer fine({"--source", "mbtiles:" + sound});
  EXPECT_EQ(Fetch(fine, TileRequestText(World(0), 5, 63, 6, true)).body, std::string(3000, 'f'));
}

}  // namespace
