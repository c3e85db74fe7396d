// The conversion and margin natives: arguments are read where they lie, the
// outputs pushed above them, the work area reserved above the outputs, and
// the arguments dropped under the outputs at the end. Every check runs
// before the first push; a failure found later drops what was pushed.
#include "control/system_natives.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "builtins/matrix_kernels.hpp"
#include "builtins/option_text.hpp"
#include "control/conversion_kernels.hpp"
#include "control/stability_margins.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

struct Mat {
  int32_t rows = 0, cols = 0;
  double* re = nullptr;
  int64_t Size() const { return int64_t{rows} * cols; }
  double* Row(int32_t i) const { return re + int64_t{i} * cols; }
};

// A real matrix argument (a complex one is refused).
ErrCode ReadMatrix(EngineContext* ctx, int32_t depth, Mat* m) {
  double* im;
  if (ErrCode e = GetNumericArg(ctx, depth, &m->rows, &m->cols, &m->re, &im)) return e;
  return im ? kErrBadArg : kOk;
}

// A sampling period: positive and finite.
ErrCode ReadPeriod(EngineContext* ctx, int32_t depth, double* ts) {
  if (ErrCode e = GetScalarArg(ctx, depth, ts)) return e;
  return *ts > 0 && std::isfinite(*ts) ? kOk : kErrBadArg;
}

// Work doubles above the data top, valid until the next push.
ErrCode Reserve(EngineContext* ctx, int64_t doubles, double** p) {
  if (doubles >= int64_t{UINT32_MAX}) return kErrObjTooLarge;
  void* v;
  if (ErrCode e = ReserveDataStack(ctx, static_cast<uint32_t>(std::max<int64_t>(doubles, 1)), &v))
    return e;
  *p = static_cast<double*>(v);
  return kOk;
}

// The leading zeros of a coefficient row (the last coefficient is kept).
int32_t LeadingZeros(const double* row, int32_t cols) {
  int32_t k = 0;
  while (k + 1 < cols && row[k] == 0) k++;
  return k;
}

// A polynomial row without its leading zeros.
struct PolyRow {
  const double* c;
  int32_t degree;
};
PolyRow Stripped(const double* row, int32_t cols) {
  const int32_t z = LeadingZeros(row, cols);
  return {row + z, cols - 1 - z};
}

// The rows of num over den: same row count, no zero denominator, no
// numerator of higher degree than its denominator.
ErrCode CheckTfRows(const Mat& num, const Mat& den) {
  if (num.rows != den.rows || num.cols < 1 || den.cols < 1) return kErrIncompSize;
  for (int32_t i = 0; i < den.rows; i++) {
    const PolyRow d = Stripped(den.Row(i), den.cols);
    if (d.c[0] == 0) return kErrBadArg;
    if (Stripped(num.Row(i), num.cols).degree > d.degree) return kErrIncompSize;
  }
  return kOk;
}

// Copies count values right-aligned into a row of width.
void PlaceRight(const double* src, int32_t count, double* row, int32_t width) {
  std::fill(row, row + width - count, 0.0);
  std::copy(src, src + count, row + width - count);
}

// State space at depths base + 4 (A) .. base + 1 (D), sizes checked.
struct System {
  Mat a, b, c, d;
  int32_t n = 0, m = 0, p = 0;
};
ErrCode ReadSystem(EngineContext* ctx, int32_t base, System* s) {
  ErrCode e;
  if ((e = ReadMatrix(ctx, base + 4, &s->a)) || (e = ReadMatrix(ctx, base + 3, &s->b)) ||
      (e = ReadMatrix(ctx, base + 2, &s->c)) || (e = ReadMatrix(ctx, base + 1, &s->d)))
    return e;
  s->n = s->a.rows;
  s->m = s->b.cols;
  s->p = s->c.rows;
  if (s->a.cols != s->n || s->b.rows != s->n || s->c.cols != s->n || s->d.rows != s->p ||
      s->d.cols != s->m)
    return kErrIncompSize;
  return kOk;
}

bool AllFinite(const double* v, int64_t count) {
  for (int64_t k = 0; k < count; k++)
    if (!std::isfinite(v[k])) return false;
  return true;
}

