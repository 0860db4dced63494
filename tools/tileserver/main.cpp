// tileserver: serves synthetic map tiles and fault modes on 127.0.0.1. See --help.
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "tools/tileserver/ConnectionHandler.h"
#include "tools/tileserver/Listener.h"
#include "tools/tileserver/ParentWatch.h"
#include "tools/tileserver/ServerOptions.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitListen = 3;

void OnTerminate(int) { _exit(0); }

}  // namespace

int main(int argc, char** argv) {
  using namespace tileserver;
  const ServerOptionsParse parsed = ParseServerOptions(argc, argv);
  if (!parsed.ok) {
    std::fprintf(stderr, "tileserver: %s\n", parsed.error.c_str());
    return kExitUsage;
  }
  const ServerOptions& options = parsed.options;
  if (options.help) {
    std::fputs(ServerHelp().c_str(), stdout);
    return 0;
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, OnTerminate);
  signal(SIGINT, OnTerminate);
  if (options.parentPid != 0) ParentWatch::Start(options.parentPid);

  static RuleSet rules;
  for (const FaultRule& rule : options.rules) rules.AddBase(rule);
  static RequestLog log;
  log.SetEcho(options.verbose);
  static TileCache cache(options.cacheBytes);
  static TileResponder responder(rules, cache, options.latencyMs);
  static ControlApi control(rules, log, cache);
  static ConnectionHandler handler(responder, control, log);

  static Listener listener;
  const std::string error = listener.Open(options.port);
  if (!error.empty()) {
    std::fprintf(stderr, "tileserver: %s\n", error.c_str());
    return kExitListen;
  }
  std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(listener.Port()));
  std::fflush(stdout);
  listener.Run([](int fd) { handler.Serve(fd); });
  std::fprintf(stderr, "tileserver: accept failed\n");
  return kExitListen;
}
