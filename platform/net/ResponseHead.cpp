#include "platform/net/ResponseHead.h"

#include <cctype>

#include "platform/kernel/DecimalText.h"

namespace {

constexpr std::string_view kStatusLinePrefix = "HTTP/";
constexpr int kStatusDigits = 3;

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

std::string ToLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

void ResponseHead::Clear() {
  complete_ = false;
  status_ = 0;
  statusText_.clear();
  fields_.clear();
}

bool ResponseHead::AddLine(std::string_view line) {
  if (complete_) return false;
  const std::string_view content = TrimSpace(line);
  if (line.substr(0, kStatusLinePrefix.size()) == kStatusLinePrefix) {
    Clear();
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    std::string_view code = line.substr(space + 1, kStatusDigits);
    int value = 0;
    if (code.size() != kStatusDigits || !ParseDecimal(code, &value)) return false;
    status_ = value;
    statusText_ = std::string(code);
    return false;
  }
  if (content.empty()) {
    if (status_ == 0) return false;
    if (status_ >= 100 && status_ < 200) {  // an interim answer: the real head follows
      Clear();
      return false;
    }
    complete_ = true;
    return true;
  }
  const size_t colon = content.find(':');
  if (colon == std::string_view::npos) return false;
  fields_.emplace_back(ToLower(TrimSpace(content.substr(0, colon))), std::string(TrimSpace(content.substr(colon + 1))));
  return false;
}

const std::string* ResponseHead::Find(std::string_view name, size_t index) const {
  const std::string lower = ToLower(name);
  for (const auto& [fieldName, value] : fields_) {
    if (fieldName != lower) continue;
    if (index == 0) return &value;
    --index;
  }
  return nullptr;
}
