// Argument checking, and scalars, integers and truth values read from the
// stacks.
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

bool IsWholeInt32(double x) {
  return x == std::floor(x) && x >= -2147483648.0 && x <= 2147483647.0;
}

bool StructuredKindIs(const ValueDescriptor* d, int32_t k) {
  return IsStructured(*d) && d->word == k;
}

// One letter of a type spec against the entry at the depth.
bool LetterAccepts(EngineContext* ctx, char letter, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  switch (letter) {
    case '?':
      return true;
    case 'A':
    case 'a': {
      NumericView v = ViewNumeric(ctx, depth);
      return v.cls == ValueClass::kDouble && (letter == 'A' || !v.complex);
    }
    case 'B':
    case 'b': {
      NumericView v = ViewNumeric(ctx, depth);
      return v.cls == ValueClass::kSingle && (letter == 'B' || !v.complex);
    }
    case 'C':
      return IsPlain(*d);
    case 'c':
      return IsPlain(*d) && d->word == 1 && PlainRows(*d) == 1;
    case 'R':
      return IsPlain(*d) && !(d->flags & kFlagComplex);
    case 'r':
      return d->flags == 0 && d->size == 1;
    case 'I':
    case 'i': {
      if (d->flags != 0) return false;
      if (letter == 'i' && d->size != 1) return false;
      const uint8_t* p = DataAt(ctx, depth);
      for (uint32_t k = 0; k < d->size; k++)
        if (!IsWholeInt32(Load<double>(p + 8 * k))) return false;
      return true;
    }
    case 'L':
      return IsTypedKind(*d, kKindLogical) && !IsStructured(*d);
    case 'S':
      return IsTypedKind(*d, kKindChar) && !IsStructured(*d);
    case 's': {
      if (!IsTypedKind(*d, kKindChar) || IsStructured(*d)) return false;
      return ViewNumeric(ctx, depth).shape.count == 1;
    }
    case 'T':
      return StructuredKindIs(d, kKindStruct) || StructuredKindIs(d, kKindStructArray);
    case 't':
      return StructuredKindIs(d, kKindStruct);
    case 'E':
      return StructuredKindIs(d, kKindList) || StructuredKindIs(d, kKindCell);
    case 'e':
      return StructuredKindIs(d, kKindCell);
    case 'l':
      return StructuredKindIs(d, kKindList);
    case 'f':
      return !IsStructured(*d) && (IsTypedKind(*d, kKindInline) || IsTypedKind(*d, kKindFuncRef));
    case 'j': {
      NumericView v = ViewNumeric(ctx, depth);
      return v.cls == ValueClass::kInteger || v.cls == ValueClass::kChar ||
             v.cls == ValueClass::kLogical;
    }
    default:
      return false;
  }
}

}  // namespace

ErrCode CheckArgumentTypes(EngineContext* ctx, int32_t n, const char* spec) {
  if (!spec) {
    for (int32_t k = 0; k < n; k++) {
      const ValueDescriptor* d = DescAt(ctx, k);
      if (IsStructured(*d) && IsObjectKind(d->word)) return kErrWrongTypeOverload;
      if (IsTyped(*d) && !IsStructured(*d) && d->word >= kKindLibrary) return kErrWrongTypeOverload;
    }
    return kOk;
  }
  int32_t pos = 0;
  bool optional = false;
  char previous = 0;
  for (int32_t k = 0; k < n;) {
    char c = spec[pos];
    if (c == 0 || c == '*') return kOk;
    if (c == '[') {
      optional = true;
      pos++;
      continue;
    }
    char letter = c == '+' ? previous : c;
    if (!LetterAccepts(ctx, letter, n - 1 - k)) return kErrWrongTypeOverload;
    if (c != '+') {
      previous = c;
      pos++;
    }
    k++;
  }
  char c = spec[pos];
  if (c == 0 || optional || c == '[' || c == '*' || c == '+') return kOk;
  return kErrWrongTypeOverload;
}

ErrCode PopRealScalar(EngineContext* ctx, double* value) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsPlain(*d)) return kErrWrongType;
  if (d->size != 1 || d->flags != 0) return kErrNonScalarArg;
  *value = Load<double>(DataAt(ctx, 0));
  return Drop(ctx);
}

ErrCode GetScalarArg(EngineContext* ctx, int32_t depth, double* value) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsPlain(*d)) return kErrWrongType;
  if (d->word != 1 || PlainRows(*d) != 1) return kErrNonScalarArg;
  const uint8_t* p = DataAt(ctx, depth);
  if (d->flags & kFlagComplex) {
    if (Load<double>(p + 8) != 0) return kErrWrongType;
  }
  *value = Load<double>(p);
  return kOk;
}

