#include "tools/tileserver/ContentTag.h"

#include <cstdio>
#include <functional>

namespace tileserver {

std::string ContentTag(std::string_view bytes) {
  char text[48];
  std::snprintf(text, sizeof text, "\"b-%zx-%zx\"", bytes.size(), std::hash<std::string_view>()(bytes));
  return text;
}

}  // namespace tileserver
