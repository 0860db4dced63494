#include "gpx/GpxParser.h"

#include <expat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace gpx {

namespace {

constexpr std::string_view kGpx10 = "http://www.topografix.com/GPX/1/0";
constexpr std::string_view kGpx11 = "http://www.topografix.com/GPX/1/1";
constexpr char kNamespaceSeparator = ' ';  // never part of a namespace name (a URI)

// ---- expat's memory, counted and capped ----
// expat's allocation functions take no context: each block carries its account in a header, and
// a new block is charged to the account of the parser being called on this thread.
struct Account {
  size_t held = 0;
  size_t peak = 0;
  bool capHit = false;
};
thread_local Account* currentAccount = nullptr;

struct alignas(std::max_align_t) BlockHeader {
  Account* account;
  size_t size;
};

void* Charge(Account* account, void* raw, size_t size) {
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->account = account;
  header->size = size;
  account->held += size;
  account->peak = std::max(account->peak, account->held);
  return header + 1;
}

bool Affordable(Account* account, size_t more) {
  if (account->held + more <= GpxParser::kMaxParserBytes) return true;
  account->capHit = true;
  return false;
}

void* CountedMalloc(size_t size) {
  Account* account = currentAccount;
  if (account == nullptr || !Affordable(account, size)) return nullptr;
  return Charge(account, std::malloc(sizeof(BlockHeader) + size), size);
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  auto* header = static_cast<BlockHeader*>(block) - 1;
  header->account->held -= header->size;
  std::free(header);
}

void* CountedRealloc(void* block, size_t size) {
  if (block == nullptr) return CountedMalloc(size);
  auto* header = static_cast<BlockHeader*>(block) - 1;
  Account* account = header->account;
  const size_t old = header->size;
  if (size > old && !Affordable(account, size - old)) return nullptr;
  void* moved = std::realloc(header, sizeof(BlockHeader) + size);
  if (moved == nullptr) return nullptr;
  account->held -= old;
  return Charge(account, moved, size);
}

const XML_Memory_Handling_Suite kCountedMemory{CountedMalloc, CountedRealloc, CountedFree};

// Makes `account` the one new expat blocks are charged to while it lives.
class Charging {
 public:
  explicit Charging(Account* account) : previous_(currentAccount) { currentAccount = account; }
  ~Charging() { currentAccount = previous_; }

