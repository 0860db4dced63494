// The tile sources' rules on their own: how long an upstream answer stays fresh, how long a
// Retry-After holds, which templates are accepted and what they expand to, when a client's copy
// lets a tile be answered 304, and the start refused for an upstream without a contact.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/TempFolder.h"
#include "tests/tools/ServerRun.h"
#include "tilesources/HttpFreshness.h"
#include "tools/tileserver/TileResponder.h"
#include "tilesources/UpstreamTemplate.h"

namespace {

using namespace tileserver;
using namespace tilesources;

constexpr int64_t kNowMs = int64_t{1796000000} * 1000;
constexpr int64_t kHourMs = 3600 * 1000;

int64_t FreshMs(const HeaderList& headers) { return CachePolicyOf(headers, kNowMs).freshMs; }

TEST(UpstreamFreshness, LifetimesFollowTheOrderASharedCacheUses) {
  const std::string date = FormatHttpDate(kNowMs);
  EXPECT_EQ(FreshMs({{"cache-control", "public, max-age=600"}}), 600 * 1000);
  EXPECT_EQ(FreshMs({{"cache-control", "max-age=600, s-maxage=60"}}), 60 * 1000);
  EXPECT_EQ(FreshMs({{"cache-control", "max-age=600"}, {"age", "100"}}), 500 * 1000);
  EXPECT_EQ(FreshMs({{"cache-control", "max-age=600"}, {"expires", FormatHttpDate(kNowMs + 9 * kHourMs)}}), 600 * 1000);
  // Expires counts from the answer's Date, not from our clock.
  EXPECT_EQ(FreshMs({{"date", FormatHttpDate(kNowMs - kHourMs)}, {"expires", FormatHttpDate(kNowMs + kHourMs)}}),
            2 * kHourMs);
  EXPECT_EQ(FreshMs({{"date", date}, {"expires", "0"}}), 0);
  EXPECT_EQ(FreshMs({{"date", date}, {"expires", FormatHttpDate(kNowMs - kHourMs)}}), 0);
  EXPECT_EQ(FreshMs({{"cache-control", "max-age=soon"}}), 0);  // malformed: stale, not fresh for ever
  // Without either, a tenth of the time since the last change, at most a day.
  EXPECT_EQ(FreshMs({{"date", date}, {"last-modified", FormatHttpDate(kNowMs - 10 * kHourMs)}}), kHourMs);
  EXPECT_EQ(FreshMs({{"date", date}, {"last-modified", FormatHttpDate(kNowMs - 100 * 24 * kHourMs)}}),
            kMaxHeuristicFreshMs);
  EXPECT_EQ(FreshMs({}), 0);

  EXPECT_FALSE(CachePolicyOf({{"cache-control", "no-store"}}, kNowMs).store);
  EXPECT_FALSE(CachePolicyOf({{"cache-control", "private, max-age=600"}}, kNowMs).store);
  const CachePolicy noCache = CachePolicyOf({{"cache-control", "no-cache, max-age=600"}}, kNowMs);
  EXPECT_TRUE(noCache.store);
  EXPECT_EQ(noCache.freshMs, 0);
}

TEST(UpstreamFreshness, RetryAfterInSecondsOrAsADateWithinItsCap) {
  EXPECT_EQ(RetryAfterMs("120", kNowMs, kHourMs), 120 * 1000);
  EXPECT_EQ(RetryAfterMs(FormatHttpDate(kNowMs + 30 * 1000), kNowMs, kHourMs), 30 * 1000);
  EXPECT_EQ(RetryAfterMs(FormatHttpDate(kNowMs - 30 * 1000), kNowMs, kHourMs), 0);
  EXPECT_EQ(RetryAfterMs("99999999999999999999", kNowMs, kHourMs), kHourMs);
  EXPECT_EQ(RetryAfterMs("soon", kNowMs, kHourMs), std::nullopt);
  EXPECT_EQ(RetryAfterMs("-5", kNowMs, kHourMs), std::nullopt);
  // A year past 9999 is no date (its milliseconds once overflowed int64: UBSan reports that).
  EXPECT_EQ(RetryAfterMs("Sun, 06 Nov 666666664 08:49:37 GMT", kNowMs, kHourMs), std::nullopt);
  EXPECT_EQ(ParseHttpDate("Fri, 31 Dec 9999 23:59:59 GMT"), int64_t{253402300799} * 1000);
  EXPECT_EQ(FreshMs({{"date", "Sun, 06 Nov 1994 08:49:37 GMT"}, {"expires", "Sun, 06 Nov 666666664 08:49:37 GMT"}}), 0);
}

TEST(UpstreamTemplates, ExpandTheirPlaceholdersAndRefuseWhatIsNoTileUrl) {
  const auto xyz = UpstreamTemplate::FromText("https://tiles.example.org/{z}/{x}/{y}.png?key={z}");
  ASSERT_TRUE(xyz.value) << xyz.error;
  EXPECT_EQ(xyz.value->Expand(5, 17, 9), "https://tiles.example.org/5/17/9.png?key=5");
  EXPECT_EQ(xyz.value->Origin(), "https://tiles.example.org");
  const auto tms = UpstreamTemplate::FromText("http://127.0.0.1:8080/t/{z}/{x}/{-y}");
  ASSERT_TRUE(tms.value) << tms.error;
  EXPECT_EQ(tms.value->Expand(3, 2, 0), "http://127.0.0.1:8080/t/3/2/7");
  // A tile always goes to the same one of the service's subdomains, and neighbours spread over them.
  const auto spread = UpstreamTemplate::FromText("https://{s}.tiles.example.org/{z}/{x}/{y}.png");
  ASSERT_TRUE(spread.value) << spread.error;
  EXPECT_EQ(spread.value->Expand(5, 17, 9), "https://c.tiles.example.org/5/17/9.png");
  EXPECT_EQ(spread.value->Expand(5, 17, 10), "https://a.tiles.example.org/5/17/10.png");
  const auto listed = UpstreamTemplate::FromText("https://t{s:0,1}.example.org/{z}/{x}/{y}.png");
  ASSERT_TRUE(listed.value) << listed.error;
  EXPECT_EQ(listed.value->Expand(2, 1, 2), "https://t1.example.org/2/1/2.png");
  for (const char* bad : {"ftp://tiles.example.org/{z}/{x}/{y}.png", "https://tiles.example.org/{z}/{x}.png",
                          "https://{s:a,,b}.tiles.example.org/{z}/{x}/{y}.png", "https://{s:a.b}.t.org/{z}/{x}/{y}",
                          "https://{s}.{s}.t.org/{z}/{x}/{y}", "https://{z}/{x}/{y}", "https://tiles.example.org/{z}/{x}/{y",
                          "https://tiles.example.org/{z}/{x}/{y}.png\r\nHost: elsewhere", "https:///{z}/{x}/{y}",
                          "tiles.example.org/{z}/{x}/{y}.png"}) {
    EXPECT_FALSE(UpstreamTemplate::FromText(bad).value) << bad;
  }
}

TEST(ConditionalAnswers, TheClientsCopyHoldsByTagOrElseByDate) {
  SourcedTile tile;
  tile.etag = "\"b-1\"";
  tile.lastModifiedMs = kNowMs;
  auto holds = [&](std::vector<std::pair<std::string, std::string>> headers) {
    ClientRequest request;
    request.headers = std::move(headers);
    return TileResponder::ClientHasIt(request, tile);
  };
  EXPECT_TRUE(holds({{"If-None-Match", "\"b-1\""}}));
  EXPECT_TRUE(holds({{"If-None-Match", "\"a\", W/\"b-1\""}}));
  EXPECT_TRUE(holds({{"If-None-Match", "*"}}));
  EXPECT_FALSE(holds({{"If-None-Match", "\"b-2\""}}));
  EXPECT_TRUE(holds({{"If-Modified-Since", FormatHttpDate(kNowMs)}}));
  EXPECT_FALSE(holds({{"If-Modified-Since", FormatHttpDate(kNowMs - 1000)}}));
  EXPECT_FALSE(holds({{"If-Modified-Since", "yesterday"}}));
  // A tag that differs outweighs a date that would hold.
  EXPECT_FALSE(holds({{"If-None-Match", "\"b-2\""}, {"If-Modified-Since", FormatHttpDate(kNowMs)}}));
  EXPECT_FALSE(holds({}));
}

TEST(UpstreamStart, NeedsAContactThatFitsInAHeadLine) {
  ::unsetenv("ORVAN_TILE_CONTACT");
  const TempFolder folder;
  const std::string cache = folder.File("cache");
  const std::string source = "--source 'upstream:http://127.0.0.1:9/{z}/{x}/{y}.png' --cache-dir '" + cache + "'";
  const ProgramRun missing = RunServer(source);
  EXPECT_EQ(missing.exitCode, 4);
  EXPECT_NE(missing.output.find("--contact"), std::string::npos) << missing.output;
  const ProgramRun injected = RunServer(source + " --contact \"$(printf 'me\\r\\nX-Injected: 1')\"");
  EXPECT_EQ(injected.exitCode, 2);
  EXPECT_NE(injected.output.find("--contact"), std::string::npos) << injected.output;
  EXPECT_EQ(folder.Names(), std::vector<std::string>{}) << "a refused start makes no cache";
}

}  // namespace
