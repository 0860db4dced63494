#include "tools/tileserver/TileAddress.h"

#include <algorithm>
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

namespace {

// "/Z/X/Y" with an optional image extension; false when the path is not of that form.
bool ParseXyzPath(std::string_view path, TilePath& result) {
  for (const std::string_view extension : {".png", ".jpg", ".jpeg", ".webp"}) {
    if (path.size() > extension.size() && path.substr(path.size() - extension.size()) == extension) {
      path.remove_suffix(extension.size());
      break;
    }
  }
  int32_t* const numbers[] = {&result.z, &result.x, &result.y};
  for (int32_t* number : numbers) {
    if (path.empty() || path.front() != '/') return false;
    path.remove_prefix(1);
    const std::string_view digits = path.substr(0, path.find('/'));
    if (digits.empty() || !ParseInt32(digits, *number)) return false;
    path.remove_prefix(digits.size());
  }
  return path.empty();
}

bool Inside(const TilePath& tile) {
  if (tile.z < 0 || tile.z > kMaxZoom) return false;
  const int64_t side = int64_t{1} << tile.z;
  return tile.x >= 0 && tile.y >= 0 && tile.x < side && tile.y < side;
}

}  // namespace

TilePath ParseTilePath(std::string_view path) {
  TilePath result;
  const size_t question = path.find('?');
  std::string_view query = question == std::string_view::npos ? std::string_view() : path.substr(question + 1);
  if (path.substr(0, question) != kTilePath) {
    if (!ParseXyzPath(path.substr(0, question), result)) return result;
    for (size_t at = 0; at <= query.size();) {
      const size_t amp = std::min(query.find('&', at), query.size());
      result.redirected |= query.substr(at, amp - at) == kRedirectMarker;
      at = amp + 1;
    }
    result.status = Inside(result) ? TilePathStatus::Ok : TilePathStatus::OutOfRange;
    return result;
  }
  if (question == std::string_view::npos) return result;
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
  result.status = Inside(result) ? TilePathStatus::Ok : TilePathStatus::OutOfRange;
  return result;
}

}  // namespace tileserver
