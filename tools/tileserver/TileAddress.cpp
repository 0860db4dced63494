#include "tools/tileserver/TileAddress.h"

#include <cctype>

#include "platform/kernel/DecimalText.h"
#include "platform/kernel/WideText.h"
#include "projection/TileServers.h"

namespace tileserver {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool ParseInt32(std::string_view text, int32_t& value) {
  return ParseDecimal(text, &value, {.sign = DecimalSign::kMinus});
}

}  // namespace

const char* HostKindName(HostKind kind) {
  switch (kind) {
    case HostKind::World: return "world";
    case HostKind::Regional: return "regional";
    case HostKind::Other: break;
  }
  return "other";
}

const std::string& WorldDomain() {
  static const std::string domain = Lower(Utf16ToUtf8(kWorldTileDomain));
  return domain;
}

const std::string& RegionalDomain() {
  static const std::string domain = Lower(Utf16ToUtf8(kRegionalTileDomain));
  return domain;
}

TileHost ClassifyHost(std::string_view host) {
  std::string name = Lower(host.substr(0, host.find(':')));
  TileHost result;
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return result;
  const std::string_view label = std::string_view(name).substr(0, dot);
  const std::string_view domain = std::string_view(name).substr(dot + 1);
  if (domain == WorldDomain()) {
    result.kind = HostKind::World;
  } else if (domain == RegionalDomain()) {
    result.kind = HostKind::Regional;
  } else {
    return result;
  }
  int32_t number = -1;
  if (label.size() > 2 && label.substr(0, 2) == "mt" && ParseInt32(label.substr(2), number) && number >= 0 &&
      number <= 9) {
    result.server = number;
  }
  return result;
}

TilePath ParseTilePath(std::string_view path) {
  TilePath result;
  const size_t question = path.find('?');
  if (path.substr(0, question) != kTilePath || question == std::string_view::npos) return result;
  std::string_view query = path.substr(question + 1);
  bool haveX = false, haveY = false, haveZ = false;
  bool numbersValid = true;
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair == kRedirectMarker) result.redirected = true;
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = pair.substr(0, eq);
    const std::string_view value = pair.substr(eq + 1);
    if (key == "x") {
      haveX = true;
      numbersValid &= ParseInt32(value, result.x);
    } else if (key == "y") {
      haveY = true;
      numbersValid &= ParseInt32(value, result.y);
    } else if (key == "z") {
      haveZ = true;
      numbersValid &= ParseInt32(value, result.z);
    }
  }
  if (!haveX || !haveY || !haveZ || !numbersValid) return result;
  const bool zoomValid = result.z >= 0 && result.z <= kMaxZoom;
  const int64_t side = zoomValid ? (int64_t{1} << result.z) : 0;
  const bool inside = zoomValid && result.x >= 0 && result.y >= 0 && result.x < side && result.y < side;
  result.status = inside ? TilePathStatus::Ok : TilePathStatus::OutOfRange;
  return result;
}

}  // namespace tileserver
