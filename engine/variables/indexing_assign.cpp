// Indexed assignment x(...) = y: conversion to the result's class, growth,
// the size rule for the right-hand side, and the writing of the elements, in
// place when nothing about x but its elements changes.
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

bool IsFloatClass(ArrayClass cls) {
  return cls.code == kCodeDouble || cls.code == kCodeSingle;
}

// Converts the entry at the depth to the class's element representation,
// and to the class itself: a text stays a text, so that an assignment run
// again after growth finds its right-hand side of the class it had (a text
// made a uint16 array turned the assigned text into one).
ErrCode ConvertToClass(EngineContext* ctx, int32_t depth, ArrayClass cls) {
  if (IsFloatClass(cls)) return ConvertToFloat(ctx, depth, cls.code == kCodeSingle);
  if (cls.kind == kKindLogical) return ConvertToLogical(ctx, depth);
  if (!IsIntegerCode(cls.code)) return kErrWrongType;
  const ErrCode e = ConvertToInteger(ctx, depth, ElementBytesOfCode(cls.code),
                                     (cls.code & kCodeUnsigned) != 0, false);
  if (!e && cls.kind == kKindChar) DescAt(ctx, depth)->word = kKindChar;
  return e;
}

// Whether y fits the selection: one element; with one subscript as many
// elements as selected; with several the same dimensions other than 1, in
// order. Gives, per subscript, the stride of the y dimension it pairs with
// (0 for subscripts selecting one element).
bool PairWithSelection(const IndexAnalysis& a, const Shape& y, int64_t* yStride) {
  for (int32_t j = 0; j < a.n; j++) yStride[j] = 0;
  if (y.count == 1) return true;
  if (a.n == 1 || (y.count == 0 && a.count == 0)) return y.count == a.count;
  int32_t k = 0;  // next y dimension
  for (int32_t j = 0; j < a.n; j++) {
    if (a.tables[j].count == 1) continue;
    while (k < y.ndims && y.dims[k] == 1) k++;
    if (k == y.ndims || y.dims[k] != a.tables[j].count) return false;
    yStride[j] = DimensionStride(y.ndims, y.dims, k++);
  }
  while (k < y.ndims && y.dims[k] == 1) k++;
  return k == y.ndims;
}

// Builds the grown or reclassed array on top: x's elements, in the class, at
// their places in the target shape, zeros elsewhere.
ErrCode PushRebuilt(EngineContext* ctx, const ArrayOperand& x, ArrayClass cls, bool complex,
                    const Shape& target) {
  ArrayOperand src = x;
  NumericView sv = ViewNumericData(x.desc, OperandData(ctx, x));
  bool converted = !HasRepresentation(sv, cls);
  if (converted) {
    ErrCode e = PushOperandCopy(ctx, x);
    if (e) return e;
    e = ConvertToClass(ctx, 0, cls);
    if (e) {
      Drop(ctx);
      return e;
    }
    src = OperandOfEntry(ctx, 0);
  }
  uint32_t at;
  int32_t count;
  ErrCode e = PushArrayOfClass(ctx, cls, complex, target, &at, &count);
  if (e) {
    if (converted) Drop(ctx);
    return e;
  }
  sv = ViewNumericData(src.desc, OperandData(ctx, src));
  uint64_t es = ElementBytesOfCode(sv.code);
  uint8_t* dst = ctx->Bytes() + at;
  IndexAnalysis whole;
  WholeArrayAnalysis(sv.shape, target, &whole);
  SelectionCursor cursor(ctx, whole);
  uint64_t dstIm = uint64_t(count) * es, srcIm = uint64_t(sv.shape.count) * es;
  for (int32_t k = 0; k < sv.shape.count; k++, cursor.Advance()) {
    uint64_t p = static_cast<uint64_t>(cursor.Position()) * es;
    CopyElement(dst + p, sv.elements + k * es, es);
    if (complex && sv.complex) CopyElement(dst + dstIm + p, sv.elements + srcIm + k * es, es);
  }
  return converted ? DropStackEntries(ctx, 1, 1) : kOk;
}

}  // namespace

ErrCode IndexAssign(EngineContext* ctx, const ArrayOperand& x, const SubscriptList& subs,
                    ArrayClass cls, bool convert, bool* inPlace) {
  *inPlace = false;
  if (subs.top < 1) return kErrIllegal;
  NumericView xv = ViewNumericData(x.desc, OperandData(ctx, x));
  if (xv.cls == ValueClass::kOther) return kErrWrongType;
  if (convert) {
    ErrCode e = ConvertToClass(ctx, 0, cls);
    if (e) return e;
  }
  NumericView yv = ViewNumeric(ctx, 0);
  if (!HasRepresentation(yv, cls)) return kErrWrongType;
  DataScratch scratch(ctx);
  IndexAnalysis a;
  ErrCode e = AnalyzeIndices(ctx, xv.shape, subs, IndexMode::kGrow, &yv.shape, &scratch, &a);
  if (e) return e;
  int64_t yStride[kMaxDims];
  if (!PairWithSelection(a, yv.shape, yStride)) return kErrIncompAsgnSize;
  bool complex = IsFloatClass(cls) && (xv.complex || yv.complex);
  ArrayClass xcls = ClassOfView(xv);
  *inPlace = xcls.kind == cls.kind && xcls.code == cls.code && xv.complex == complex &&
             SameDims(a.target, xv.shape);
  NumericView dv = xv;
  if (!*inPlace) {
    e = PushRebuilt(ctx, x, cls, complex, a.target);
    if (e) return e;
    dv = ViewNumeric(ctx, 0);
  }
  yv = ViewNumeric(ctx, *inPlace ? 0 : 1);
  uint64_t es = ElementBytesOfCode(dv.code);
  uint64_t dstIm = uint64_t(dv.shape.count) * es, srcIm = uint64_t(yv.shape.count) * es;
  SelectionCursor cursor(ctx, a);
  for (int64_t k = 0; k < a.count; k++, cursor.Advance()) {
    int64_t q = 0;  // the paired element of y
    if (yv.shape.count != 1) {
      if (a.n == 1) {
        q = k;
      } else {
        for (int32_t j = 0; j < a.n; j++) q += cursor.Sub(j) * yStride[j];
      }
    }
    uint64_t p = static_cast<uint64_t>(cursor.Position()) * es;
    CopyElement(dv.elements + p, yv.elements + q * es, es);
    if (complex) {
      if (yv.complex)
        CopyElement(dv.elements + dstIm + p, yv.elements + srcIm + q * es, es);
      else
        std::memset(dv.elements + dstIm + p, 0, es);
    }
  }
  return kOk;
}

}  // namespace vke
