// The builtins that change a value's class: logical and not, uplus, double,
// single, swapbytes, cast and typecast, and char with its one-argument form
// setstr.
#include <algorithm>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The class names cast and typecast know besides intN and uintN.
struct NamedClass {
  const char* name;
  ArrayClass cls;
};
constexpr NamedClass kNamedClasses[] = {
    {"double", {kKindArray, kCodeDouble}},    // 8-byte floating point
    {"single", {kKindArray, kCodeSingle}},    // 4-byte floating point
    {"char", {kKindChar, kCodeUInt16}},       // 16-bit unsigned characters
    {"logical", {kKindLogical, kCodeUInt8}},  // 8-bit truth values
};

// Reads a class name (case-sensitive): 108 when it names no class.
ErrCode ParseClassName(const char* text, int32_t length, ArrayClass* cls) {
  for (const NamedClass& c : kNamedClasses) {
    if (StringsEqual(text, length, c.name, -1, false)) {
      *cls = c.cls;
      return kOk;
    }
  }
  bool isUnsigned = length > 4 && text[0] == 'u';
  const char* rest = text + (isUnsigned ? 1 : 0);
  int32_t restLength = length - (isUnsigned ? 1 : 0);
  if (restLength <= 3 || std::strncmp(rest, "int", 3) != 0) return kErrUnknownOpt;
  static constexpr const char* kWidths[] = {"8", "16", "32", "64"};
  for (int i = 0; i < 4; i++) {
    if (StringsEqual(rest + 3, restLength - 3, kWidths[i], -1, false)) {
      *cls = ArrayClass{kKindArray, (1u << i) | (isUnsigned ? kCodeUnsigned : 0)};
      return kOk;
    }
  }
  return kErrUnknownOpt;
}

// typecast: the bytes of the value under the class name (real part only)
// as elements of the class.
ErrCode Reinterpret(EngineContext* ctx, ArrayClass target) {
  NumericView v = ViewNumeric(ctx, 1);
  const int64_t bytes = int64_t{v.shape.count} * ElementBytesOfCode(v.code);
  const int targetBytes = ElementBytesOfCode(target.code);
  if (bytes % targetBytes != 0) return kErrBadSize;
  const auto n = static_cast<int32_t>(bytes / targetBytes);
  Shape shape;
  shape.dims[0] = n;
  shape.dims[1] = 1;
  if (v.shape.dims[0] == 0) {
    shape.dims[0] = shape.dims[1] = 0;
  } else if (v.shape.ndims == 2 && v.shape.dims[0] == 1) {
    shape.dims[0] = 1;
    shape.dims[1] = n;
  }
  const uint32_t source = static_cast<uint32_t>(v.elements - ctx->Bytes());
  uint32_t elements;
  ErrCode e = PushArrayWithShape(ctx, target, false, shape, &elements);
  if (e) return e;
  std::memcpy(ctx->Bytes() + elements, ctx->Bytes() + source, static_cast<size_t>(bytes));
  return DropInputsUnderResult(ctx, 2);
}

}  // namespace

// logical (option 0) and not (option 1).
ErrCode LogicalNotBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  ErrCode e = ConvertToLogical(ctx, 0);
  if (e) return AllowOverload(e);
  if (option) {
    NumericView v = ViewNumeric(ctx, 0);
    for (int32_t i = 0; i < v.shape.count; i++) v.elements[i] = v.elements[i] == 0 ? 1 : 0;
  }
  return kOk;
}

// Logical arrays become uint8 and char arrays uint16; numbers stay.
ErrCode UplusBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  if (v.cls == ValueClass::kChar || v.cls == ValueClass::kLogical)
    DescAt(ctx, 0)->word = kKindArray;
  return kOk;
}

ErrCode DoubleBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return AllowOverload(ConvertToFloat(ctx, 0, false));
}

ErrCode SingleBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return AllowOverload(ConvertToFloat(ctx, 0, true));
}

// Reverses the bytes of each element in place; complex values lose their
// imaginary part first.
ErrCode SwapbytesBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  if (v.complex) {
    ErrCode e = MakeTopReal(ctx);
    if (e) return e;
    v = ViewNumeric(ctx, 0);
  }
  const int size = ElementBytesOfCode(v.code);
  for (int64_t i = 0; i < v.shape.count; i++)
    std::reverse(v.elements + i * size, v.elements + (i + 1) * size);
  return kOk;
}

// cast (option 0) converts, typecast (option 1) reinterprets the bytes.
ErrCode CastBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  ErrCode e = CheckArgumentTypes(ctx, 2, "AS");
  if (e) e = CheckArgumentTypes(ctx, 2, "BS");
  if (e) e = CheckArgumentTypes(ctx, 2, "jS");
  if (e) return e;
  // The name as 8-bit text; no class name is longer than 7 characters.
  const uint16_t* chars;
  int32_t length;
  ViewChars(ctx, 0, &chars, &length);
  char text[8] = {};
  if (length >= static_cast<int32_t>(sizeof text)) return kErrUnknownOpt;
  for (int32_t i = 0; i < length; i++) text[i] = static_cast<char>(chars[i]);
  ArrayClass target;
  e = ParseClassName(text, length, &target);
  if (e) return e;
  if (option) return Reinterpret(ctx, target);
  e = ConvertToClass(ctx, 1, target);
  return e ? e : Drop(ctx);
}

// char(a, b, ...) stacks the arguments' rows, padded with blanks; char() is
// empty; setstr(a) and char(a) relabel one argument.
ErrCode CharBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin <= 0) return PushNewCharRow(ctx, 0, nullptr);
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  for (int32_t depth = 0; depth < nargin; depth++) {
    e = ConvertToInteger(ctx, depth, 2, true, false);
    if (e) return depth == 0 ? AllowOverload(e) : e;
  }
  if (nargin == 1) {
    DescAt(ctx, 0)->word = kKindChar;
    return kOk;
  }
  int64_t rows = 0;
  int32_t cols = 0;
  for (int32_t depth = 0; depth < nargin; depth++) {
    NumericView v = ViewNumeric(ctx, depth);
    if (v.shape.ndims != 2) return kErrBadSize;
    rows += v.shape.dims[0];
    cols = std::max(cols, v.shape.dims[1]);
  }
  if (rows > INT32_MAX) return kErrObjTooLarge;
  const int32_t dims[2] = {static_cast<int32_t>(rows), cols};
  uint16_t* out;
  e = PushNewCharArray(ctx, 2, dims, &out);
  if (e) return e;
  for (int32_t depth = nargin; depth >= 1; depth--) {
    NumericView v = ViewNumeric(ctx, depth);
    const auto* in = reinterpret_cast<const uint16_t*>(v.elements);
    for (int32_t r = 0; r < v.shape.dims[0]; r++) {
      std::memcpy(out, in + int64_t{r} * v.shape.dims[1], 2ull * v.shape.dims[1]);
      std::fill(out + v.shape.dims[1], out + cols, uint16_t{' '});
      out += cols;
    }
  }
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace vke
