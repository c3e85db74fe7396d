// x(subscripts) = rhs through a reference: arrays assigned, grown and
// shortened by the indexing kernels; lists and cell arrays by tables of their
// items, in place in the variable's block when nothing but elements change.
#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

bool IsEmptyDouble(const ValueDescriptor& d) {
  return d.flags == 0 && d.size == 0;
}

// The rows of a real double matrix or a two-dimensional typed array, which
// a row may be appended to; -1 for anything else.
int64_t AppendableRows(EngineContext* ctx, const ValueDescriptor& x, const Designated& t) {
  if (x.flags == 0) return x.word > 0 ? x.size / uint32_t(x.word) : -1;
  if (x.flags != kFlagTyped || x.word < kKindArray || x.word > kKindLogical) return -1;
  const uint8_t* data = t.Data(ctx);
  return x.size >= HeaderUnits(2) && HeaderNdims(data) == 2 ? HeaderDim(data, 0) : -1;
}

// Drops everything from the reference (at refDepth) up, after the new
// value on top, when there is one, has replaced what the reference
// designates.
ErrCode Finish(EngineContext* ctx, int32_t refDepth, bool replace) {
  if (replace) {
    ErrCode e = ReplaceDesignated(ctx, refDepth, 0);
    if (e) return e;
  }
  return Drop(ctx, refDepth + 1);
}

// Stack: ref, subscripts, rhs (top). The designated value is an array, or
// an empty list that an assignment target just created, which counts as [].
ErrCode AssignArray(EngineContext* ctx, const SubscriptList& subs, const Designated& t,
                    bool placeholder) {
  const int32_t refDepth = subs.top + subs.Entries();
  ArrayOperand x = OperandOfEntry(ctx, refDepth);
  if (placeholder) x.desc = ValueDescriptor{0, 0, 0};
  ErrCode e = ConvertIndexArgs(ctx, subs, nullptr, false);
  if (e) return RaiseIndexingError(ctx, t, e);
  bool deleted = false;
  e = DeleteElements(ctx, x, subs, &deleted);
  if (deleted) return e ? RaiseIndexingError(ctx, t, e) : Finish(ctx, refDepth + 1, true);
  const NumericView xv = ViewNumericData(x.desc, OperandData(ctx, x));
  const NumericView yv = ViewNumeric(ctx, 0);
  if (yv.cls == ValueClass::kOther)
    return IsStructured(*DescAt(ctx, 0)) ? kErrWrongTypeOverload : kErrWrongType;
  bool inPlace = false;
  e = IndexAssign(ctx, x, subs, AssignmentClass(xv, yv), true, &inPlace);
  if (e) return RaiseIndexingError(ctx, t, e);
  if (inPlace && placeholder) {
    // Nothing was selected: the variable becomes [].
    e = PushEmptyMatrix(ctx);
    inPlace = false;
  }
  return e ? e : Finish(ctx, refDepth + (inPlace ? 0 : 1), !inPlace);
}

// Pushes a list of: one empty item, then the elements of each structured
// value at the depths given (deepest first); *offsets receives, per value,
// the unit offset of its first element in the new list.
ErrCode PushCombinedItems(EngineContext* ctx, const int32_t* depths, int32_t n,
                          const StructuredLayout* layouts, uint32_t* offsets) {
  uint64_t units = 2;
  for (int32_t i = 0; i < n; i++) {
    offsets[i] = static_cast<uint32_t>(units);
    units += DescAt(ctx, depths[i])->size - layouts[i].first / 8;
  }
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* out;
  ErrCode e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(units), kKindList, false, &out);
  if (e) return e;
  std::memset(out, 0, 16);
  for (int32_t i = 0; i < n; i++) {
    const int32_t depth = depths[i] + 1;
    std::memcpy(out + 8ull * offsets[i], DataAt(ctx, depth) + layouts[i].first,
                8ull * DescAt(ctx, depth)->size - layouts[i].first);
  }
  return kOk;
}

