// Push primitives: every new value enters the stacks through these.
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"

namespace vke {

uint8_t* WriteTypedHeader(uint8_t* data, uint32_t code, int32_t ndims, const int32_t* dims) {
  uint32_t units = HeaderUnits(static_cast<uint32_t>(ndims));
  std::memset(data, 0, 8ull * units);
  Store<uint32_t>(data, code);
  Store<uint32_t>(data + 4, static_cast<uint32_t>(ndims));
  for (int32_t i = 0; i < ndims; i++)
    Store<uint32_t>(data + 8 + 4 * i, static_cast<uint32_t>(dims[i]));
  return data + 8ull * units;
}

bool NormaliseShape(int32_t ndims, const int32_t* dims, Shape* out) {
  if (ndims < 0) ndims = 0;
  while (ndims > 2 && dims[ndims - 1] == 1) ndims--;
  if (ndims > kMaxDims) return false;
  if (ndims == 0) {
    out->ndims = 2;
    out->dims[0] = out->dims[1] = 1;
  } else if (ndims == 1) {
    out->ndims = 2;
    out->dims[0] = dims[0] < 0 ? 0 : dims[0];
    out->dims[1] = 1;
  } else {
    out->ndims = ndims;
    for (int32_t i = 0; i < ndims; i++) out->dims[i] = dims[i] < 0 ? 0 : dims[i];
  }
  return true;
}

bool ShapeCount(const Shape& s, int64_t* count) {
  int64_t c = 1;
  for (int32_t i = 0; i < s.ndims; i++) {
    c *= s.dims[i];
    if (c > INT32_MAX) return false;
  }
  *count = c;
  return true;
}

void ReadHeaderShape(const uint8_t* data, Shape* s) {
  uint32_t n = HeaderNdims(data);
  if (n > static_cast<uint32_t>(kMaxDims)) n = kMaxDims;
  s->ndims = static_cast<int32_t>(n);
  int64_t c = 1;
  for (uint32_t i = 0; i < n; i++) {
    s->dims[i] = static_cast<int32_t>(HeaderDim(data, static_cast<int>(i)));
    c *= s->dims[i];
  }
  s->count = static_cast<int32_t>(c);
}

ErrCode PushEmptyMatrix(EngineContext* ctx) {
  return PushEntry(ctx, 0, 0, 0, false, nullptr);
}

ErrCode PushNoValue(EngineContext* ctx) {
  return PushEntry(ctx, kFlagNoValue, 0, 0, false, nullptr);
}

ErrCode PushMarker(EngineContext* ctx, int32_t payload) {
  return PushEntry(ctx, kFlagMarker, 0, payload, false, nullptr);
}

bool GetMarkerAt(EngineContext* ctx, int32_t depth, int32_t* payload) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!(d->flags & kFlagMarker)) return false;
  if (payload) *payload = d->word;
  return true;
}

ErrCode PushInf(EngineContext* ctx) {
  return PushRealScalar(ctx, __builtin_inf());
}
ErrCode PushNaN(EngineContext* ctx) {
  return PushRealScalar(ctx, __builtin_nan(""));
}

// The 1 x 1 logical array written directly: header, then the element in a
// unit whose padding is zero, as PushLogicalArray writes it.
void PlaceLogicalScalar(EngineContext* ctx, uint8_t value) {
  constexpr int32_t kOneByOne[2] = {1, 1};
  uint8_t* data;
  PlaceEntry(ctx, kFlagTyped, static_cast<uint32_t>(TypedArrayUnits(2, 1)), kKindLogical, &data);
  uint8_t* element = WriteTypedHeader(data, kCodeUInt8, 2, kOneByOne);
  std::memset(element, 0, 8);
  element[0] = value;
}

ErrCode PushLogicalScalar(EngineContext* ctx, uint8_t value) {
  if (ErrCode e = CheckRoomToPush(ctx, static_cast<uint32_t>(TypedArrayUnits(2, 1)), false))
    return e;
  PlaceLogicalScalar(ctx, value);
  return kOk;
}

ErrCode PushComplexScalar(EngineContext* ctx, double re, double im) {
  if (im == 0) return PushRealScalar(ctx, re);
  uint8_t* data;
  ErrCode e = PushEntry(ctx, kFlagComplex, 2, 1, false, &data);
  if (e) return e;
  Store<double>(data, re);
  Store<double>(data + 8, im);
  return kOk;
}

