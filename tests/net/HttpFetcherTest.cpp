// HttpFetcher against the real local tile server over loopback, reached through the proxy setting
// as the device reaches the tile servers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "net/HttpFetcher.h"
#include "platform/kernel/VirtualMemory.h"
#include "tests/net/FetchRecorder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/support/UnansweredListener.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Cancel must come back this fast however long the network would keep the worker (well under the
// server's holds of 20 s and more, and the 60 s and 30 s time-outs).
constexpr DWORD kPromptCancelMs = 200;

// The time Cancel took, in milliseconds; its result must be 1.
DWORD TimedCancel(HttpFetcher& fetcher) {
  const DWORD start = GetTickCount();
  EXPECT_EQ(fetcher.Cancel(), 1);
  return GetTickCount() - start;
}

class Fetcher : public testing::Test {
 protected:
  void SetUp() override {
    threadsBefore = LiveThreadObjectCount();
    committedBefore = VirtualCommittedBytes();
  }
  void TearDown() override {
    fetcher.Cancel();
    buffer.Release();
    // Nothing leaked: no worker, no thread object, no committed page.
    EXPECT_FALSE(fetcher.HasWorker());
    for (int i = 0; i < 500 && LiveThreadObjectCount() != threadsBefore; ++i) Sleep(2);
    EXPECT_EQ(LiveThreadObjectCount(), threadsBefore);
    EXPECT_EQ(VirtualCommittedBytes(), committedBefore);
    EXPECT_EQ(InternetLiveObjectCount(), 0u);
  }
  int32_t Start(const std::u16string& url, uint16_t port = 80) {
    return fetcher.Fetch(url.c_str(), &buffer, FetchRecorder::OnSuccess, FetchRecorder::OnFailure, &recorder, nullptr,
                         nullptr, port);
  }
  // Downloads the tile (x, 0, 5) under `rule` (empty: an honest answer) and waits for the end.
  void DownloadWithRule(int32_t x, const std::string& rule) {
    if (!rule.empty()) server.AddRule("x=" + std::to_string(x) + " " + rule);
    ASSERT_EQ(Start(TileUrlFor(x, 0, 5)), 1);
    ASSERT_TRUE(WaitUntilIdle(fetcher));
  }
  // The honest body of tile (x, 0, 5), downloaded first with a fresh fetcher.
  std::vector<uint8_t> HonestBody(int32_t x) {
    HttpFetcher other;
    ReceiveBuffer otherBuffer;
    FetchRecorder r;
    other.Fetch(TileUrlFor(x, 0, 5).c_str(), &otherBuffer, FetchRecorder::OnSuccess, FetchRecorder::OnFailure, &r,
                nullptr, nullptr, 80);
    EXPECT_TRUE(WaitUntilIdle(other));
    EXPECT_EQ(r.successes, 1);
    return r.bytes;
  }

  TileServer server;
  ProxyEnvironment proxy{server};
  FetchRecorder recorder;
  ReceiveBuffer buffer;
  HttpFetcher fetcher;  // declared last: destroyed (after TearDown's Cancel) before the buffer
  size_t threadsBefore = 0;
  size_t committedBefore = 0;
};

TEST_F(Fetcher, DownloadsATileThroughTheProxyAndReportsItOnItsWorker) {
  DownloadWithRule(3, "");
  EXPECT_EQ(recorder.successes, 1);
  EXPECT_EQ(recorder.failures, 0);
  ASSERT_GT(recorder.count, 8u);
  EXPECT_EQ(recorder.count, buffer.usedSize);
  EXPECT_EQ(recorder.count, buffer.reservedSize);  // reserved at exactly the declared length
  EXPECT_TRUE(std::equal(kPngSignature, kPngSignature + 8, buffer.base));
  EXPECT_NE(recorder.threadId, GetCurrentThreadId());
  EXPECT_EQ(fetcher.internet, nullptr);  // every handle closed by the worker
  EXPECT_EQ(fetcher.cancelRequested.load(), 0);

  const auto log = server.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].form, "absolute");
  EXPECT_EQ(log[0].host, "mt3.world-tiles.orvanmap.test");
  EXPECT_EQ(log[0].path, "/mt?v=w2.92&hl=ko&x=3&y=0&z=5");
  EXPECT_EQ(log[0].userAgent, "unknown");
}

TEST_F(Fetcher, AStatusOtherThan200EndsWithoutAnyCallback) {
  for (const char* status : {"status=404", "status=500", "status=204"}) {
    DownloadWithRule(1, status);
    EXPECT_EQ(recorder.Calls(), 0) << status;
    EXPECT_EQ(buffer.base, nullptr) << status;
    EXPECT_EQ(fetcher.Fetch(nullptr, &buffer, nullptr, nullptr, nullptr, nullptr, nullptr, 80), 0);
  }
}

