// Arrays read from the stacks: shapes, data pointers and element-wise
// operands.
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode GetNumericArg(EngineContext* ctx, int32_t depth, int32_t* rows, int32_t* cols, double** re,
                      double** im) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsPlain(*d)) return kErrWrongType;
  int32_t m = PlainRows(*d), n = d->word;
  auto* p = reinterpret_cast<double*>(DataAt(ctx, depth));
  if (rows) *rows = m;
  if (cols) *cols = n;
  if (re) *re = p;
  if (im) *im = (d->flags & kFlagComplex) ? p + int64_t(m) * n : nullptr;
  return kOk;
}

ErrCode PopNumericArray(EngineContext* ctx, int32_t* rows, int32_t* cols, double** re,
                        double** im) {
  ErrCode e = GetNumericArg(ctx, 0, rows, cols, re, im);
  if (e) return e;
  return Drop(ctx);
}

ErrCode GetValueShape(EngineContext* ctx, int32_t depth, Shape* shape) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsStructured(*d)) {
    StructuredParts parts;
    ErrCode e = GetStructuredValueOfKind(ctx, depth, '?', &parts);
    if (e) return e;
    *shape = parts.shape;
    return kOk;
  }
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  *shape = v.shape;
  return kOk;
}

ErrCode GetDoubleArrayArg(EngineContext* ctx, int32_t depth, Shape* shape, double** re,
                          double** im) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kDouble) return kErrWrongType;
  if (shape) *shape = v.shape;
  auto* p = reinterpret_cast<double*>(v.elements);
  if (re) *re = p;
  if (im) *im = v.complex ? p + v.shape.count : nullptr;
  return kOk;
}

ErrCode GetSingleArrayArg(EngineContext* ctx, int32_t depth, Shape* shape, float** re, float** im) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kSingle) return kErrWrongType;
  if (shape) *shape = v.shape;
  auto* p = reinterpret_cast<float*>(v.elements);
  if (re) *re = p;
  if (im) *im = v.complex ? p + v.shape.count : nullptr;
  return kOk;
}

ErrCode GetTypedArrayArg(EngineContext* ctx, int32_t depth, int32_t* elementBytes, bool* isUnsigned,
                         Shape* shape, void** data) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kInteger && v.cls != ValueClass::kChar && v.cls != ValueClass::kLogical)
    return kErrWrongType;
  if (elementBytes) *elementBytes = ElementBytesOfCode(v.code);
  if (isUnsigned) *isUnsigned = (v.code & kCodeUnsigned) != 0;
  if (shape) *shape = v.shape;
  if (data) *data = v.elements;
  return kOk;
}

bool IsCharArray(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  return IsTypedKind(*d, kKindChar) && !IsStructured(*d);
}

bool IsLogicalArray(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  return IsTypedKind(*d, kKindLogical) && !IsStructured(*d);
}

ErrCode GetElementwiseOperands(EngineContext* ctx, int32_t n, Shape* shape,
                               ElementwiseOperand* ops) {
  bool haveFull = false;
  for (int32_t k = 0; k < n; k++) {
    NumericView v = ViewNumeric(ctx, n - 1 - k);
    ElementwiseOperand& op = ops[k];
    op = ElementwiseOperand{};
    switch (v.cls) {
      case ValueClass::kDouble:
        op.cls = OperandClass::kDouble;
        op.re = reinterpret_cast<double*>(v.elements);
        op.im = v.complex ? op.re + v.shape.count : nullptr;
        break;
      case ValueClass::kSingle:
        op.cls = OperandClass::kSingle;
        op.sre = reinterpret_cast<float*>(v.elements);
        op.sim = v.complex ? op.sre + v.shape.count : nullptr;
        break;
      case ValueClass::kInteger:
      case ValueClass::kChar:
      case ValueClass::kLogical:
        op.cls = OperandClass::kInteger;
        op.data = v.elements;
        op.elementBytes = ElementBytesOfCode(v.code);
        op.isUnsigned = (v.code & kCodeUnsigned) != 0;
        op.isChar = v.cls == ValueClass::kChar;
        op.isLogical = v.cls == ValueClass::kLogical;
        break;
      default:
        return kErrWrongType;
    }
    op.full = v.shape.count != 1;
    if (!op.full) continue;
    if (!haveFull) {
      *shape = v.shape;
      haveFull = true;
      continue;
    }
    if (shape->ndims != v.shape.ndims) return kErrIncompSize;
    for (int32_t i = 0; i < v.shape.ndims; i++)
      if (shape->dims[i] != v.shape.dims[i]) return kErrIncompSize;
  }
  if (!haveFull) {
    shape->ndims = 2;
    shape->dims[0] = shape->dims[1] = 1;
    shape->count = 1;
  }
  return kOk;
}