ErrCode PushZeroMatrix(EngineContext* ctx, int32_t m, int32_t n, bool complex) {
  if (m <= 0 || n <= 0) {
    ErrCode e = PushEmptyMatrix(ctx);
    return e ? kErrDataOverflow : kOk;
  }
  uint64_t size = uint64_t(m) * uint64_t(n) * (complex ? 2 : 1);
  if (size > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* data;
  ErrCode e =
      PushEntry(ctx, complex ? kFlagComplex : 0, static_cast<uint32_t>(size), n, false, &data);
  if (e) return kErrDataOverflow;
  std::memset(data, 0, 8 * size);
  return kOk;
}

ErrCode PushNewMatrix(EngineContext* ctx, int32_t m, int32_t n, double** re, double** im) {
  bool complex = im != nullptr;
  uint8_t* data;
  if (m <= 0 || n <= 0) {
    ErrCode e = PushEntry(ctx, 0, 0, 0, true, &data);
    if (e) return e;
    if (re) *re = reinterpret_cast<double*>(data);
    if (im) *im = reinterpret_cast<double*>(data);
    return kOk;
  }
  uint64_t count = uint64_t(m) * uint64_t(n);
  uint64_t size = count * (complex ? 2 : 1);
  if (size > 2147483647u) return kErrObjTooLarge;
  ErrCode e =
      PushEntry(ctx, complex ? kFlagComplex : 0, static_cast<uint32_t>(size), n, true, &data);
  if (e) return e;
  if (re) *re = reinterpret_cast<double*>(data);
  if (im) *im = reinterpret_cast<double*>(data) + count;
  return kOk;
}

namespace {

// The shared part of the double and single arrays: a typed array of the
// shape with count elements of elementBytes (twice as many with an imaginary
// part), its header written; *el is its first element, *units its size.
ErrCode PushFloatingArray(EngineContext* ctx, const Shape& s, int64_t count, int32_t elementBytes,
                          bool complex, uint32_t realCode, uint32_t complexCode, uint8_t** el,
                          uint64_t* units) {
  *units = TypedArrayUnits(s.ndims, uint64_t(count) * elementBytes * (complex ? 2 : 1));
  if (*units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* data;
  ErrCode e = PushEntry(ctx, kFlagTyped, static_cast<uint32_t>(*units), kKindArray, false, &data);
  if (e) return e;
  *el = WriteTypedHeader(data, complex ? complexCode : realCode, s.ndims, s.dims);
  return kOk;
}

// The shape of a new array and its element count; false when too large.
bool NewArrayShape(int32_t ndims, const int32_t* dims, Shape* s, int64_t* count) {
  return NormaliseShape(ndims, dims, s) && ShapeCount(*s, count) && *count <= 0x3FFFFFFF;
}

}  // namespace

ErrCode PushNewArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, double** re,
                     double** im) {
  Shape s;
  int64_t count;
  if (!NewArrayShape(ndims, dims, &s, &count)) return kErrObjTooLarge;
  if (count == 0) return PushNewMatrix(ctx, 0, 0, re, im);
  if (s.ndims == 2) return PushNewMatrix(ctx, s.dims[0], s.dims[1], re, im);
  uint8_t* el;
  uint64_t units;
  if (ErrCode e = PushFloatingArray(ctx, s, count, 8, im != nullptr, kCodeDouble,
                                    kCodeDoubleComplex, &el, &units))
    return e;
  if (re) *re = reinterpret_cast<double*>(el);
  if (im) *im = reinterpret_cast<double*>(el) + count;
  return kOk;
}

ErrCode PushNewSingleArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, float** re,
                           float** im) {
  Shape s;
  int64_t count;
  if (!NewArrayShape(ndims, dims, &s, &count)) return kErrObjTooLarge;
  if (count == 0) MakeEmptyShape(&s);
  uint8_t* el;
  uint64_t units;
  if (ErrCode e = PushFloatingArray(ctx, s, count, 4, im != nullptr && count > 0, kCodeSingle,
                                    kCodeSingleComplex, &el, &units))
    return e;
  // Zero the padding of the last unit.
  std::memset(el, 0, 8 * (units - HeaderUnits(s.ndims)));
  if (re) *re = reinterpret_cast<float*>(el);
  if (im) *im = reinterpret_cast<float*>(el) + count;
  return kOk;
}

