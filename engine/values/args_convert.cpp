// Conversions between the numeric classes: to double or single, to an
// integer class, to logical, and to the common class of several operands.
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

// Pushes the array a conversion of the view fills: of the class, with the
// view's shape, an empty one too (3 x 0 stays 3 x 0); *out is its first
// element (the imaginary block, when complex, follows the real one).
ErrCode PushConverted(EngineContext* ctx, const NumericView& v, ArrayClass cls, bool complex,
                      uint8_t** out) {
  uint32_t at;
  int32_t count;
  if (ErrCode e = PushArrayOfClass(ctx, cls, complex, v.shape, &at, &count, false)) return e;
  *out = ctx->Bytes() + at;
  return kOk;
}

ErrCode ConvertOneToFloat(EngineContext* ctx, int32_t depth, bool single) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  if (v.cls == (single ? ValueClass::kSingle : ValueClass::kDouble)) return kOk;
  int64_t n = v.shape.count;
  uint8_t* out;
  if (ErrCode e =
          PushConverted(ctx, v, {kKindArray, single ? kCodeSingle : kCodeDouble}, v.complex, &out))
    return e;
  if (single) {
    auto* re = reinterpret_cast<float*>(out);
    for (int64_t i = 0; i < n; i++) re[i] = static_cast<float>(ViewElement(v, i, false));
    if (v.complex)
      for (int64_t i = 0; i < n; i++) re[n + i] = static_cast<float>(ViewElement(v, i, true));
  } else {
    auto* re = reinterpret_cast<double*>(out);
    for (int64_t i = 0; i < n; i++) re[i] = ViewElement(v, i, false);
    if (v.complex)
      for (int64_t i = 0; i < n; i++) re[n + i] = ViewElement(v, i, true);
  }
  return ReplaceEntryWithTop(ctx, depth);
}

// 2^k for 0 <= k <= 64, exactly and without a library call.
double PowerOfTwo(int k) {
  return k < 64 ? static_cast<double>(uint64_t{1} << k) : 18446744073709551616.0;
}

// The doubles an integer class holds: lo <= x < hiExclusive.
struct IntegerRange {
  double lo, hiExclusive;
  IntegerRange(int es, bool isUnsigned)
      : lo(isUnsigned ? 0.0 : -PowerOfTwo(8 * es - 1)),
        hiExclusive(PowerOfTwo(isUnsigned ? 8 * es : 8 * es - 1)) {}
};

// The low 64 bits of a double truncated toward zero, in two's complement
// for a negative one, for every class alike: each keeps the low bits of its
// width. NaN and the infinities have none and give 0.
VKE_HOT_INLINE uint64_t TruncatedLowBits(double x) {
  if (x > -9223372036854775808.0 && x < 9223372036854775808.0)
    return static_cast<uint64_t>(static_cast<int64_t>(x));
  if (!std::isfinite(x)) return 0;
  // Past 2^63 a double is its 53-bit significand times 2^(exponent - 53),
  // a shift of at least 11 bits.
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(x), &exponent);
  const auto significand = static_cast<uint64_t>(std::ldexp(fraction, 53));
  const int shift = exponent - 53;
  const uint64_t bits = shift >= 64 ? 0 : significand << shift;
  return x < 0 ? ~bits + 1 : bits;
}

// Converts a double to the integer bits of the target class without ever
// invoking undefined behaviour; with a range, 102 for a number that is not
// whole and 103 for one outside the range.
VKE_HOT_INLINE ErrCode DoubleToIntegerBits(double x, const IntegerRange* checked, uint64_t* out) {
  if (checked) {
    // Within the range, below 2^63 in size, a whole number survives the
    // round trip through int64 (larger ones are all whole); anything else
    // is sorted out as before: NaN, infinities and fractions are not whole.
    const bool inRange = x >= checked->lo && x < checked->hiExclusive;
    const bool whole = !(x > -9223372036854775808.0 && x < 9223372036854775808.0) ||
                       static_cast<double>(static_cast<int64_t>(x)) == x;
    if (!inRange || !whole) return x != std::floor(x) ? kErrNonIntArg : kErrOutOfRangeArg;
  }
  *out = TruncatedLowBits(x);
  return kOk;
}

// Range check of an integer element (raw bits, sign-extended when its code
// is signed) against the target class.
bool IntegerFits(uint64_t bits, bool srcSigned, int es, bool isUnsigned) {
  if (srcSigned) {
    int64_t v = static_cast<int64_t>(bits);
    if (isUnsigned) return v >= 0 && (es == 8 || static_cast<uint64_t>(v) < (1ull << (8 * es)));
    if (es == 8) return true;
    int64_t lim = int64_t{1} << (8 * es - 1);
    return v >= -lim && v < lim;
  }
  if (isUnsigned) return es == 8 || bits < (1ull << (8 * es));
  return bits < (1ull << (8 * es - 1));
}

void StoreBits(uint8_t* el, int es, int64_t i, uint64_t bits) {
  CopyElement(el + es * i, &bits, static_cast<uint64_t>(es));
}

}  // namespace

ErrCode ConvertToFloat(EngineContext* ctx, int32_t depthOrMinusN, bool single) {
  if (depthOrMinusN >= 0) return ConvertOneToFloat(ctx, depthOrMinusN, single);
  for (int32_t d = 0; d < -depthOrMinusN; d++) {
    ErrCode e = ConvertOneToFloat(ctx, d, single);
    if (e) return e;
  }
  return kOk;
}

