// x(...) as a value: selections from arrays, lists, cells and structure
// arrays, calls of function values with the subscripts as arguments, and
// the same through a reference into a variable.
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/memory_retry.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

bool IsFunctionValue(const ValueDescriptor& d) {
  return IsTyped(d) && (d.word == kKindInline || d.word == kKindFuncRef);
}

bool IsArrayValue(const ValueDescriptor& d) {
  return IsPlain(d) || (d.flags == kFlagTyped && d.word >= kKindArray && d.word <= kKindLogical);
}

// 126 for more than one result, 127 below -1.
ErrCode CheckResults(int32_t results) {
  if (results > 1) return kErrTooManyArgout;
  if (results < -1) return kErrTooFewArgout;
  return kOk;
}

// With the selection on top and the value with its subscripts under it: the
// selection replaces them, or goes too when no result is wanted.
ErrCode KeepSelection(EngineContext* ctx, int32_t below, int32_t results) {
  ErrCode e = DropStackEntries(ctx, 1, below);
  return e || results != 0 ? e : Drop(ctx);
}

// Calls the function value under the subscript entries with them as its
// arguments, as the call of the instruction that indexes it.
ErrCode CallWithSubscripts(EngineContext* ctx, const SubscriptList& subs, int32_t results) {
  if (subs.Entries() != subs.n) return kErrWrongTypeOverload;
  ctx->reentryOpcode = kReentryThroughValue;
  const ErrCode e = CallFunctionValueWithArguments(ctx, subs.n + 1, results);
  ctx->reentryOpcode = 0;
  return e;
}

// The 2-D shape of a plain double matrix.
Shape PlainShape(const ValueDescriptor& d) {
  Shape s;
  s.dims[0] = PlainRows(d);
  s.dims[1] = d.word;
  s.count = s.dims[0] * s.dims[1];
  return s;
}

// x(I) of a double matrix with one subscript on top that is a real double
// scalar or array of whole numbers inside x: the elements themselves, shaped
// as the kernels shape them. True when pushed (or failed with *e); false,
// with nothing pushed, for anything else, which the kernels then decide.
bool SelectElements(EngineContext* ctx, const SubscriptList& subs, const ValueDescriptor& x,
                    const uint8_t* data, ErrCode* e) {
  if (!IsPlain(x) || subs.n != 1 || subs.colonMask != 0) return false;
  const int64_t count = PlainCount(x);
  const bool complex = (x.flags & kFlagComplex) != 0;
  const int64_t k = ScalarSubscript(ctx, 0, count);
  if (k >= 0) {
    uint8_t* out;
    *e = PushEntry(ctx, x.flags, complex ? 2 : 1, 1, false, &out);
    if (*e) return true;
    std::memcpy(out, data + 8 * k, 8);
    if (complex) std::memcpy(out + 8, data + 8 * (count + k), 8);
    return true;
  }
  const ValueDescriptor index = *DescAt(ctx, 0);
  if (index.flags != 0 || index.size == 0) return false;
  const auto* positions = reinterpret_cast<const double*>(DataAt(ctx, 0));
  Shape shape;
  LinearResultShape(PlainShape(x), PlainShape(index), &shape);
  double *re, *im = nullptr;
  if (PushNewMatrix(ctx, shape.dims[0], shape.dims[1], &re, complex ? &im : nullptr)) return false;
  const auto* source = reinterpret_cast<const double*>(data);
  // Consecutive whole positions inside the array, as a range gives them,
  // select one stretch.
  const double first = positions[0];
  if (first >= 1 && first == std::floor(first) &&
      first + (index.size - 1) <= static_cast<double>(count)) {
    uint32_t i = 1;
    for (double next = first + 1; i < index.size && positions[i] == next; next += 1) i++;
    if (i == index.size) {
      const auto at = static_cast<int64_t>(first) - 1;
      std::memcpy(re, source + at, 8ull * index.size);
      if (complex) std::memcpy(im, source + count + at, 8ull * index.size);
      *e = kOk;
      return true;
    }
  }
  for (uint32_t i = 0; i < index.size; i++) {
    const double p = positions[i];
    const auto at = p >= 1 && p <= static_cast<double>(count) ? static_cast<int64_t>(p) - 1 : -1;
    if (at < 0 || static_cast<double>(at + 1) != p) {  // outside, or not whole
      Drop(ctx);
      return false;
    }
    re[i] = source[at];
    if (complex) im[i] = source[count + at];
  }
  *e = kOk;
  return true;
}

// The bytes of a reference entry as CopyEntryToBytes writes them.
constexpr size_t kReferenceEntryBytes = 24 + 8 * kReferenceUnits;

