// UTF-16 text helpers: lengths, bounded copies into fixed fields, a counted formatted print,
// decimal parsing, and conversion to and from UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Length in UTF-16 units up to the terminator; 0 for null.
size_t WideLength(const char16_t* text);

// True when `text` begins with `prefix` (exact, case-sensitive). Null text has no prefix.
bool WideStartsWith(const char16_t* text, const char16_t* prefix);

// First occurrence of `unit` in `text`, or null.
const char16_t* WideFind(const char16_t* text, char16_t unit);

// Fills all `capacity` units of `field` with zeros, then copies at most `capacity - 1` units of
// `source` (or of its first `sourceLength` units) into it, so the field is always terminated.
// Returns the number of units copied. A null source leaves the field empty.
size_t WideCopyToField(char16_t* field, size_t capacity, const char16_t* source);
size_t WideCopyToField(char16_t* field, size_t capacity, const char16_t* source, size_t sourceLength);

// One argument of WideFormat: a UTF-16 string for %s or a signed 32-bit integer for %d.
class WideFormatArg {
 public:
  WideFormatArg(const char16_t* text) : text_(text), isText_(true) {}  // NOLINT: implicit by design
  WideFormatArg(int32_t number) : number_(number), isText_(false) {}   // NOLINT: implicit by design

  bool IsText() const { return isText_; }
  const char16_t* Text() const { return text_; }
  int32_t Number() const { return number_; }

 private:
  const char16_t* text_ = nullptr;
  int32_t number_ = 0;
  bool isText_;
};

// Counted formatted print. Supports %s (UTF-16 string; null prints "(null)"), %d (signed 32-bit)
// and %% ; any other conversion is copied as it stands. Writes at most `capacity` units including
// the terminator, never past them, and always terminates when capacity > 0. Returns the number of
// units written without the terminator, or -1 when the text was cut (or capacity is 0). An argument
// of the wrong kind for its conversion, or a missing one, prints nothing.
int WideFormat(char16_t* buffer, size_t capacity, const char16_t* format, std::initializer_list<WideFormatArg> args);

template <typename... Args>
int WideFormatV(char16_t* buffer, size_t capacity, const char16_t* format, Args... args) {
  return WideFormat(buffer, capacity, format, {WideFormatArg(args)...});
}

// Reads a decimal integer the way the platform's wide-to-integer conversion does: leading white
// space, an optional sign, then digits up to the first non-digit. No digits give 0. The result
// saturates at the limits of int64_t instead of overflowing.
int64_t WideToInt64(const char16_t* text);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
