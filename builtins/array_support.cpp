#include "builtins/array_support.hpp"

#include "engine/values/value_build.hpp"

namespace vke {

ErrCode GetDimensionArg(EngineContext* ctx, int32_t depth, int32_t* dim) {
  int32_t d;
  ErrCode e = GetIntegerArg(ctx, depth, &d);
  if (e) return e;
  if (d < 1) return kErrBadDim;
  *dim = d - 1;
  return kOk;
}

ErrCode PopDimensionArg(EngineContext* ctx, int32_t* dim) {
  ErrCode e = GetDimensionArg(ctx, 0, dim);
  return e ? e : Drop(ctx);
}

bool IsTextArg(EngineContext* ctx, int32_t depth, const char* text) {
  if (!IsCharArray(ctx, depth)) return false;
  NumericView v = ViewNumeric(ctx, depth);
  const int64_t n = static_cast<int64_t>(std::strlen(text));
  if (v.shape.count != n) return false;
  for (int64_t i = 0; i < n; i++)
    if (Load<uint16_t>(v.elements + 2 * i) != static_cast<uint8_t>(text[i])) return false;
  return true;
}

Shape ShapeWithDim(const Shape& s, int32_t d, int32_t size) {
  Shape out = s;
  if (d < 0 || d >= s.ndims) return out;
  out.dims[d] = size;
  NormaliseShape(out.ndims, out.dims, &out);
  int64_t count = 0;
  out.count = ShapeCount(out, &count) ? static_cast<int32_t>(count) : 0;
  return out;
}

double OperandElement(const ElementwiseOperand& op, int64_t i, bool imag) {
  const int64_t k = op.full ? i : 0;
  switch (op.cls) {
    case OperandClass::kDouble:
      return imag ? (op.im ? op.im[k] : 0.0) : op.re[k];
    case OperandClass::kSingle:
      return imag ? (op.sim ? op.sim[k] : 0.0f) : op.sre[k];
    default: {
      if (imag) return 0;
      uint32_t code = static_cast<uint32_t>(op.elementBytes) + (op.isUnsigned ? kCodeUnsigned : 0);
      return ReadIntegerElement(static_cast<const uint8_t*>(op.data), code, k);
    }
  }
}

void StoreElement(uint8_t* elements, ArrayClass cls, int64_t i, double value) {
  if (cls.code == kCodeDouble) {
    Store<double>(elements + 8 * i, value);
  } else if (cls.code == kCodeSingle) {
    Store<float>(elements + 4 * i, static_cast<float>(value));
  } else {
    const int es = ElementBytesOfCode(cls.code);
    const uint64_t bits = static_cast<uint64_t>(TruncToInt64(value));
    std::memcpy(elements + es * i, &bits, es);
  }
}

void StorageWalker::Advance() {
  for (int32_t i = 0; i < shape_.ndims; i++) {
    const int32_t k = i == 0 ? 1 : i == 1 ? 0 : i;
    if (++subs_[k] < shape_.dims[k]) return;
    subs_[k] = 0;
  }
}

ErrCode DropFirstListElement(EngineContext* ctx) {
  ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsStructured(*d) || d->word != kKindCell) return kOk;
  uint8_t* data = DataAt(ctx, 0);
  const uint32_t units = d->size ? ItemBytes(data) / 8 : 0;
  std::memmove(data, data + 8ull * units, 8ull * (d->size - units));
  d->size -= units;
  d->word = kKindList;
  ctx->dataTop -= units;
  return kOk;
}

ErrCode MakeTopStructArray(EngineContext* ctx) {
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (!IsStructured(d) || d.word != kKindStruct) return kOk;
  int32_t fields;
  GetStructuredValue(ctx, 0, &fields, nullptr);
  const int32_t words[3] = {1, 1, fields};
  const uint32_t dimsUnits = DimsItemUnits(3);
  uint8_t* out;
  ErrCode e = PushEntry(ctx, kFlagStructured, dimsUnits + d.size, kKindStructArray, false, &out);
  if (e) return e;
  WriteDimsItem(out, words, 3);
  std::memcpy(out + 8ull * dimsUnits, DataAt(ctx, 1), 8ull * d.size);
  return DropStackEntries(ctx, 1, 1);
}

namespace {

ErrCode RearrangeNumeric(EngineContext* ctx, const Shape& result, SourceFn source,
                         const void* arg) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  uint32_t at;
  int32_t count;
  ErrCode e = PushArrayOfClass(ctx, ClassOfView(v), v.complex, result, &at, &count);
  if (e) return e;
  v = ViewNumeric(ctx, 1);
  const int64_t es = ElementBytesOfCode(v.code);
  const int64_t n = v.shape.count;
  uint8_t* dst = ctx->Bytes() + at;
  StorageWalker walker(result);
  for (int64_t k = 0; k < count; k++, walker.Advance()) {
    const int64_t p = source(arg, walker.Subscripts());
    if (p < 0 || p >= n) {
      Drop(ctx);
      return kErrIllegal;
    }
    std::memcpy(dst + k * es, v.elements + p * es, es);
    if (v.complex) std::memcpy(dst + (count + k) * es, v.elements + (n + p) * es, es);
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace

ErrCode RearrangeTopElements(EngineContext* ctx, const Shape& result, SourceFn source,
                             const void* arg) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsStructured(*d)) return RearrangeNumeric(ctx, result, source, arg);
  const int32_t kind = d->word;
  if (IsObjectKind(kind)) return kErrWrongTypeOverload;
  ErrCode e = MakeTopStructArray(ctx);
  if (e) return e;
  StructuredParts parts;
  e = GetStructuredValueOfKind(ctx, 0, '?', &parts);
  if (e) return e;
  const uint32_t level = ctx->descTop;
  e = IndexStructuredElements(ctx, 0, parts.elements, false);
  if (!e) e = RearrangeNumeric(ctx, result, source, arg);
  if (!e) {
    const int32_t fields = parts.kind == kKindStructArray ? parts.fields : -1;
    e = BuildStructuredFromIndex(ctx, 1, result.ndims, result.dims, fields, false);
  }
  if (e) {
    DropAboveLevel(ctx, level);
    return e;
  }
  e = DropStackEntries(ctx, 1, 2);
  if (e) return e;
  const bool row = result.ndims == 2 && result.dims[0] == 1;
  return kind == kKindList && row ? DropFirstListElement(ctx) : kOk;
}

ErrCode SetTopShape(EngineContext* ctx, const Shape& shape) {
  if (!IsStructured(*DescAt(ctx, 0))) return ReshapeTopValue(ctx, shape.ndims, shape.dims);
  Shape s;
  ErrCode e = GetValueShape(ctx, 0, &s);
  if (e) return e;
  int64_t count;
  if (!ShapeCount(shape, &count) || count != s.count) return kErrBadSize;
  return RearrangeTop(ctx, shape, [&](const int32_t* subs) {
    return SubscriptsToIndex(shape.ndims, shape.dims, shape.ndims, subs);
  });
}

ErrCode PermuteTop(EngineContext* ctx, int32_t n, const int32_t* order) {
  Shape s;
  ErrCode e = GetValueShape(ctx, 0, &s);
  if (e) return AllowOverload(e);
  Shape result;
  result.ndims = n;
  for (int32_t k = 0; k < n; k++) result.dims[k] = ShapeDim(s, order[k]);
  return RearrangeTop(ctx, result, [&](const int32_t* subs) {
    int32_t src[kMaxDims] = {};
    for (int32_t k = 0; k < n; k++) src[order[k]] = subs[k];
    return SubscriptsToIndex(s.ndims, s.dims, n, src);
  });
}

}  // namespace vke
