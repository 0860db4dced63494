#include "tilesources/ContentTag.h"

#include <cstdio>
#include <functional>

namespace tilesources {

std::string ContentTag(std::string_view bytes) {
  char text[48];
  std::snprintf(text, sizeof text, "\"b-%zx-%zx\"", bytes.size(), std::hash<std::string_view>()(bytes));
  return text;
}

}  // namespace tilesources