// A list or function value indexed on a copy in its reference's place that
// found no room: the reference takes the copy's place again, so that the
// index runs again on the variable (and names it in its errors) once the
// area has grown. The reference goes where the copy was, in the room the
// copy leaves and what lies free above: that room is tested here, and the
// reference's push asks for none. Without it (a copy smaller than the
// reference at the stack's end) the instruction does not run again.
void PutReferenceBack(EngineContext* ctx, int32_t depth, const uint8_t* reference) {
  const uint64_t dataNeed = uint64_t{ctx->dataTop} - DescAt(ctx, depth)->size + kReferenceUnits;
  bool back = dataNeed <= ctx->dataCap && !RollStackEntries(ctx, depth + 1, 1) &&
              !DropStackEntries(ctx, 0, 1);
  if (back) {
    const RoomRequestsPaused tested;
    back = !PushEntryFromBytes(ctx, reference) && !RollStackEntries(ctx, depth + 1, depth);
  }
  if (!back) MarkOperandsChanged(ctx);
}

}  // namespace

ErrCode ReadIndexGroup(EngineContext* ctx, int32_t count, uint32_t mask, int32_t below,
                       SubscriptList* subs) {
  if (count > kMaxSubscripts) return kErrBadDim;
  *subs = SubscriptList{};
  subs->n = count;
  subs->colonMask = mask;
  // Counts come from code, which an image may hold damaged: the entries
  // must be the running code's own, above its frame.
  if (count < 0 || subs->Entries() + below > EntriesAboveFrame(ctx)) return kErrIllegal;
  return kOk;
}

int64_t ScalarSubscript(EngineContext* ctx, int32_t depth, int64_t count) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (d->flags != 0 || d->size != 1 || d->word != 1) return -1;
  const double k = Load<double>(DataAt(ctx, depth));
  if (!(k >= 1 && k <= static_cast<double>(count)) || k != std::floor(k)) return -1;
  return static_cast<int64_t>(k) - 1;
}

ErrCode IndexOrCallValue(EngineContext* ctx, int32_t count, uint32_t mask, bool call,
                         int32_t results) {
  SubscriptList subs;
  ErrCode e = ReadIndexGroup(ctx, count, mask, 1, &subs);
  if (e) return e;
  const int32_t entries = subs.Entries();
  const ValueDescriptor d = *DescAt(ctx, entries);
  if (call && IsFunctionValue(d)) return CallWithSubscripts(ctx, subs, results);
  e = CheckResults(results);
  if (e) return e;
  if (IsArrayValue(d)) {
    if (!SelectElements(ctx, subs, d, DataAt(ctx, entries), &e)) {
      e = ConvertIndexArgs(ctx, subs, nullptr, false);
      if (!e) e = IndexSelect(ctx, OperandOfEntry(ctx, entries), subs);
    }
    return e ? e : KeepSelection(ctx, entries + 1, results);
  }
  if (IsStructured(d) && d.word >= kKindList && d.word <= kKindStructArray) {
    int32_t selected;
    e = ConvertIndexArgs(ctx, subs, nullptr, false);
    if (!e) e = SelectStructuredElements(ctx, subs, &selected);
    return e ? e : KeepSelection(ctx, entries + 1, results);
  }
  if (IsStructured(d) || IsTyped(d)) return kErrWrongTypeOverload;
  return kErrWrongType;
}

ErrCode IndexThroughReference(EngineContext* ctx, int32_t count, uint32_t mask, int32_t results) {
  SubscriptList subs;
  ErrCode e = ReadIndexGroup(ctx, count, mask, 1, &subs);
  if (e) return e;
  const int32_t entries = subs.Entries();
  if (!(DescAt(ctx, entries)->flags & kFlagReference))
    return IndexOrCallValue(ctx, count, mask, true, results);
  Designated t;
  e = ReadReference(ctx, entries, &t);
  if (!e) e = RefuseCreatedRead(ctx, t);
  if (e) return e;
  if (IsArrayValue(t.desc)) {
    e = CheckResults(results);
    if (e) return e;
    if (!SelectElements(ctx, subs, t.desc, t.Data(ctx), &e)) {
      e = ConvertIndexArgs(ctx, subs, nullptr, false);
      // The kernel reads the elements where they lie, in the variable's block.
      if (!e) e = IndexSelect(ctx, OperandOfEntry(ctx, entries), subs);
    }
    if (e == kErrWrongNumInd) return RaiseForReference(ctx, t, e, 0, count);
    return e ? RaiseIndexingError(ctx, t, e) : KeepSelection(ctx, entries + 1, results);
  }
  const bool listLike =
      IsStructured(t.desc) && t.desc.word >= kKindList && t.desc.word <= kKindStructArray;
  if (!listLike && !IsFunctionValue(t.desc)) return RaiseForReference(ctx, t, kErrWrongVarType);
  // Lists and function values work on a copy in the reference's place.
  uint8_t reference[kReferenceEntryBytes];
  CopyEntryToBytes(ctx, entries, reference);
  e = PushDesignated(ctx, t);
  if (!e) e = ReplaceEntryWithTop(ctx, entries);
  if (e) return e;
  const uint32_t level = ctx->descTop;
  e = IndexOrCallValue(ctx, count, mask, true, results);
  // A native's entry kept for the run after growth (ReentryKept) leaves the
  // stacks as it left them, whatever their level.
  if (IsEngineMemoryCode(e) && ctx->descTop == level && !ReentryKept(ctx))
    PutReferenceBack(ctx, entries, reference);
  return e && listLike ? RaiseIndexingError(ctx, t, e) : e;
}

}  // namespace vke