ErrCode ConvertPlainOperandsToDouble(EngineContext* ctx, int32_t n, bool* converted) {
  *converted = false;
  int32_t kind = 0;
  for (int32_t d = n - 1; d >= 0 && !kind; d--) {
    const ValueDescriptor* v = DescAt(ctx, d);
    if (IsStructured(*v) && IsObjectKind(v->word)) return kOk;
    if (IsTyped(*v) && v->word < kKindLibrary) kind = v->word;
  }
  if (kind < kKindArray || kind > kKindLogical) return kOk;
  // Nothing is converted unless every operand can be: a structure or a list
  // among them keeps the instruction's own error. A library's value stays
  // as it is, for its library's native.
  for (int32_t d = 0; d < n; d++) {
    const ValueDescriptor* v = DescAt(ctx, d);
    if (!IsPlain(*v) && !(IsTyped(*v) && !IsStructured(*v) && v->word >= kKindArray)) return kOk;
  }
  for (int32_t d = 0; d < n; d++) {
    const ValueDescriptor* v = DescAt(ctx, d);
    if (!IsTyped(*v) || v->word < kKindArray || v->word > kKindLogical) continue;
    if (ViewNumeric(ctx, d).cls == ValueClass::kDouble) continue;
    // Without room, the operands converted so far stay doubles; another
    // failure keeps the instruction's own error.
    if (ErrCode e = ConvertOneToFloat(ctx, d, false)) {
      *converted = false;
      return IsEngineMemoryCode(e) ? e : kOk;
    }
    *converted = true;
  }
  return kOk;
}

ErrCode ConvertToInteger(EngineContext* ctx, int32_t depth, int32_t es, bool isUnsigned,
                         bool checked) {
  if (es != 1 && es != 2 && es != 4 && es != 8) return kErrNotSupported;
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  uint32_t code = static_cast<uint32_t>(es) + (isUnsigned ? kCodeUnsigned : 0);
  if (v.cls == ValueClass::kInteger && v.code == code) return kOk;
  int64_t n = v.shape.count;
  uint8_t* el;
  ErrCode e = PushConverted(ctx, v, {kKindArray, code}, false, &el);
  if (e) return e;
  bool fromFloat = v.cls == ValueClass::kDouble || v.cls == ValueClass::kSingle;
  bool srcSigned = !fromFloat && !(v.code & kCodeUnsigned);
  const IntegerRange range(es, isUnsigned);
  // Instantiated apart for doubles, the usual index values, so that their
  // elements are not read through the class switch one by one.
  auto convertAll = [&](auto readFloat) -> ErrCode {
    for (int64_t i = 0; i < n; i++) {
      uint64_t bits;
      if (fromFloat) {
        ErrCode failed = DoubleToIntegerBits(readFloat(i), checked ? &range : nullptr, &bits);
        if (failed) return failed;
      } else {
        bits = ReadIntegerBits(v.elements, v.code, i);
        if (checked && !IntegerFits(bits, srcSigned, es, isUnsigned)) return kErrOutOfRangeArg;
      }
      StoreBits(el, es, i, bits);
    }
    return kOk;
  };
  e = v.cls == ValueClass::kDouble && !v.complex
          ? convertAll([&](int64_t i) { return Load<double>(v.elements + 8 * i); })
          : convertAll([&](int64_t i) { return ViewElement(v, i, false); });
  if (e) {
    Drop(ctx);
    return e;
  }
  return ReplaceEntryWithTop(ctx, depth);
}

ErrCode ConvertToLogical(EngineContext* ctx, int32_t depth) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther || v.cls == ValueClass::kSingle) return kErrWrongType;
  if (v.cls == ValueClass::kLogical) return kOk;
  int64_t n = v.shape.count;
  if (v.cls == ValueClass::kInteger && ElementBytesOfCode(v.code) == 1) {
    // Relabel in place.
    DescAt(ctx, depth)->word = kKindLogical;
    Store<uint32_t>(DataAt(ctx, depth), kCodeUInt8);
    for (int64_t i = 0; i < n; i++) v.elements[i] = v.elements[i] != 0;
    return kOk;
  }
  uint8_t* out;
  ErrCode e = PushConverted(ctx, v, {kKindLogical, kCodeUInt8}, false, &out);
  if (e) return e;
  for (int64_t i = 0; i < n; i++) {
    if (v.cls == ValueClass::kDouble) {
      double re = ViewElement(v, i, false), im = ViewElement(v, i, true);
      out[i] = (re < 0 || re > 0 || im < 0 || im > 0) ? 1 : 0;
    } else {
      out[i] = ReadIntegerBits(v.elements, v.code, i) != 0;
    }
  }
  return ReplaceEntryWithTop(ctx, depth);
}

ErrCode ConvertArgsToCommonType(EngineContext* ctx, int32_t n) {
  bool anyDouble = false, anySingle = false;
  int widest = 0;
  bool widestUnsigned = false;
  for (int32_t d = 0; d < n; d++) {
    NumericView v = ViewNumeric(ctx, d);
    switch (v.cls) {
      case ValueClass::kDouble:
        anyDouble = true;
        break;
      case ValueClass::kSingle:
        anySingle = true;
        break;
      case ValueClass::kOther:
        return kErrWrongType;
      default: {
        int es = ElementBytesOfCode(v.code);
        bool uns = (v.code & kCodeUnsigned) != 0;
        if (es > widest) {
          widest = es;
          widestUnsigned = uns;
        } else if (es == widest && uns) {
          widestUnsigned = true;
        }
      }
    }
  }
  for (int32_t d = 0; d < n; d++) {
    ErrCode e = anyDouble || anySingle ? ConvertOneToFloat(ctx, d, !anyDouble)
                                       : ConvertToInteger(ctx, d, widest, widestUnsigned, false);
    if (e) return e;
  }
  return kOk;
}

}  // namespace vke