TEST_F(Fetcher, DeclaredLengthsUpToTenMebibytesAreAcceptedAndLargerOnesFailBeforeAnyBodyByte) {
  DownloadWithRule(1, "body-size=10485760");
  EXPECT_EQ(recorder.successes, 1);
  EXPECT_EQ(recorder.count, 10485760u);
  EXPECT_EQ(buffer.usedSize, 10485760u);
  buffer.Release();

  for (const char* rule : {"body-size=10485761", "length=-5", "length=99999999999", "length=4294967296",
                           "length=123456789012345678901234567890"}) {
    recorder.Clear();
    DownloadWithRule(2, rule);
    EXPECT_EQ(recorder.failures, 1) << rule;
    EXPECT_TRUE(recorder.dataWasNull) << rule;
    EXPECT_EQ(recorder.count, 0u) << rule;
    EXPECT_EQ(buffer.base, nullptr) << rule;  // nothing was reserved, no body byte read
  }
}

TEST_F(Fetcher, ABodySentInSmallSlowPiecesArrivesWhole) {
  const std::vector<uint8_t> honest = HonestBody(4);
  DownloadWithRule(4, "body-size=6000 chunk-size=300 chunk-delay=2");
  EXPECT_EQ(recorder.successes, 1);
  EXPECT_EQ(recorder.count, 6000u);
  EXPECT_EQ(buffer.usedSize, 6000u);
  const size_t same = std::min<size_t>(honest.size(), 6000);
  EXPECT_TRUE(std::equal(honest.begin(), honest.begin() + same, recorder.bytes.begin()));
}

TEST_F(Fetcher, BodiesWithoutADeclaredLengthAreReadToTheirEnd) {
  const std::vector<uint8_t> honest = HonestBody(5);
  for (const char* rule : {"length=none", "chunked chunk-size=100", "length=none chunk-size=700 chunk-delay=1"}) {
    recorder.Clear();
    buffer.Release();
    DownloadWithRule(5, rule);
    EXPECT_EQ(recorder.successes, 1) << rule;
    EXPECT_EQ(recorder.bytes, honest) << rule;
    EXPECT_EQ(buffer.reservedSize, HttpFetcher::kUndeclaredReserve) << rule;
  }
}

TEST_F(Fetcher, AnUndeclaredBodyLargerThanTheRegionFailsInsteadOfKeepingACutImage) {
  DownloadWithRule(6, "length=none body-size=1100000");
  EXPECT_EQ(recorder.successes, 0);
  EXPECT_EQ(recorder.failures, 1);
  EXPECT_TRUE(recorder.dataWasNull);
  // The bytes before the piece that no longer fitted.
  EXPECT_LE(recorder.count, HttpFetcher::kUndeclaredReserve);
  EXPECT_GT(recorder.count, HttpFetcher::kUndeclaredReserve - HttpFetcher::kReadChunk);
}

TEST_F(Fetcher, BodiesShorterThanDeclaredOrBrokenOffFail) {
  for (const char* rule : {"length-delta=+500", "reset=mid", "reset=body", "length=none reset=mid"}) {
    recorder.Clear();
    DownloadWithRule(7, rule);
    EXPECT_EQ(recorder.successes, 0) << rule;
    EXPECT_EQ(recorder.failures, 1) << rule;
    EXPECT_TRUE(recorder.dataWasNull) << rule;
    buffer.Release();
  }
  // A reset before the head is a failed send: no callback at all.
  recorder.Clear();
  DownloadWithRule(7, "reset=head");
  EXPECT_EQ(recorder.Calls(), 0);
}

TEST_F(Fetcher, ALongerBodyThanDeclaredIsCutAtTheDeclaredLength) {
  const std::vector<uint8_t> honest = HonestBody(8);
  DownloadWithRule(8, "length-delta=-100");
  EXPECT_EQ(recorder.successes, 1);
  EXPECT_EQ(recorder.count, honest.size() - 100);
  EXPECT_TRUE(std::equal(recorder.bytes.begin(), recorder.bytes.end(), honest.begin()));
}

TEST_F(Fetcher, GarbageAndDelayedHeadsAreDownloadedAsSent) {
  DownloadWithRule(9, "garbage=3000 delay=200");
  EXPECT_EQ(recorder.successes, 1);
  EXPECT_EQ(recorder.count, 3000u);
  EXPECT_FALSE(std::equal(kPngSignature, kPngSignature + 8, recorder.bytes.begin()));
}

TEST_F(Fetcher, AStalledBodyEndsByTheReceiveTimeOut) {
  InternetSetDeviceTimeouts(5000, 400);
  DownloadWithRule(10, "stall=2000 stall-ms=20000");
  InternetSetDeviceTimeouts(60000, 30000);
  EXPECT_EQ(recorder.failures, 1);
  EXPECT_TRUE(recorder.dataWasNull);
}

