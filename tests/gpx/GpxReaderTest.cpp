// The GPX reader: what it reads from GPX 1.0 and 1.1, how it refuses bad files, and that its own
// memory stays bounded on input of any size.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "gpx/GpxParser.h"
#include "tests/support/TempFolder.h"

namespace {

using gpx::GpxFile;
using gpx::LineKind;

std::string Gpx(const std::string& space, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"" + space +
         "\">\n" + body + "</gpx>\n";
}
const std::string kGpx10 = "http://www.topografix.com/GPX/1/0";
const std::string kGpx11 = "http://www.topografix.com/GPX/1/1";

GpxFile ReadText(const TempFolder& folder, const std::string& name, const std::string& text) {
  const std::string path = folder.File(name);
  std::ofstream(path, std::ios::binary) << text;
  return gpx::ReadGpxFile(path);
}

// Both namespaces give the same waypoints and lines; what GPX does not define, or another
// namespace adds (even under GPX's own names), is skipped; a trk's segments stay apart.
TEST(GpxReader, Gpx10And11GiveWaypointsTrackSegmentsAndRoutesAndSkipTheRest) {
  TempFolder folder("gpx-test");
  const std::string longName = std::string(254, 'a') + "\xC3\xA9\xC3\xA9";  // é straddles byte 256
  for (const std::string& space : {kGpx10, kGpx11}) {
    const std::string body =
        "<metadata><name>not a waypoint</name></metadata>\n"
        "<wpt lat=\" +37.5 \" lon=\"127.25\"><ele>12</ele><name> Summit\n</name></wpt>\n"
        "<wpt lat=\"-33.875\" lon=\"-180\"/>\n"
        "<wpt lat=\"90\" lon=\"180\"><name>" + longName + "</name></wpt>\n"
        "<extensions><x:wpt xmlns:x=\"urn:other\" lat=\"1\" lon=\"1\"><x:name>no</x:name></x:wpt></extensions>\n"
        "<trk><name>walk</name><trkseg><trkpt lat=\"1\" lon=\"2\"><time>t</time></trkpt>"
        "<trkpt lat=\"1.5\" lon=\"2.5\"/></trkseg>\n<trkseg/>\n"
        "<trkseg><trkpt lat=\"3\" lon=\"4\"/></trkseg></trk>\n"
        "<rte><name>r</name><rtept lat=\"5\" lon=\"6\"/><wpt lat=\"7\" lon=\"7\"/><rtept lat=\"-5\" lon=\"-6\"/></rte>\n";
    const GpxFile file = ReadText(folder, "walk.gpx", Gpx(space, body));
    ASSERT_EQ(file.error, "") << space;
    ASSERT_EQ(file.data.waypoints.size(), 3u) << space;
    EXPECT_EQ(file.data.waypoints[0].name, "Summit");
    EXPECT_EQ(file.data.waypoints[0].position.latitude, 37.5);
    EXPECT_EQ(file.data.waypoints[0].position.longitude, 127.25);
    EXPECT_EQ(file.data.waypoints[1].name, "");
    EXPECT_EQ(file.data.waypoints[1].position.latitude, -33.875);
    EXPECT_EQ(file.data.waypoints[1].position.longitude, -180.0);
    EXPECT_EQ(file.data.waypoints[2].name, std::string(254, 'a') + "\xC3\xA9");
    ASSERT_EQ(file.data.lines.size(), 3u);  // the empty segment is no line
    EXPECT_EQ(file.data.lines[0].kind, LineKind::Track);
    ASSERT_EQ(file.data.lines[0].points.size(), 2u);
    EXPECT_EQ(file.data.lines[0].points[1].latitude, 1.5);
    EXPECT_EQ(file.data.lines[0].points[1].longitude, 2.5);
    ASSERT_EQ(file.data.lines[1].points.size(), 1u);
    EXPECT_EQ(file.data.lines[1].points[0].longitude, 4.0);
    EXPECT_EQ(file.data.lines[2].kind, LineKind::Route);
    ASSERT_EQ(file.data.lines[2].points.size(), 2u);
    EXPECT_EQ(file.data.lines[2].points[1].latitude, -5.0);

    gpx::LatLonBox box;
    ASSERT_TRUE(gpx::BoundsOf({file.data}, &box));
    EXPECT_EQ(box.south, -33.875);
    EXPECT_EQ(box.north, 90.0);
    EXPECT_EQ(box.west, -180.0);
    EXPECT_EQ(box.east, 180.0);
  }
}

// Every refusal is one line naming the file and the line in it, and nothing of the file is kept.
TEST(GpxReader, BadFilesAreRefusedWithOneLineNamingFileAndLine) {
  TempFolder folder("gpx-test");
  const std::string lol =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n <!ENTITY a \"aaaaaaaaaa\">\n"
      " <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n <!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
      " <!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n]>\n"
      "<gpx xmlns=\"" + kGpx11 + "\"><wpt lat=\"1\" lon=\"1\"><name>&d;&d;&d;&d;&d;&d;</name></wpt></gpx>\n";
  std::string truncated = Gpx(kGpx11, "<trk><trkseg>\n<trkpt lat=\"1\" lon=\"2\"/>\n<trkpt lat=\"1\" lon=\"2\"/>\n");
  truncated.resize(truncated.rfind("<trkpt") + 12);
  struct Case {
    std::string name, text, expected;  // expected: the line after "<path>:"
  };
  const Case cases[] = {
      {"photo.gpx", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR", "1: not XML: not well-formed (invalid token)"},
      {"empty.gpx", "", "1: not XML: no element found"},
      {"cut.gpx", truncated, "5: truncated: the file ends before </gpx>"},
      {"lol.gpx", lol, "3: the document type declares an entity ('a'): entities are refused"},
      {"nolat.gpx", Gpx(kGpx10, "<wpt lat=\"1\" lon=\"2\"/>\n<wpt lon=\"2\"/>\n"), "4: <wpt> without lat"},
      {"nolon.gpx", Gpx(kGpx11, "<rte><rtept lat=\"2\"/></rte>\n"), "3: <rtept> without lon"},
      {"north.gpx", Gpx(kGpx11, "<trk><trkseg>\n\n<trkpt lat=\"90.0001\" lon=\"0\"/></trkseg></trk>\n"),
       "5: <trkpt> lat 90.0001 is beyond -90..90"},
      {"west.gpx", Gpx(kGpx11, "<wpt lat=\"0\" lon=\"-180.5\"/>\n"), "3: <wpt> lon -180.5 is beyond -180..180"},
      {"words.gpx", Gpx(kGpx11, "<wpt lat=\"north\" lon=\"1\"/>\n"), "3: <wpt> lat 'north' is not a number"},
      {"nan.gpx", Gpx(kGpx11, "<wpt lat=\"nan\" lon=\"1\"/>\n"), "3: <wpt> lat 'nan' is not a number"},
      {"gpx2.gpx", Gpx("http://www.topografix.com/GPX/2/0", "<wpt lat=\"1\" lon=\"1\"/>\n"),
       "2: unknown namespace 'http://www.topografix.com/GPX/2/0': not GPX 1.0 or 1.1"},
      {"bare.gpx", "<gpx><wpt lat=\"1\" lon=\"1\"/></gpx>", "1: <gpx> has no namespace: not GPX 1.0 or 1.1"},
      {"kml.gpx", "<kml xmlns=\"" + kGpx11 + "\"/>", "1: the root element is <kml>, not <gpx>"},
  };
  for (const Case& c : cases) {
    const GpxFile file = ReadText(folder, c.name, c.text);
    EXPECT_EQ(file.error, folder.File(c.name) + ":" + c.expected);
    EXPECT_TRUE(file.data.waypoints.empty() && file.data.lines.empty()) << c.name;
  }

  EXPECT_EQ(gpx::ReadGpxFile(folder.File("missing.gpx")).error,
            folder.File("missing.gpx") + ": cannot be read (No such file or directory)");
  ASSERT_EQ(::mkdir(folder.File("folder.gpx").c_str(), 0700), 0);
  EXPECT_EQ(gpx::ReadGpxFile(folder.File("folder.gpx")).error,
            folder.File("folder.gpx") + ": cannot be read (Is a directory)");
}

// Counts what it is given and keeps nothing.
struct CountingSink : gpx::GpxSink {
  size_t waypoints = 0, lines = 0, points = 0;
  void OnWaypoint(const gpx::Waypoint&) override { ++waypoints; }
  void OnLineBegin(LineKind) override { ++lines; }
  void OnLinePoint(const gpx::LatLon&) override { ++points; }
  void OnLineEnd() override {}
};

// A 200 MB track streams through in 64 KiB chunks with expat holding no more after it than after
// its first megabyte; a single token too large to hold is refused instead of held.
TEST(GpxReader, TwoHundredMegabytesStreamWithBoundedParserMemoryAndAGiantTokenIsRefused) {
  std::string block;  // whole trkpt elements, 1 MiB or a little more
  size_t pointsPerBlock = 0;
  while (block.size() < (1u << 20)) {
    block += "<trkpt lat=\"" + std::to_string(37.0 + (pointsPerBlock % 1000) * 1e-4) + "\" lon=\"127.123456\">" +
             "<ele>42.5</ele></trkpt>\n";
    ++pointsPerBlock;
  }
  constexpr size_t kBlocks = 200;
  CountingSink sink;
  gpx::GpxParser parser("big.gpx", sink);
  std::string head = Gpx(kGpx11, "<trk><trkseg>\n");
  head.resize(head.rfind("</gpx>"));
  ASSERT_TRUE(parser.Feed(head));
  size_t peakAfterFirst = 0;
  for (size_t b = 0; b < kBlocks; ++b) {
    for (size_t at = 0; at < block.size(); at += gpx::kReadChunkBytes) {
      ASSERT_TRUE(parser.Feed(std::string_view(block).substr(at, gpx::kReadChunkBytes))) << parser.Error();
    }
    if (b == 0) peakAfterFirst = parser.PeakParserBytes();
  }
  ASSERT_TRUE(parser.Feed("</trkseg></trk></gpx>\n"));
  ASSERT_TRUE(parser.Finish()) << parser.Error();
  EXPECT_EQ(sink.points, kBlocks * pointsPerBlock);
  EXPECT_EQ(sink.lines, 1u);
  EXPECT_EQ(parser.PeakParserBytes(), peakAfterFirst);
  EXPECT_LT(parser.PeakParserBytes(), 1u << 20);

  // A start tag with a 20 MB attribute: expat would have to hold it whole.
  CountingSink giantSink;
  gpx::GpxParser giant("giant.gpx", giantSink);
  ASSERT_TRUE(giant.Feed("<gpx xmlns=\"" + kGpx11 + "\">\n<wpt lat=\"1\" lon=\"1\" x=\""));
  const std::string filler(gpx::kReadChunkBytes, 'x');
  bool refused = false;
  for (size_t fed = 0; fed < (20u << 20) && !refused; fed += filler.size()) refused = !giant.Feed(filler);
  EXPECT_TRUE(refused);
  EXPECT_EQ(giant.Error(), "giant.gpx:2: an XML token larger than 8 MiB, refused");
  EXPECT_LE(giant.PeakParserBytes(), gpx::GpxParser::kMaxParserBytes);
}

}  // namespace