// Q = (I + s A)^-1 into q, false when I + s A is singular. work: n^2 + n.
bool InvertShifted(const double* a, int32_t n, double s, double* q, double* work) {
  const int64_t nn = int64_t{n} * n;
  double* m = work;
  for (int64_t k = 0; k < nn; k++) m[k] = s * a[k];
  std::fill(q, q + nn, 0.0);
  for (int32_t k = 0; k < n; k++) {
    m[int64_t{k} * n + k] += 1;
    q[int64_t{k} * n + k] = 1;
  }
  SolveLinearSystemReal(m, q, n, n, reinterpret_cast<int32_t*>(m + nn), false);
  return AllFinite(q, nn);
}

// The bilinear substitution of one row pair into numOut and denOut (n + 1
// each), normalised; false when the denominator's leading coefficient
// vanishes (a pole mapped to infinity).
bool BilinearRow(PolyRow num, PolyRow den, double a, double b, double c, double d, double* numOut,
                 double* denOut, double* work) {
  ApplyBilinearMap(num.c, num.degree, den.c, den.degree, a, b, c, d, 0, numOut, denOut, work);
  const double lead = denOut[0];
  if (lead == 0 || !std::isfinite(lead)) return false;
  for (int32_t k = 0; k <= den.degree; k++) {
    numOut[k] /= lead;
    denOut[k] /= lead;
  }
  return true;
}

// ---- c2dm and d2cm ----

ErrCode ConvertStateSpace(EngineContext* ctx, int32_t base, int32_t nOut, char method, double ts,
                          bool toDiscrete) {
  System s;
  if (ErrCode e = ReadSystem(ctx, base, &s)) return e;
  if (method == 'm') return kErrNotSupported;
  const int32_t n = s.n, m = s.m, p = s.p;
  double* out[4];
  ErrCode e;
  if ((e = PushNewMatrix(ctx, p, m, &out[3], nullptr))) return e;
  if ((e = PushNewMatrix(ctx, p, n, &out[2], nullptr))) return Drop(ctx, 1), e;
  if ((e = PushNewMatrix(ctx, n, m, &out[1], nullptr))) return Drop(ctx, 2), e;
  if ((e = PushNewMatrix(ctx, n, n, &out[0], nullptr))) return Drop(ctx, 3), e;
  const int64_t nn = int64_t{n} * n;
  int64_t need = std::max(ZohStateSpaceWork(n, m), DiscretizeSsByExpmWork(n, m, p));
  need = std::max(need, 3 * nn + n + int64_t{p} * m);
  double* work;
  if ((e = Reserve(ctx, need, &work))) return Drop(ctx, 4), e;
  for (int32_t k = 0; k < 4; k++) GetNumericArg(ctx, k, nullptr, nullptr, &out[k], nullptr);
  ReadSystem(ctx, base + 4, &s);
  double *ad = out[0], *bd = out[1], *cd = out[2], *dd = out[3];
  if (method == 'z') {
    ZohStateSpace(s.a.re, s.b.re, n, m, ts, ad, bd, work);
    std::copy(s.c.re, s.c.re + s.c.Size(), cd);
    std::copy(s.d.re, s.d.re + s.d.Size(), dd);
  } else if (method == 'f') {
    DiscretizeSsByExpm(s.a.re, s.b.re, s.c.re, s.d.re, n, m, p, ts, ad, bd, cd, dd, work);
  } else {
    // Tustin: Q = (I - ts/2 A)^-1 forwards, R = (I + A)^-1 back.
    double* q = work;
    double* shifted = q + nn;
    double* rest = shifted + nn;
    if (!InvertShifted(s.a.re, n, toDiscrete ? -ts / 2 : 1.0, q, rest)) {
      Drop(ctx, 4);
      return kErrBadArg;
    }
    for (int64_t k = 0; k < nn; k++) shifted[k] = toDiscrete ? ts / 2 * s.a.re[k] : s.a.re[k];
    for (int32_t k = 0; k < n; k++) shifted[int64_t{k} * n + k] += toDiscrete ? 1 : -1;
    MultiplyRealMatrices(n, n, n, shifted, q, ad);
    MultiplyRealMatrices(n, n, m, q, s.b.re, bd);
    MultiplyRealMatrices(p, n, n, s.c.re, q, cd);
    const double aScale = toDiscrete ? 1.0 : 2 / ts, bScale = toDiscrete ? 1.0 : 2.0;
    const double cScale = toDiscrete ? ts : 2 / ts;
    for (int64_t k = 0; k < nn; k++) ad[k] *= aScale;
    for (int64_t k = 0; k < int64_t{n} * m; k++) bd[k] *= bScale;
    for (int64_t k = 0; k < int64_t{p} * n; k++) cd[k] *= cScale;
    // D + C'B forwards (C' = ts C Q), D - C Bc back: both half the product.
    double* cb = rest;
    MultiplyRealMatrices(p, n, m, toDiscrete ? cd : s.c.re, toDiscrete ? s.b.re : bd, cb);
    const double sign = toDiscrete ? 0.5 : -0.5;
    for (int64_t k = 0; k < int64_t{p} * m; k++) dd[k] = s.d.re[k] + sign * cb[k];
  }
  if (nOut < 4) DropStackEntries(ctx, nOut, 4 - nOut);
  return kOk;
}

