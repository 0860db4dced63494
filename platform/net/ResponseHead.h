// The status line and header fields of one HTTP response, built line by line as they arrive.
// Interim (1xx) heads are dropped when they end, so that a complete head is always a final one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ResponseHead {
 public:
  // Takes one line as received (its CR LF included or not). Returns true when this line completed a
  // final head; lines after that are ignored (trailers of a chunked body).
  bool AddLine(std::string_view line);

  bool Complete() const { return complete_; }
  bool HasStatusLine() const { return status_ != 0; }

  // The three-digit status code, 0 before a status line.
  int Status() const { return status_; }
  const std::string& StatusText() const { return statusText_; }

  // The value of the `index`-th field named `name` (case-insensitive), white space around it removed,
  // or null when there is no such field.
  const std::string* Find(std::string_view name, size_t index = 0) const;

 private:
  void Clear();

  bool complete_ = false;
  int status_ = 0;
  std::string statusText_;
  std::vector<std::pair<std::string, std::string>> fields_;  // names in lower case
};
