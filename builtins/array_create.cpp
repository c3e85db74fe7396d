// Arrays made from dimension arguments: zeros, ones, eye, rand, randn and
// cell (with the random generators' state), true and false, inf, nan,
// realmax and realmin; the constant eps; and the integer-literal pushes.
//
// An empty result keeps the dimensions and the class asked for: zeros(2, 0)
// is a 2 x 0 double and zeros(0, 3, 'int8') a 0 x 3 int8 array, so that
// products and size queries see the shape they were given.
#include <cmath>
#include <limits>

#include "builtins/array_builtins.hpp"
#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "builtins/random.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

namespace {

constexpr double kLargestSquareSide = 16383;  // a single size above this is too large
constexpr double kLargestElementCount = 2147483647;
constexpr int32_t kMaxSizeArgs = 16;

// The class names zeros, ones and eye accept as their last argument.
struct FillClassRow {
  const char* name;
  int8_t element;  // 0 double, -1 single, else the integer's bytes
  bool isUnsigned;
};
constexpr FillClassRow kFillClasses[] = {
    {"int8", 1, false},    // signed 8-bit
    {"int16", 2, false},   // signed 16-bit
    {"int32", 4, false},   // signed 32-bit
    {"uint8", 1, true},    // unsigned 8-bit
    {"uint16", 2, true},   // unsigned 16-bit
    {"uint32", 4, true},   // unsigned 32-bit
    {"int64", 8, false},   // signed 64-bit
    {"uint64", 8, true},   // unsigned 64-bit
    {"double", 0, false},  // the default
    {"single", -1, false}  // single precision
};

ArrayClass ClassOfRow(const FillClassRow& row) {
  if (row.element == 0) return ArrayClassOfCode(kCodeDouble);
  if (row.element < 0) return ArrayClassOfCode(kCodeSingle);
  return ArrayClassOfCode(static_cast<uint32_t>(row.element) +
                          (row.isUnsigned ? kCodeUnsigned : 0));
}

// A size converted to a dimension: truncated toward zero, 0 when not above
// 0 (NaN included); false when it does not fit a dimension.
bool SizeToDim(double x, int32_t* dim) {
  if (!(x >= 1)) {
    *dim = 0;
    return true;
  }
  if (x >= 2147483648.0) return false;
  *dim = static_cast<int32_t>(x);
  return true;
}

// Whether the n entries from the depth `first` down are plain doubles.
bool AllPlainDoubles(EngineContext* ctx, int32_t n, int32_t first = 0) {
  for (int32_t k = first; k < first + n; k++)
    if (!IsPlain(*DescAt(ctx, k))) return false;
  return true;
}

// Reads the n dimension arguments (plain doubles) that lie from the depth
// `first` down, the last on top, leaving them in place. One scalar n gives
// n x n, a size vector one dimension per element, several scalars one each;
// the count of a size vector is tested before its elements when countFirst
// is set, else after them (a vector with an element below 1 then gives
// 0 x 0 whatever its length).
ErrCode ReadDimensions(EngineContext* ctx, int32_t first, int32_t n, bool countFirst,
                       Shape* shape) {
  Shape s;
  s.ndims = 2;
  s.dims[0] = s.dims[1] = 1;
  if (n == 1) {
    int32_t rows, cols;
    double* re;
    ErrCode e = GetNumericArg(ctx, first, &rows, &cols, &re, nullptr);
    if (e) return e;
    const int64_t count = int64_t(rows) * cols;
    if (count == 1) {
      if (re[0] > kLargestSquareSide) return kErrObjTooLarge;
      SizeToDim(re[0], &s.dims[0]);
      s.dims[1] = s.dims[0];
    } else if (count > 1) {
      bool anyEmpty = false;
      for (int64_t i = 0; i < count; i++) anyEmpty = anyEmpty || !(re[i] >= 1);
      if (count > kMaxSizeArgs) {
        if (countFirst || !anyEmpty) return kErrObjTooLarge;
        s.dims[0] = s.dims[1] = 0;
      } else {
        s.ndims = static_cast<int32_t>(count);
        for (int64_t i = 0; i < count; i++)
          if (!SizeToDim(re[i], &s.dims[i])) return kErrObjTooLarge;
      }
    }
  } else if (n > 1) {
    if (n > kMaxSizeArgs) return kErrObjTooLarge;
    s.ndims = n;
    for (int32_t k = n - 1; k >= 0; k--) {
      const int32_t depth = first + n - 1 - k;
      const ValueDescriptor* d = DescAt(ctx, depth);
      if (!IsPlain(*d)) return kErrWrongType;
      if (d->size != 1 || d->flags != 0) return kErrNonScalarArg;
      if (!SizeToDim(Load<double>(DataAt(ctx, depth)), &s.dims[k])) return kErrObjTooLarge;
    }
  }
  double product = 1;
  for (int32_t k = 0; k < s.ndims; k++) product *= s.dims[k];
  if (product > kLargestElementCount) return kErrObjTooLarge;
  NormaliseShape(s.ndims, s.dims, shape);
  shape->count = static_cast<int32_t>(product);
  return kOk;
}

// rand('state') and rand('state', [lcg xorshift]), randn likewise: the
// generator's two words read or set.
ErrCode RandomState(EngineContext* ctx, int32_t nargin, bool normal) {
  uint32_t* state = ctx->rng + (normal ? kNormalState : kUniformState);
  if (nargin > 2) return kErrTooManyArgin;
  if (nargin == 1) {
    double* re;
    ErrCode e = PushInPlaceOfTop(ctx, 1, [&] { return PushNewMatrix(ctx, 2, 1, &re, nullptr); });
    if (e) return e;
    re[0] = state[0];
    re[1] = state[1];
    return kOk;
  }
  Shape shape;
  double* re;
  ErrCode e = GetDoubleArrayArg(ctx, 0, &shape, &re, nullptr);
  if (e) return AllowOverload(e);
  if (shape.count != 1 && shape.count != 2) return kErrBadSize;
  state[0] = static_cast<uint32_t>(TruncToInt64(re[0]));
  state[1] = shape.count == 2 ? static_cast<uint32_t>(TruncToInt64(re[1])) : normal ? 2 : 1;
  return PushInPlaceOfTop(ctx, 2, [&] { return PushEmptyMatrix(ctx); });
}

void FillArray(EngineContext* ctx, int32_t option, ArrayClass cls, const Shape& s,
               uint8_t* elements) {
  const int64_t count = s.count;
  switch (option) {
    case 'o':
      for (int64_t i = 0; i < count; i++) StoreElement(elements, cls, i, 1);
      break;
    case 'e': {
      const int32_t rows = s.dims[0], cols = s.dims[1];
      for (int64_t i = 0; i < rows && i < cols; i++) StoreElement(elements, cls, i * (cols + 1), 1);
      break;
    }
    case 'r':
      for (int64_t i = 0; i < count; i++)
        StoreElement(elements, cls, i, NextUniform(ctx->rng + kUniformState));
      break;
    case 'n':
      for (int64_t i = 0; i < count; i++)
        StoreElement(elements, cls, i, NextNormal(ctx->rng + kNormalState));
      break;
    default:
      break;
  }
}

}  // namespace

