#include "tools/tileserver/TileResponder.h"

#include "tilesources/HttpFreshness.h"

namespace tileserver {

using tilesources::FormatHttpDate;
using tilesources::ParseHttpDate;
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

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Tags compare weakly here (W/ ignored), as If-None-Match asks.
std::string_view Opaque(std::string_view tag) {
  tag = Trimmed(tag);
  return tag.substr(0, 2) == "W/" ? tag.substr(2) : tag;
}

void UseTile(ResponsePlan& plan, SourcedTile tile, const ClientRequest& request) {
  plan.status = tile.status;
  plan.what = std::move(tile.what);
  plan.contentType = std::move(tile.contentType);
  plan.body = std::move(tile.body);
  if (plan.status == 200) {
    if (!tile.etag.empty()) plan.headers.emplace_back("ETag", tile.etag);
    if (tile.lastModifiedMs >= 0) plan.headers.emplace_back("Last-Modified", FormatHttpDate(tile.lastModifiedMs));
    if (TileResponder::ClientHasIt(request, tile)) {
      plan.status = 304;
      plan.what = "not-modified";
    }
  }
  for (auto& header : tile.headers) plan.headers.push_back(std::move(header));
  if (plan.body == nullptr || StatusForbidsBody(plan.status)) plan.body = Text("");
}

}  // namespace

bool TileResponder::ClientHasIt(const ClientRequest& request, const SourcedTile& tile) {
  if (const std::optional<std::string> match = request.Header("If-None-Match")) {
    if (tile.etag.empty()) return false;
    std::string_view rest = *match;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string_view tag = Opaque(rest.substr(0, comma));
      if (tag == "*" || tag == Opaque(tile.etag)) return true;
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return false;
  }
  if (const std::optional<std::string> since = request.Header("If-Modified-Since")) {
    const std::optional<int64_t> sinceMs = ParseHttpDate(*since);
    return sinceMs && tile.lastModifiedMs >= 0 && tile.lastModifiedMs / 1000 <= *sinceMs / 1000;
  }
  return false;
}

std::string TileResponder::GarbageBytes(size_t size) {
  static const std::string kPhrase = "This is not an image. ";
  std::string out;
  out.reserve(size);
  while (out.size() < size) out += kPhrase;
  out.resize(size);
  return out;
}

ResponsePlan TileResponder::Plan(const ClientRequest& request, const RequestTarget& target) {
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

  if (fault.retryAfter) plan.headers.emplace_back("Retry-After", std::to_string(*fault.retryAfter));
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
    UseTile(plan, sources_.For(host.kind).Fetch(key), request);
  }

  if (fault.bodySize && *fault.bodySize != plan.body->size()) {
    std::string sized = *plan.body;
    sized.resize(*fault.bodySize, '\0');
    plan.body = Text(sized);
  }
  return plan;
}

}  // namespace tileserver