TEST_F(Fetcher, CancelDuringASlowBodyReportsTheBytesSoFarAndReturnsAfterTheWorkerEnded) {
  server.AddRule("x=11 body-size=20000 chunk-size=1000 chunk-delay=50");
  ASSERT_EQ(Start(TileUrlFor(11, 0, 5)), 1);
  ASSERT_TRUE(WaitForFirstBodyBytes(committedBefore));
  Sleep(150);  // a few more pieces arrive
  // A second Fetch while the worker runs changes nothing.
  EXPECT_EQ(Start(TileUrlFor(12, 0, 5)), 0);
  EXPECT_EQ(fetcher.Cancel(), 1);
  EXPECT_FALSE(fetcher.HasWorker());  // Cancel returned only after the worker ended
  EXPECT_EQ(recorder.failures, 1);    // and after its report
  EXPECT_EQ(recorder.successes, 0);
  EXPECT_TRUE(recorder.dataWasNull);
  EXPECT_GE(recorder.count, 1000u);
  EXPECT_LT(recorder.count, 20000u);
  EXPECT_EQ(recorder.count, buffer.usedSize);  // the buffer holds the bytes read so far
  EXPECT_EQ(fetcher.cancelRequested.load(), 0);
  EXPECT_EQ(fetcher.Cancel(), 0);  // idle now
  // The second Fetch never reached the server.
  for (const auto& entry : server.Log()) EXPECT_EQ(entry.path.find("x=12"), std::string::npos);
}

TEST_F(Fetcher, TwoDownloadsIntoOneBufferKeepOnlyTheSecond) {
  DownloadWithRule(13, "body-size=300000");
  ASSERT_EQ(buffer.usedSize, 300000u);
  const size_t afterFirst = VirtualCommittedBytes();
  DownloadWithRule(14, "body-size=5000");
  EXPECT_EQ(recorder.successes, 2);
  EXPECT_EQ(buffer.usedSize, 5000u);
  EXPECT_EQ(buffer.reservedSize, 5000u);
  EXPECT_LT(VirtualCommittedBytes(), afterFirst - 250000);  // the first region was given back
}

TEST_F(Fetcher, SplitsUrlsIntoHostAndPathWithinTheirFields) {
  // No "http://": split the same way from the first character. Direct to the server's port.
  ASSERT_EQ(Start(u"127.0.0.1/mt?v=w2.92&hl=ko&x=1&y=1&z=3", server.Port()), 1);
  EXPECT_EQ(std::u16string(fetcher.requestBlock.host), u"127.0.0.1");
  EXPECT_EQ(std::u16string(fetcher.requestBlock.path), u"/mt?v=w2.92&hl=ko&x=1&y=1&z=3");
  EXPECT_EQ(fetcher.requestBlock.port, server.Port());
  EXPECT_EQ(fetcher.requestBlock.owner, &fetcher);
  ASSERT_TRUE(WaitUntilIdle(fetcher));
  EXPECT_EQ(recorder.successes, 1);

  // A host with no path asks for "/".
  ASSERT_EQ(Start(u"http://mt0.world-tiles.orvanmap.test"), 1);
  EXPECT_EQ(std::u16string(fetcher.requestBlock.path), u"/");
  ASSERT_TRUE(WaitUntilIdle(fetcher));

  // A host of 120 and a path of 600 characters are cut to 99 and 499.
  const std::u16string host(120, u'h');
  const std::u16string path = u"/" + std::u16string(599, u'p');
  ASSERT_EQ(fetcher.Fetch((u"http://" + host + path).c_str(), &buffer, nullptr, nullptr, nullptr, u"user", nullptr, 80),
            1);
  EXPECT_EQ(std::u16string(fetcher.requestBlock.host), host.substr(0, 99));
  EXPECT_EQ(std::u16string(fetcher.requestBlock.path), path.substr(0, 499));
  EXPECT_EQ(std::u16string(fetcher.requestBlock.userName), u"user");
  EXPECT_EQ(fetcher.requestBlock.password[0], 0);
  ASSERT_TRUE(WaitUntilIdle(fetcher));
}

TEST_F(Fetcher, AFailedCommitEndsTheDownloadAsAFailureWithNothingWritten) {
  server.AddRule("x=15 body-size=200000 chunk-size=8192 chunk-delay=20");
  ASSERT_EQ(Start(TileUrlFor(15, 0, 5)), 1);
  ASSERT_TRUE(WaitForFirstBodyBytes(committedBefore));
  SetVirtualCommitLimit(VirtualCommittedBytes());  // the device runs out of memory mid-body
  ASSERT_TRUE(WaitUntilIdle(fetcher));
  SetVirtualCommitLimit(SIZE_MAX);
  EXPECT_EQ(recorder.successes, 0);
  EXPECT_EQ(recorder.failures, 1);
  EXPECT_LT(buffer.usedSize, 200000u);
}