// Output columns of one method for den of degree n and num of numDegree.
int32_t NumeratorColumns(char method, int32_t numDegree, int32_t n) {
  if (method == 'z') return numDegree == n ? n + 1 : n;
  if (method == 'm') return std::max(numDegree, n - 1) + 1;
  return n + 1;
}

ErrCode ConvertTransferFunction(EngineContext* ctx, int32_t base, int32_t nOut, char method,
                                double ts, bool toDiscrete) {
  if (nOut > 2) return kErrTooManyArgout;
  Mat num, den;
  ErrCode e;
  if ((e = ReadMatrix(ctx, base + 1, &den)) || (e = ReadMatrix(ctx, base + 2, &num))) return e;
  if ((e = CheckTfRows(num, den))) return e;
  const int32_t rows = den.rows, n = den.cols - 1;
  const int32_t numCols = NumeratorColumns(method, num.cols - 1, n);
  double *denOut, *numOut = nullptr;
  if ((e = PushNewMatrix(ctx, rows, n + 1, &denOut, nullptr))) return e;
  if (nOut == 2 && (e = PushNewMatrix(ctx, rows, numCols, &numOut, nullptr)))
    return Drop(ctx, 1), e;
  const int64_t need = std::max({DiscretizeTfByExpmWork(n), DiscretizeTfViaSsWork(n),
                                 BilinearMapWork(n), MatchPolesZerosWork(num.cols - 1, n)}) +
                       2 * int64_t{n + 1};
  double* work;
  if ((e = Reserve(ctx, need, &work))) return Drop(ctx, nOut), e;
  double* rowNum = work;
  double* rowDen = rowNum + n + 1;
  double* rest = rowDen + n + 1;
  GetNumericArg(ctx, 0, nullptr, nullptr, nOut == 2 ? &numOut : &denOut, nullptr);
  if (nOut == 2) GetNumericArg(ctx, 1, nullptr, nullptr, &denOut, nullptr);
  ReadMatrix(ctx, base + 1 + nOut, &den);
  ReadMatrix(ctx, base + 2 + nOut, &num);
  for (int32_t i = 0; i < rows; i++) {
    const PolyRow d = Stripped(den.Row(i), den.cols), u = Stripped(num.Row(i), num.cols);
    bool ok = true;
    int32_t count = d.degree + 1;  // numerator coefficients of the row
    switch (method) {
      case 'z':
        ok = DiscretizeTfByExpm(u.c, u.degree, d.c, d.degree, ts, rowNum, rowDen, rest);
        count = u.degree == d.degree ? d.degree + 1 : d.degree;
        break;
      case 'f':
        ok = DiscretizeTfViaSs(u.c, u.degree, d.c, d.degree, ts, rowNum, rowDen, rest);
        break;
      case 'm':
        ok = MatchPolesZeros(u.c, u.degree, d.c, d.degree, ts, rowNum, rowDen, rest);
        count = std::max(u.degree, d.degree - 1) + 1;
        break;
      default:
        ok = toDiscrete ? BilinearRow(u, d, 2 / ts, -2 / ts, 1, 1, rowNum, rowDen, rest)
                        : BilinearRow(u, d, ts, 2, -ts, 2, rowNum, rowDen, rest);
    }
    if (!ok) {
      Drop(ctx, nOut);
      return kErrBadArg;
    }
    PlaceRight(rowDen, d.degree + 1, denOut + int64_t{i} * (n + 1), n + 1);
    if (numOut) PlaceRight(rowNum, count, numOut + int64_t{i} * numCols, numCols);
  }
  return kOk;
}