// Pushes an int32 array of the shape holding the unit offsets (within the
// combined list) of n consecutive elements starting at `first`.
ErrCode PushOffsets(EngineContext* ctx, const Shape& shape, const uint8_t* items, uint32_t first,
                    int32_t n) {
  void* out;
  ErrCode e = PushNewTypedArray(ctx, shape.ndims, shape.dims, 4, false, &out);
  if (e) return e;
  auto* table = static_cast<int32_t*>(out);
  uint32_t at = 8 * first;
  for (int32_t i = 0; i < n; i++) {
    table[i] = static_cast<int32_t>(at / 8);
    at += ItemBytes(items + at);
  }
  return kOk;
}

// Stack: ref, subscripts, rhs (top); the designated value is a list or a
// cell array. The subscripts select element positions, which take the
// right-hand side's elements, or go when it is an empty double.
ErrCode AssignItems(EngineContext* ctx, SubscriptList subs, const Designated& t) {
  const int32_t entries = subs.Entries();
  const bool remove = IsEmptyDouble(*DescAt(ctx, 0));
  StructuredLayout xl, yl;
  if (!remove && (!ReadStructuredLayout(*DescAt(ctx, 0), DataAt(ctx, 0), &yl) ||
                  (yl.kind != kKindList && yl.kind != kKindCell)))
    return kErrWrongTypeOverload;
  if (!ReadStructuredLayout(t.desc, t.Data(ctx), &xl)) return kErrIllegal;
  ErrCode e = ConvertIndexArgs(ctx, subs, nullptr, false);
  if (e) return RaiseIndexingError(ctx, t, e);
  const int32_t level = static_cast<int32_t>(ctx->descTop);
  e = PushDesignated(ctx, t);  // X
  StructuredLayout layouts[2] = {xl, yl};
  const int32_t depths[2] = {0, 1};
  uint32_t offsets[2];
  if (!e) e = PushCombinedItems(ctx, depths, remove ? 1 : 2, layouts, offsets);  // C
  const uint32_t combined = static_cast<uint32_t>(DataAt(ctx, 0) - ctx->Bytes());
  if (!e) e = PushOffsets(ctx, xl.shape, ctx->Bytes() + combined, offsets[0], xl.elements);  // T
  if (e) return e;
  subs.top += 3;
  bool changed = false;
  if (remove) {
    e = PushEmptyMatrix(ctx);  // the kernel wants the empty right-hand side on top
    subs.top++;
    if (!e) e = DeleteElements(ctx, OperandOfEntry(ctx, 1), subs, &changed);
    if (e) return RaiseIndexingError(ctx, t, e);
  } else {
    // The right-hand side gives one element for all, or one per position.
    DataScratch scratch(ctx);
    IndexAnalysis a;
    e = AnalyzeIndices(ctx, xl.shape, subs, IndexMode::kGrow, nullptr, &scratch, &a);
    if (e) return RaiseIndexingError(ctx, t, e);
    if (a.count == 0 && yl.elements > 1) return kErrBadSize;
    if (a.count != 0 && yl.elements != 1 && yl.elements != a.count)
      return RaiseForReference(ctx, t, kErrIncompAsgnSize);
    Shape yShape = a.result;
    if (yl.elements <= 1) yShape.ndims = 2, yShape.dims[0] = yShape.dims[1] = yl.elements;
    yShape.count = yl.elements;
    e = PushOffsets(ctx, yShape, ctx->Bytes() + combined, offsets[1], yl.elements);  // Y
    subs.top++;
    if (!e)
      e = IndexAssign(ctx, OperandOfEntry(ctx, 1), subs, ArrayClass{kKindArray, kCodeInt32}, false,
                      &changed);
    if (e) return RaiseIndexingError(ctx, t, e);
    changed = !changed;  // in place: the table T itself holds the new offsets
  }
  // The new table is on top (or is T, under Y); build the new value from C.
  const int32_t table = changed ? 0 : 1;
  const Shape shape = ViewNumeric(ctx, table).shape;
  const int32_t cDepth = static_cast<int32_t>((ctx->descTop - level) / 3) - 2;
  e = DuplicateStackEntries(ctx, table, 1);
  if (!e) e = BuildStructuredFromIndex(ctx, cDepth + 1, shape.ndims, shape.dims, -1, false);
  if (e) return e;
  if (xl.kind == kKindList && DescAt(ctx, 0)->word == kKindCell && shape.ndims == 2 &&
      shape.dims[0] <= 1)
    StripDimsItem(ctx, kKindList);
  e = DropStackEntries(ctx, 1, (static_cast<int32_t>(ctx->descTop) - level) / 3 - 1);
  return e ? e : Finish(ctx, entries + 2, true);
}

