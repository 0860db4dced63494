#include "tools/tileserver/TileRenderer.h"

#include "tools/tileserver/BitmapFont.h"

namespace tileserver {
namespace {

using style::Rgb;

constexpr uint32_t kColumnSalt = 0x9E3779B9u;
constexpr uint32_t kRowSalt = 0x85EBCA6Bu;

class Canvas {
 public:
  explicit Canvas(std::vector<uint8_t>& pixels) : pixels_(pixels) {}

  void Put(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= style::kTileSize || y >= style::kTileSize) return;
    uint8_t* p = &pixels_[(static_cast<size_t>(y) * style::kTileSize + x) * style::kBytesPerPixel];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }

  void Fill(int left, int top, int width, int height, Rgb c) {
    for (int y = top; y < top + height; ++y)
      for (int x = left; x < left + width; ++x) Put(x, y, c);
  }

  void Text(int left, int top, const std::string& text, int scale, Rgb c) {
    const int advance = (BitmapFont::kGlyphWidth + BitmapFont::kGlyphSpacing) * scale;
    for (size_t i = 0; i < text.size(); ++i) {
      const uint8_t* rows = BitmapFont::Glyph(text[i]);
      for (int row = 0; row < BitmapFont::kGlyphHeight; ++row)
        for (int col = 0; col < BitmapFont::kGlyphWidth; ++col)
          if (rows[row] & (1u << (BitmapFont::kGlyphWidth - 1 - col)))
            Fill(left + static_cast<int>(i) * advance + col * scale, top + row * scale, scale, scale, c);
    }
  }

 private:
  std::vector<uint8_t>& pixels_;
};

uint32_t Mix(uint32_t a, uint32_t b) {
  uint32_t h = a * 0x27D4EB2Du ^ (b + 0x165667B1u + (a << 6) + (a >> 2));
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

}  // namespace

std::vector<int> TileRenderer::RoadCentres(int32_t coordinate, int32_t z, uint32_t salt) {
  const uint32_t h = Mix(static_cast<uint32_t>(coordinate) ^ salt, static_cast<uint32_t>(z));
  std::vector<int> centres;
  const int first = static_cast<int>(h % style::kRoadSlots);
  centres.push_back((first + 1) * style::kGridStep + style::kGridStep / 2);
  if ((h >> 8) & 1) {
    const int second = (first + 3 + static_cast<int>((h >> 9) % 3)) % style::kRoadSlots;
    centres.push_back((second + 1) * style::kGridStep + style::kGridStep / 2);
  }
  return centres;
}

std::vector<std::string> TileRenderer::LabelLines(const TileKey& key) {
  const std::string server = key.server >= 0 ? std::to_string(key.server) : "?";
  return {"x=" + std::to_string(key.x), "y=" + std::to_string(key.y), "z=" + std::to_string(key.z),
          "mt" + server + " " + HostKindName(key.kind)};
}

std::vector<uint8_t> TileRenderer::Render(const TileKey& key) {
  const bool regional = key.kind == HostKind::Regional;
  const Rgb background = regional ? style::kRegionalBackground : style::kWorldBackground;
  const Rgb grid = regional ? style::kRegionalGrid : style::kWorldGrid;
  const int size = style::kTileSize;

  std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * style::kBytesPerPixel);
  Canvas canvas(pixels);
  canvas.Fill(0, 0, size, size, background);
  for (int line = 0; line < size; line += style::kGridStep) {
    canvas.Fill(line, 0, 1, size, grid);
    canvas.Fill(0, line, size, 1, grid);
  }

  const int half = style::kRoadHalfWidth;
  const int casing = style::kRoadCasingWidth;
  const std::vector<int> columns = RoadCentres(key.x, key.z, kColumnSalt);
  const std::vector<int> rows = RoadCentres(key.y, key.z, kRowSalt);
  for (int c : columns) canvas.Fill(c - half - casing, 0, 2 * (half + casing) + 1, size, style::kRoadCasing);
  for (int r : rows) canvas.Fill(0, r - half - casing, size, 2 * (half + casing) + 1, style::kRoadCasing);
  for (int c : columns) canvas.Fill(c - half, 0, 2 * half + 1, size, style::kRoad);
  for (int r : rows) canvas.Fill(0, r - half, size, 2 * half + 1, style::kRoad);

  canvas.Fill(style::kPanelLeft, style::kPanelTop, style::kPanelWidth, style::kPanelHeight, style::kPanelBorder);
  canvas.Fill(style::kPanelLeft + 1, style::kPanelTop + 1, style::kPanelWidth - 2, style::kPanelHeight - 2, background);
  int top = style::kPanelTop + style::kPanelPadding;
  for (const std::string& line : LabelLines(key)) {
    canvas.Text(style::kPanelLeft + style::kPanelPadding, top, line, style::kFontScale, style::kText);
    top += style::kLineAdvance;
  }
  return pixels;
}

}  // namespace tileserver
