// The matrix power builtin mpower (the ^ operator): scalar powers, a scalar
// raised to a square matrix through the exponential kernels, and integer
// powers of a square matrix by repeated squaring.
#include <cmath>
#include <cstring>

#include "builtins/builtin.hpp"
#include "builtins/matrix_kernels.hpp"
#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

// Integer exponents of a matrix base.
constexpr double kMaxMatrixExponent = 1023;

// Both operands scalars: the elementwise power, whose complex result is
// kept real when its imaginary part is zero.
ErrCode ScalarPower(EngineContext* ctx) {
  ErrCode e = ElementwiseArith(ctx, 2, 1, '^');
  if (e) return e;
  MatrixOperand r = ReadMatrixOperand(ctx, 0);
  return r.im && r.im[0] == 0 ? MakeTopReal(ctx) : kOk;
}

// s^M for a scalar s below a square matrix M: expm(ln(s) M).
ErrCode ScalarToMatrixPower(EngineContext* ctx) {
  MatrixOperand m = ReadMatrixOperand(ctx, 0);
  if (!m.IsSquare()) return kErrNonSquareSize;
  if (m.IsEmpty()) return DropStackEntries(ctx, 1, 1);
  MatrixOperand s = ReadMatrixOperand(ctx, 1);
  double sRe = s.re[0], sIm = s.im ? s.im[0] : 0;
  bool complex = s.im || m.im || sRe < 0;
  int32_t n = m.rows;
  ErrCode e = complex ? MakeTopComplex(ctx, nullptr) : kOk;
  double *re, *im;
  if (!e) e = PushNewMatrix(ctx, n, n, &re, complex ? &im : nullptr);
  if (e) return e;
  DataScratch scratch(ctx);
  uint32_t at;
  uint64_t parts = complex ? 2 : 1;
  if ((e = scratch.Reserve(8 * parts * (2ull * n + 1) * n, &at))) {
    Drop(ctx);
    return e;
  }
  auto* work = reinterpret_cast<double*>(ctx->Bytes() + at);
  m = ReadMatrixOperand(ctx, 1);
  double* result = ReadMatrixOperand(ctx, 0).re;
  if (complex) {
    ScalarPowMatrixComplex(sRe, sIm, m.re, n, result, work);
  } else {
    ScalarPowMatrixReal(sRe, m.re, n, result, work);
  }
  return DropStackEntries(ctx, 1, 2);
}

// A^k for a square matrix A below the exponent k. The power is made in a
// copy of A, which the inverse and the squarings work on, and the operands
// go once it stands: a failure for lack of room leaves them as they came.
ErrCode MatrixToIntegerPower(EngineContext* ctx, int32_t k) {
  MatrixOperand a = ReadMatrixOperand(ctx, 1);
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  if (a.IsEmpty() || k == 1) return Drop(ctx);
  if (k == 0) return PushInPlaceOfTop(ctx, 2, [&] { return PushIdentity(ctx, n, false); });
  const uint32_t level = ctx->descTop;
  ErrCode e = DuplicateStackEntries(ctx, 1, 1);
  if (!e && k < 0) e = InvBuiltin(ctx, 1, 1, 0);
  if (e) {
    DropAboveLevel(ctx, level);
    return e;
  }
  k = k < 0 ? -k : k;
  a = ReadMatrixOperand(ctx, 0);
  const uint64_t block = (a.im ? 2ull : 1ull) * n * n;
  DataScratch scratch(ctx);
  uint32_t at[2];
  if (k > 1 &&
      ((e = scratch.Reserve(8 * block, &at[0])) || (e = scratch.Reserve(8 * block, &at[1])))) {
    DropAboveLevel(ctx, level);
    return e;
  }
  if (k > 1) {
    double* blocks[2] = {reinterpret_cast<double*>(ctx->Bytes() + at[0]),
                         reinterpret_cast<double*>(ctx->Bytes() + at[1])};
    a = ReadMatrixOperand(ctx, 0);
    auto multiply = [&](const double* x, const double* y, double* out) {
      if (a.im) {
        MultiplyComplexMatrices(n, n, n, x, y, out);
      } else {
        MultiplyRealMatrices(n, n, n, x, y, out);
      }
    };
    // T starts as A; each product goes to the block T does not occupy.
    const double* t = a.re;
    auto step = [&](const double* x, const double* y) {
      double* out = t == blocks[0] ? blocks[1] : blocks[0];
      multiply(x, y, out);
      t = out;
    };
    const int32_t high = 31 - __builtin_clz(static_cast<uint32_t>(k));
    for (int32_t bit = high - 1; bit >= 0; bit--) {
      step(t, t);
      if ((k >> bit) & 1) step(t, a.re);
    }
    std::memcpy(a.re, t, 8 * block);
  }
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace

// base ^ exponent with the base below.
ErrCode MpowerBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  if (!AreDoubleMatrices(ctx, 2)) return TypedOperandsElementwise(ctx, ScalarRule::kEither, '^');
  MatrixOperand base = ReadMatrixOperand(ctx, 1), exponent = ReadMatrixOperand(ctx, 0);
  if (base.IsScalar() && exponent.IsScalar()) return ScalarPower(ctx);
  if (base.IsScalar()) return ScalarToMatrixPower(ctx);
  if (exponent.IsScalar() && !exponent.im) {
    double p = exponent.re[0];
    if (p == std::floor(p) && std::fabs(p) <= kMaxMatrixExponent)
      return MatrixToIntegerPower(ctx, static_cast<int32_t>(p));
  }
  return kErrNotSupported;
}

}  // namespace vke
