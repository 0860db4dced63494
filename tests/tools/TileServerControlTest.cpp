// The server's process and control side: command-line rules and latency, rejected rules,
// counters under 64 concurrent requests, --help, bad options, and stopping with its parent.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "tests/support/RawHttpConnection.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/PngTestImage.h"
#include "tests/tools/ServerRun.h"
#include "tools/tileserver/TileAddress.h"

extern char** environ;

namespace {

constexpr int kTimeoutMs = 10000;

std::string World(int n) { return "mt" + std::to_string(n) + "." + tileserver::WorldDomain(); }

RawHttpReply FetchOne(TileServer& server, int x, int z) {
  RawHttpConnection c(server.Port());
  c.Send(TileRequestText(World(x % 4), x, 0, z, true));
  RawHttpReply reply;
  EXPECT_EQ(c.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  return reply;
}

bool PortRefuses(uint16_t port) {
  try {
    RawHttpConnection c(port);
    return false;
  } catch (const std::runtime_error&) {
    return true;
  }
}

TEST(TileServerProcess, CommandLineRulesAndLatencyApplyFromTheStartAndSurviveReset) {
  TileServer server({"--rule", "z=3 status=503", "--rule", "z=4 times=1 status=404", "--latency", "400"});
  RawHttpConnection c(server.Port());
  c.Send(TileRequestText(World(0), 0, 0, 3, true));
  EXPECT_EQ(c.ReadAtLeast(1, 150), RawReadEnd::TimedOut);  // the latency holds the head
  RawHttpReply reply;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_EQ(reply.status, 503);
  EXPECT_EQ(FetchOne(server, 0, 4).status, 404);
  EXPECT_EQ(FetchOne(server, 0, 4).status, 200);  // spent
  server.Reset();
  EXPECT_EQ(FetchOne(server, 0, 3).status, 503);
  EXPECT_EQ(FetchOne(server, 0, 4).status, 404);  // re-armed
  EXPECT_EQ(server.Counters().requests, 2u);
}

TEST(TileServerProcess, RejectedRulesNameTheProblemAndAddNothing) {
  TileServer server;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"colour=red", "unknown key"},        {"status=99", "out of range"},      {"delay=soon", "whole number"},
      {"length=-5 chunked", "only one of"}, {"redirect status=404", "exclude"}, {"reset=sideways", "reset"},
      {"status=404\nx=1 bogus", "line 2"},  // all or nothing
  };
  for (const auto& [rule, message] : cases) {
    try {
      server.AddRule(rule);
      ADD_FAILURE() << "accepted: " << rule;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << rule << ": " << error.what();
    }
  }
  EXPECT_EQ(FetchOne(server, 1, 1).status, 200);
  EXPECT_THROW(TileServer({"--rule", "nonsense"}), std::runtime_error);
}