namespace {

// A new typed array of integer elements. Zeroed, or, for a caller that
// writes every element, only the padding of its last unit.
ErrCode PushTypedElements(EngineContext* ctx, int32_t ndims, const int32_t* dims,
                          int32_t elementBytes, bool isUnsigned, bool zeroed, void** out) {
  if (elementBytes != 1 && elementBytes != 2 && elementBytes != 4 && elementBytes != 8)
    return kErrWrongType;
  Shape s;
  if (!NormaliseShape(ndims, dims, &s)) return kErrObjTooLarge;
  int64_t count;
  if (!ShapeCount(s, &count)) return kErrObjTooLarge;
  if (count == 0) MakeEmptyShape(&s);
  if (count > kMaxTypedElements) return kErrObjTooLarge;
  uint64_t units = TypedArrayUnits(s.ndims, uint64_t(count) * elementBytes);
  uint8_t* data;
  ErrCode e = PushEntry(ctx, kFlagTyped, static_cast<uint32_t>(units), kKindArray, false, &data);
  if (e) return e;
  uint32_t code = static_cast<uint32_t>(elementBytes) + (isUnsigned ? kCodeUnsigned : 0);
  uint8_t* el = WriteTypedHeader(data, code, s.ndims, s.dims);
  const uint64_t elementUnits = units - HeaderUnits(s.ndims);
  if (zeroed)
    std::memset(el, 0, 8 * elementUnits);
  else if (elementUnits > 0)
    std::memset(el + 8 * (elementUnits - 1), 0, 8);
  if (out) *out = el;
  return kOk;
}

}  // namespace

ErrCode PushNewTypedArray(EngineContext* ctx, int32_t ndims, const int32_t* dims,
                          int32_t elementBytes, bool isUnsigned, void** out) {
  return PushTypedElements(ctx, ndims, dims, elementBytes, isUnsigned, true, out);
}

ErrCode PushNewCharArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, uint16_t** out) {
  void* p;
  ErrCode e = PushNewTypedArray(ctx, ndims, dims, 2, true, &p);
  if (e) return e;
  DescAt(ctx, 0)->word = kKindChar;
  if (out) *out = static_cast<uint16_t*>(p);
  return kOk;
}

ErrCode PushNewCharRow(EngineContext* ctx, int32_t n, uint16_t** out) {
  const int32_t dims[2] = {n <= 0 ? 0 : 1, n <= 0 ? 0 : n};
  return PushNewCharArray(ctx, 2, dims, out);
}

ErrCode PushCharRowToWrite(EngineContext* ctx, int32_t n, uint16_t** out) {
  const int32_t dims[2] = {n <= 0 ? 0 : 1, n <= 0 ? 0 : n};
  void* p;
  ErrCode e = PushTypedElements(ctx, 2, dims, 2, true, false, &p);
  if (e) return e;
  DescAt(ctx, 0)->word = kKindChar;
  if (out) *out = static_cast<uint16_t*>(p);
  return kOk;
}

ErrCode PushLogicalArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, uint8_t** out) {
  void* p;
  ErrCode e = PushNewTypedArray(ctx, ndims, dims, 1, true, &p);
  if (e) return e;
  DescAt(ctx, 0)->word = kKindLogical;
  if (out) *out = static_cast<uint8_t*>(p);
  return kOk;
}

ErrCode PushTypedEntry(EngineContext* ctx, int32_t kind, uint32_t bytes, void** out) {
  uint32_t units = static_cast<uint32_t>((uint64_t{bytes} + 7) / 8);
  uint8_t* data;
  ErrCode e = PushEntry(ctx, kFlagTyped, units, kind, false, &data);
  if (e) return e;
  if (units) std::memset(data + 8ull * (units - 1), 0, 8);  // padding bytes
  if (out) *out = data;
  return kOk;
}

ErrCode PushTypedEntryDefault(EngineContext* ctx, uint32_t bytes, void** out) {
  return PushTypedEntry(ctx, ctx->currentNativeId, bytes, out);
}

}  // namespace vke
