// The bit-operation natives: bitget, bitset, bitand, bitor, bitxor, bitcmp,
// bitshift, bitall, bitany, graycode and igraycode. Integer classes work in
// their own width; doubles are truncated toward zero to 64-bit integers and
// worked on as unsigned 32-bit words, except by the reductions and the Gray
// codes, which use all 64 bits. Other classes are refused with 44.
#include <algorithm>
#include <cmath>

#include "builtins/builtin.hpp"
#include "builtins/elementwise.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

constexpr int kWordBits = 32;        // doubles in the word operations
constexpr int kFullBits = 64;        // 8-byte integers, and doubles in the 64-bit operations
constexpr int32_t kMaxBitDims = 16;  // of the arrays bitall and bitany reduce
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

// The low n bits (n from 0 to 64).
uint64_t LowBits(int64_t n) {
  if (n <= 0) return 0;
  return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
}

// A double truncated toward zero to 64 bits: the unsigned value up to 2^64,
// else the signed one; values beyond give the smallest int64 (NaN and the
// infinities are refused before).
uint64_t DoubleBits(double x) {
  if (x >= kTwoTo63 && x < kTwoTo64) return static_cast<uint64_t>(x);
  return static_cast<uint64_t>(TruncToInt64(x));
}

// Real doubles and the integer classes take part in bit operations (44
// for others); a double that is NaN or infinite has no integer value to
// take the bits of (103).
ErrCode CheckBitOperand(const NumericView& v) {
  if (v.cls == ValueClass::kInteger) return kOk;
  if (v.cls != ValueClass::kDouble || v.complex) return kErrWrongTypeOverload;
  for (int64_t i = 0; i < v.shape.count; i++)
    if (!std::isfinite(Load<double>(v.elements + 8 * i))) return kErrOutOfRangeArg;
  return kOk;
}

// One operand's elements: the integer class's code, or kCodeDouble.
struct BitArray {
  const uint8_t* elements = nullptr;
  uint32_t code = kCodeDouble;
  bool full = true;  // false: a scalar paired with every element

  bool IsDouble() const { return code == kCodeDouble; }
  bool IsSigned() const { return !IsDouble() && !(code & kCodeUnsigned); }
  int32_t Bytes() const { return ElementBytesOfCode(code); }
  // Bits of the class; doubles count as words.
  int WordWidth() const { return IsDouble() ? kWordBits : 8 * Bytes(); }
  // Element i (the scalar when not full): sign-extended for signed classes.
  uint64_t Read(int64_t i) const {
    if (!full) i = 0;
    if (IsDouble()) return DoubleBits(Load<double>(elements + 8 * i));
    return ReadIntegerBits(elements, code, i);
  }
  // The same cut to the class's word width, unsigned.
  uint64_t ReadWord(int64_t i) const { return Read(i) & LowBits(WordWidth()); }
};

BitArray FromView(const NumericView& v) {
  BitArray a;
  a.elements = v.elements;
  a.code = v.cls == ValueClass::kDouble ? kCodeDouble : v.code;
  a.full = v.shape.count != 1;
  return a;
}

BitArray FromOperand(const ElementwiseOperand& op) {
  BitArray a;
  a.full = op.full;
  if (op.cls == OperandClass::kDouble) {
    a.elements = reinterpret_cast<const uint8_t*>(op.re);
  } else {
    a.elements = static_cast<const uint8_t*>(op.data);
    a.code = static_cast<uint32_t>(op.elementBytes) + (op.isUnsigned ? kCodeUnsigned : 0);
  }
  return a;
}

// Pushes the result array of a class; *out receives its elements.
ErrCode PushBitResult(EngineContext* ctx, const Shape& shape, uint32_t code, uint8_t** out) {
  void* data;
  ErrCode e = PushElementwiseResult(ctx, {kKindArray, code}, false, shape, &data);
  *out = static_cast<uint8_t*>(data);
  return e;
}

// Stores element i of a result: integer classes keep their low bytes,
// doubles take the unsigned word.
void WriteWord(uint8_t* out, uint32_t code, int64_t i, uint64_t bits) {
  if (code == kCodeDouble)
    Store<double>(out + 8 * i, static_cast<double>(bits & LowBits(kWordBits)));
  else
    CopyElement(out + ElementBytesOfCode(code) * i, &bits, ElementBytesOfCode(code));
}

// Converts the inputs above the first (the bit pattern) to 32-bit integers,
// or the one at logicalDepth to logical, and fetches all of them paired.
ErrCode GetPairedOperands(EngineContext* ctx, int32_t nargin, int32_t logicalDepth, Shape* shape,
                          ElementwiseOperand* ops) {
  if (ErrCode e = CheckBitOperand(ViewNumeric(ctx, nargin - 1))) return e;
  for (int32_t depth = 0; depth < nargin - 1; depth++) {
    const NumericView v = ViewNumeric(ctx, depth);
    if (v.cls == ValueClass::kOther || v.complex) return kErrWrongTypeOverload;
    ErrCode e = depth == logicalDepth ? ConvertToLogical(ctx, depth)
                                      : ConvertToInteger(ctx, depth, 4, false, false);
    if (e) return AllowOverload(e);
  }
  return GetElementwiseOperands(ctx, nargin, shape, ops);
}

