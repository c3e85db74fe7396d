// The transform kernels. The mixed-radix kernel keeps one record per level
// of the factorisation: the pieces of a level are the decimated
// subsequences of the piece above, transformed before the piece above
// combines them. Results of level L go to buffer L mod 2 (0: the output
// arrays, 1: the input arrays), at the positions the piece occupies, so
// that each combination reads one buffer and writes the other.
#include "numerics/fft/fft_kernels.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/frames/frames.hpp"

namespace vke {

namespace {

// One level of the factorisation: `pieces` pieces of `length` elements,
// `stride` apart, the first at `offset` and each next `distance` further;
// `done` of them finished.
struct PieceRecord {
  int32_t offset;
  int32_t length;
  int32_t pieces;
  int32_t stride;
  int32_t distance;
  int32_t done;
};
static_assert(sizeof(PieceRecord) == 24);
constexpr int64_t kRecordWords = sizeof(PieceRecord) / sizeof(double);

// The twiddle factors step^j for j < count by the running product (the
// product carried in registers, not read back from the tables).
void RunningPowers(double stepRe, double stepIm, int32_t count, double* re, double* im) {
  double wRe = 1, wIm = 0;
  for (int32_t j = 0; j < count; j++) {
    re[j] = wRe;
    im[j] = wIm;
    const double next = wRe * stepRe - wIm * stepIm;
    wIm = wRe * stepIm + wIm * stepRe;
    wRe = next;
  }
}

bool IsPowerOfTwo(int32_t m) {
  return (m & (m - 1)) == 0;
}

// The factor a length that is not a power of two splits off: 3, else the
// first of 5, 7, 11, 13, ... (pairs c, c + 2, then c + 6) that divides it
// while c^2 <= m, else its odd part.
int32_t ChooseFactor(int32_t m) {
  if (m % 3 == 0) return 3;
  for (int32_t c = 5; int64_t(c) * c <= m; c += 6) {
    if (m % c == 0) return c;
    if (m % (c + 2) == 0) return c + 2;
  }
  while (m % 2 == 0) m /= 2;
  return m;
}

// The records the factorisation of n needs, the whole call's included.
int32_t RecordCount(int32_t n) {
  int32_t count = 1;
  for (int32_t m = n; m > 1 && !IsPowerOfTwo(m); m /= ChooseFactor(m)) count++;
  return count;
}

struct Buffer {
  double* re;
  double* im;
};

class MixedRadix {
 public:
  MixedRadix(Buffer in, Buffer out, bool inverse, double* work, EngineContext* ctx)
      : buffers_{out, in}, inverse_(inverse), cos_(work), ctx_(ctx) {}

  int32_t Run(int32_t n, int64_t stride, int32_t sequences, int64_t distance);

 private:
  Buffer Of(int32_t level) const { return buffers_[level % 2]; }
  void CopyPiece(const Buffer& from, const Buffer& to, int64_t offset, int32_t length,
                 int64_t stride) const {
    for (int32_t i = 0; i < length; i++) {
      to.re[offset + i * stride] = from.re[offset + i * stride];
      to.im[offset + i * stride] = from.im[offset + i * stride];
    }
  }
  void Leaves(int32_t level, PieceRecord* r);
  void Combine(int32_t level, PieceRecord* parent, int32_t factor);