 private:
  Account* previous_;
};

// ---- small text helpers ----
std::string_view TrimXmlSpace(std::string_view text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The first `limit` bytes of UTF-8 text, not cutting a character in two.
void CutUtf8(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

// Where an element is, as far as the reader cares.
enum class Place { Document, Gpx, Waypoint, WaypointName, Track, Segment, Route, Point };

}  // namespace

struct GpxParser::State {
  std::string source;
  GpxSink& sink;
  Account account;
  XML_Parser parser = nullptr;
  std::string error;
  bool sawRoot = false;
  std::string_view gpxNamespace;  // the root's, once read
  std::vector<Place> places{Place::Document};  // at most a few deep: skipped subtrees only count
  size_t skipDepth = 0;           // > 0 inside an element the reader skips, with what is in it
  Waypoint waypoint;              // the wpt being read

  State(std::string sourceName, GpxSink& target) : source(std::move(sourceName)), sink(target) {}

  void Fail(const std::string& problem) {
    if (!error.empty()) return;
    error = source + ":" + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " + problem;
    XML_StopParser(parser, XML_FALSE);
  }

  // A point's lat and lon attributes; false (with the error set) when either is missing or bad.
  bool ReadPosition(std::string_view element, const XML_Char** attributes, LatLon* position) {
    const char* lat = nullptr;
    const char* lon = nullptr;
    for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
      if (std::strcmp(a[0], "lat") == 0) lat = a[1];
      if (std::strcmp(a[0], "lon") == 0) lon = a[1];
    }
    const std::string what = "<" + std::string(element) + ">";
    if (lat == nullptr || lon == nullptr) {
      Fail(what + " without " + (lat == nullptr ? "lat" : "lon"));
      return false;
    }
    return ReadDegrees(what, "lat", lat, 90.0, &position->latitude) &&
           ReadDegrees(what, "lon", lon, 180.0, &position->longitude);
  }

  bool ReadDegrees(const std::string& what, const char* name, std::string_view text, double limit, double* degrees) {
    std::string_view number = TrimXmlSpace(text);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double value = 0;
    const auto [end, status] = std::from_chars(number.data(), number.data() + number.size(), value);
    const std::string shown = std::string(text.substr(0, 40));
    if (number.empty() || status != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
      Fail(what + " " + name + " '" + shown + "' is not a number");
      return false;
    }
    if (value < -limit || value > limit) {
      Fail(what + " " + name + " " + shown + " is beyond " + (limit == 90.0 ? "-90..90" : "-180..180"));
      return false;
    }
    *degrees = value;
    return true;
  }

  void Start(const XML_Char* fullName, const XML_Char** attributes) {
    if (!error.empty()) return;
    if (skipDepth > 0) {
      ++skipDepth;
      return;
    }
    const std::string_view full(fullName);
    const size_t split = full.rfind(kNamespaceSeparator);
    const std::string_view space = split == std::string_view::npos ? std::string_view() : full.substr(0, split);
    const std::string_view name = split == std::string_view::npos ? full : full.substr(split + 1);
    const Place here = places.back();
    if (here == Place::Document) {
      sawRoot = true;
      if (space != kGpx10 && space != kGpx11) {
        Fail(space.empty() ? "<" + std::string(name) + "> has no namespace: not GPX 1.0 or 1.1"
                           : "unknown namespace '" + std::string(space.substr(0, 100)) + "': not GPX 1.0 or 1.1");
        return;
      }
      if (name != "gpx") {
        Fail("the root element is <" + std::string(name.substr(0, 40)) + ">, not <gpx>");
        return;
      }
      gpxNamespace = space == kGpx10 ? kGpx10 : kGpx11;
      places.push_back(Place::Gpx);
      return;
    }
    Place next = Place::Document;  // Document: skip it
    if (space == gpxNamespace) {
      if (here == Place::Gpx && name == "wpt") next = Place::Waypoint;
      if (here == Place::Gpx && name == "trk") next = Place::Track;
      if (here == Place::Gpx && name == "rte") next = Place::Route;
      if (here == Place::Track && name == "trkseg") next = Place::Segment;
      if (here == Place::Segment && name == "trkpt") next = Place::Point;
      if (here == Place::Route && name == "rtept") next = Place::Point;
      if (here == Place::Waypoint && name == "name") next = Place::WaypointName;
    }
    switch (next) {
      case Place::Document: skipDepth = 1; return;
      case Place::Waypoint:
        waypoint = Waypoint{};
        if (!ReadPosition(name, attributes, &waypoint.position)) return;
        break;
      case Place::Point: {
        LatLon point;
        if (!ReadPosition(name, attributes, &point)) return;
        sink.OnLinePoint(point);
        break;
      }
      case Place::Segment: sink.OnLineBegin(LineKind::Track); break;
      case Place::Route: sink.OnLineBegin(LineKind::Route); break;
      default: break;
    }
    places.push_back(next);
  }

  void End() {
    if (!error.empty()) return;
    if (skipDepth > 0) {
      --skipDepth;
      return;
    }
    const Place ended = places.back();
    places.pop_back();
    switch (ended) {
      case Place::Waypoint: {
        const std::string_view trimmed = TrimXmlSpace(waypoint.name);
        waypoint.name = std::string(trimmed);
        sink.OnWaypoint(waypoint);
        break;
      }
      case Place::Segment:
      case Place::Route: sink.OnLineEnd(); break;
      default: break;
    }
  }

  void Text(const XML_Char* text, int length) {
    if (!error.empty() || skipDepth > 0 || places.back() != Place::WaypointName) return;
    // Room for a few bytes past the limit, so that the cut knows where the last character ends.
    const size_t room = kMaxNameBytes + 4 > waypoint.name.size() ? kMaxNameBytes + 4 - waypoint.name.size() : 0;
    waypoint.name.append(text, std::min(room, static_cast<size_t>(length)));
    if (waypoint.name.size() > kMaxNameBytes) {
      CutUtf8(waypoint.name, kMaxNameBytes);
      waypoint.name.reserve(kMaxNameBytes + 4);
    }
  }

  void Refuse(XML_Error code, bool final) {
    if (!error.empty()) return;  // a handler stopped the parse and said why
    if (account.capHit) {
      Fail("an XML token larger than " + std::to_string(GpxParser::kMaxParserBytes >> 20) + " MiB, refused");
    } else if (final && sawRoot &&
               (code == XML_ERROR_NO_ELEMENTS || code == XML_ERROR_UNCLOSED_TOKEN || code == XML_ERROR_PARTIAL_CHAR)) {
      Fail("truncated: the file ends before </gpx>");
    } else if (final && !sawRoot && code == XML_ERROR_NO_ELEMENTS) {
      Fail("not XML: no element found");
    } else {
      Fail(std::string("not XML: ") + XML_ErrorString(code));
    }
  }
};

namespace {

GpxParser::State* StateOf(void* userData) { return static_cast<GpxParser::State*>(userData); }

void OnStart(void* userData, const XML_Char* name, const XML_Char** attributes) {
  StateOf(userData)->Start(name, attributes);
}
void OnEnd(void* userData, const XML_Char*) { StateOf(userData)->End(); }
void OnText(void* userData, const XML_Char* text, int length) { StateOf(userData)->Text(text, length); }

// Any entity declaration ends the read: entities are never expanded, so a file built to multiply
// them (an expansion bomb) is refused before it is used.
void OnEntityDeclaration(void* userData, const XML_Char* name, int, const XML_Char*, int, const XML_Char*,
                         const XML_Char*, const XML_Char*, const XML_Char*) {
  StateOf(userData)->Fail("the document type declares an entity ('" + std::string(name).substr(0, 40) +
                          "'): entities are refused");
}

}  // namespace

GpxParser::GpxParser(std::string sourceName, GpxSink& sink)
    : state_(std::make_unique<State>(std::move(sourceName), sink)) {
  const Charging charging(&state_->account);
  const XML_Char separator[] = {kNamespaceSeparator, '\0'};
  state_->parser = XML_ParserCreate_MM(nullptr, &kCountedMemory, separator);
  if (state_->parser == nullptr) {
    state_->error = state_->source + ": cannot start the XML parser (out of memory)";
    return;
  }
  XML_Parser parser = state_->parser;
  XML_SetUserData(parser, state_.get());
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  XML_SetEntityDeclHandler(parser, OnEntityDeclaration);
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  // A second line behind the refusal above: expat's own limit on entity amplification.
  XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, 10.0f);
  XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, 1u << 20);
}

