// The tile server's parts on their own: rule text, tile addresses and hosts, request heads and
// targets, the rule set's precedence and limits, and the bounded tile cache.
#include <gtest/gtest.h>

#include "tests/tools/PngTestImage.h"
#include "tools/tileserver/EncodedTileCache.h"
#include "tools/tileserver/FaultRule.h"
#include "tools/tileserver/HttpRequestReader.h"
#include "tools/tileserver/RuleSet.h"
#include "tools/tileserver/TileAddress.h"

namespace {

using namespace tileserver;

TEST(FaultRuleText, ParsesMatchersAndEveryAnswerKey) {
  const FaultRuleParse p = ParseFaultRule(
      "  x=108 y=-3 z=7\tserver=regional times=2 delay=50 chunk-size=10 chunk-delay=5 "
      "length-delta=-7 body-size=99 stall=4 stall-ms=500 garbage=12 close ");
  ASSERT_TRUE(p.ok) << p.error;
  const FaultRule& r = p.rule;
  EXPECT_EQ(r.x, 108);
  EXPECT_EQ(r.y, -3);
  EXPECT_EQ(r.z, 7);
  EXPECT_EQ(r.server, HostKind::Regional);
  EXPECT_EQ(r.times, 2);
  EXPECT_EQ(r.delayMs, 50);
  EXPECT_EQ(r.chunkSize, 10u);
  EXPECT_EQ(r.chunkDelayMs, 5);
  EXPECT_EQ(r.length, LengthMode::Delta);
  EXPECT_EQ(r.lengthDelta, -7);
  EXPECT_EQ(r.bodySize, 99u);
  EXPECT_EQ(r.stallAfter, 4u);
  EXPECT_EQ(r.stallMs, 500);
  EXPECT_EQ(r.garbage, 12u);
  EXPECT_TRUE(r.close);
  EXPECT_EQ(r.text,
            "x=108 y=-3 z=7 server=regional times=2 delay=50 chunk-size=10 chunk-delay=5 length-delta=-7 "
            "body-size=99 stall=4 stall-ms=500 garbage=12 close");

  EXPECT_EQ(ParseFaultRule("length=99999999999").rule.lengthLiteral, "99999999999");
  EXPECT_EQ(ParseFaultRule("length=none").rule.length, LengthMode::Absent);
  EXPECT_EQ(ParseFaultRule("chunked").rule.length, LengthMode::Chunked);
  EXPECT_EQ(ParseFaultRule("reset=mid").rule.resetAfter, SIZE_MAX);
  EXPECT_EQ(ParseFaultRule("reset=0").rule.reset, ResetPoint::AfterBytes);
  EXPECT_EQ(ParseFaultRule("location=http://a/b").rule.redirect, kDefaultRedirectStatus);
  EXPECT_EQ(ParseFaultRule("garbage").rule.garbage, kDefaultGarbageSize);
}

TEST(FaultRuleText, RejectsWhatCannotBeMeant) {
  for (const char* text : {"",
                           "   ",
                           "x",
                           "x=",
                           "x=1.5",
                           "x=99999999999",
                           "server=mars",
                           "status=600",
                           "status=abc",
                           "delay=-1",
                           "delay=999999999",
                           "stall-ms=60001",
                           "body-size=99999999999",
                           "chunk-size=0",
                           "chunked=yes",
                           "close=1",
                           "length=",
                           "length=5 length=6",
                           "length=none chunked",
                           "length-delta=five",
                           "redirect=200",
                           "redirect status=500",
                           "stall=1 reset=head",
                           "location=",
                           "times=0",
                           "frobnicate"}) {
    const FaultRuleParse p = ParseFaultRule(text);
    EXPECT_FALSE(p.ok) << "accepted \"" << text << "\"";
    EXPECT_FALSE(p.error.empty()) << text;
  }
}

TEST(FaultRuleText, MatchesOnlyTheFieldsItNames) {
  const FaultRule rule = ParseFaultRule("x=5 server=world status=404").rule;
  EXPECT_TRUE(rule.Matches({HostKind::World, 1, 5, 9, 12}));
  EXPECT_FALSE(rule.Matches({HostKind::World, 1, 6, 9, 12}));
  EXPECT_FALSE(rule.Matches({HostKind::Regional, 1, 5, 9, 12}));
  EXPECT_TRUE(ParseFaultRule("status=500").rule.Matches({HostKind::Other, -1, 0, 0, 0}));
}

TEST(RuleSetOrder, NewestMatchWinsTimesAreCountedAndResetKeepsBaseRules) {
  RuleSet rules;
  rules.AddBase(ParseFaultRule("z=3 times=1 status=500").rule);
  rules.Add(ParseFaultRule("status=404").rule);
  rules.Add(ParseFaultRule("x=1 status=410").rule);
  const TileKey x1{HostKind::World, 0, 1, 0, 3};
  const TileKey x2{HostKind::World, 0, 2, 0, 3};
  EXPECT_EQ(rules.Match(x1)->status, 410);
  EXPECT_EQ(rules.Match(x2)->status, 404);
  rules.Reset();
  EXPECT_EQ(rules.Match(x2)->status, 500);
  EXPECT_FALSE(rules.Match(x2).has_value());  // spent
  EXPECT_NE(rules.Describe().find("(spent)"), std::string::npos);
  rules.Reset();
  EXPECT_EQ(rules.Match(x1)->status, 500);  // re-armed

  std::vector<FaultRule> many(RuleSet::kMaxRules, ParseFaultRule("status=500").rule);
  EXPECT_FALSE(rules.AddAll(many));  // one base rule is in force already: all or none
  EXPECT_EQ(rules.Describe(), "z=3 times=1 status=500\t(spent)\n");
}

TEST(TileAddressText, HostsAreClassifiedWithServerNumbersPortsAndCase) {
  EXPECT_EQ(ClassifyHost("mt2." + WorldDomain()).kind, HostKind::World);
  EXPECT_EQ(ClassifyHost("mt2." + WorldDomain()).server, 2);
  const TileHost regional = ClassifyHost("MT3." + RegionalDomain() + ":80");
  EXPECT_EQ(regional.kind, HostKind::Regional);
  EXPECT_EQ(regional.server, 3);
  EXPECT_EQ(ClassifyHost("tiles." + WorldDomain()).server, -1);
  EXPECT_EQ(ClassifyHost("mt1.example.test").kind, HostKind::Other);
  EXPECT_EQ(ClassifyHost("mt1." + WorldDomain() + ".evil.test").kind, HostKind::Other);
  EXPECT_EQ(ClassifyHost("127.0.0.1:8080").kind, HostKind::Other);
  EXPECT_EQ(ClassifyHost("").kind, HostKind::Other);
}

TEST(TileAddressText, TilePathsNeedWholeNumbersInsideTheLevel) {
  const TilePath p = ParseTilePath("/mt?z=17&hl=ko&y=51200&v=kr1.9&x=111000&redirected=1");
  EXPECT_EQ(p.status, TilePathStatus::Ok);
  EXPECT_EQ(p.x, 111000);
  EXPECT_EQ(p.y, 51200);
  EXPECT_EQ(p.z, 17);
  EXPECT_TRUE(p.redirected);
  EXPECT_EQ(ParseTilePath("/mt?x=0&y=0&z=0").status, TilePathStatus::Ok);
  EXPECT_EQ(ParseTilePath("/mt?x=1&y=0&z=0").status, TilePathStatus::OutOfRange);
  EXPECT_EQ(ParseTilePath("/mt?x=1073741823&y=0&z=30").status, TilePathStatus::Ok);
  EXPECT_EQ(ParseTilePath("/mt?x=0&y=0&z=-1").status, TilePathStatus::OutOfRange);
  for (const char* path : {"/mt", "/mt?", "/mtx?x=1&y=1&z=1", "/mt?x=1&y=1&z=", "/mt?x=1&y=1&z=2x",
                           "/mt?x=99999999999&y=1&z=3", "/mt/?x=1&y=1&z=1"}) {
    EXPECT_EQ(ParseTilePath(path).status, TilePathStatus::NotATile) << path;
  }
}

// Plain XYZ paths, so the server can stand in for any tile service a template names.
TEST(TileAddressText, PlainXyzPathsNameLevelColumnAndRow) {
  for (const char* path : {"/5/3/4.png", "/5/3/4", "/5/3/4.jpg", "/5/3/4.jpeg", "/5/3/4.webp", "/5/3/4.png?v=2"}) {
    const TilePath p = ParseTilePath(path);
    EXPECT_EQ(p.status, TilePathStatus::Ok) << path;
    EXPECT_EQ(p.z * 10000 + p.x * 100 + p.y, 50304) << path;
    EXPECT_FALSE(p.redirected) << path;
  }
  EXPECT_TRUE(ParseTilePath("/5/3/4.png?redirected=1").redirected);
  EXPECT_EQ(ParseTilePath("/1/2/0.png").status, TilePathStatus::OutOfRange);
  EXPECT_EQ(ParseTilePath("/31/0/0.png").status, TilePathStatus::OutOfRange);
  for (const char* path : {"/", "/5/3", "/5/3/4/", "/5/3/4.gif", "/a/3/4.png", "/5//4.png", "//5/3/4.png",
                           "/5/3/4.png.png", "/5/3/4/1.png", "/tiles/5/3/4.png", "/5/3/99999999999.png"}) {
    EXPECT_EQ(ParseTilePath(path).status, TilePathStatus::NotATile) << path;
  }
}

TEST(RequestHeads, ProxyAndOriginTargetsResolveToHostAndPath) {
  ClientRequest request;
  ASSERT_EQ(
      HttpRequestReader::ParseHead("GET http://mt1.a.test/mt?x=1 HTTP/1.1\r\nHost:  other  \r\nUser-Agent: u", request),
      ReadStatus::Ok);
  EXPECT_EQ(request.Header("host"), "other");
  RequestTarget target = ResolveTarget(request);
  EXPECT_TRUE(target.absolute);
  EXPECT_EQ(target.host, "mt1.a.test");
  EXPECT_EQ(target.path, "/mt?x=1");

  ASSERT_EQ(HttpRequestReader::ParseHead("GET HTTP://h.test HTTP/1.0", request), ReadStatus::Ok);
  target = ResolveTarget(request);
  EXPECT_EQ(target.host, "h.test");
  EXPECT_EQ(target.path, "/");
  EXPECT_FALSE(request.KeepAlive());

  ASSERT_EQ(HttpRequestReader::ParseHead("GET http://h.test?a=/b HTTP/1.1", request), ReadStatus::Ok);
  EXPECT_EQ(ResolveTarget(request).path, "/?a=/b");

  ASSERT_EQ(HttpRequestReader::ParseHead("GET /mt?x=1 HTTP/1.1\nHost: mt0.b.test\nConnection: Close", request),
            ReadStatus::Ok);
  target = ResolveTarget(request);
  EXPECT_FALSE(target.absolute);
  EXPECT_EQ(target.host, "mt0.b.test");
  EXPECT_FALSE(request.KeepAlive());

  for (const char* head : {"GET /x", "GET  /x HTTP/1.1", "GET /x HTTP/1.1 extra", "G:T /x HTTP/1.1",
                           "GET /x HTTP/1.1\r\n: empty name", "GET /x HTTP/1.1\r\nBad Name: v"}) {
    EXPECT_EQ(HttpRequestReader::ParseHead(head, request), ReadStatus::BadRequest) << head;
  }
  std::string manyHeaders = "GET /x HTTP/1.1";
  for (size_t i = 0; i <= HttpRequestReader::kMaxHeaders; ++i) manyHeaders += "\r\nH" + std::to_string(i) + ": v";
  EXPECT_EQ(HttpRequestReader::ParseHead(manyHeaders, request), ReadStatus::HeadTooLarge);
}

TEST(EncodedTileCacheBounds, KeepsTheMostRecentTilesWithinItsByteLimit) {
  const TileKey a{HostKind::World, 0, 0, 0, 1}, b{HostKind::World, 1, 1, 0, 1}, c{HostKind::World, 2, 0, 1, 1};
  EncodedTileCache probe;
  const size_t tileBytes = probe.Get(a)->size();
  EncodedTileCache cache(tileBytes * 2 + tileBytes / 2);  // room for two tiles
  const TileBytes first = cache.Get(a);
  cache.Get(b);
  EXPECT_EQ(cache.Get(a), first);  // a hit hands out the same bytes, and makes a the newest
  cache.Get(c);                    // b, the least recently used, goes
  EXPECT_EQ(cache.Entries(), 2u);
  EXPECT_LE(cache.Bytes(), tileBytes * 2 + tileBytes / 2);
  EXPECT_EQ(cache.Hits(), 1u);
  cache.Get(a);
  EXPECT_EQ(cache.Hits(), 2u);
  cache.Get(b);
  EXPECT_EQ(cache.Misses(), 4u);
  EXPECT_TRUE(DecodePng(*cache.Get(c)).ok);

  EncodedTileCache none(0);
  EXPECT_TRUE(DecodePng(*none.Get(a)).ok);  // no cache still serves
  EXPECT_EQ(none.Entries(), 0u);
}

}  // namespace
