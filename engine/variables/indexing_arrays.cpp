// New arrays of a given class for the indexing kernels, and the copying of
// selected elements into them.
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

bool SameDims(const Shape& a, const Shape& b) {
  int32_t n = a.ndims > b.ndims ? a.ndims : b.ndims;
  for (int32_t k = 0; k < n; k++)
    if (ShapeDim(a, k) != ShapeDim(b, k)) return false;
  return true;
}

ArrayClass ClassOfView(const NumericView& v) {
  ArrayClass cls;
  cls.kind = v.cls == ValueClass::kChar      ? kKindChar
             : v.cls == ValueClass::kLogical ? kKindLogical
                                             : kKindArray;
  cls.code = v.cls == ValueClass::kDouble   ? kCodeDouble
             : v.cls == ValueClass::kSingle ? kCodeSingle
                                            : v.code;
  return cls;
}

bool HasRepresentation(const NumericView& v, ArrayClass cls) {
  // A logical holds only 0 and 1, which other bytes need not.
  if (cls.kind == kKindLogical) return v.cls == ValueClass::kLogical;
  if (cls.code == kCodeDouble) return v.cls == ValueClass::kDouble;
  if (cls.code == kCodeSingle) return v.cls == ValueClass::kSingle;
  bool integerLike =
      v.cls == ValueClass::kInteger || v.cls == ValueClass::kChar || v.cls == ValueClass::kLogical;
  return integerLike && v.code == cls.code;
}

namespace {

// The classes PushArrayOfClass makes.
bool IsArrayClass(ArrayClass cls) {
  return cls.code == kCodeDouble || cls.code == kCodeSingle ||
         (cls.kind == kKindChar && cls.code == kCodeUInt16) ||
         (cls.kind == kKindLogical && cls.code == kCodeUInt8) ||
         (cls.kind == kKindArray && IsIntegerCode(cls.code));
}

// An array without elements that keeps its dimensions: a plain 0 x n
// double, else a typed header alone.
ErrCode PushEmptyOfShape(EngineContext* ctx, ArrayClass cls, const Shape& s, uint32_t* elements) {
  uint8_t* data;
  ErrCode e;
  if (cls.code == kCodeDouble && cls.kind == kKindArray && s.ndims == 2 && s.dims[0] == 0) {
    e = PushEntry(ctx, 0, 0, s.dims[1], false, &data);
  } else {
    e = PushEntry(ctx, kFlagTyped, HeaderUnits(static_cast<uint32_t>(s.ndims)), cls.kind, false,
                  &data);
    if (!e) data = WriteTypedHeader(data, cls.code, s.ndims, s.dims);
  }
  if (e) return e;
  *elements = static_cast<uint32_t>(data - ctx->Bytes());
  return kOk;
}

}  // namespace

ErrCode PushArrayOfClass(EngineContext* ctx, ArrayClass cls, bool complex, const Shape& shape,
                         uint32_t* elements, int32_t* count, bool zeroed) {
  Shape s;
  int64_t n;
  if (NormaliseShape(shape.ndims, shape.dims, &s) && ShapeCount(s, &n) && n == 0 &&
      !(s.ndims == 2 && s.dims[0] == 0 && s.dims[1] == 0)) {
    if (!IsArrayClass(cls)) return kErrWrongType;
    *count = 0;
    return PushEmptyOfShape(ctx, cls, s, elements);
  }
  ErrCode e;
  if (cls.code == kCodeDouble) {
    double *re, *im;
    e = PushNewArray(ctx, shape.ndims, shape.dims, &re, complex ? &im : nullptr);
  } else if (cls.code == kCodeSingle) {
    float *re, *im;
    e = PushNewSingleArray(ctx, shape.ndims, shape.dims, &re, complex ? &im : nullptr);
  } else if (cls.kind == kKindChar && cls.code == kCodeUInt16) {
    e = PushNewCharArray(ctx, shape.ndims, shape.dims, nullptr);
  } else if (cls.kind == kKindLogical && cls.code == kCodeUInt8) {
    e = PushLogicalArray(ctx, shape.ndims, shape.dims, nullptr);
  } else if (IsArrayClass(cls)) {
    e = PushNewTypedArray(ctx, shape.ndims, shape.dims, ElementBytesOfCode(cls.code),
                          (cls.code & kCodeUnsigned) != 0, nullptr);
  } else {
    return kErrWrongType;
  }
  if (e) return e;
  NumericView v = ViewNumeric(ctx, 0);
  if (zeroed)
    std::memset(v.elements, 0,
                uint64_t(v.shape.count) * ElementBytesOfCode(v.code) * (v.complex ? 2 : 1));
  *elements = static_cast<uint32_t>(v.elements - ctx->Bytes());
  *count = v.shape.count;
  return kOk;
}

ErrCode PushOperandCopy(EngineContext* ctx, const ArrayOperand& x) {
  uint8_t* data;
  ErrCode e = PushEntry(ctx, x.desc.flags, x.desc.size, x.desc.word, false, &data);
  if (e) return e;
  std::memcpy(data, OperandData(ctx, x), 8ull * x.desc.size);
  return kOk;
}

ErrCode PushSelection(EngineContext* ctx, const ArrayOperand& x, const IndexAnalysis& a,
                      const Shape& shape) {
  NumericView xv = ViewNumericData(x.desc, OperandData(ctx, x));
  if (xv.cls == ValueClass::kOther) return kErrWrongType;
  uint32_t at;
  int32_t count;
  // Every element is written below.
  ErrCode e = PushArrayOfClass(ctx, ClassOfView(xv), xv.complex, shape, &at, &count, false);
  if (e) return e;
  if (count == 0) return kOk;
  if (count != a.count) {
    Drop(ctx);
    return kErrIllegal;
  }
  xv = ViewNumericData(x.desc, OperandData(ctx, x));
  const uint64_t es = ElementBytesOfCode(xv.code);
  uint8_t* dst = ctx->Bytes() + at;
  const uint8_t* src = xv.elements;
  const uint64_t dstIm = uint64_t(count) * es, srcIm = uint64_t(xv.shape.count) * es;
  auto copy = [&](int64_t k, int64_t position) {
    const uint64_t p = static_cast<uint64_t>(position) * es;
    CopyElement(dst + k * es, src + p, es);
    if (xv.complex) CopyElement(dst + dstIm + k * es, src + srcIm + p, es);
  };
  if (a.n == 1) {
    // Linear indexing reads its positions straight from the index table.
    for (int32_t k = 0; k < count; k++) copy(k, a.tables[0].At(ctx, k));
    return kOk;
  }
  SelectionCursor cursor(ctx, a);
  for (int32_t k = 0; k < count; k++, cursor.Advance()) copy(k, cursor.Position());
  return kOk;
}

void WholeArrayAnalysis(const Shape& shape, const Shape& target, IndexAnalysis* a) {
  *a = IndexAnalysis{};
  a->n = shape.ndims > target.ndims ? shape.ndims : target.ndims;
  a->target = target;
  a->result = shape;
  a->count = shape.count;
  for (int32_t k = 0; k < a->n; k++) {
    a->tables[k].count = k < shape.ndims ? shape.dims[k] : 1;
    a->extent[k] = a->tables[k].count;
  }
}

}  // namespace vke
