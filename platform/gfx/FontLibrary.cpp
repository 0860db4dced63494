#include "platform/gfx/FontLibrary.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include "platform/kernel/WideText.h"

namespace gfx {

namespace {

constexpr char kDefaultFamily[] = "NanumGothic";  // covers Hangul and Latin
constexpr char kGenericFamily[] = "sans-serif";
constexpr int32_t kDefaultCharacterHeight = 13;  // pixels, for lfHeight 0
constexpr size_t kMaxFallbackFaces = 24;         // faces kept per font, in fallback order
constexpr size_t kMaxCachedGlyphs = 4096;        // per font; the cache is emptied when full
constexpr char32_t kFirstPrintable = 0x20;

struct Candidate {
  std::string file;
  int index = 0;
  bool embolden = false;
  FcCharSet* charset = nullptr;  // owned copy
  FT_Face face = nullptr;        // loaded on first use
  bool failed = false;           // could not be loaded or sized
};

}  // namespace

class FontInstance {
 public:
  std::vector<Candidate> candidates;
  int32_t pixelSize = kDefaultCharacterHeight;  // em size
  LineMetrics metrics{kDefaultCharacterHeight, 0};
  std::unordered_map<char32_t, std::shared_ptr<const Glyph>> glyphs;
};

struct FontLibrary::State {
  std::mutex mutex;
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  std::map<std::tuple<std::u16string, int32_t, bool>, std::shared_ptr<FontInstance>> fonts;
};

namespace {

// Loads and sizes the candidate's face; false when it cannot be used.
bool Ready(FT_Library library, Candidate& c, int32_t pixelSize) {
  if (c.face) return true;
  if (c.failed || !library) return false;
  if (FT_New_Face(library, c.file.c_str(), c.index, &c.face) != 0) {
    c.face = nullptr;
    c.failed = true;
    return false;
  }
  if (FT_Set_Pixel_Sizes(c.face, 0, FT_UInt(pixelSize)) != 0) {  // e.g. a colour font with fixed sizes only
    FT_Done_Face(c.face);
    c.face = nullptr;
    c.failed = true;
    return false;
  }
  return true;
}

std::shared_ptr<const Glyph> Render(Candidate& c, FT_UInt index) {
  auto glyph = std::make_shared<Glyph>();
  if (FT_Load_Glyph(c.face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return glyph;
  FT_GlyphSlot slot = c.face->glyph;
  if (c.embolden) FT_GlyphSlot_Embolden(slot);
  glyph->advance = int32_t((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.num_grays != 256) return glyph;
  glyph->left = slot->bitmap_left;
  glyph->top = slot->bitmap_top;
  glyph->width = int32_t(bitmap.width);
  glyph->rows = int32_t(bitmap.rows);
  glyph->coverage.resize(size_t(glyph->width) * size_t(glyph->rows));
  for (int32_t row = 0; row < glyph->rows; ++row) {
    const unsigned char* from = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
    std::copy(from, from + glyph->width, glyph->coverage.begin() + ptrdiff_t(row) * glyph->width);
  }
  return glyph;
}

// The candidate and glyph index that draw `c`: the first face that has it, else the first
// usable face's missing glyph (index 0). Null candidate when no face is usable.
std::pair<Candidate*, FT_UInt> Locate(FT_Library library, FontInstance& font, char32_t c) {
  Candidate* first = nullptr;
  for (Candidate& candidate : font.candidates) {
    if (candidate.charset && !FcCharSetHasChar(candidate.charset, c)) continue;
    if (!Ready(library, candidate, font.pixelSize)) continue;
    if (!first) first = &candidate;
    const FT_UInt index = FT_Get_Char_Index(candidate.face, c);
    if (index != 0) return {&candidate, index};
  }
  if (!first) {
    for (Candidate& candidate : font.candidates)
      if (Ready(library, candidate, font.pixelSize)) return {&candidate, 0};
  }
  return {first, 0};
}

void ReadCandidates(FcConfig* config, FcPattern* pattern, FontInstance& font) {
  FcResult result = FcResultNoMatch;
  FcFontSet* set = FcFontSort(config, pattern, FcTrue, nullptr, &result);
  if (!set) return;
  for (int i = 0; i < set->nfont && font.candidates.size() < kMaxFallbackFaces; ++i) {
    FcPattern* rendered = FcFontRenderPrepare(config, pattern, set->fonts[i]);
    if (!rendered) continue;
    FcChar8* file = nullptr;
    if (FcPatternGetString(rendered, FC_FILE, 0, &file) == FcResultMatch && file) {
      Candidate c;
      c.file = reinterpret_cast<const char*>(file);
      FcPatternGetInteger(rendered, FC_INDEX, 0, &c.index);
      FcBool embolden = FcFalse;
      if (FcPatternGetBool(rendered, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) c.embolden = embolden == FcTrue;
      FcCharSet* charset = nullptr;
      if (FcPatternGetCharSet(rendered, FC_CHARSET, 0, &charset) == FcResultMatch && charset)
        c.charset = FcCharSetCopy(charset);
      font.candidates.push_back(std::move(c));
    }
    FcPatternDestroy(rendered);
  }
  FcFontSetDestroy(set);
}

// Character height in pixels for a request: lfHeight < 0 is the character height itself,
// lfHeight > 0 the line height (ascent + descent) of the first face.
int32_t PixelSizeFor(FT_Library library, FontInstance& font, int32_t height) {
  if (height < 0) return -height;
  if (height == 0) return kDefaultCharacterHeight;
  for (Candidate& c : font.candidates) {
    if (!Ready(library, c, height)) continue;
    const double line = double(c.face->ascender) - double(c.face->descender);
    if (line <= 0) break;
    return std::max<int32_t>(1, int32_t(std::lround(height * double(c.face->units_per_EM) / line)));
  }
  return height;
}

}  // namespace

FontLibrary& FontLibrary::Instance() {
  // Kept for the life of the process: text may be drawn from any thread until the very end.
  static FontLibrary* library = new FontLibrary();
  return *library;
}

FontLibrary::FontLibrary() : state_(std::make_unique<State>()) {
  if (FT_Init_FreeType(&state_->library) != 0) state_->library = nullptr;
  state_->config = FcInitLoadConfigAndFonts();
}

std::shared_ptr<FontInstance> FontLibrary::Resolve(const FontRequest& request) {
  std::u16string face;
  for (char16_t c : request.face) {
    if (!c) break;
    face.push_back(c);
  }
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto key = std::make_tuple(face, request.height, request.bold);
  auto found = state_->fonts.find(key);
  if (found != state_->fonts.end()) return found->second;

  auto font = std::make_shared<FontInstance>();
  if (state_->config && state_->library) {
    FcPattern* pattern = FcPatternCreate();
    if (!face.empty()) {
      const std::string family = Utf16ToUtf8(face);
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kDefaultFamily));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kGenericFamily));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(state_->config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    ReadCandidates(state_->config, pattern, *font);
    FcPatternDestroy(pattern);
  }
  const int32_t probe = request.height > 0 ? request.height : kDefaultCharacterHeight;
  font->pixelSize = PixelSizeFor(state_->library, *font, request.height);
  if (font->pixelSize != probe) {
    // Faces sized while probing the line height are sized again on first use.
    for (Candidate& c : font->candidates)
      if (c.face) {
        FT_Done_Face(c.face);
        c.face = nullptr;
      }
  }
  font->metrics = LineMetrics{font->pixelSize, 0};
  for (Candidate& c : font->candidates) {
    if (!Ready(state_->library, c, font->pixelSize)) continue;
    const FT_Size_Metrics& m = c.face->size->metrics;
    font->metrics = LineMetrics{int32_t((m.ascender + 63) >> 6), int32_t((-m.descender + 63) >> 6)};
    break;
  }
  state_->fonts.emplace(key, font);
  return font;
}

void FontLibrary::Glyphs(FontInstance& font, const std::u32string& text,
                         std::vector<std::shared_ptr<const Glyph>>* glyphs) {
  static const auto kEmpty = std::make_shared<const Glyph>();
  glyphs->clear();
  glyphs->reserve(text.size());
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (char32_t c : text) {
    if (c < kFirstPrintable) {
      glyphs->push_back(kEmpty);
      continue;
    }
    auto cached = font.glyphs.find(c);
    if (cached != font.glyphs.end()) {
      glyphs->push_back(cached->second);
      continue;
    }
    auto [candidate, index] = Locate(state_->library, font, c);
    std::shared_ptr<const Glyph> glyph = candidate ? Render(*candidate, index) : kEmpty;
    if (font.glyphs.size() >= kMaxCachedGlyphs) font.glyphs.clear();
    font.glyphs.emplace(c, glyph);
    glyphs->push_back(std::move(glyph));
  }
}

LineMetrics FontLibrary::Metrics(FontInstance& font) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return font.metrics;
}

}  // namespace gfx

// GCC says it builds with AddressSanitizer by __SANITIZE_ADDRESS__, Clang by __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVAN_GFX_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ORVAN_GFX_ADDRESS_SANITIZER)
// fontconfig keeps parts of its parsed configuration behind offsets instead of pointers, so the
// leak checker cannot see that the configuration (alive for the whole process) still holds them.
// libdbus (opened by SDL for the desktop session) keeps one connection buffer past its shutdown.
// This is the process's one list of suppressions: the window system's display relies on it too.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
#endif