// zeros 'z', ones 'o', eye 'e', rand 'r', randn 'n', cell 'c'.
ErrCode ArrayFillBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  const bool random = option == 'r' || option == 'n';
  if (random && nargin >= 1 && IsCharArray(ctx, nargin - 1))
    return RandomState(ctx, nargin, option == 'n');
  ArrayClass cls = ArrayClassOfCode(kCodeDouble);
  const bool takesClass = option == 'z' || option == 'o' || option == 'e';
  int32_t sizes = nargin;
  if (takesClass && nargin >= 1 && IsCharArray(ctx, 0)) {
    const FillClassRow* found = nullptr;
    for (const FillClassRow& row : kFillClasses)
      if (IsTextArg(ctx, 0, row.name)) found = &row;
    if (!found) return kErrUnknownOpt;
    cls = ClassOfRow(*found);
    sizes--;
  }
  const int32_t first = nargin - sizes;
  if (!AllPlainDoubles(ctx, sizes, first)) return kErrWrongTypeOverload;
  Shape s;
  e = ReadDimensions(ctx, first, sizes, false, &s);
  if (e) return e;
  if (option == 'e' && s.ndims > 2) return kErrBadSize;
  // The array takes the arguments' place; without room they stay, for the
  // builtin to run again in a grown area.
  if (option == 'c')
    return PushInPlaceOfTop(ctx, nargin, [&] { return PushNewCellArray(ctx, s.ndims, s.dims); });
  uint32_t at;
  e = PushInPlaceOfTop(ctx, nargin, [&] { return PushArrayWithShape(ctx, cls, false, s, &at); });
  if (e) return e;
  FillArray(ctx, option, cls, s, ctx->Bytes() + at);
  return kOk;
}

// true 't', false 'f'.
ErrCode LogicalFillBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  if (!AllPlainDoubles(ctx, nargin)) return kErrWrongTypeOverload;
  Shape s;
  ErrCode e = ReadDimensions(ctx, 0, nargin, true, &s);
  if (e) return e;
  uint32_t at;
  e = PushInPlaceOfTop(ctx, nargin, [&] {
    return PushArrayWithShape(ctx, ArrayClass{kKindLogical, kCodeUInt8}, false, s, &at);
  });
  if (e) return e;
  if (option == 't') std::memset(ctx->Bytes() + at, 1, static_cast<size_t>(s.count));
  return kOk;
}