// The signed 32-bit element i of a converted operand.
int32_t ReadInt32(const ElementwiseOperand& op, int64_t i) {
  return Load<int32_t>(static_cast<const uint8_t*>(op.data) + 4 * (op.full ? i : 0));
}

// bitget and bitset share the bit-number check and the loop: op gives the
// new bits of an element from its bits, its 0-based bit number and its
// element index.
template <typename Op>
ErrCode BitNumberOperation(EngineContext* ctx, int32_t nargin, int32_t logicalDepth, Op op) {
  Shape shape;
  ElementwiseOperand ops[3];
  ErrCode e = GetPairedOperands(ctx, nargin, logicalDepth, &shape, ops);
  if (e) return e;
  const BitArray a = FromOperand(ops[0]);
  for (int64_t i = 0; i < shape.count; i++) {
    const int32_t n = ReadInt32(ops[1], i);
    if (n < 1 || n > a.WordWidth()) return kErrIndexOutOfRange;
  }
  uint8_t* out;
  if ((e = PushBitResult(ctx, shape, a.code, &out))) return e;
  for (int64_t i = 0; i < shape.count; i++)
    WriteWord(out, a.code, i, op(a.Read(i), ReadInt32(ops[1], i) - 1, i, ops));
  return DropStackEntries(ctx, 1, nargin);
}

// The shift of bits x of a class by k places (left when k > 0). Right
// shifts of signed classes copy the sign; shifting by the width or more
// leaves nothing (or the sign).
uint64_t ShiftBits(uint64_t x, int64_t k, int width, bool isSigned) {
  if (k >= 0) return k >= width ? 0 : x << k;
  const int64_t s = -k;
  if (isSigned) {
    const auto v = static_cast<int64_t>(x);  // sign-extended
    return static_cast<uint64_t>(s >= width ? (v < 0 ? -1 : 0) : v >> s);
  }
  return s >= width ? 0 : (x & LowBits(width)) >> s;
}

uint64_t GrayCode(uint64_t x, int width) {
  x &= LowBits(width);
  return x ^ (x >> 1);
}

// The inverse: every bit becomes the xor of itself and all bits above it.
uint64_t InverseGrayCode(uint64_t x, int width) {
  x &= LowBits(width);
  for (int shift = 1; shift < width; shift *= 2) x ^= x >> shift;
  return x;
}

}  // namespace

// bitget(A, n): bit n of each element, 1 the least significant.
ErrCode BitgetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return BitNumberOperation(
      ctx, nargin, -1,
      [](uint64_t x, int32_t bit, int64_t, const ElementwiseOperand*) { return (x >> bit) & 1; });
}

// bitset(A, n [, v]): bit n set (v true or absent) or cleared.
ErrCode BitsetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return BitNumberOperation(
      ctx, nargin, nargin == 3 ? 0 : -1,
      [nargin](uint64_t x, int32_t bit, int64_t i, const ElementwiseOperand* ops) {
        const uint64_t mask = uint64_t{1} << bit;
        bool set = true;
        if (nargin == 3) set = static_cast<const uint8_t*>(ops[2].data)[ops[2].full ? i : 0] != 0;
        return set ? x | mask : x & ~mask;
      });
}

// bitand, bitor and bitxor (option '&', '|', '^'): both operands in their
// common class first.
ErrCode BitLogicNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  for (int32_t depth = 0; depth < nargin; depth++)
    if (ErrCode e = CheckBitOperand(ViewNumeric(ctx, depth))) return e;
  ErrCode e = ConvertArgsToCommonType(ctx, nargin);
  if (e) return AllowOverload(e);
  Shape shape;
  ElementwiseOperand ops[2];
  if ((e = GetElementwiseOperands(ctx, nargin, &shape, ops))) return e;
  const BitArray a = FromOperand(ops[0]), b = FromOperand(ops[1]);
  uint8_t* out;
  if ((e = PushBitResult(ctx, shape, a.code, &out))) return e;
  for (int64_t i = 0; i < shape.count; i++) {
    const uint64_t x = a.ReadWord(i), y = b.ReadWord(i);
    WriteWord(out, a.code, i, option == '&' ? x & y : option == '|' ? x | y : x ^ y);
  }
  return DropStackEntries(ctx, 1, nargin);
}

