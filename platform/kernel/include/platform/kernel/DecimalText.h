// Decimal integers read from text: the one reader every parser of numbers in the tree uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>

enum class DecimalSign { kNone, kMinus, kPlusOrMinus };

struct DecimalForm {
  bool leadingSpace = false;              // spaces, tabs and line breaks before the number are skipped
  DecimalSign sign = DecimalSign::kNone;  // a minus only counts for a signed Int
};

enum class DecimalStatus { kOk, kNoNumber, kOutOfRange };

// Reads the number at the start of `text`: the space and sign `form` allows, then digits up to the
// first non-digit. `*used` gets the characters read (0 when no digit came). kOk stores the value;
// kOutOfRange stores the nearest limit of Int (all digits are still read); kNoNumber stores nothing.
template <typename Int, typename Char>
DecimalStatus ReadDecimal(std::basic_string_view<Char> text, DecimalForm form, Int* value, size_t* used) {
  size_t i = 0;
  if (form.leadingSpace) {
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  }
  bool negative = false;
  if (i < text.size() && ((text[i] == '-' && form.sign != DecimalSign::kNone && std::is_signed_v<Int>) ||
                          (text[i] == '+' && form.sign == DecimalSign::kPlusOrMinus))) {
    negative = text[i++] == '-';
  }
  const size_t firstDigit = i;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<Int>::max()) + (negative ? 1 : 0);
  uint64_t magnitude = 0;
  bool outOfRange = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    outOfRange = outOfRange || magnitude > (limit - digit) / 10;
    if (!outOfRange) magnitude = magnitude * 10 + digit;
  }
  *used = i == firstDigit ? 0 : i;
  if (*used == 0) return DecimalStatus::kNoNumber;
  if (outOfRange) {
    *value = negative ? std::numeric_limits<Int>::min() : std::numeric_limits<Int>::max();
    return DecimalStatus::kOutOfRange;
  }
  *value = static_cast<Int>(negative ? 0 - magnitude : magnitude);
  return DecimalStatus::kOk;
}

// The whole of `text` as an Int: false when it holds no number, anything after the digits, or a
// number Int cannot hold. Like ReadDecimal, a number in range is stored even when text follows it.
template <typename Int, typename Char>
bool ParseWholeDecimal(std::basic_string_view<Char> text, Int* value, DecimalForm form) {
  size_t used = 0;
  return ReadDecimal(text, form, value, &used) == DecimalStatus::kOk && used == text.size();
}
template <typename Int>
bool ParseDecimal(std::string_view text, Int* value, DecimalForm form = {}) {
  return ParseWholeDecimal(text, value, form);
}
template <typename Int>
bool ParseDecimal(std::u16string_view text, Int* value, DecimalForm form = {}) {
  return ParseWholeDecimal(text, value, form);
}