// inf and Inf 'i', nan and NaN 'n', realmax 'M', realmin 'm'; the last
// argument may name the class, "double" or "single".
ErrCode SpecialValueBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  double value;
  float singleValue;
  switch (option) {
    case 'i':
      value = std::numeric_limits<double>::infinity();
      singleValue = std::numeric_limits<float>::infinity();
      break;
    case 'n':
      value = std::numeric_limits<double>::quiet_NaN();
      singleValue = std::numeric_limits<float>::quiet_NaN();
      break;
    case 'M':
      value = std::numeric_limits<double>::max();
      singleValue = std::numeric_limits<float>::max();
      break;
    case 'm':
      value = std::numeric_limits<double>::min();
      singleValue = std::numeric_limits<float>::min();
      break;
    default:
      return kErrIllegal;
  }
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  bool single = false;
  int32_t sizes = nargin;
  if (nargin >= 1 && IsCharArray(ctx, 0)) {
    single = IsTextArg(ctx, 0, "single");
    if (!single && !IsTextArg(ctx, 0, "double")) return kErrUnknownOpt;
    sizes--;
  }
  const int32_t first = nargin - sizes;
  if (!AllPlainDoubles(ctx, sizes, first)) return kErrWrongTypeOverload;
  Shape s;
  e = ReadDimensions(ctx, first, sizes, true, &s);
  if (e) return e;
  if (!single && s.ndims == 2 && s.dims[0] == 1 && s.dims[1] == 1)
    return PushInPlaceOfTop(ctx, nargin, [&] { return PushRealScalar(ctx, value); });
  uint32_t at;
  e = PushInPlaceOfTop(ctx, nargin, [&] {
    return PushArrayWithShape(ctx, ArrayClassOfCode(single ? kCodeSingle : kCodeDouble), false, s,
                              &at);
  });
  if (e) return e;
  uint8_t* el = ctx->Bytes() + at;
  for (int64_t i = 0; i < s.count; i++) {
    if (single)
      Store<float>(el + 4 * i, singleValue);
    else
      Store<double>(el + 8 * i, value);
  }
  return kOk;
}

// The spacing of floating-point numbers: eps, eps('double'), eps('single'),
// or eps(x) element by element in place (double and single arrays, real
// parts only).
ErrCode EpsBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  constexpr double kDoubleEps = 0x1p-52;
  if (nargin == 0) return PushRealScalar(ctx, kDoubleEps);
  if (IsCharArray(ctx, 0)) {
    const bool single = IsTextArg(ctx, 0, "single");
    if (!single && !IsTextArg(ctx, 0, "double")) return kErrUnknownOpt;
    if (!single) return PushInPlaceOfTop(ctx, 1, [&] { return PushRealScalar(ctx, kDoubleEps); });
    float* re;
    const int32_t dims[2] = {1, 1};
    ErrCode e =
        PushInPlaceOfTop(ctx, 1, [&] { return PushNewSingleArray(ctx, 2, dims, &re, nullptr); });
    if (e) return e;
    re[0] = 0x1p-23f;
    return kOk;
  }
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kDouble) {
    // The spacing: keep sign, exponent and 4 fraction bits, set the lowest
    // bit, and subtract (negative for negative x, NaN for Inf and NaN).
    for (int64_t i = 0; i < v.shape.count; i++) {
      uint8_t* p = v.elements + 8 * i;
      const uint64_t z = Load<uint64_t>(p) & 0xFFFF000000000000ull;
      Store<double>(p, std::bit_cast<double>(z | 1) - std::bit_cast<double>(z));
    }
    return kOk;
  }
  if (v.cls == ValueClass::kSingle) {
    for (int64_t i = 0; i < v.shape.count; i++) {
      uint8_t* p = v.elements + 4 * i;
      const uint32_t z = Load<uint32_t>(p) & 0xFFFF0000u;
      Store<float>(p, std::bit_cast<float>(z | 1) - std::bit_cast<float>(z));
    }
    return kOk;
  }
  return kErrWrongType;
}

ErrCode PushIntegerScalar(EngineContext* ctx, int32_t width, bool isUnsigned, int32_t value) {
  const int32_t dims[2] = {1, 1};
  void* data;
  ErrCode e = PushNewTypedArray(ctx, 2, dims, width, isUnsigned, &data);
  if (e) return e;
  const uint64_t bits = static_cast<uint64_t>(static_cast<int64_t>(value));
  std::memcpy(data, &bits, static_cast<size_t>(width));
  return kOk;
}

}  // namespace vke