ErrCode ConvertTime(EngineContext* ctx, int32_t nargin, int32_t nargout, bool toDiscrete) {
  const int32_t nOut = std::max(nargout, 1);
  char method = toDiscrete ? 'z' : 't';
  const bool hasMethod = nargin == 4 || nargin == 6;
  if (hasMethod) {
    const OptionText text(ctx, 0);
    if (!text.IsText()) return kErrWrongType;
    if (!text.IsEmpty()) method = static_cast<char>(text.Initial());
    if (!std::strchr(toDiscrete ? "zftm" : "t", method) || method == 0) return kErrUnknownOpt;
  }
  const int32_t base = hasMethod ? 1 : 0;
  double ts;
  if (ErrCode e = ReadPeriod(ctx, base, &ts)) return e;
  const bool stateSpace = nargin - base > 3;
  ErrCode e = stateSpace ? ConvertStateSpace(ctx, base, nOut, method, ts, toDiscrete)
                         : ConvertTransferFunction(ctx, base, nOut, method, ts, toDiscrete);
  if (e) return e;
  return DropStackEntries(ctx, nOut, nargin);
}

// ---- margin and dmargin ----

ErrCode Margins(EngineContext* ctx, int32_t nargin, int32_t nargout, bool discrete) {
  const int32_t nOut = std::max(nargout, 1);
  double ts = 1;
  const int32_t base = discrete && nargin == 3 ? 1 : 0;
  if (base) {
    Mat t;
    if (ErrCode e = ReadMatrix(ctx, 0, &t)) return e;
    if (t.rows != 1 || t.cols != 1) return kErrNonSquareSize;
    if (ErrCode e = ReadPeriod(ctx, 0, &ts)) return e;
  }
  Mat num, den;
  ErrCode e;
  if ((e = ReadMatrix(ctx, base, &den)) || (e = ReadMatrix(ctx, base + 1, &num))) return e;
  if (den.rows != 1 || num.rows != 1) return kErrNonRowVector;
  if ((e = CheckTfRows(num, den))) return e;
  const PolyRow d = Stripped(den.re, den.cols), u = Stripped(num.re, num.cols);
  const int32_t n = d.degree;
  double* work;
  if ((e = Reserve(ctx, 3 * int64_t{n + 1} + BilinearMapWork(n), &work))) return e;
  StabilityMargins found;
  if (discrete) {
    FindGainPhaseCrossovers(u.c, u.degree, d.c, n, work, &found);
  } else {
    // s = (z - 1) / (z + 1) takes the imaginary axis onto the unit circle.
    double* mappedNum = work + n + 1;
    double* mappedDen = mappedNum + n + 1;
    ApplyBilinearMap(u.c, u.degree, d.c, n, 1, -1, 1, 1, 0, mappedNum, mappedDen,
                     mappedDen + n + 1);
    FindGainPhaseCrossovers(mappedNum, n, mappedDen, n, work, &found);
  }
  // Angles on the unit circle back to frequencies.
  auto frequency = [&](double theta) {
    if (discrete) return theta / ts;
    return theta >= std::numbers::pi ? INFINITY : std::tan(theta / 2);
  };
  const bool hasPhase = found.stable && found.phase < kNoPhaseMargin;
  int32_t pushed = 0;
  for (int32_t k = nOut; k >= 1; k--) {
    double* v;
    if (!found.stable || (!hasPhase && (k == 2 || k == 4))) {
      e = PushEmptyMatrix(ctx);
    } else if (k == 1 || k == 3) {
      if (!(e = PushNewMatrix(ctx, 1, 2, &v, nullptr))) {
        v[0] = k == 1 ? found.gainLower : frequency(found.angleLower);
        v[1] = k == 1 ? found.gainUpper : frequency(found.angleUpper);
      }
    } else {
      e = PushRealScalar(ctx, k == 2 ? found.phase : frequency(found.phaseAngle));
    }
    if (e) return Drop(ctx, pushed), e;
    pushed++;
  }
  return DropStackEntries(ctx, nOut, nargin);
}

}  // namespace

ErrCode C2dmNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return ConvertTime(ctx, nargin, nargout, true);
}

ErrCode D2cmNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return ConvertTime(ctx, nargin, nargout, false);
}