  Buffer buffers_[2];
  bool inverse_;
  double* cos_;
  double* sin_ = nullptr;
  PieceRecord* records_ = nullptr;
  EngineContext* ctx_;
  int32_t n_ = 0;
  int32_t sequences_ = 0;
  int64_t stride_ = 0;
  int64_t distance_ = 0;
  bool sourceCopied_ = false;
  int32_t tableLength_ = 0;  // the length the twiddle table holds, 0 for none
};

// The pieces of a record that need no split: length 1 (the identity) or a
// power of two (the radix-2 kernel, which reads the level below's buffer).
void MixedRadix::Leaves(int32_t level, PieceRecord* r) {
  const int32_t m = r->length;
  if (m == 1) {
    // At odd levels the values already lie in buffer 1.
    if (level % 2 == 0) {
      for (int32_t k = 0; k < r->pieces; k++)
        CopyPiece(Of(1), Of(0), r->offset + int64_t(k) * r->distance, 1, r->stride);
    }
  } else {
    if (level % 2 == 1 && !sourceCopied_) {
      // The radix-2 pieces read buffer 0: the whole input is copied there
      // once, before any combination has written to it.
      for (int32_t s = 0; s < sequences_; s++) CopyPiece(Of(1), Of(0), s * distance_, n_, stride_);
      sourceCopied_ = true;
    }
    // All pieces of the record in one call; the twiddle table is free
    // outside the combinations.
    const Buffer from = Of(level + 1), to = Of(level);
    FftRadix2(from.re + r->offset, from.im + r->offset, m, r->stride, to.re + r->offset,
              to.im + r->offset, m, r->stride, inverse_, {r->pieces, r->distance}, cos_);
    tableLength_ = 0;
  }
  r->done = r->pieces;
}

// Combines the parent's current piece from its `factor` transformed
// subsequences (in the buffer of the level below) by direct sums.
void MixedRadix::Combine(int32_t level, PieceRecord* parent, int32_t factor) {
  const int32_t m = parent->length, q = m / factor;
  const int64_t s = parent->stride, offset = parent->offset;
  // The pieces of a level share their length: the table made for the last
  // one serves the next (the same running product gives the same values).
  if (tableLength_ != m) {
    const double angle = 2 * std::numbers::pi / m;
    RunningPowers(std::cos(angle), inverse_ ? std::sin(angle) : -std::sin(angle), m, cos_, sin_);
    tableLength_ = m;
  }
  const Buffer from = Of(level + 1), to = Of(level);
  const double scale = inverse_ ? 1.0 / factor : 1.0;
  for (int32_t k = 0; k < m; k++) {
    const int64_t at = offset + int64_t(k % q) * s * factor;
    double re = 0, im = 0;
    int64_t t = 0;  // (r k) mod m
    for (int32_t r = 0; r < factor; r++) {
      const double yRe = from.re[at + r * s], yIm = from.im[at + r * s];
      re += cos_[t] * yRe - sin_[t] * yIm;
      im += cos_[t] * yIm + sin_[t] * yRe;
      t += k;
      if (t >= m) t -= m;
    }
    to.re[offset + k * s] = re * scale;
    to.im[offset + k * s] = im * scale;
  }
}

int32_t MixedRadix::Run(int32_t n, int64_t stride, int32_t sequences, int64_t distance) {
  n_ = n;
  sequences_ = sequences;
  stride_ = stride;
  distance_ = distance;
  sin_ = cos_ + n;
  records_ = reinterpret_cast<PieceRecord*>(sin_ + n);
  records_[0] = {0, n, sequences, int32_t(stride), int32_t(distance), 0};
  int32_t level = 0;
  for (;;) {
    PieceRecord* r = &records_[level];
    if (r->done < r->pieces) {
      const int32_t m = r->length;
      if (m == 1 || IsPowerOfTwo(m)) {
        Leaves(level, r);
      } else {
        const int32_t p = ChooseFactor(m);
        records_[++level] = {r->offset, m / p, p, int32_t(r->stride * int64_t(p)), r->stride, 0};
      }
      continue;
    }
    if (level == 0) return kFftDone;
    const int32_t factor = r->pieces;
    PieceRecord* parent = &records_[--level];
    Combine(level, parent, factor);
    parent->done++;
    parent->offset += parent->distance;
    if (ctx_ && PollAbortRequest(ctx_)) return kFftHalted;
  }
}

// Separates the transforms of pairs of real sequences: Z = X + i Y, with X
// and Y conjugate-symmetric, lies at the first sequence of each pair.
void SeparatePairs(Buffer out, int32_t n, int64_t stride, int32_t pairs, int64_t distance) {
  for (int32_t k = 0; k < pairs; k++) {
    double* xRe = out.re + 2 * k * distance;
    double* xIm = out.im + 2 * k * distance;
    double* yRe = xRe + distance;
    double* yIm = xIm + distance;
    yRe[0] = xIm[0];
    yIm[0] = 0;
    xIm[0] = 0;
    for (int32_t j = 1; j <= n / 2; j++) {
      const int64_t a = j * stride, b = (n - j) * stride;
      const double zaRe = xRe[a], zaIm = xIm[a], zbRe = xRe[b], zbIm = xIm[b];
      const double re = (zaRe + zbRe) / 2, im = (zaIm - zbIm) / 2;
      const double yr = (zaIm + zbIm) / 2, yi = -(zaRe - zbRe) / 2;
      xRe[a] = xRe[b] = re;
      xIm[a] = im;
      xIm[b] = -im;
      yRe[a] = yRe[b] = yr;
      yIm[a] = yi;
      yIm[b] = -yi;
    }
  }
}

// The stage a radix-2 transform runs block by block: within this many
// elements of a sequence.
constexpr int32_t kCacheBlock = 2048;

// Below this many butterflies per block a stage runs factor by factor
// across its blocks instead of block by block.
constexpr int32_t kShortHalf = 8;

// The butterflies of a radix-2 stage over the blocks of len = 2 half
// elements from `first` to `last`: element j of a block's first half meets
// element j of its second half with factor c_j, in every sequence of the
// batch.
void Radix2Stage(double* re, double* im, int32_t first, int32_t last, int32_t half, int64_t stride,
                 Radix2Batch batch, const double* cRe, const double* cIm) {
  const int64_t span = half * stride;
  // The butterflies of the pairs a, a + step, ... (count of them) and the
  // same pairs span further on, all with factor w.
  const auto run = [&](int64_t a, int64_t step, int64_t count, double wRe, double wIm) {
    double* __restrict aRe = re + a;
    double* __restrict aIm = im + a;
    double* __restrict bRe = aRe + span;
    double* __restrict bIm = aIm + span;
    for (int64_t c = 0, k = 0; c < count; c++, k += step) {
      const double tRe = wRe * bRe[k] - wIm * bIm[k];
      const double tIm = wRe * bIm[k] + wIm * bRe[k];
      bRe[k] = aRe[k] - tRe;
      bIm[k] = aIm[k] - tIm;
      aRe[k] += tRe;
      aIm[k] += tIm;
    }
  };
  const int32_t len = 2 * half;
  if (batch.count > 1) {
    for (int32_t block = first; block < last; block += len) {
      for (int32_t j = 0; j < half; j++)
        run((block + j) * stride, batch.distance, batch.count, cRe[j], cIm[j]);
    }
  } else if (half < kShortHalf) {
    for (int32_t j = 0; j < half; j++)
      run((first + j) * stride, len * stride, (last - first) / len, cRe[j], cIm[j]);
  } else if (stride == 1) {
    // One contiguous sequence: a loop over j the compiler vectorises.
    for (int32_t block = first; block < last; block += len) {
      double* __restrict aRe = re + block;
      double* __restrict aIm = im + block;
      double* __restrict bRe = aRe + half;
      double* __restrict bIm = aIm + half;
      for (int32_t j = 0; j < half; j++) {
        const double tRe = cRe[j] * bRe[j] - cIm[j] * bIm[j];
        const double tIm = cRe[j] * bIm[j] + cIm[j] * bRe[j];
        bRe[j] = aRe[j] - tRe;
        bIm[j] = aIm[j] - tIm;
        aRe[j] += tRe;
        aIm[j] += tIm;
      }
    }
  } else {
    for (int32_t block = first; block < last; block += len) {
      for (int32_t j = 0; j < half; j++) run((block + j) * stride, 0, 1, cRe[j], cIm[j]);
    }
  }
}

}  // namespace

void FftRadix2(const double* inRe, const double* inIm, int64_t available, int64_t inStride,
               double* outRe, double* outIm, int32_t n, int64_t outStride, bool inverse,
               Radix2Batch batch, double* twiddles) {
  // Loaded in bit-reversed order, j running as i reversed.
  const double scale = inverse ? 1.0 / n : 1.0;
  for (int32_t i = 0, j = 0; i < n; i++) {
    const bool present = j < available;
    for (int32_t k = 0; k < batch.count; k++) {
      const int64_t to = i * outStride + k * batch.distance,
                    from = j * inStride + k * batch.distance;
      outRe[to] = present ? scale * inRe[from] : 0.0;
      outIm[to] = present ? scale * inIm[from] : 0.0;
    }
    int32_t bit = n >> 1;
    for (; bit > 0 && (j & bit); bit >>= 1) j ^= bit;
    j |= bit;
  }
  // Stage len combines pairs of transforms of len / 2 with the factors w_j
  // = step^j (j < len / 2), made by the running product. Stages up to
  // kCacheBlock stay inside blocks of that many elements: a long sequence
  // runs them block by block, with the tables of all of them at once.
  double* wRe = twiddles;
  double* wIm = twiddles + n / 2;
  const auto table = [&](int32_t len, double* re, double* im) {
    const double angle = 2 * std::numbers::pi / len;
    const double stepRe = std::cos(angle), stepIm = inverse ? std::sin(angle) : -std::sin(angle);
    RunningPowers(stepRe, stepIm, len / 2, re, im);
  };
  const auto stage = [&](int32_t len, int32_t first, int32_t last, const double* cRe,
                         const double* cIm) {
    Radix2Stage(outRe, outIm, first, last, len / 2, outStride, batch, cRe, cIm);
  };
  int32_t len = 2;
  if (n > 2 * kCacheBlock) {
    for (int32_t l = 2; l <= kCacheBlock; l *= 2) table(l, wRe + l / 2 - 1, wIm + l / 2 - 1);
    for (int32_t first = 0; first < n; first += kCacheBlock) {
      for (int32_t l = 2; l <= kCacheBlock; l *= 2)
        stage(l, first, first + kCacheBlock, wRe + l / 2 - 1, wIm + l / 2 - 1);
    }
    len = 2 * kCacheBlock;
  }
  for (; len <= n; len *= 2) {
    table(len, wRe, wIm);
    stage(len, 0, n, wRe, wIm);
  }
}

int64_t FftWorkspace(int32_t n) {
  return 2 * int64_t(n) + kRecordWords * RecordCount(n);
}

int32_t FftMixedRadix(double* inRe, double* inIm, int32_t n, int64_t stride, int32_t sequences,
                      int64_t distance, double* outRe, double* outIm, bool inverse, double* work,
                      int64_t workSize, EngineContext* ctx) {
  if (workSize < FftWorkspace(n)) return kFftNoRoom;
  const bool paired = inIm == nullptr;
  if (paired) {
    inIm = inRe + distance;
    distance *= 2;
    sequences /= 2;
  }
  MixedRadix kernel({inRe, inIm}, {outRe, outIm}, inverse, work, ctx);
  if (const int32_t result = kernel.Run(n, stride, sequences, distance)) return result;
  if (paired) SeparatePairs({outRe, outIm}, n, stride, sequences, distance / 2);
  return kFftDone;
}

}  // namespace vke