ErrCode PopComplexScalar(EngineContext* ctx, double* re, double* im) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsPlain(*d)) return kErrWrongType;
  if (d->word != 1 || PlainRows(*d) != 1) return kErrNonScalarArg;
  const uint8_t* p = DataAt(ctx, 0);
  *re = Load<double>(p);
  *im = (d->flags & kFlagComplex) ? Load<double>(p + 8) : 0.0;
  return Drop(ctx);
}

ErrCode GetIntegerArg(EngineContext* ctx, int32_t depth, int32_t* value) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  double x;
  if (IsPlain(*d)) {
    ErrCode e = GetScalarArg(ctx, depth, &x);
    if (e) return e;
  } else {
    NumericView v = ViewNumeric(ctx, depth);
    if (v.cls == ValueClass::kOther || v.cls == ValueClass::kDouble) return kErrWrongType;
    if (v.shape.count != 1) return kErrNonScalarArg;
    if (v.cls == ValueClass::kSingle) {
      if (v.complex && Load<float>(v.elements + 4) != 0) return kErrWrongType;
      x = Load<float>(v.elements);
    } else {
      // 1- and 2-byte elements read as signed, wider ones as their low 32 bits.
      switch (ElementBytesOfCode(v.code)) {
        case 1:
          *value = static_cast<int8_t>(v.elements[0]);
          return kOk;
        case 2:
          *value = Load<int16_t>(v.elements);
          return kOk;
        default:
          *value = Load<int32_t>(v.elements);
          return kOk;
      }
    }
  }
  // Within the range a whole number is its own conversion; outside it
  // (NaN too) a fraction is told before the range, as floor tells it.
  if (x >= -2147483648.0 && x <= 2147483647.0) {
    const auto whole = static_cast<int32_t>(x);
    if (whole != x) return kErrNonIntArg;
    *value = whole;
    return kOk;
  }
  return x != std::floor(x) ? kErrNonIntArg : kErrOutOfRangeArg;
}

ErrCode PopIntegerArg(EngineContext* ctx, int32_t* value) {
  ErrCode e = GetIntegerArg(ctx, 0, value);
  if (e) return e;
  return Drop(ctx);
}

ErrCode GetBooleanArg(EngineContext* ctx, int32_t depth, uint8_t* value) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsPlain(*d)) {
    if (d->flags != 0 || d->size != 1) return kErrWrongType;
    *value = Load<double>(DataAt(ctx, depth)) != 0;
    return kOk;
  }
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther || v.cls == ValueClass::kDouble) return kErrWrongType;
  if (v.shape.count != 1) return kErrWrongType;
  if (v.cls == ValueClass::kSingle) {
    *value = Load<float>(v.elements) != 0 || (v.complex && Load<float>(v.elements + 4) != 0);
    return kOk;
  }
  int es = ElementBytesOfCode(v.code);
  if (es != 1 && es != 2 && es != 4 && es != 8) return kErrNotSupported;
  uint64_t bits = 0;
  std::memcpy(&bits, v.elements, es);
  *value = bits != 0;
  return kOk;
}

ErrCode PopBooleanArg(EngineContext* ctx, uint8_t* value) {
  ErrCode e = GetBooleanArg(ctx, 0, value);
  if (e) return e;
  return Drop(ctx);
}

ErrCode GetConditionTruth(EngineContext* ctx, int32_t depth, uint8_t* value) {
  // The usual conditions, a real double or a logical scalar, at a glance.
  const ValueDescriptor& d = *DescAt(ctx, depth);
  if (IsRealDoubleScalar(d)) {
    *value = Load<double>(DataAt(ctx, depth)) != 0;
    return kOk;
  }
  if (const uint8_t* element = LogicalScalarElement(d, DataAt(ctx, depth))) {
    *value = *element != 0;
    return kOk;
  }
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongBoolType;
  int64_t n = v.shape.count;
  bool truth = n > 0;
  switch (v.cls) {
    case ValueClass::kDouble: {
      const uint8_t* p = v.elements;
      for (int64_t i = 0; i < n && truth; i++) {
        bool nz = Load<double>(p + 8 * i) != 0;
        if (v.complex) nz = nz || Load<double>(p + 8 * (n + i)) != 0;
        truth = nz;
      }
      break;
    }
    case ValueClass::kSingle: {
      const uint8_t* p = v.elements;
      for (int64_t i = 0; i < n && truth; i++) {
        bool nz = Load<float>(p + 4 * i) != 0;
        if (v.complex) nz = nz || Load<float>(p + 4 * (n + i)) != 0;
        truth = nz;
      }
      break;
    }
    default:
      for (int64_t i = 0; i < n && truth; i++) truth = ReadIntegerBits(v.elements, v.code, i) != 0;
  }
  *value = truth;
  return kOk;
}

ErrCode PopConditionTruth(EngineContext* ctx, uint8_t* value) {
  ErrCode e = GetConditionTruth(ctx, 0, value);
  if (e) return e;
  return Drop(ctx);
}

}  // namespace vke
