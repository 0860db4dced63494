// Where tile images come from when they are not made by the caller: an MBTiles file, or an
// upstream tile service behind a disk cache. A source answers one tile position at a time, from
// any thread; it may block (a file read, a download) and is called off the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tilesources {

// The deepest level a source may name: 2^30 tiles on a side still fit signed 32-bit columns.
inline constexpr int32_t kMaxZoom = 30;

// A tile's column, row and level (XYZ: row 0 at the north).
struct TilePosition {
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  bool operator==(const TilePosition&) const = default;
};

// A source's answer for one tile: the image, or the status that stands for its absence.
struct SourcedTile {
  int status = 200;
  std::string what = "tile";  // the outcome word for a log: tile, missing, cached, revalidated, ...
  std::string contentType = "image/png";
  std::shared_ptr<const std::string> body;                   // the image; a short text for any other status
  std::string etag;                                          // quoted entity tag of the image; empty: none
  int64_t lastModifiedMs = -1;                               // milliseconds since the epoch; -1: unknown
  std::vector<std::pair<std::string, std::string>> headers;  // e.g. Cache-Control, Retry-After

  static SourcedTile Text(int status, std::string what, const std::string& text);
};

// The levels a source has tiles for; a viewer draws deeper levels from the deepest one, scaled up.
struct SourceLevels {
  int32_t min = 0;
  int32_t max = kMaxZoom;
};

// A read started by TileSource::FetchLater; cancelling never waits (a download is dropped).
class PendingFetch {
 public:
  virtual ~PendingFetch() = default;
  virtual void Cancel() = 0;
};

// Sources held by shared pointers may answer later (FetchLater) holding only a weak reference.
class TileSource : public std::enable_shared_from_this<TileSource> {
 public:
  // Runs a job on a worker; false when it could not be queued (the job is dropped).
  using Poster = std::function<bool(std::function<void()>)>;
  using Answer = std::function<void(SourcedTile)>;

  virtual ~TileSource() = default;
  virtual SourcedTile Fetch(const TilePosition& position) = 0;
  // Answers `answer` with the tile without holding the calling worker while the tile is
  // downloaded: the answer comes either before this returns (null then) or later in a job given
  // to `post` (a pending fetch is returned to cancel it). By default the tile is read here.
  virtual std::shared_ptr<PendingFetch> FetchLater(const TilePosition& position, const Poster& post, Answer answer) {
    (void)post;
    answer(Fetch(position));
    return nullptr;
  }
  // One line for a start-up report: the kind of source and what was read of it.
  virtual std::string Describe() const = 0;
  // Who made the data, to be shown with it (UTF-8, one line); empty when the source does not say.
  virtual std::string Attribution() const { return ""; }
  virtual SourceLevels Levels() const { return {}; }
  // Whether opening the source again now would read what this one reads (false once its file
  // has been replaced or changed), so that a caller setting the same source again may keep it.
  virtual bool Unchanged() const { return true; }
};

}  // namespace tilesources
