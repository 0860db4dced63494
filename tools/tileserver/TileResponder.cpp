#include "tools/tileserver/TileResponder.h"

namespace tileserver {
namespace {

std::shared_ptr<const std::string> Text(const std::string& text) { return std::make_shared<const std::string>(text); }

void Plain(ResponsePlan& plan, int status, const std::string& what, const std::string& body) {
  plan.status = status;
  plan.what = what;
  plan.contentType = "text/plain";
  plan.body = Text(body);
}

std::string RedirectTarget(const RequestTarget& target) {
  const std::string path = target.path + (target.path.find('?') == std::string::npos ? "?" : "&") + kRedirectMarker;
  return target.host.empty() ? path : "http://" + target.host + path;
}

}  // namespace

std::string TileResponder::GarbageBytes(size_t size) {
  static const std::string kPhrase = "This is not an image. ";
  std::string out;
  out.reserve(size);
  while (out.size() < size) out += kPhrase;
  out.resize(size);
  return out;
}

ResponsePlan TileResponder::Plan(const HttpRequest& request, const RequestTarget& target) {
  ResponsePlan plan;
  plan.delayMs = latencyMs_;
  plan.clientKeepsAlive = request.KeepAlive();
  if (request.method != "GET") {
    Plain(plan, 405, "method", "only GET\n");
    plan.headers.emplace_back("Allow", "GET");
    return plan;
  }
  const TilePath tile = ParseTilePath(target.path);
  if (tile.status == TilePathStatus::NotATile) {
    Plain(plan, 404, "not-a-tile", "not a tile path\n");
    return plan;
  }
  if (tile.status == TilePathStatus::OutOfRange) {
    Plain(plan, 404, "out-of-range", "no such tile\n");
    return plan;
  }
  const TileHost host = ClassifyHost(target.host);
  const TileKey key{host.kind, host.server, tile.x, tile.y, tile.z};

  if (!tile.redirected) {
    if (std::optional<FaultRule> rule = rules_.Match(key)) plan.fault = std::move(*rule);
  }
  const FaultRule& fault = plan.fault;
  plan.delayMs += fault.delayMs;

  if (fault.status != 0) {
    // A body after a status that forbids one would be read as the start of the next answer.
    Plain(plan, fault.status, "rule", StatusForbidsBody(fault.status) ? "" : std::to_string(fault.status) + " rule\n");
  } else if (fault.redirect != 0) {
    Plain(plan, fault.redirect, "redirect", "redirect\n");
    plan.headers.emplace_back("Location", fault.location.empty() ? RedirectTarget(target) : fault.location);
  } else if (fault.garbage) {
    plan.what = "garbage";
    plan.body = Text(GarbageBytes(*fault.garbage));
  } else {
    plan.body = cache_.Get(key);
    if (plan.body == nullptr) Plain(plan, 500, "encode-failed", "tile encoding failed\n");
  }

  if (fault.bodySize && *fault.bodySize != plan.body->size()) {
    std::string sized = *plan.body;
    sized.resize(*fault.bodySize, '\0');
    plan.body = Text(sized);
  }
  return plan;
}

}  // namespace tileserver