TEST(TileServerProcess, CountsSixtyFourConcurrentRequestsInFlight) {
  constexpr size_t kConcurrent = 64;
  TileServer server({"--rule", "delay=3000"});
  std::vector<std::unique_ptr<RawHttpConnection>> connections;
  for (size_t i = 0; i < kConcurrent; ++i) {
    connections.push_back(std::make_unique<RawHttpConnection>(server.Port()));
    connections.back()->Send(TileRequestText(World(static_cast<int>(i % 4)), static_cast<int>(i), 0, 7, true));
  }
  ASSERT_TRUE(server.WaitForRequests(kConcurrent, kTimeoutMs));
  const TileServerCounters during = server.Counters();
  EXPECT_EQ(during.inFlight, kConcurrent);
  EXPECT_EQ(during.connections, kConcurrent);
  for (auto& c : connections) {
    RawHttpReply reply;
    ASSERT_EQ(c->ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
    EXPECT_TRUE(DecodePng(reply.body).ok);
  }
  const TileServerCounters after = server.Counters();
  EXPECT_EQ(after.requests, kConcurrent);
  EXPECT_EQ(after.inFlight, 0u);
  EXPECT_EQ(after.maxInFlight, kConcurrent);
  const std::vector<TileServerLogEntry> log = server.AnsweredLog();
  ASSERT_EQ(log.size(), kConcurrent);
  for (const TileServerLogEntry& entry : log) EXPECT_EQ(entry.outcome, "200 tile");
}

TEST(TileServerProcess, HelpDocumentsOptionsFaultsAndControlEndpoints) {
  const ProgramRun run = RunServer("--help");
  EXPECT_EQ(run.exitCode, 0);
  for (const char* word : {"--port",
                           "--latency",
                           "--rule",
                           "--parent-pid",
                           "--cache-mb",
                           "--verbose",
                           "status=",
                           "delay=",
                           "chunk-delay=",
                           "length=",
                           "length-delta=",
                           "chunked",
                           "body-size=",
                           "stall=",
                           "reset=",
                           "garbage",
                           "redirect",
                           "location=",
                           "times=",
                           "/_control/log",
                           "/_control/counters",
                           "/_control/rules",
                           "/_control/reset",
                           "retry-after=",
                           "--source",
                           "--regional-source",
                           "mbtiles:FILE",
                           "upstream:TEMPLATE",
                           "--contact",
                           "--upstream-connections",
                           "--cache-dir",
                           "--max-age"}) {
    EXPECT_NE(run.output.find(word), std::string::npos) << word;
  }
  EXPECT_NE(run.output.find(tileserver::RegionalDomain()), std::string::npos);
}

TEST(TileServerProcess, BadOptionsExitWithAMessage) {
  for (const char* args : {"--port 70000", "--latency -1", "--frobnicate 1", "--rule 'x=1 nope'", "--port",
                           "--source tiles.mbtiles", "--source mbtiles:", "--upstream-connections 9", "--max-age -1"}) {
    const ProgramRun run = RunServer(args);
    EXPECT_EQ(run.exitCode, 2) << args;
    EXPECT_NE(run.output.find("tileserver: "), std::string::npos) << args;
  }
}

TEST(TileServerProcess, ExitsWhenItsParentProcessEnds) {
  // A shell starts the server with itself as the watched parent, then ends.
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string script = "\"$0\" --port 0 --parent-pid $$ & sleep 1";
  std::vector<std::string> args = {"/bin/sh", "-c", script, TileServer::ExecutablePath()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t shell = -1;
  ASSERT_EQ(::posix_spawn(&shell, "/bin/sh", &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string line;
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  ASSERT_EQ(line.rfind("listening on 127.0.0.1:", 0), 0u) << line;
  const uint16_t port = static_cast<uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
  {
    RawHttpConnection alive(port);  // it serves while the parent lives
    alive.Send("GET /_control/health HTTP/1.1\r\n\r\n");
    RawHttpReply health;
    EXPECT_EQ(alive.ReadOneResponse(kTimeoutMs, health), RawReadEnd::Complete);
    EXPECT_EQ(health.body, "ok\n");
  }
  int status = 0;
  ASSERT_EQ(::waitpid(shell, &status, 0), shell);

  bool gone = false;
  for (int i = 0; i < 250 && !gone; ++i) {
    gone = PortRefuses(port);
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(gone) << "the server on port " << port << " outlived its parent";
}

TEST(TileServerProcess, KeepsRunningWhenTheThreadThatStartedItEnds) {
  std::unique_ptr<TileServer> server;
  std::thread([&server] { server = std::make_unique<TileServer>(); }).join();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(FetchOne(*server, 2, 2).status, 200);
}

TEST(TileServerProcess, ProxyEnvironmentPointsAtTheServerAndRestoresTheOldValues) {
  ::setenv("http_proxy", "http://old.invalid:1", 1);
  ::setenv("NO_PROXY", "*", 1);
  ::unsetenv("ALL_PROXY");
  TileServer server;
  {
    ProxyEnvironment proxy(server);
    EXPECT_STREQ(std::getenv("http_proxy"), ("http://127.0.0.1:" + std::to_string(server.Port())).c_str());
    EXPECT_EQ(std::getenv("NO_PROXY"), nullptr);
    EXPECT_EQ(std::getenv("no_proxy"), nullptr);
    EXPECT_EQ(std::getenv("HTTP_PROXY"), nullptr);
  }
  EXPECT_STREQ(std::getenv("http_proxy"), "http://old.invalid:1");
  EXPECT_STREQ(std::getenv("NO_PROXY"), "*");
  EXPECT_EQ(std::getenv("ALL_PROXY"), nullptr);
  ::unsetenv("http_proxy");
  ::unsetenv("NO_PROXY");
}

}  // namespace
