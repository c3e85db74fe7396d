// Lists and cell arrays of numbers: num2cell and num2list cut an array into
// pieces, list2num joins a list's items side by side; the tests islist and
// iscell; replist repeats a list's items.
#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/structured.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

namespace {

// Reads num2cell's dimension numbers into a mask of the dimensions the
// pieces span: 34 unless each is a whole number of at least 1.
ErrCode ReadSpannedDims(EngineContext* ctx, uint64_t* mask) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kDouble || v.complex) return kErrBadDim;
  *mask = 0;
  for (int32_t i = 0; i < v.shape.count; i++) {
    const double d = Load<double>(v.elements + 8 * i);
    if (!(d >= 1) || d != static_cast<double>(static_cast<int64_t>(d))) return kErrBadDim;
    if (d <= kMaxDims) *mask |= uint64_t{1} << (static_cast<int32_t>(d) - 1);
  }
  return kOk;
}

// Pushes the pieces of the array at the depth that span the dimensions of the
// mask, in the storage order of the array of pieces, and gathers them into a
// list; *pieces receives the dimensions of the array of pieces.
ErrCode PushPieces(EngineContext* ctx, int32_t depth, uint64_t mask, Shape* pieces) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  Shape piece = v.shape;
  *pieces = v.shape;
  for (int32_t k = 0; k < v.shape.ndims; k++) {
    if ((mask >> k) & 1)
      pieces->dims[k] = 1;
    else
      piece.dims[k] = 1;
  }
  const ArrayClass cls = ClassOfView(v);
  const int es = ElementBytesOfCode(cls.code);
  const uint32_t source = OffsetOf(ctx, v.elements);
  const int64_t total = v.shape.count;
  int64_t count, per;
  ShapeCount(*pieces, &count);
  ShapeCount(piece, &per);
  if (total == 0) count = 0;
  const int32_t nd = v.shape.ndims;
  int32_t cs[kMaxDims], ps[kMaxDims];
  for (int64_t c = 0; c < count; c++) {
    uint32_t reAt;
    ErrCode e = PushArrayWithShape(ctx, cls, v.complex, piece, &reAt);
    if (e) {
      Drop(ctx, static_cast<int32_t>(c));
      return e;
    }
    uint8_t* re = AtOffset(ctx, reAt);
    uint8_t* im = v.complex ? re + es * per : nullptr;
    IndexToSubscripts(nd, pieces->dims, c, cs);
    for (int64_t p = 0; p < per; p++) {
      IndexToSubscripts(nd, piece.dims, p, ps);
      for (int32_t k = 0; k < nd; k++) ps[k] += cs[k];
      const int64_t from = SubscriptsToIndex(nd, v.shape.dims, nd, ps);
      const uint8_t* src = AtOffset(ctx, source);
      std::memcpy(re + es * p, src + es * from, es);
      if (im) std::memcpy(im + es * p, src + es * (total + from), es);
    }
  }
  ErrCode e = PushListFromEntries(ctx, static_cast<int32_t>(count), false, nullptr, 0);
  if (e) Drop(ctx, static_cast<int32_t>(count));
  return e;
}

// num2cell and num2list: the pieces as a cell array or a list.
ErrCode CutIntoPieces(EngineContext* ctx, int32_t nargin, bool cells) {
  uint64_t mask = 0;
  if (nargin == 2) {
    ErrCode e = ReadSpannedDims(ctx, &mask);
    if (e) return e;
  }
  Shape pieces;
  ErrCode e = PushPieces(ctx, nargin - 1, mask, &pieces);
  if (e) return e;
  StructuredParts list;
  GetStructuredValueOfKind(ctx, 0, 'c', &list);
  if (cells && list.elements > 0) {
    uint8_t* out;
    const uint64_t bytes = 8ull * DescAt(ctx, 0)->size;
    e = PushStructuredShell(ctx, kKindCell, pieces.dims, pieces.ndims, bytes, &out);
    if (e) {
      Drop(ctx);
      return e;
    }
    std::memcpy(out, DataAt(ctx, 1), bytes);
    DropStackEntries(ctx, 1, 1);
  }
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace

ErrCode Num2cellBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  return CutIntoPieces(ctx, nargin, true);
}

ErrCode Num2listBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  return CutIntoPieces(ctx, nargin, false);
}

// The items of a list concatenated side by side.
ErrCode List2numBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  if (!IsStructured(*DescAt(ctx, 0)) || DescAt(ctx, 0)->word != kKindList)
    return kErrWrongTypeOverload;
  int32_t n;
  ErrCode e = GetStructFields(ctx, &n);
  if (e) return e;
  e = ConcatenateBuiltin(ctx, n, 1, 2);
  if (e) {
    Drop(ctx, n);
    return e;
  }
  return DropInputsUnderResult(ctx, 1);
}

// islist (option 0): a list; iscell (option 1): a list or a cell array.
ErrCode ListCellTest(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  const bool list = IsStructured(*d) && d->word == kKindList;
  const bool cell = IsStructured(*d) && d->word == kKindCell;
  return ReplaceInputsWithLogical(ctx, 1, list || (option && cell));
}

// replist(list, n): the items n times over; n <= 0 gives an empty list.
ErrCode ReplistBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const ValueDescriptor* d = DescAt(ctx, 1);
  if (!IsStructured(*d) || d->word != kKindList) return kErrWrongTypeOverload;
  int32_t n;
  ErrCode e = GetIntegerArg(ctx, 0, &n);
  if (e) return AllowOverload(e);
  const uint64_t bytes = 8ull * d->size;
  const uint64_t copies = n > 0 ? static_cast<uint64_t>(n) : 0;
  if (copies != 0 && d->size > UINT32_MAX / copies) return kErrObjTooLarge;
  const uint32_t source = OffsetOf(ctx, DataAt(ctx, 1));
  uint8_t* out;
  e = PushStructuredShell(ctx, kKindList, nullptr, 0, bytes * copies, &out);
  if (e) return e;
  for (uint64_t k = 0; k < copies; k++) std::memcpy(out + k * bytes, AtOffset(ctx, source), bytes);
  return DropInputsUnderResult(ctx, 2);
}

}  // namespace vke