GpxParser::~GpxParser() {
  if (state_->parser == nullptr) return;
  const Charging charging(&state_->account);
  XML_ParserFree(state_->parser);
}

bool GpxParser::Feed(std::string_view bytes) {
  State& s = *state_;
  if (!s.error.empty()) return false;
  const Charging charging(&s.account);
  // XML_Parse takes an int length: hand over large inputs in pieces.
  constexpr size_t kPiece = 1u << 30;
  while (!bytes.empty()) {
    const size_t size = std::min(bytes.size(), kPiece);
    if (XML_Parse(s.parser, bytes.data(), static_cast<int>(size), XML_FALSE) != XML_STATUS_OK) {
      s.Refuse(XML_GetErrorCode(s.parser), false);
      return false;
    }
    bytes.remove_prefix(size);
  }
  return true;
}

bool GpxParser::Finish() {
  State& s = *state_;
  if (!s.error.empty()) return false;
  const Charging charging(&s.account);
  if (XML_Parse(s.parser, nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
    s.Refuse(XML_GetErrorCode(s.parser), true);
    return false;
  }
  return true;
}

const std::string& GpxParser::Error() const { return state_->error; }

size_t GpxParser::PeakParserBytes() const { return state_->account.peak; }

void GpxCollector::OnWaypoint(const Waypoint& waypoint) { data_.waypoints.push_back(waypoint); }

void GpxCollector::OnLineBegin(LineKind kind) { data_.lines.push_back(Line{kind, {}}); }

void GpxCollector::OnLinePoint(const LatLon& point) {
  if (!data_.lines.empty()) data_.lines.back().points.push_back(point);
}

void GpxCollector::OnLineEnd() {
  if (!data_.lines.empty() && data_.lines.back().points.empty()) data_.lines.pop_back();
}

GpxFile ReadGpxFile(const std::string& path, const std::atomic<bool>* cancelled) {
  GpxFile file;
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    file.error = path + ": cannot be read (" + std::strerror(errno) + ")";
    return file;
  }
  GpxCollector collector;
  GpxParser parser(path, collector);
  std::vector<char> chunk(kReadChunkBytes);
  bool good = parser.Error().empty();
  while (good) {
    if (cancelled != nullptr && cancelled->load()) {
      file.error = path + ": not read (the program is ending)";
      break;
    }
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), stream);
    if (got < chunk.size() && std::ferror(stream)) {
      file.error = path + ": cannot be read (" + std::strerror(errno) + ")";
      break;
    }
    good = got > 0 ? parser.Feed(std::string_view(chunk.data(), got)) : parser.Finish();
    if (got == 0) break;
  }
  std::fclose(stream);
  if (file.error.empty()) file.error = parser.Error();
  if (file.error.empty()) file.data = std::move(collector.Data());
  return file;
}

}  // namespace gpx