// bitcmp(A [, n]): every bit inverted; with n only the low n bits of the
// complement are kept. A double needs n.
ErrCode BitcmpNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  const NumericView v = ViewNumeric(ctx, nargin - 1);
  if (ErrCode e = CheckBitOperand(v)) return e;
  const BitArray a = FromView(v);
  if (a.IsDouble() && nargin == 1) return kErrWrongType;
  int32_t kept = a.WordWidth();
  if (nargin == 2) {
    ErrCode e = GetIntegerArg(ctx, 0, &kept);
    if (e) return AllowOverload(e);
    if (kept < 0 || kept > a.WordWidth()) return kErrOutOfRangeArg;
  }
  uint8_t* out;
  ErrCode e = PushBitResult(ctx, v.shape, a.code, &out);
  if (e) return e;
  const BitArray in = FromView(ViewNumeric(ctx, nargin));
  for (int64_t i = 0; i < v.shape.count; i++)
    WriteWord(out, a.code, i, ~in.Read(i) & LowBits(kept));
  return DropStackEntries(ctx, 1, nargin);
}

// bitshift(A, k [, n]): shifted left by k places (right when k < 0); with n
// only the low n bits of the result are kept.
ErrCode BitshiftNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  Shape shape;
  ElementwiseOperand ops[3];
  ErrCode e = GetPairedOperands(ctx, nargin, -1, &shape, ops);
  if (e) return e;
  const BitArray a = FromOperand(ops[0]);
  uint8_t* out;
  if ((e = PushBitResult(ctx, shape, a.code, &out))) return e;
  for (int64_t i = 0; i < shape.count; i++) {
    const uint64_t x = a.IsDouble() ? a.ReadWord(i) : a.Read(i);
    uint64_t r = ShiftBits(x, ReadInt32(ops[1], i), a.WordWidth(), a.IsSigned());
    if (nargin == 3) r &= LowBits(ReadInt32(ops[2], i));
    WriteWord(out, a.code, i, r);
  }
  return DropStackEntries(ctx, 1, nargin);
}

// bitall and bitany (option '&', '|'): the elements along a dimension
// combined; that dimension becomes 1. Doubles use all 64 bits.
ErrCode BitReduceNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  int32_t dim = -1;
  if (nargin == 2) {
    ErrCode e = GetIntegerArg(ctx, 0, &dim);
    if (e) return AllowOverload(e);
    if (dim < 1) return kErrBadDim;
    dim--;
  }
  const NumericView v = ViewNumeric(ctx, nargin - 1);
  if (ErrCode e = CheckBitOperand(v)) return e;
  if (v.shape.ndims > kMaxBitDims) return kErrOutOfRangeArg;
  DimLayout layout;
  NextNonSingletonDim(v.shape.ndims, v.shape.dims, &dim, &layout);
  Shape result = v.shape;
  if (dim < result.ndims) result.dims[dim] = 1;
  const BitArray a = FromView(v);
  uint8_t* out;
  ErrCode e = PushBitResult(ctx, result, a.code, &out);
  if (e) return e;
  const BitArray in = FromView(ViewNumeric(ctx, nargin));
  const uint64_t start = option == '&' ? ~uint64_t{0} : 0;
  int64_t k = 0;
  for (int64_t block = 0; block < layout.count; block++) {
    for (int64_t run = 0; run < layout.stride; run++, k++) {
      uint64_t acc = start;
      for (int64_t j = 0; j < layout.length; j++) {
        const uint64_t x = in.Read((block * layout.length + j) * layout.stride + run);
        acc = option == '&' ? acc & x : acc | x;
      }
      if (a.IsDouble())
        Store<double>(out + 8 * k, static_cast<double>(static_cast<int64_t>(acc)));
      else
        WriteWord(out, a.code, k, acc);
    }
  }
  return DropStackEntries(ctx, 1, nargin);
}

// graycode and igraycode (option 'g', 'i'): on 32 bits for elements of up
// to 4 bytes, on 64 bits for 8-byte elements and doubles.
ErrCode GrayCodeNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  const NumericView v = ViewNumeric(ctx, 0);
  if (ErrCode e = CheckBitOperand(v)) return e;
  const BitArray a = FromView(v);
  const int width = a.IsDouble() || a.Bytes() == 8 ? kFullBits : kWordBits;
  uint8_t* out;
  ErrCode e = PushBitResult(ctx, v.shape, a.code, &out);
  if (e) return e;
  const BitArray in = FromView(ViewNumeric(ctx, 1));
  for (int64_t i = 0; i < v.shape.count; i++) {
    const uint64_t x = in.Read(i);
    const uint64_t r = option == 'g' ? GrayCode(x, width) : InverseGrayCode(x, width);
    if (a.IsDouble())
      Store<double>(out + 8 * i, static_cast<double>(r));
    else
      WriteWord(out, a.code, i, r);
  }
  return ReplaceEntryWithTop(ctx, 0);
}

}  // namespace vke
