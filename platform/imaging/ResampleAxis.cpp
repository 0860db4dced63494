#include "platform/imaging/ResampleAxis.h"

#include <algorithm>

namespace imaging {

ResampleAxis::ResampleAxis(int64_t sourceLength, int64_t destLength, int64_t visibleBegin, int64_t visibleEnd) {
  spans_.reserve(static_cast<size_t>(visibleEnd - visibleBegin));
  for (int64_t i = visibleBegin; i < visibleEnd; ++i) {
    if (sourceLength == destLength) {
      const uint64_t whole = 1;
      AddSpan(static_cast<int32_t>(i), &whole, 1, 1);
    } else if (sourceLength < destLength) {
      AddBilinear(sourceLength, destLength, i);
    } else {
      AddBox(sourceLength, destLength, i);
    }
  }
}

// Turns exact rational parts (each parts[k] / whole, summing to 1) into fixed-point weights that
// sum to exactly kWeightOne: each weight is the step between the rounded running totals, so none
// is negative and rounding never accumulates.
void ResampleAxis::AddSpan(int32_t first, const uint64_t* parts, uint32_t count, uint64_t whole) {
  const auto start = static_cast<uint32_t>(weights_.size());
  uint64_t running = 0;
  uint64_t previousRounded = 0;
  for (uint32_t k = 0; k < count; ++k) {
    running += parts[k];
    const uint64_t rounded = (running * kWeightOne + whole / 2) / whole;
    weights_.push_back(static_cast<uint32_t>(rounded - previousRounded));
    previousRounded = rounded;
  }
  spans_.push_back(Span{first, count, start});
}

// Destination pixel i samples the source at centre (i + 0.5) * S / D - 0.5; in units of 1/(2D)
// that is (2i + 1) * S - D, kept in integers so no position is rounded.
void ResampleAxis::AddBilinear(int64_t sourceLength, int64_t destLength, int64_t index) {
  const int64_t unit = 2 * destLength;
  const int64_t position = (2 * index + 1) * sourceLength - destLength;
  if (position <= 0) {  // before the first centre: the edge pixel itself
    const uint64_t whole = 1;
    AddSpan(0, &whole, 1, 1);
    return;
  }
  const int64_t left = position / unit;
  const int64_t fraction = position % unit;
  if (left >= sourceLength - 1 || fraction == 0) {
    const uint64_t whole = 1;
    AddSpan(static_cast<int32_t>(std::min(left, sourceLength - 1)), &whole, 1, 1);
    return;
  }
  const uint64_t parts[2] = {static_cast<uint64_t>(unit - fraction), static_cast<uint64_t>(fraction)};
  AddSpan(static_cast<int32_t>(left), parts, 2, static_cast<uint64_t>(unit));
}

// Destination pixel i covers the source interval [i * S / D, (i + 1) * S / D); in units of 1/D
// that is [i * S, (i + 1) * S), and source pixel k covers [k * D, (k + 1) * D).
void ResampleAxis::AddBox(int64_t sourceLength, int64_t destLength, int64_t index) {
  const int64_t begin = index * sourceLength;
  const int64_t end = begin + sourceLength;
  const int64_t first = begin / destLength;
  const int64_t last = (end - 1) / destLength;
  uint64_t parts[64];
  std::vector<uint64_t> manyParts;
  uint64_t* out = parts;
  const auto count = static_cast<uint32_t>(last - first + 1);
  if (count > 64) {
    manyParts.resize(count);
    out = manyParts.data();
  }
  for (int64_t k = first; k <= last; ++k) {
    out[k - first] = static_cast<uint64_t>(std::min(end, (k + 1) * destLength) - std::max(begin, k * destLength));
  }
  AddSpan(static_cast<int32_t>(first), out, count, static_cast<uint64_t>(sourceLength));
}

}  // namespace imaging