// AssignIndexed once the reference is read.
ErrCode AssignThrough(EngineContext* ctx, SubscriptList subs, const Designated& t, int32_t count,
                      uint32_t mask) {
  const int32_t entries = subs.Entries();
  const ValueDescriptor& x = t.desc;
  const bool items = IsStructured(x) && (x.word == kKindList || x.word == kKindCell);
  const bool array =
      IsPlain(x) || (x.flags == kFlagTyped && x.word >= kKindArray && x.word <= kKindLogical);
  if (!items && !array) return kErrWrongTypeOverload;  // the stack stays for the object path
  // x(k) = y of real doubles with k inside: the element is written where it
  // lies (rhs, ref, k on the stack).
  const ValueDescriptor* y = DescAt(ctx, 2);
  if (x.flags == 0 && count == 1 && mask == 0 && y->flags == 0 && y->size == 1 && y->word == 1) {
    const int64_t k = ScalarSubscript(ctx, 0, x.size);
    if (k >= 0) {
      std::memcpy(t.Data(ctx) + 8 * k, DataAt(ctx, 2), 8);
      return Drop(ctx, 3);
    }
    // One past the end of the variable itself: it grows in place. Where the
    // host grows the area, a heap without room for it asks for growth
    // rather than copying the value out and back on the stack.
    const int64_t next = ScalarSubscript(ctx, 0, x.size + 1);
    if (next == x.size && t.ref.offset == 0 && t.ref.created == 0 && FastFormsOn()) {
      bool full;
      if (AppendElementInPlace(ctx, uint32_t(t.ref.slot), t.ref.block, next,
                               Load<double>(DataAt(ctx, 2)), &full))
        return Drop(ctx, 3);
      if (full && HostGrowsForRoom(ctx)) return kErrVarOverflow;
    }
  }
  // c(end + 1) = {y}: y's item is written behind the others, in place.
  if (items && count == 1 && mask == 0 && t.ref.created == 0 && FastFormsOn()) {
    const int64_t k = ScalarSubscript(ctx, 0, INT32_MAX);
    Designated grown = t;
    bool full = false;
    if (k >= 0 && AppendGivenElement(ctx, 1, &grown, k, *y, DataAt(ctx, 2), &full))
      return Drop(ctx, 3);
    if (full && HostGrowsForRoom(ctx)) return kErrVarOverflow;
  }
  // m(end + 1, :) = row: the row is written behind the others, in place.
  if (count == 2 && mask == 2 && t.ref.offset == 0 && t.ref.created == 0 && FastFormsOn()) {
    const int64_t rows = AppendableRows(ctx, x, t);
    if (rows >= 0 && ScalarSubscript(ctx, 0, rows + 1) == rows) {
      bool full;
      if (AppendRowInPlace(ctx, uint32_t(t.ref.slot), t.ref.block, rows, *y, DataAt(ctx, 2), &full))
        return Drop(ctx, 3);
      if (full && HostGrowsForRoom(ctx)) return kErrVarOverflow;
    }
  }
  // The kernels want the right-hand side on top: rhs, ref, subs -> ref, subs,
  // rhs. A failure leaves the operands in their order, as the object path
  // and a run after growth read them.
  subs.top = 1;
  return WithDeepestOnTop(ctx, entries + 2, [&] {
    if (items && x.word == kKindList && x.size == 0 && t.ref.created == kCreatedVariable &&
        !IsStructured(*DescAt(ctx, 0)))
      return AssignArray(ctx, subs, t, true);
    return items ? AssignItems(ctx, subs, t) : AssignArray(ctx, subs, t, false);
  });
}

}  // namespace

ErrCode AssignIndexed(EngineContext* ctx, int32_t count, uint32_t mask) {
  SubscriptList subs;
  ErrCode e = ReadIndexGroup(ctx, count, mask, 2, &subs);
  if (e) return e;
  Designated t;
  e = ReadReference(ctx, subs.Entries(), &t);
  if (e) return e;
  e = AssignThrough(ctx, subs, t, count, mask);
  if (!e) ReleaseKeptValue(ctx, t.ref);
  return e;
}

}  // namespace vke
