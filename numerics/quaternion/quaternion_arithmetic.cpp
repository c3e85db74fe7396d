// Quaternion arithmetic on arrays: operand pairing (scalar expansion,
// reordering of commutative forms, doubles made quaternions where the
// result needs their storage), plus, minus, the products and quotients,
// powers, comparisons, the elementwise functions and the reductions to
// real arrays. Binary results are computed in the storage of one operand
// and the other is dropped; everything that can fail runs before the first
// element is written, so a failed call leaves its operands as they were.
#include <cmath>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "numerics/quaternion/quaternion_math.hpp"
#include "numerics/quaternion/quaternion_value.hpp"

namespace vke {

namespace {

// Option letters of MultiplyQuaternions; the elementwise product ('t')
// takes the plain path.
constexpr uintptr_t kMtimes = 'T';
constexpr uintptr_t kRdivide = 'r';
constexpr uintptr_t kMrdivide = 'R';
constexpr uintptr_t kLdivide = 'l';
constexpr uintptr_t kMldivide = 'L';
// Of PowerQuaternion.
constexpr uintptr_t kMpower = 'm';
// Of CompareQuaternions.
constexpr uintptr_t kNotEqual = 'n';
// Of ReduceQuaternionToReal.
constexpr uintptr_t kAbs = 'a';
constexpr uintptr_t kQnorm = 'n';
constexpr uintptr_t kReal = 'r';

// The two operands of a binary native: a the first argument (depth 1), b
// the second (on top), unless pairing exchanged them.
struct OperandPair {
  QuaternionOperand a, b;
  bool swapped = false;
};

ErrCode ReadPair(EngineContext* ctx, OperandPair* p) {
  if (GetQuaternionOperand(ctx, 1, &p->a) || GetQuaternionOperand(ctx, 0, &p->b))
    return kErrWrongTypeOverload;
  return kOk;
}

// Reads the operands. With reordering the first becomes the one with more
// than one element (a quaternion where both have one or both more); a
// double with more than one element beside a single element becomes a
// quaternion. 44 for operands of other types, 20 for shapes that differ.
ErrCode PairOperands(EngineContext* ctx, bool reorder, OperandPair* p) {
  if (ErrCode e = ReadPair(ctx, p)) return e;
  if (!p->a.quaternion && !p->b.quaternion) return kErrWrongTypeOverload;
  const bool aOne = p->a.Count() == 1, bOne = p->b.Count() == 1;
  if (reorder && ((aOne && !bOne) || (!p->a.quaternion && aOne == bOne))) {
    RollStackEntries(ctx, 2, 1);
    p->swapped = true;
    ReadPair(ctx, p);
  }
  int32_t convert = -1;  // depth of the operand to convert
  if (!p->a.quaternion && p->a.Count() != 1 && p->b.Count() == 1) convert = 1;
  if (!p->b.quaternion && p->b.Count() != 1 && p->a.Count() == 1) convert = 0;
  if (convert >= 0) {
    if (ErrCode e = ConvertToQuaternionAt(ctx, convert)) {
      if (p->swapped) RollStackEntries(ctx, 2, 1);
      return e;
    }
    ReadPair(ctx, p);
  }
  if (p->a.Count() != 1 && p->b.Count() != 1 && !SameDims(p->a.q.shape, p->b.q.shape)) {
    if (p->swapped) RollStackEntries(ctx, 2, 1);
    return kErrIncompSize;
  }
  return kOk;
}

Quat ElementOf(const QuaternionOperand& x, int64_t i) {
  return {x.At(0, i), x.At(1, i), x.At(2, i), x.At(3, i)};
}

void StoreElement(const QuaternionView& q, int64_t i, const Quat& v) {
  q.c[0][i] = v.w;
  q.c[1][i] = v.x;
  q.c[2][i] = v.y;
  q.c[3][i] = v.z;
}

void Negate(const QuaternionOperand& x) {
  const int64_t n = x.Count();
  if (!x.quaternion) {
    for (int64_t i = 0; i < n; i++) x.re[i] = -x.re[i];
    return;
  }
  for (int k = 0; k < 4; k++)
    for (int64_t i = 0; i < n; i++) x.q.c[k][i] = -x.q.c[k][i];
}

// In place: the inverse of every element (1/d for a double).
void Invert(const QuaternionOperand& x) {
  const int64_t n = x.Count();
  if (!x.quaternion) {
    for (int64_t i = 0; i < n; i++) x.re[i] = 1 / x.re[i];
    return;
  }
  double *w = x.q.c[0], *qx = x.q.c[1], *qy = x.q.c[2], *qz = x.q.c[3];
  for (int64_t i = 0; i < n; i++) {
    const double s = w[i] * w[i] + qx[i] * qx[i] + qy[i] * qy[i] + qz[i] * qz[i];
    w[i] = w[i] / s;
    qx[i] = -qx[i] / s;
    qy[i] = -qy[i] / s;
    qz[i] = -qz[i] / s;
  }
}

// a + b written into a (a quaternion after pairing).
ErrCode AddInto(EngineContext* ctx, const OperandPair& p) {
  const int64_t n = p.a.Count();
  const int64_t step = p.b.Count() == 1 ? 0 : 1;
  for (int k = 0; k < (p.b.quaternion ? 4 : 1); k++) {
    double* out = p.a.q.c[k];
    const double* in = p.b.quaternion ? p.b.q.c[k] : p.b.re;
    for (int64_t i = 0; i < n; i++) out[i] += in[i * step];
  }
  return Drop(ctx);
}

// out[i] = a[i]·b[i] over n elements, the steps 0 for a single element.
void ProductOfQuaternions(const QuaternionView& a, int64_t sa, const QuaternionView& b, int64_t sb,
                          const QuaternionView& out, int64_t n) {
  for (int64_t i = 0; i < n; i++) {
    const int64_t ia = i * sa, ib = i * sb;
    const double aw = a.c[0][ia], ax = a.c[1][ia], ay = a.c[2][ia], az = a.c[3][ia];
    const double bw = b.c[0][ib], bx = b.c[1][ib], by = b.c[2][ib], bz = b.c[3][ib];
    out.c[0][i] = aw * bw - ax * bx - ay * by - az * bz;
    out.c[1][i] = aw * bx + ax * bw + ay * bz - az * by;
    out.c[2][i] = aw * by - ax * bz + ay * bw + az * bx;
    out.c[3][i] = aw * bz + ax * by - ay * bx + az * bw;
  }
}

// out[i] = q[i]·d[i]: every component scaled.
void ScaleQuaternions(const QuaternionView& q, int64_t sq, const double* d, int64_t sd,
                      const QuaternionView& out, int64_t n) {
  for (int k = 0; k < 4; k++)
    for (int64_t i = 0; i < n; i++) out.c[k][i] = q.c[k][i * sq] * d[i * sd];
}

// Whether the form's counts allow its operands: the matrix forms need a
// single element where the Part of the matrix would be.
bool CountsFit(uintptr_t option, int32_t a, int32_t b) {
  switch (option) {
    case kMtimes:
      return a == 1 || b == 1;
    case kMrdivide:
      return b <= 1;
    case kMldivide:
      return a <= 1;
    default:
      return true;
  }
}

}  // namespace

ErrCode QuaternionPlus(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  OperandPair p;
  if (ErrCode e = PairOperands(ctx, true, &p)) return e;
  return AddInto(ctx, p);
}

ErrCode QuaternionMinus(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  OperandPair p;
  if (ErrCode e = PairOperands(ctx, true, &p)) return e;
  Negate(p.swapped ? p.a : p.b);
  return AddInto(ctx, p);
}

ErrCode QuaternionUminus(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  QuaternionOperand x;
  if (GetQuaternionArg(ctx, 0, &x.q)) return kErrWrongTypeOverload;
  x.quaternion = true;
  Negate(x);
  return kOk;
}

ErrCode QuaternionUplus(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return IsQuaternionAt(ctx, 0) ? kOk : kErrWrongTypeOverload;
}

ErrCode MultiplyQuaternions(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  OperandPair p;
  if (ErrCode e = ReadPair(ctx, &p)) return e;
  if (!CountsFit(option, p.a.Count(), p.b.Count())) return kErrIncompSize;
  if (ErrCode e = PairOperands(ctx, false, &p)) return e;
  if (option == kRdivide || option == kMrdivide) Invert(p.b);
  if (option == kLdivide || option == kMldivide) Invert(p.a);
  // The result takes the storage of the operand with other than one
  // element, or of the first when it is a quaternion.
  const bool intoA =
      p.a.quaternion ? p.a.Count() != 1 || p.b.Count() == 1 : p.a.Count() != 1 && p.b.Count() == 1;
  const QuaternionView& out = intoA ? p.a.q : p.b.q;
  const int64_t n = out.Count();
  const int64_t sa = p.a.Count() == 1 ? 0 : 1, sb = p.b.Count() == 1 ? 0 : 1;
  if (p.a.quaternion && p.b.quaternion)
    ProductOfQuaternions(p.a.q, sa, p.b.q, sb, out, n);
  else if (p.a.quaternion)
    ScaleQuaternions(p.a.q, sa, p.b.re, sb, out, n);
  else
    ScaleQuaternions(p.b.q, sb, p.a.re, sa, out, n);
  return intoA ? Drop(ctx) : DropStackEntries(ctx, 1, 1);
}

ErrCode PowerQuaternion(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  OperandPair p;
  if (ErrCode e = ReadPair(ctx, &p)) return e;
  if (option == kMpower && (p.a.Count() > 1 || p.b.Count() > 1)) return kErrIncompSize;
  if (ErrCode e = PairOperands(ctx, true, &p)) return e;
  const QuaternionOperand& base = p.swapped ? p.b : p.a;
  const QuaternionOperand& exponent = p.swapped ? p.a : p.b;
  const int64_t n = p.a.Count();
  for (int64_t i = 0; i < n; i++)
    StoreElement(p.a.q, i, QuaternionPowerOf(ElementOf(base, i), ElementOf(exponent, i)));
  return Drop(ctx);
}

ErrCode CompareQuaternions(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  OperandPair p;
  if (ErrCode e = PairOperands(ctx, true, &p)) return e;
  uint32_t offset;
  if (ErrCode e = PushArrayWithShape(ctx, ArrayClass{kKindLogical, kCodeUInt8}, false, p.a.q.shape,
                                     &offset))
    return e;
  uint8_t* out = ctx->Bytes() + offset;
  // The operands now lie at depths 2 and 1.
  GetQuaternionOperand(ctx, 2, &p.a);
  GetQuaternionOperand(ctx, 1, &p.b);
  const int64_t n = p.a.Count();
  const uint8_t differ = option == kNotEqual ? 1 : 0;
  for (int64_t i = 0; i < n; i++) {
    bool equal = true;
    for (int k = 0; k < 4; k++) equal = equal && p.a.At(k, i) == p.b.At(k, i);
    out[i] = equal ? 1 - differ : differ;
  }
  return DropStackEntries(ctx, 1, 2);
}

ErrCode ReduceQuaternionToReal(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  if (option != kAbs && option != kQnorm && option != kReal) return kErrIllegal;
  double* out;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, q.shape, &out)) return e;
  GetQuaternionArg(ctx, 1, &q);
  const int64_t n = q.Count();
  const double *w = q.c[0], *x = q.c[1], *y = q.c[2], *z = q.c[3];
  for (int64_t i = 0; i < n; i++) {
    if (option == kReal) {
      out[i] = w[i];
      continue;
    }
    const double s = w[i] * w[i] + x[i] * x[i] + y[i] * y[i] + z[i] * z[i];
    out[i] = option == kAbs ? std::sqrt(s) : s;
  }
  return DropStackEntries(ctx, 1, 1);
}

ErrCode ApplyQuaternionElementFunction(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  Quat (*fn)(const Quat&) = nullptr;
  switch (option) {
    case 'c':
    case 'i':
    case 's':
      break;
    case 'v':
      fn = QuaternionInverse;
      break;
    case 'e':
      fn = QuaternionExp;
      break;
    case 'l':
      fn = QuaternionLog;
      break;
    case 'q':
      fn = QuaternionSqrt;
      break;
    case 'S':
      fn = QuaternionSin;
      break;
    case 'C':
      fn = QuaternionCos;
      break;
    default:
      return kErrIllegal;
  }
  const int64_t n = q.Count();
  for (int64_t i = 0; i < n; i++) {
    Quat v{q.c[0][i], q.c[1][i], q.c[2][i], q.c[3][i]};
    if (fn) {
      v = fn(v);
    } else if (option == 'c') {
      v = {v.w, -v.x, -v.y, -v.z};
    } else if (option == 'i') {
      v.w = 0;
    } else {
      const double norm = std::sqrt(NormSquared(v));
      v = {v.w / norm, v.x / norm, v.y / norm, v.z / norm};
    }
    StoreElement(q, i, v);
  }
  return kOk;
}

}  // namespace vke
