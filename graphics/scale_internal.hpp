// Helpers shared by the scale code: per-axis state changes that keep the
// hold bit, and the transform computed for axes about to be fixed.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "graphics/scale.hpp"

namespace vke {

// Bit sets of axes.
inline constexpr uint32_t kAxisBitX = 1u << kAxisX;
inline constexpr uint32_t kAxisBitY = 1u << kAxisY;
inline constexpr uint32_t kAxisBitZ = 1u << kAxisZ;

inline bool IsAxisFixed(const SubplotRecord& r, int32_t axis) {
  return r.scaleState[axis] >= kScaleFixed;
}

// Sets the state value of an axis, keeping its hold bit.
inline void SetAxisState(SubplotRecord* r, int32_t axis, int32_t state) {
  r->scaleState[axis] = state | (r->scaleState[axis] & kScaleHoldBit);
}

// Copies values[i] to each output i that is not null.
inline void CopyToOptional(const double* values, std::initializer_list<double*> outs) {
  for (double* out : outs) {
    if (out != nullptr) *out = *values;
    ++values;
  }
}

// Computes the transform with the axes in `axes` treated as released (their
// hold bits ignored), then fixes them with their hold bits back.
void ComputeTransformAndFix(SubplotRecord* record, uint32_t axes, bool lenient, double margin);

}  // namespace vke
