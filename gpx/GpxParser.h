// A streaming GPX 1.0 / 1.1 reader on expat: bytes go in chunk by chunk, waypoints and line points
// come out through a GpxSink as they are read. Its own memory is bounded whatever the input's size:
// expat's allocations are counted and capped (a single token larger than the cap is refused), and
// the only text it keeps is a waypoint's name, cut at kMaxNameBytes.
//
// Refused, each with one line "SOURCE:LINE: problem" and nothing more read: input that is not
// well-formed XML or ends early; a document type that declares entities (no entity is ever
// expanded, so an entity-expansion bomb is an error, not memory growth); a root element other than
// <gpx> in the GPX 1.0 or 1.1 namespace; a wpt, trkpt or rtept without a lat or lon that is a
// number within ±90 and ±180. Elements GPX does not define, or from other namespaces, are skipped.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "gpx/GpxData.h"

namespace gpx {

class GpxSink {
 public:
  virtual ~GpxSink() = default;
  virtual void OnWaypoint(const Waypoint& waypoint) = 0;
  virtual void OnLineBegin(LineKind kind) = 0;
  virtual void OnLinePoint(const LatLon& point) = 0;
  virtual void OnLineEnd() = 0;
};

// Collects what a parser reads into a GpxData; lines without points are left out.
class GpxCollector : public GpxSink {
 public:
  void OnWaypoint(const Waypoint& waypoint) override;
  void OnLineBegin(LineKind kind) override;
  void OnLinePoint(const LatLon& point) override;
  void OnLineEnd() override;
  GpxData& Data() { return data_; }

 private:
  GpxData data_;
};

class GpxParser {
 public:
  // Bytes expat may hold at once (its buffer, open tags, names): a token that needs more is refused.
  static constexpr size_t kMaxParserBytes = 8u << 20;

  // `sourceName` starts every error line (the file's path).
  GpxParser(std::string sourceName, GpxSink& sink);
  ~GpxParser();
  GpxParser(const GpxParser&) = delete;
  GpxParser& operator=(const GpxParser&) = delete;

  // Reads the next bytes; false once the input is refused (then Error() says why and further
  // calls do nothing).
  bool Feed(std::string_view bytes);
  // The input ended: false when it ended early (or was refused before).
  bool Finish();
  // One line "SOURCE:LINE: problem"; empty while nothing is wrong.
  const std::string& Error() const;
  // The most bytes expat held at once so far.
  size_t PeakParserBytes() const;

  struct State;  // the reading's state, reached by expat's handlers (GpxParser.cpp)

 private:
  std::unique_ptr<State> state_;
};

struct GpxFile {
  GpxData data;
  std::string error;  // one line naming the file (and the line in it); empty when it was read
};

// Reads the file at `path` in chunks of kReadChunkBytes through a GpxParser. An unreadable file is
// an error line too. `cancelled`, when given, is looked at between chunks: once it is true the read
// stops with an error.
constexpr size_t kReadChunkBytes = 64 * 1024;
GpxFile ReadGpxFile(const std::string& path, const std::atomic<bool>* cancelled = nullptr);

}  // namespace gpx
