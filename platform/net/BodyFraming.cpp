#include "platform/net/BodyFraming.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kStatusNoContent = 204;
constexpr int kStatusNotModified = 304;
constexpr uint64_t kLargestLength = 0x7FFFFFFFFFFFFFFFull;

// A plain decimal of at least one digit, no sign, no space inside, at most kLargestLength.
std::optional<uint64_t> ParseLength(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (kLargestLength - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

BodyFraming BodyFraming::FromHead(const ResponseHead& head) {
  if (head.Status() == kStatusNoContent || head.Status() == kStatusNotModified) return {Kind::kEmpty, 0};
  if (head.Find("transfer-encoding") != nullptr) return {Kind::kUntilTransferEnds, 0};
  const std::string* first = head.Find("content-length");
  if (first == nullptr) return {Kind::kUntilTransferEnds, 0};
  const std::optional<uint64_t> length = ParseLength(*first);
  if (!length) return {Kind::kInvalid, 0};
  for (size_t i = 1; const std::string* other = head.Find("content-length", i); ++i) {
    if (ParseLength(*other) != length) return {Kind::kInvalid, 0};
  }
  return {Kind::kDeclaredLength, *length};
}
