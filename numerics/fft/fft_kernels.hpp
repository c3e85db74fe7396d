// Discrete Fourier transforms of any length over split real and imaginary
// arrays: an iterative radix-2 kernel for powers of two, and a mixed-radix
// kernel that splits a length into factors with an explicit stack of
// records, transforms the power-of-two pieces directly and combines the
// other factors by direct sums. Forward: X[k] = sum x[j] e^(-2 pi i jk/n);
// inverse: e^(+2 pi i jk/n) and a division by n.
#pragma once

#include <cstdint>

#include "engine/context.hpp"

namespace vke {

// Several sequences transformed by one radix-2 call: `count` of them, the
// k-th starting k * distance further on, input and output alike.
struct Radix2Batch {
  int32_t count = 1;
  int64_t distance = 0;
};

// n a power of two: out[i * outStride] = the transform of the n inputs
// in[j * inStride], those at j >= available read as zero, for each
// sequence of the batch. twiddles: n doubles of scratch for the factors of
// one stage at a time, made by the running product of the stage's step.
// The input and the output must not overlap.
void FftRadix2(const double* inRe, const double* inIm, int64_t available, int64_t inStride,
               double* outRe, double* outIm, int32_t n, int64_t outStride, bool inverse,
               Radix2Batch batch, double* twiddles);

// What FftMixedRadix answers.
inline constexpr int32_t kFftDone = 0;
inline constexpr int32_t kFftHalted = 1;  // the user's break request was seen
inline constexpr int32_t kFftNoRoom = 2;  // the workspace is too small; nothing written

// The workspace of FftMixedRadix in doubles: n twiddle cosines, n sines and
// a six-word record per level of the factorisation of n.
int64_t FftWorkspace(int32_t n);

// Transforms `sequences` sequences of n elements, `stride` apart, the
// sequences `distance` apart, into the output arrays at the same positions.
// The input arrays are scratch and are overwritten. Without an imaginary
// input the real input holds real sequences in pairs (an even count): each
// pair is transformed as one complex sequence and then separated. With a
// context the user's break request is polled after each combination.
int32_t FftMixedRadix(double* inRe, double* inIm, int32_t n, int64_t stride, int32_t sequences,
                      int64_t distance, double* outRe, double* outIm, bool inverse, double* work,
                      int64_t workSize, EngineContext* ctx);

}  // namespace vke
