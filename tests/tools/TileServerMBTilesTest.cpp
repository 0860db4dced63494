// MBTiles files as the tile server's source: the stored bytes served as they are, rows counted
// from the south in the file and from the north in tile URLs, 404 for tiles not in the file, the
// file never written and nothing made beside it, JPEG and WebP tiles that the viewer's imaging
// draws, stored tiles that are no image or take too long refused per tile, and files that are no
// usable MBTiles (or whose queries never end) refused at start with one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

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
const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);  // enough of an image for the server to serve it

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
    for (const TileServerLogEntry& e : server.AnsweredLog()) outcomes.push_back(e.outcome);
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
    for (int x = 0; x < 64; ++x) file.Tile(6, x, 0, kPngSignature + std::string(3000, char('a' + x % 26)));
    file.Exec("COMMIT");
  }
  const std::string bytes = ReadWholeFile(sound);
  ASSERT_GT(bytes.size(), 64u * 4096);
  std::string damaged = bytes;
  std::fill(damaged.begin() + 8 * 4096, damaged.begin() + 12 * 4096, '\x5A');
  WriteWholeFile(add("damaged.mbtiles", "damaged"), damaged);
  WriteWholeFile(add("cut.mbtiles", "damaged"), bytes.substr(0, bytes.size() / 2));

  // Zoom levels told by the tiles themselves (no minzoom, maxzoom) that no tile URL can reach.
  MBTilesTestFile levels(add("levels.mbtiles", "zoom levels -5 to 4294967336, outside 0 to 30"));
  levels.Metadata("format", "png");
  levels.Exec("INSERT INTO tiles VALUES (-5, 0, 0, x'00'), (4294967336, 0, 0, x'00'), (2, 0, 0, x'00')");
  levels.Close();
  // A "tiles" view that never ends, read for the zoom levels the metadata does not give.
  MBTilesTestFile endless(add("endless.mbtiles", "reading the zoom levels from the tiles took longer than 5 s"));
  endless.Metadata("format", "png");
  endless.Exec(
      "DROP TABLE tiles;"
      "CREATE VIEW tiles AS WITH RECURSIVE c(zoom_level, tile_column, tile_row, tile_data) AS "
      "(SELECT 0, 0, 0, x'00' UNION ALL SELECT zoom_level, tile_column + 1, tile_row, tile_data FROM c) "
      "SELECT * FROM c");
  endless.Close();

  for (const Case& c : cases) {
    const std::string path = folder.File(c.name);
    const std::string before = ReadWholeFile(path);
    const std::vector<std::string> namesBefore = folder.Names();
    const ProgramRun run = RunServer("--source 'mbtiles:" + path + "'");
    EXPECT_EQ(run.exitCode, 4) << c.name << ": " << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << c.name << ": " << run.output;
    EXPECT_EQ(run.output.rfind("tileserver: world tiles: " + path + ": ", 0), 0u) << run.output;
    EXPECT_NE(run.output.find(c.reason), std::string::npos) << c.name << ": " << run.output;
    EXPECT_TRUE(ReadWholeFile(path) == before) << c.name;
    EXPECT_EQ(folder.Names(), namesBefore) << c.name;
  }
  // The sound file it was made from starts, and says what it read.
  TileServer fine({"--source", "mbtiles:" + sound});
  EXPECT_TRUE(Fetch(fine, TileRequestText(World(0), 5, 63, 6, true)).body == kPngSignature + std::string(3000, 'f'));
}

