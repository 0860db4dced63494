// How the body of a final response ends, decided from its status and head.
//
// A body of a declared length is exactly that many bytes. A declared length is trusted only when every
// Content-Length field is the same plain non-negative decimal that fits in 63 bits; anything else
// ("-5", "12abc", two different values, a number too large) leaves the body's end unknowable, and the
// body cannot be read. Without a declared length, or with a transfer coding, the body ends when the
// transfer ends cleanly. Answers that never carry a body (204, 304) are empty.
#pragma once

#include <cstdint>

#include "platform/net/ResponseHead.h"

class BodyFraming {
 public:
  enum class Kind { kEmpty, kDeclaredLength, kUntilTransferEnds, kInvalid };

  static BodyFraming FromHead(const ResponseHead& head);

  Kind GetKind() const { return kind_; }
  // The declared length for kDeclaredLength, else 0.
  uint64_t Length() const { return length_; }

 private:
  BodyFraming(Kind kind, uint64_t length) : kind_(kind), length_(length) {}

  Kind kind_;
  uint64_t length_;
};