ErrCode MakeTopReal(EngineContext* ctx) {
  ValueDescriptor* d = DescAt(ctx, 0);
  if (IsPlain(*d)) {
    if (d->flags & kFlagComplex) {
      uint32_t half = d->size / 2;
      ctx->dataTop -= d->size - half;
      d->size = half;
      d->flags &= ~kFlagComplex;
    }
    return kOk;
  }
  NumericView v = ViewNumeric(ctx, 0);
  if (!v.complex) return kOk;
  uint8_t* hdr = DataAt(ctx, 0);
  int es = ElementBytesOfCode(v.code);
  uint32_t units =
      static_cast<uint32_t>(TypedArrayUnits(v.shape.ndims, uint64_t(v.shape.count) * es));
  Store<uint32_t>(hdr, v.code - 1);
  uint64_t used = uint64_t(v.shape.count) * es;
  uint8_t* el = HeaderElements(hdr);
  std::memset(el + used, 0, 8ull * (units - HeaderUnits(v.shape.ndims)) - used);
  ctx->dataTop -= d->size - units;
  d->size = units;
  return kOk;
}

bool HasRoomToMakeTopComplex(EngineContext* ctx) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  uint64_t units = d->size;  // a plain matrix doubles
  if (!IsPlain(*d)) {
    const NumericView v = ViewNumeric(ctx, 0);
    units =
        TypedArrayUnits(v.shape.ndims, 2ull * v.shape.count * ElementBytesOfCode(v.code)) - d->size;
  }
  return uint64_t{ctx->dataTop} + units <= ctx->dataCap;
}

ErrCode MakeTopComplex(EngineContext* ctx, void** imaginary) {
  ValueDescriptor* d = DescAt(ctx, 0);
  uint8_t* data = DataAt(ctx, 0);
  if (IsPlain(*d)) {
    if (d->flags & kFlagComplex) {
      if (imaginary) *imaginary = data + 4ull * d->size;
      return kOk;
    }
    if (uint64_t{ctx->dataTop} + d->size > ctx->dataCap) return kErrDataOverflow;
    std::memset(data + 8ull * d->size, 0, 8ull * d->size);
    if (imaginary) *imaginary = data + 8ull * d->size;
    ctx->dataTop += d->size;
    d->size *= 2;
    d->flags |= kFlagComplex;
    return kOk;
  }
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kDouble && v.cls != ValueClass::kSingle) return kErrWrongType;
  int es = ElementBytesOfCode(v.code);
  uint8_t* im = v.elements + uint64_t(v.shape.count) * es;
  if (v.complex) {
    if (imaginary) *imaginary = im;
    return kOk;
  }
  uint32_t units = static_cast<uint32_t>(TypedArrayUnits(v.shape.ndims, 2ull * v.shape.count * es));
  if (uint64_t{ctx->dataTop} + (units - d->size) > ctx->dataCap) return kErrDataOverflow;
  ctx->dataTop += units - d->size;
  d->size = units;
  Store<uint32_t>(data, v.code + 1);
  uint64_t used = uint64_t(v.shape.count) * es;
  std::memset(im, 0, 8ull * (units - HeaderUnits(v.shape.ndims)) - used);
  if (imaginary) *imaginary = im;
  return kOk;
}

}  // namespace vke
