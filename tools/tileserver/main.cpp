// tileserver: serves map tiles (synthetic, from an MBTiles file or from an upstream service) and
// fault modes on 127.0.0.1. See --help.
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "tools/tileserver/ConnectionHandler.h"
#include "tilesources/HttpFreshness.h"
#include "tools/tileserver/Listener.h"
#include "tools/tileserver/ParentWatch.h"
#include "tools/tileserver/ServerOptions.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitListen = 3;
constexpr int kExitSource = 4;

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
  static EncodedTileCache cache(options.cacheBytes);
  const int64_t startMs = tilesources::WallClockMs();
  static OpenedSource world = OpenTileSource(options.source, options.sourceSettings, cache, startMs);
  if (!world.source) {
    std::fprintf(stderr, "tileserver: world tiles: %s\n", OneLine(world.error).c_str());
    return kExitSource;
  }
  // The same source for both domains is opened once: one upstream, one connection limit.
  const bool ownRegional = options.regionalSource && options.regionalSource->text != options.source.text;
  static OpenedSource regional;
  if (ownRegional) {
    regional = OpenTileSource(*options.regionalSource, options.sourceSettings, cache, startMs);
    if (!regional.source) {
      std::fprintf(stderr, "tileserver: regional tiles: %s\n", OneLine(regional.error).c_str());
      return kExitSource;
    }
  }
  static const TileSources sources{world.source.get(), ownRegional ? regional.source.get() : world.source.get()};
  if (options.source.kind != SourceKind::Word || ownRegional) {
    std::fprintf(stderr, "tileserver: world tiles: %s\n", OneLine(sources.world->Describe()).c_str());
    std::fprintf(stderr, "tileserver: regional tiles: %s\n", OneLine(sources.regional->Describe()).c_str());
  }
  for (const OpenedSource* opened : {&world, &regional})
    if (!opened->note.empty()) std::fprintf(stderr, "tileserver: note: %s\n", opened->note.c_str());
  static TileResponder responder(rules, sources, options.latencyMs);
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
