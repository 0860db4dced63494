#include "tools/tileserver/ConnectionHandler.h"

#include "tools/tileserver/HttpRequestReader.h"
#include "tools/tileserver/ResponseWriter.h"

namespace tileserver {
namespace {

int StatusFor(ReadStatus status) {
  switch (status) {
    case ReadStatus::HeadTooLarge: return 431;
    case ReadStatus::BodyTooLarge: return 413;
    case ReadStatus::Unsupported: return 501;
    default: return 400;
  }
}

ResponsePlan TextPlan(int status, const std::string& what, const std::string& body, bool keepAlive) {
  ResponsePlan plan;
  plan.status = status;
  plan.what = what;
  plan.contentType = "text/plain";
  plan.body = std::make_shared<const std::string>(body);
  plan.clientKeepsAlive = keepAlive;
  return plan;
}

}  // namespace

void ConnectionHandler::Serve(int fd) {
  SocketStream socket(fd);
  HttpRequestReader reader(socket);
  bool counted = false;     // connections are counted when they carry a tile request
  bool firstAnswer = true;  // the next tile answer is the first on this connection
  for (;;) {
    ClientRequest request;
    const ReadStatus status = reader.Next(request);
    const int64_t arrivedMs = log_.NowMs();
    if (status == ReadStatus::Closed) return;
    if (status != ReadStatus::Ok) {
      const uint64_t id = log_.RequestBegan(LogEntry{arrivedMs, "-", "", request.target, "", ""});
      const ResponsePlan plan = TextPlan(StatusFor(status), "bad-request", "bad request\n", false);
      ResponseWriter::Send(socket, plan, [&](const std::string& outcome) { log_.RequestFinished(id, outcome); });
      return;
    }
    const RequestTarget target = ResolveTarget(request);
    if (ControlApi::IsControlPath(target.path)) {
      const ControlAnswer answer = control_.Handle(request, target.path);
      const SendOutcome outcome =
          ResponseWriter::Send(socket, TextPlan(answer.status, "control", answer.body, request.KeepAlive()));
      if (!outcome.keepOpen) return;
      continue;
    }
    if (!counted) {
      log_.ConnectionOpened();
      counted = true;
    }
    const uint64_t id = log_.RequestBegan(LogEntry{arrivedMs, target.absolute ? "absolute" : "origin", target.host,
                                                   target.path, request.Header("User-Agent").value_or(""), ""});
    ResponsePlan plan = responder_.Plan(request, target);
    if (firstAnswer) plan.delayMs += plan.fault.connectDelayMs;
    firstAnswer = false;
    const SendOutcome outcome =
        ResponseWriter::Send(socket, plan, [&](const std::string& text) { log_.RequestFinished(id, text); });
    if (!outcome.keepOpen) return;
  }
}

}  // namespace tileserver
