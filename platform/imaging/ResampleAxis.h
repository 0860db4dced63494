// The source pixels and weights behind each destination pixel along one axis of a scaled draw:
// one tap of full weight when the lengths match, bilinear taps (sampling at pixel centres,
// clamped at the edges) when enlarging, and area-coverage (box) taps when shrinking. Weights are
// fixed point and sum to exactly kWeightOne for every destination pixel, so a uniform source
// stays exactly uniform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

class ResampleAxis {
 public:
  static constexpr uint32_t kWeightBits = 14;
  static constexpr uint32_t kWeightOne = 1u << kWeightBits;

  struct Span {
    int32_t first;     // first source index, relative to the source start
    uint32_t count;    // taps
    uint32_t weights;  // index of the first weight in Weights()
  };

  // `sourceLength` source pixels mapped onto `destLength` destination pixels; taps are built only
  // for the destination pixels [visibleBegin, visibleEnd), counted from the destination start.
  ResampleAxis(int64_t sourceLength, int64_t destLength, int64_t visibleBegin, int64_t visibleEnd);

  const Span& At(int64_t visibleIndex) const { return spans_[static_cast<size_t>(visibleIndex)]; }
  const uint32_t* Weights() const { return weights_.data(); }

 private:
  void AddSpan(int32_t first, const uint64_t* parts, uint32_t count, uint64_t whole);
  void AddBilinear(int64_t sourceLength, int64_t destLength, int64_t index);
  void AddBox(int64_t sourceLength, int64_t destLength, int64_t index);

  std::vector<Span> spans_;
  std::vector<uint32_t> weights_;
};

}  // namespace imaging