ErrCode Ss2tfNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  const int32_t nOut = std::max(nargout, 1);
  const int32_t base = nargin == 5 ? 1 : 0;
  System s;
  if (ErrCode e = ReadSystem(ctx, base - 1, &s)) return e;
  int32_t iu = 1;
  if (base) {
    Mat index;
    if (ErrCode e = ReadMatrix(ctx, 0, &index)) return e;
    if (index.rows != 1 || index.cols != 1) return kErrNonScalarArg;
    const double v = index.re[0];
    if (!(v >= 1 && v <= s.m && v == std::floor(v))) return kErrIndexOutOfRange;
    iu = static_cast<int32_t>(v);
  } else if (s.m > 1) {
    return kErrTooFewArgin;
  } else if (s.m < 1) {
    return kErrIndexOutOfRange;
  }
  const int32_t n = s.n, p = s.p;
  const bool directTerm =
      !std::all_of(s.d.re, s.d.re + s.d.Size(), [](double v) { return v == 0; });
  const int32_t numCols = directTerm ? n + 1 : n;
  double *den = nullptr, *num;
  ErrCode e;
  if (nOut == 2 && (e = PushNewMatrix(ctx, 1, n + 1, &den, nullptr))) return e;
  if ((e = PushNewMatrix(ctx, p, numCols, &num, nullptr))) return Drop(ctx, nOut - 1), e;
  double* work;
  const int64_t rowsOut = int64_t{p} * (n + 1);
  if ((e = Reserve(ctx, StateSpaceToTfWork(n) + rowsOut + n + 1, &work))) return Drop(ctx, nOut), e;
  GetNumericArg(ctx, 0, nullptr, nullptr, &num, nullptr);
  if (nOut == 2) GetNumericArg(ctx, 1, nullptr, nullptr, &den, nullptr);
  ReadSystem(ctx, base - 1 + nOut, &s);
  double* numAll = work + StateSpaceToTfWork(n);
  double* denAll = numAll + rowsOut;
  StateSpaceToTf(s.a.re, s.b.re, s.c.re, s.d.re, iu - 1, n, s.m, p, work, numAll, denAll);
  for (int32_t i = 0; i < p; i++) {
    std::copy_n(numAll + int64_t{i} * (n + 1) + (n + 1 - numCols), numCols,
                num + int64_t{i} * numCols);
  }
  if (den) std::copy_n(denAll, n + 1, den);
  return DropStackEntries(ctx, nOut, nargin);
}

ErrCode Tf2ssNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  const int32_t nOut = std::max(nargout, 1);
  Mat num, den;
  ErrCode e;
  if ((e = ReadMatrix(ctx, 0, &den)) || (e = ReadMatrix(ctx, 1, &num))) return e;
  if (den.rows != 1) return kErrNonRowVector;
  if (num.cols < 1 || den.cols < 1) return kErrIncompSize;
  const PolyRow d = Stripped(den.re, den.cols);
  if (d.c[0] == 0) return kErrBadArg;
  const int32_t n = d.degree, rows = num.rows;
  for (int32_t i = 0; i < rows; i++)
    if (Stripped(num.Row(i), num.cols).degree > n) return kErrIncompSize;
  // Outputs A, B, C, D; pushed from the last one asked for, A on top.
  const int32_t outRows[4] = {n, n, rows, rows}, outCols[4] = {n, 1, n, 1};
  double* out[4] = {};
  for (int32_t k = nOut - 1; k >= 0; k--) {
    if ((e = PushNewMatrix(ctx, outRows[k], outCols[k], &out[k], nullptr)))
      return Drop(ctx, nOut - 1 - k), e;
  }
  const int64_t nn = int64_t{n} * n;
  double* work;
  if ((e = Reserve(ctx, nn + n + int64_t{rows} * (n + 1), &work))) return Drop(ctx, nOut), e;
  for (int32_t k = 0; k < nOut; k++) GetNumericArg(ctx, k, nullptr, nullptr, &out[k], nullptr);
  ReadMatrix(ctx, nOut, &den);
  ReadMatrix(ctx, nOut + 1, &num);
  const PolyRow dd = Stripped(den.re, den.cols);
  double* a = work;
  double* b = a + nn;
  double* c = b + n;
  double* dOut = c + int64_t{rows} * n;
  for (int32_t i = 0; i < rows; i++) {
    const PolyRow u = Stripped(num.Row(i), num.cols);
    TfToStateSpace(u.c, u.degree, dd.c, n, a, b, c + int64_t{i} * n, dOut + i);
  }
  const double* from[4] = {a, b, c, dOut};
  for (int32_t k = 0; k < nOut; k++) std::copy_n(from[k], int64_t{outRows[k]} * outCols[k], out[k]);
  return DropStackEntries(ctx, nOut, nargin);
}

ErrCode MarginNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return Margins(ctx, nargin, nargout, false);
}

ErrCode DmarginNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return Margins(ctx, nargin, nargout, true);
}

}  // namespace vke
