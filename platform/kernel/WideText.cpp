#include "platform/kernel/WideText.h"

#include <cstring>
#include <limits>

#include "platform/kernel/DecimalText.h"

size_t WideLength(const char16_t* text) {
  if (text == nullptr) return 0;
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

bool WideStartsWith(const char16_t* text, const char16_t* prefix) {
  if (text == nullptr || prefix == nullptr) return false;
  for (; *prefix != 0; ++prefix, ++text) {
    if (*text != *prefix) return false;
  }
  return true;
}

const char16_t* WideFind(const char16_t* text, char16_t unit) {
  if (text == nullptr) return nullptr;
  for (; *text != 0; ++text) {
    if (*text == unit) return text;
  }
  return nullptr;
}

size_t WideCopyToField(char16_t* field, size_t capacity, const char16_t* source, size_t sourceLength) {
  if (field == nullptr || capacity == 0) return 0;
  std::memset(field, 0, capacity * sizeof(char16_t));
  if (source == nullptr) return 0;
  size_t n = 0;
  while (n + 1 < capacity && n < sourceLength && source[n] != 0) {
    field[n] = source[n];
    ++n;
  }
  return n;
}

size_t WideCopyToField(char16_t* field, size_t capacity, const char16_t* source) {
  return WideCopyToField(field, capacity, source, std::numeric_limits<size_t>::max());
}

namespace {

// Appends units to a counted buffer, remembering whether anything had to be cut.
class BoundedWriter {
 public:
  BoundedWriter(char16_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void Put(char16_t unit) {
    if (length_ + 1 < capacity_) {
      buffer_[length_++] = unit;
    } else {
      cut_ = true;
    }
  }
  void Put(const char16_t* text) {
    for (; *text != 0; ++text) Put(*text);
  }
  void PutDecimal(int32_t value) {
    char16_t digits[12];
    int count = 0;
    // Work in negative numbers so that INT32_MIN needs no special case.
    int32_t rest = value < 0 ? value : -value;
    do {
      digits[count++] = static_cast<char16_t>(u'0' - rest % 10);
      rest /= 10;
    } while (rest != 0);
    if (value < 0) Put(u'-');
    while (count > 0) Put(digits[--count]);
  }
  int Finish() {
    if (capacity_ == 0) return -1;
    buffer_[length_] = 0;
    return cut_ ? -1 : static_cast<int>(length_);
  }

 private:
  char16_t* buffer_;
  size_t capacity_;
  size_t length_ = 0;
  bool cut_ = false;
};

}  // namespace

int WideFormat(char16_t* buffer, size_t capacity, const char16_t* format, std::initializer_list<WideFormatArg> args) {
  if (buffer == nullptr) return -1;
  BoundedWriter out(buffer, capacity);
  if (format == nullptr) return out.Finish();
  const WideFormatArg* next = args.begin();
  for (const char16_t* p = format; *p != 0; ++p) {
    if (*p != u'%') {
      out.Put(*p);
      continue;
    }
    const char16_t conversion = p[1];
    if (conversion == u'%') {
      out.Put(u'%');
      ++p;
    } else if (conversion == u's' || conversion == u'd') {
      ++p;
      if (next == args.end()) continue;
      const WideFormatArg& arg = *next++;
      if (conversion == u's' && arg.IsText()) {
        out.Put(arg.Text() != nullptr ? arg.Text() : u"(null)");
      } else if (conversion == u'd' && !arg.IsText()) {
        out.PutDecimal(arg.Number());
      }
    } else {
      out.Put(u'%');
    }
  }
  return out.Finish();
}

int64_t WideToInt64(const char16_t* text) {
  int64_t value = 0;
  size_t used = 0;
  if (text != nullptr) {
    ReadDecimal(std::u16string_view(text), {.leadingSpace = true, .sign = DecimalSign::kPlusOrMinus}, &value, &used);
  }
  return value;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07, extra = 3, minimum = 0x10000;
    }
    size_t used = 1;
    if (lead >= 0x80 && extra == 0) {
      cp = 0xFFFD;
    } else if (extra > 0) {
      bool ok = true;
      for (size_t k = 1; ok && k <= extra; ++k) {
        if (i + k >= text.size()) {
          ok = false;
          break;
        }
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        cp = (cp << 6) | (next & 0x3F);
        ++used;
      }
      if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    }
    i += used;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}
