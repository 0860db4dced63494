#include "platform/gfx/TextLayout.h"

namespace gfx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

int64_t Width(const std::vector<int32_t>& advances, size_t begin, size_t end) {
  int64_t w = 0;
  for (size_t i = begin; i < end; ++i) w += advances[i];
  return w;
}

// Lines of one paragraph [begin, end) that holds no line feed.
void BreakParagraph(const std::u32string& text, const std::vector<int32_t>& advances, size_t begin, size_t end,
                    bool wordBreak, int64_t maxWidth, std::vector<TextLine>* lines) {
  size_t start = begin;
  do {
    size_t breakAt = SIZE_MAX;  // a space that ends a word on this line
    int64_t width = 0;
    size_t i = start;
    for (; i < end; ++i) {
      if (text[i] == U' ' && i > start && text[i - 1] != U' ') breakAt = i;
      width += advances[i];
      if (wordBreak && width > maxWidth && text[i] != U' ' && breakAt != SIZE_MAX) break;
    }
    if (i == end) {
      lines->push_back(TextLine{start, end, Width(advances, start, end)});
      return;
    }
    lines->push_back(TextLine{start, breakAt, Width(advances, start, breakAt)});
    start = breakAt;
    while (start < end && text[start] == U' ') ++start;
  } while (start < end);
}

}  // namespace

std::u32string DecodeText(const char16_t* text, size_t count, bool prefixes) {
  std::u32string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const char16_t u = text[i];
    if (prefixes && u == u'&') {
      if (i + 1 < count && text[i + 1] == u'&') {
        out.push_back(U'&');
        ++i;
      }
      continue;  // the mnemonic marker itself is not drawn
    }
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(text[i + 1])) {
      out.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      out.push_back(kReplacement);
    } else {
      out.push_back(u);
    }
  }
  return out;
}

std::vector<TextLine> BreakLines(const std::u32string& text, const std::vector<int32_t>& advances, bool singleLine,
                                 bool wordBreak, int64_t maxWidth) {
  std::vector<TextLine> lines;
  if (singleLine) {
    BreakParagraph(text, advances, 0, text.size(), wordBreak, maxWidth, &lines);
    return lines;
  }
  size_t begin = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != U'\n' && text[i] != U'\r') continue;
    BreakParagraph(text, advances, begin, i, wordBreak, maxWidth, &lines);
    if (i < text.size() && text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    begin = i + 1;
  }
  return lines;
}

}  // namespace gfx