TEST_F(Fetcher, AThreadThatCannotBeCreatedLeavesTheFetcherIdle) {
  SetThreadLimit(RunningThreadCount());
  EXPECT_EQ(Start(TileUrlFor(16, 0, 5)), 0);
  SetThreadLimit(SIZE_MAX);
  EXPECT_FALSE(fetcher.HasWorker());
  EXPECT_EQ(fetcher.Cancel(), 0);
  EXPECT_EQ(recorder.Calls(), 0);
}

TEST_F(Fetcher, CancellingRightAfterEachStartNeverLosesTheWorkerOrItsHandle) {
  // Fast answers race the worker's own handle close against Cancel's wait on it.
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(Start(TileUrlFor(17 + i % 3, 0, 5)), 1) << i;
    if (i % 2 == 0) Sleep(i % 7);
    fetcher.Cancel();
    ASSERT_FALSE(fetcher.HasWorker()) << i;
    ASSERT_EQ(fetcher.cancelRequested.load(), 0) << i;  // idle means the flag is at rest
    buffer.Release();
  }
  EXPECT_LE(recorder.Calls(), 60);
}

// Wherever the worker waits on the network, Cancel aborts the call and returns at once; each case
// ends with the failure report a cancelled download makes: null data and the bytes received so far.
TEST_F(Fetcher, CancelReturnsAtOnceWhileTheWorkerConnectsWaitsForTheHeadOrReadsATricklingBody) {
  {
    UnansweredListener unanswered;
    const std::string saved = std::getenv("http_proxy");
    setenv("http_proxy", ("127.0.0.1:" + std::to_string(unanswered.Port())).c_str(), 1);
    ASSERT_EQ(Start(TileUrlFor(20, 0, 5)), 1);
    Sleep(300);  // the worker is connecting to a proxy that never accepts
    EXPECT_LT(TimedCancel(fetcher), kPromptCancelMs) << "connecting";
    setenv("http_proxy", saved.c_str(), 1);
    EXPECT_EQ(recorder.failures, 1);
    EXPECT_EQ(recorder.count, 0u);
  }

  server.AddRule("x=21 delay=20000");
  ASSERT_EQ(Start(TileUrlFor(21, 0, 5)), 1);
  ASSERT_TRUE(server.WaitForRequests(1, 5000));
  Sleep(100);
  EXPECT_LT(TimedCancel(fetcher), kPromptCancelMs) << "waiting for the head";
  EXPECT_EQ(recorder.failures, 2);
  EXPECT_EQ(recorder.count, 0u);
  EXPECT_TRUE(recorder.dataWasNull);

  server.AddRule("x=22 chunk-size=1 chunk-delay=2000");
  ASSERT_EQ(Start(TileUrlFor(22, 0, 5)), 1);
  ASSERT_TRUE(WaitForFirstBodyBytes(committedBefore));
  Sleep(100);
  EXPECT_LT(TimedCancel(fetcher), kPromptCancelMs) << "reading the body";
  EXPECT_EQ(recorder.failures, 3);
  EXPECT_EQ(recorder.successes, 0);
  EXPECT_TRUE(recorder.dataWasNull);
  EXPECT_GE(recorder.count, 1u);
  EXPECT_EQ(recorder.count, buffer.usedSize);
  EXPECT_FALSE(fetcher.HasWorker());
  EXPECT_EQ(fetcher.cancelRequested.load(), 0);
}

TEST_F(Fetcher, ABodyBelowTheMinimumSpeedEndsInAFailure) {
  // 10 bytes a second against a minimum of 1000 a second over 1 s windows.
  InternetSetDeviceMinimumSpeed(1000, 1000);
  DownloadWithRule(23, "chunk-size=1 chunk-delay=100");
  InternetSetDeviceMinimumSpeed(0, 0);
  EXPECT_EQ(recorder.successes, 0);
  EXPECT_EQ(recorder.failures, 1);
  EXPECT_TRUE(recorder.dataWasNull);
  EXPECT_EQ(recorder.count, buffer.usedSize);
  EXPECT_LT(recorder.count, 100u);
}

TEST_F(Fetcher, AFailureReportsTheBytesActuallyReceived) {
  DownloadWithRule(24, "reset=10");
  EXPECT_EQ(recorder.failures, 1);
  EXPECT_EQ(recorder.count, 10u);
  recorder.Clear();
  buffer.Release();
  // 73 bytes declared, none sent, then the connection closes.
  DownloadWithRule(25, "length=73 body-size=0");
  EXPECT_EQ(recorder.failures, 1);
  EXPECT_EQ(recorder.count, 0u);
}

}  // namespace
