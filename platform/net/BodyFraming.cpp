#include "platform/net/BodyFraming.h"

#include <optional>
#include <string>
#include <string_view>

#include "platform/kernel/DecimalText.h"

namespace {

constexpr int kStatusNoContent = 204;
constexpr int kStatusNotModified = 304;

// A plain decimal of at least one digit, no sign, no space inside, that fits in int64_t.
std::optional<uint64_t> ParseLength(std::string_view text) {
  int64_t value = 0;
  if (!ParseDecimal(text, &value)) return std::nullopt;
  return static_cast<uint64_t>(value);
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