// A look-up that never ends (a view that recurses for one level) is cut off and answered 500 while
// other requests are answered meanwhile; stored tiles that are no image (NULL, empty, text) are
// 500 too, never an empty image/png; an image is sent with the type its bytes tell.
TEST(MBTilesSource, TilesThatAreNoImageOrTakeTooLongAnswer500) {
  TempFolder folder;
  const std::string path = folder.File("map.mbtiles");
  const std::string png = OneColourPng(0x0000FF00);
  const std::string jpeg = AsString(imaging_test::EncodeJpeg(8, 8, false, false, std::vector<uint8_t>(192, 128)));
  WriteSmallMap(path, "png");
  {
    MBTilesTestFile file(path);
    file.Tile(1, 0, 0, png);
    file.Tile(1, 1, 0, jpeg);
    file.Tile(1, 0, 1, "");
    file.Tile(1, 1, 1, "<html>not found</html>");
    file.Tile(2, 0, 0, png);
    file.Exec(
        "INSERT INTO tiles VALUES (0, 0, 0, NULL);"
        "ALTER TABLE tiles RENAME TO stored;"
        "CREATE VIEW tiles AS SELECT zoom_level, tile_column, tile_row, CASE WHEN zoom_level = 2 THEN "
        "(WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c) SELECT max(n) FROM c) "
        "ELSE tile_data END AS tile_data FROM stored");
  }
  TileServer server({"--source", "mbtiles:" + path});
  RawHttpConnection slow(server.Port());
  slow.Send(TileRequestText(World(0), 0, 3, 2, true));

  const RawHttpReply fine = Fetch(server, TileRequestText(World(1), 0, 1, 1, true));
  EXPECT_EQ(fine.status, 200);
  EXPECT_TRUE(fine.body == png);
  const RawHttpReply photo = Fetch(server, TileRequestText(World(1), 1, 1, 1, true));
  EXPECT_EQ(photo.status, 200);
  EXPECT_EQ(photo.Header("Content-Type"), "image/jpeg");
  EXPECT_TRUE(photo.body == jpeg);
  for (const auto& [x, y, z] : {std::tuple{0, 0, 0}, std::tuple{0, 0, 1}, std::tuple{1, 0, 1}}) {
    const RawHttpReply reply = Fetch(server, TileRequestText(World(2), x, y, z, true));
    EXPECT_EQ(reply.status, 500) << x << "," << y << "," << z;
    EXPECT_EQ(reply.Header("Content-Type"), "text/plain") << x << "," << y << "," << z;
  }

  RawHttpReply cut;
  ASSERT_EQ(slow.ReadOneResponse(kTimeoutMs, cut), RawReadEnd::Complete);
  EXPECT_EQ(cut.status, 500);
  EXPECT_NE(cut.body.find("took longer than 1 s"), std::string::npos) << cut.body;
  // The connection that ran out of time is given back whole: the next look-up on it succeeds.
  EXPECT_EQ(Fetch(server, TileRequestText(World(1), 0, 1, 1, true)).status, 200);

  std::vector<std::string> outcomes;
  for (const TileServerLogEntry& e : server.AnsweredLog()) outcomes.push_back(e.outcome);
  std::sort(outcomes.begin(), outcomes.end());
  EXPECT_EQ(outcomes, (std::vector<std::string>{"200 tile", "200 tile", "200 tile", "500 not-an-image",
                                                "500 not-an-image", "500 not-an-image", "500 unreadable"}));
}

// Nothing is made beside a map: a WAL-mode file is served without a -wal or -shm appearing, and one
// whose write-ahead log still lies beside it (its last tiles are only there) is refused with one
// line instead of being read stale or having an index made for it.
TEST(MBTilesSource, WalModeFilesAreServedWithNothingMadeBesideThemUnlessALogIsLeft) {
  TempFolder folder;
  const std::string whole = folder.File("whole.mbtiles"), left = folder.File("left.mbtiles");
  const std::string early = OneColourPng(0x00FF0000), late = OneColourPng(0x000000FF);
  {
    WriteSmallMap(whole, "png");
    MBTilesTestFile file(whole);
    file.Exec("PRAGMA journal_mode=WAL");
    file.Tile(1, 0, 0, early);
    file.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    file.Tile(1, 1, 0, late);  // in the log only, until the file is closed
    std::filesystem::copy_file(whole, left);
    std::filesystem::copy_file(whole + "-wal", left + "-wal");
  }
  ASSERT_EQ(folder.Names(), (std::vector<std::string>{"left.mbtiles", "left.mbtiles-wal", "whole.mbtiles"}));
  const std::string before = ReadWholeFile(whole);
  {
    TileServer server({"--source", "mbtiles:" + whole});
    EXPECT_TRUE(Fetch(server, TileRequestText(World(0), 0, 1, 1, true)).body == early);
    EXPECT_TRUE(Fetch(server, TileRequestText(World(1), 1, 1, 1, true)).body == late);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"left.mbtiles", "left.mbtiles-wal", "whole.mbtiles"}));
  }
  EXPECT_TRUE(ReadWholeFile(whole) == before);

  const ProgramRun run = RunServer("--source 'mbtiles:" + left + "'");
  EXPECT_EQ(run.exitCode, 4) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  EXPECT_NE(run.output.find(left + ": its write-ahead log file left.mbtiles-wal lies beside it"), std::string::npos)
      << run.output;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"left.mbtiles", "left.mbtiles-wal", "whole.mbtiles"}));
}

}  // namespace
