// Concatenation: horzcat, vertcat and cat of numeric, char and logical
// arrays (in one class), of lists and cell arrays (as cell arrays), and of
// structures and structure arrays (as a structure array, after every operand
// is conformed to the field names of all of them).
//
// Along dimension d every array splits into the same number of blocks (the
// dimensions slower than d), each holding length x stride elements (stride:
// the dimensions faster than d). The result's block b is the operands' blocks
// b one after the other, so operands are copied chunk by chunk.
//
// Operands that are [] (0 x 0 values of any class) take no part, so that
// x = [x, row] grows from an empty start.
#include "builtins/array_builtins.hpp"
#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxConcatDim = 16;

// One operand: where its next chunk starts (byte offset from the context),
// and its elements per chunk.
struct ConcatPart {
  uint32_t at;
  uint32_t imagAt;  // numeric: where its imaginary block starts, 0 when real
  int64_t chunk;
};

struct ConcatPlan {
  Shape result;
  int64_t blocks = 0;
  int64_t stride = 0;
  ConcatPart* parts = nullptr;  // one per operand, in the scratch
};

// The operand i of n (the first deepest) at its depth, with extra entries
// pushed above the operands.
int32_t DepthOf(int32_t n, int32_t i, int32_t above) {
  return n - 1 - i + above;
}

// The result's shape (the operands must agree in every dimension but d), and
// scratch for a record per operand.
ErrCode PlanConcat(EngineContext* ctx, int32_t n, int32_t d, DataScratch* scratch,
                   ConcatPlan* plan) {
  Shape first;
  ErrCode e = GetValueShape(ctx, n - 1, &first);
  if (e) return AllowOverload(e);
  Shape& r = plan->result;
  r.ndims = first.ndims > d + 1 ? first.ndims : d + 1;
  for (int32_t i = 0; i < n; i++) {
    Shape s;
    e = GetValueShape(ctx, DepthOf(n, i, 0), &s);
    if (e) return AllowOverload(e);
    if (s.ndims > r.ndims) r.ndims = s.ndims;
  }
  int64_t along = 0;
  for (int32_t i = 0; i < n; i++) {
    Shape s;
    GetValueShape(ctx, DepthOf(n, i, 0), &s);
    for (int32_t k = 0; k < r.ndims; k++)
      if (k != d && ShapeDim(s, k) != ShapeDim(first, k)) return kErrIncompSize;
    along += ShapeDim(s, d);
  }
  if (along > INT32_MAX) return kErrObjTooLarge;
  for (int32_t k = 0; k < r.ndims; k++) r.dims[k] = ShapeDim(first, k);
  r.dims[d] = static_cast<int32_t>(along);
  DimLayout l;
  int32_t dim = d;
  NextNonSingletonDim(r.ndims, r.dims, &dim, &l);
  plan->blocks = l.count;
  plan->stride = l.stride;
  uint32_t at;
  e = scratch->Reserve(sizeof(ConcatPart) * uint64_t(n), &at);
  if (e) return e;
  plan->parts = reinterpret_cast<ConcatPart*>(ctx->Bytes() + at);
  return kOk;
}

// Bytes of the next count elements of span items each, from the offset.
uint64_t ElementRunBytes(EngineContext* ctx, uint32_t at, int64_t count, int32_t span) {
  uint64_t bytes = 0;
  for (int64_t k = 0; k < count * span; k++) bytes += ItemBytes(ctx->Bytes() + at + bytes);
  return bytes;
}

// Whether all n operands have one class (complexity aside).
bool OneClass(EngineContext* ctx, int32_t n) {
  const NumericView first = ViewNumeric(ctx, n - 1);
  for (int32_t k = 0; k < n - 1; k++) {
    const NumericView v = ViewNumeric(ctx, k);
    if (v.cls != first.cls) return false;
    if (v.cls == ValueClass::kInteger && v.code != first.code) return false;
  }
  return true;
}

// The result of a concatenation that appends whole real operands of one
// class (one block) is built where the operands lie: the first one's
// elements stay in place and the others' move down behind them, instead of
// all being copied above them and the result then down. The room that a
// new result would need is checked all the same, as the push would. False,
// with nothing done, when the first operand's layout does not start the
// result's (a header of another size, or a plain matrix for an array of
// more dimensions).
bool AppendInPlace(EngineContext* ctx, int32_t n, const ConcatPlan& plan, ErrCode* e) {
  const NumericView first = ViewNumeric(ctx, n - 1);
  const ValueDescriptor firstDesc = *DescAt(ctx, n - 1);
  const ArrayClass cls = ClassOfView(first);
  Shape s;
  int64_t count;
  if (!NormaliseShape(plan.result.ndims, plan.result.dims, &s) || !ShapeCount(s, &count) ||
      count == 0)
    return false;
  const int64_t es = ElementBytesOfCode(first.code);
  // A double matrix is plain; every other array has a header.
  const bool plain = cls.code == kCodeDouble && s.ndims == 2;
  const uint64_t units = plain ? uint64_t(count) : TypedArrayUnits(s.ndims, count * es);
  uint8_t* start = DataAt(ctx, n - 1);
  const int64_t headerBytes = plain ? 0 : 8 * HeaderUnits(static_cast<uint32_t>(s.ndims));
  if (plain ? !IsPlain(firstDesc)
            : !IsTyped(firstDesc) || first.elements - start != headerBytes ||
                  count > kMaxTypedElements)
    return false;
  if ((*e = CheckRoomToPush(ctx, static_cast<uint32_t>(units), plain))) return true;
  if (!plain) WriteTypedHeader(start, cls.code, s.ndims, s.dims);
  // Each operand's elements move down, never past the next operand's.
  uint8_t* cursor = start + headerBytes + es * first.shape.count;
  for (int32_t i = 1; i < n; i++) {
    const uint64_t bytes = plan.parts[i].chunk * es;
    std::memmove(cursor, ctx->Bytes() + plan.parts[i].at, bytes);
    cursor += bytes;
  }
  std::memset(cursor, 0, start + 8 * units - cursor);  // padding
  const uint32_t startUnit = static_cast<uint32_t>((start - ctx->DataBytes()) / 8);
  ctx->descTop -= 3 * static_cast<uint32_t>(n - 1);
  *DescAt(ctx, 0) = plain ? ValueDescriptor{0, static_cast<uint32_t>(units), s.dims[1]}
                          : ValueDescriptor{kFlagTyped, static_cast<uint32_t>(units), cls.kind};
  ctx->dataTop = startUnit + static_cast<uint32_t>(units);
  *e = kOk;
  return true;
}

ErrCode ConcatenateNumeric(EngineContext* ctx, int32_t n, int32_t d) {
  bool complex = false;
  for (int32_t k = 0; k < n; k++) {
    const NumericView v = ViewNumeric(ctx, k);
    if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
    complex = complex || v.complex;
  }
  if (!OneClass(ctx, n)) {
    ErrCode e = ConvertArgsToCommonType(ctx, n);
    if (e) return AllowOverload(e);
  }
  DataScratch scratch(ctx);
  ConcatPlan plan;
  ErrCode e = PlanConcat(ctx, n, d, &scratch, &plan);
  if (e) return e;
  ConcatPart* parts = plan.parts;
  for (int32_t i = 0; i < n; i++) {
    const NumericView v = ViewNumeric(ctx, DepthOf(n, i, 0));
    const int64_t es = ElementBytesOfCode(v.code);
    parts[i].at = static_cast<uint32_t>(v.elements - ctx->Bytes());
    parts[i].imagAt = v.complex ? parts[i].at + static_cast<uint32_t>(es * v.shape.count) : 0;
    parts[i].chunk = int64_t(ShapeDim(v.shape, d)) * plan.stride;
  }
  if (plan.blocks == 1 && !complex && AppendInPlace(ctx, n, plan, &e)) return e;
  const NumericView first = ViewNumeric(ctx, n - 1);
  uint32_t out;
  int32_t count;
  // A real operand of a complex result leaves its imaginary part as zeros.
  e = PushArrayOfClass(ctx, ClassOfView(first), complex, plan.result, &out, &count, complex);
  if (e) return e;
  const int64_t es = ElementBytesOfCode(ViewNumeric(ctx, 0).code);
  uint8_t* base = ctx->Bytes();
  int64_t cursor = 0;
  for (int64_t b = 0; b < plan.blocks; b++) {
    for (int32_t i = 0; i < n; i++) {
      ConcatPart& p = parts[i];
      const uint64_t bytes = p.chunk * es;
      std::memcpy(base + out + cursor * es, base + p.at, bytes);
      if (p.imagAt) std::memcpy(base + out + (count + cursor) * es, base + p.imagAt, bytes);
      p.at += static_cast<uint32_t>(bytes);
      if (p.imagAt) p.imagAt += static_cast<uint32_t>(bytes);
      cursor += p.chunk;
    }
  }
  return DropStackEntries(ctx, 1, n);
}

// Lists, cell arrays and structure arrays: the elements (span items each)
// copied chunk by chunk into a new cell array (fields < 0) or structure
// array with fields fields.
ErrCode ConcatenateItems(EngineContext* ctx, int32_t n, int32_t d, int32_t fields) {
  DataScratch scratch(ctx);
  ConcatPlan plan;
  ErrCode e = PlanConcat(ctx, n, d, &scratch, &plan);
  if (e) return e;
  ConcatPart* parts = plan.parts;
  const int32_t span = fields < 0 ? 1 : fields;
  uint64_t payload = 0;
  for (int32_t i = 0; i < n; i++) {
    const int32_t depth = DepthOf(n, i, 0);
    StructuredParts sp;
    e = GetStructuredValueOfKind(ctx, depth, '?', &sp);
    if (e) return e;
    parts[i].at = static_cast<uint32_t>(sp.first - ctx->Bytes());
    parts[i].chunk = int64_t(ShapeDim(sp.shape, d)) * plan.stride;
    payload += 8ull * DescAt(ctx, depth)->size - (sp.first - DataAt(ctx, depth));
  }
  Shape s;
  NormaliseShape(plan.result.ndims, plan.result.dims, &s);
  int32_t words[kMaxDims + 1];
  for (int32_t k = 0; k < s.ndims; k++) words[k] = s.dims[k];
  const int32_t len = fields < 0 ? s.ndims : s.ndims + 1;
  words[s.ndims] = fields;
  const uint64_t units = DimsItemUnits(len) + payload / 8;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* out;
  e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(units),
                fields < 0 ? kKindCell : kKindStructArray, false, &out);
  if (e) return e;
  uint32_t cursor = static_cast<uint32_t>(out - ctx->Bytes()) + WriteDimsItem(out, words, len);
  for (int64_t b = 0; b < plan.blocks; b++) {
    for (int32_t i = 0; i < n; i++) {
      ConcatPart& p = parts[i];
      const uint64_t bytes = ElementRunBytes(ctx, p.at, p.chunk, span);
      std::memmove(ctx->Bytes() + cursor, ctx->Bytes() + p.at, bytes);
      p.at += static_cast<uint32_t>(bytes);
      cursor += static_cast<uint32_t>(bytes);
    }
  }
  return DropStackEntries(ctx, 1, n);
}

// The name ids of the fields of a structure or structure array at the
// depth, appended to the list when new.
void CollectFieldNames(EngineContext* ctx, int32_t depth, int32_t* ids, int32_t* count) {
  StructuredParts sp;
  if (GetStructuredValueOfKind(ctx, depth, 's', &sp) || sp.elements == 0) return;
  const uint8_t* item = sp.first;
  for (int32_t f = 0; f < sp.fields; f++, item += ItemBytes(item)) {
    const int32_t id = Load<int32_t>(item + 12);
    bool known = false;
    for (int32_t k = 0; k < *count && !known; k++) known = ids[k] == id;
    if (!known) ids[(*count)++] = id;
  }
}

bool IsStructureKind(const ValueDescriptor& d) {
  return IsStructured(d) && (d.word == kKindStruct || d.word == kKindStructArray);
}

// The top n operands back in their order after `rolls` rolls of
// ConcatenateStructures, and the failure's code.
ErrCode UnrollAfterFailure(EngineContext* ctx, int32_t n, int32_t rolls, ErrCode e) {
  RollStackEntries(ctx, n, rolls);
  return e;
}

}  // namespace

ErrCode ConformStructFields(EngineContext* ctx, const int32_t* nameIds, int32_t count) {
  if (!IsStructureKind(*DescAt(ctx, 0))) return kErrWrongTypeOverload;
  StructuredParts sp;
  ErrCode e = GetStructuredValueOfKind(ctx, 0, 's', &sp);
  if (e) return e;
  const int32_t fields = sp.fields;
  // Where each named field lies among the value's fields, -1 when absent.
  DataScratch scratch(ctx);
  uint32_t mapAt, itemsAt;
  e = scratch.Reserve(4ull * count, &mapAt);
  if (!e) e = scratch.Reserve(4ull * fields + 4, &itemsAt);
  if (e) return e;
  auto* map = reinterpret_cast<int32_t*>(ctx->Bytes() + mapAt);
  auto* items = reinterpret_cast<uint32_t*>(ctx->Bytes() + itemsAt);
  const uint32_t firstAt = static_cast<uint32_t>(sp.first - ctx->Bytes());
  bool same = count == fields;
  for (int32_t j = 0; j < count; j++) {
    map[j] = -1;
    const uint8_t* item = sp.first;
    for (int32_t f = 0; f < fields && sp.elements > 0; f++, item += ItemBytes(item))
      if (Load<int32_t>(item + 12) == nameIds[j]) map[j] = f;
    same = same && map[j] == j;
  }
  if (same) return kOk;
  // Walks element e's items from *at, recording where each starts.
  auto walk = [&](uint32_t* at) {
    for (int32_t f = 0; f < fields; f++) {
      items[f] = *at;
      *at += ItemBytes(ctx->Bytes() + *at);
    }
  };
  uint64_t payload = 0;
  uint32_t at = firstAt;
  for (int32_t el = 0; el < sp.elements; el++) {
    walk(&at);
    for (int32_t j = 0; j < count; j++)
      payload += map[j] >= 0 ? ItemBytes(ctx->Bytes() + items[map[j]]) : 16;
  }
  const bool array = sp.kind == kKindStructArray;
  int32_t words[kMaxDims + 1];
  for (int32_t k = 0; k < sp.shape.ndims; k++) words[k] = sp.shape.dims[k];
  words[sp.shape.ndims] = count;
  const uint64_t units = (array ? DimsItemUnits(sp.shape.ndims + 1) : 0) + payload / 8;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* out;
  e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(units), sp.kind, false, &out);
  if (e) return e;
  uint32_t cursor = static_cast<uint32_t>(out - ctx->Bytes());
  if (array) cursor += WriteDimsItem(out, words, sp.shape.ndims + 1);
  at = firstAt;
  for (int32_t el = 0; el < sp.elements; el++) {
    walk(&at);
    for (int32_t j = 0; j < count; j++) {
      uint8_t* dst = ctx->Bytes() + cursor;
      if (map[j] >= 0) {
        const uint32_t bytes = ItemBytes(ctx->Bytes() + items[map[j]]);
        std::memcpy(dst, ctx->Bytes() + items[map[j]], bytes);
        cursor += bytes;
      } else {
        std::memset(dst, 0, 16);
        Store<int32_t>(dst + 12, nameIds[j]);
        cursor += 16;
      }
    }
  }
  return DropStackEntries(ctx, 1, 1);
}

ErrCode ConcatenateStructures(EngineContext* ctx, int32_t n, int32_t d) {
  uint64_t total = 0;
  for (int32_t k = 0; k < n; k++) {
    if (!IsStructureKind(*DescAt(ctx, k))) return kErrWrongTypeOverload;
    StructuredParts sp;
    GetStructuredValueOfKind(ctx, k, 's', &sp);
    total += sp.fields;
  }
  DataScratch scratch(ctx);
  uint32_t idsAt;
  ErrCode e = scratch.Reserve(4 * total + 4, &idsAt);
  if (e) return e;
  auto* ids = reinterpret_cast<int32_t*>(ctx->Bytes() + idsAt);
  int32_t count = 0;
  for (int32_t i = 0; i < n; i++) CollectFieldNames(ctx, DepthOf(n, i, 0), ids, &count);
  // Conform each operand on top of the stack, rolling them round once. An
  // operand conformed stays so (conforming it again changes nothing), but a
  // failure part of the way round rolls them back into their order, so that
  // the run after growth finds them as they came.
  for (int32_t k = 0; k < n; k++) {
    RollStackEntries(ctx, n, n - 1);
    if ((e = ConformStructFields(ctx, ids, count))) return UnrollAfterFailure(ctx, n, k + 1, e);
  }
  for (int32_t k = 0; k < n; k++) {
    if ((e = MakeTopStructArray(ctx))) return UnrollAfterFailure(ctx, n, k, e);
    RollStackEntries(ctx, n, n - 1);
  }
  return ConcatenateItems(ctx, n, d, count);
}

namespace {

// Whether the operand at the depth is [] (0 x 0, of any class), which takes
// no part.
bool IsEmptyOperand(EngineContext* ctx, int32_t depth) {
  Shape s;
  return GetValueShape(ctx, depth, &s) == kOk && s.ndims == 2 && s.dims[0] == 0 && s.dims[1] == 0;
}

// The top n operands, none of them [], joined along d into one value in
// their place; a failure leaves them as they came.
ErrCode ConcatenateOperands(EngineContext* ctx, int32_t n, int32_t d) {
  const ValueDescriptor first = *DescAt(ctx, n - 1);
  if (IsStructured(first) && (first.word == kKindList || first.word == kKindCell)) {
    for (int32_t k = 0; k < n; k++)
      if (!IsListValue(ctx, k)) return kErrWrongTypeOverload;
    return ConcatenateItems(ctx, n, d, -1);
  }
  if (IsStructureKind(first)) return ConcatenateStructures(ctx, n, d);
  return ConcatenateNumeric(ctx, n, d);
}

}  // namespace

// horzcat (option 2), vertcat (option 1) and cat (option -1, the dimension
// given first). The arguments go once the result stands, so that a failure
// for lack of room leaves them as they came.
ErrCode ConcatenateBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  int32_t n = nargin, d = option - 1, under = 0;
  if (option < 0) {
    if (nargin < 1) return kErrTooFewArgin;
    int32_t dim;
    ErrCode e = GetIntegerArg(ctx, nargin - 1, &dim);
    if (e) return e;
    if (dim < 1 || dim > kMaxConcatDim) return kErrBadDim;
    d = dim - 1;
    n = nargin - 1;
    under = 1;
    // Refused operands stay as they came, with the dimension, for the
    // method of their type.
    if ((e = CheckArgumentTypes(ctx, n, nullptr))) return e;
  }
  if (n == 0) return PushInPlaceOfTop(ctx, under, [&] { return PushEmptyMatrix(ctx); });
  ErrCode e = CheckArgumentTypes(ctx, n, nullptr);
  if (e) return e;
  int32_t joined = 0;
  for (int32_t k = 0; k < n; k++) joined += !IsEmptyOperand(ctx, k);
  if (joined <= 1) {
    // The one operand that is not [] (the first when all are) is the result:
    // the others go, which needs no room.
    for (int32_t k = 0; k < n && n > 1;) {
      if (!IsEmptyOperand(ctx, k)) {
        k++;
        continue;
      }
      if ((e = DropStackEntries(ctx, k, 1))) return e;
      n--;
    }
    return DropStackEntries(ctx, 1, n - 1 + under);
  }
  if (joined == n) {
    if ((e = ConcatenateOperands(ctx, n, d))) return e;
    return DropStackEntries(ctx, 1, under);
  }
  // Some are []: the others are joined from copies above the arguments.
  const uint32_t level = ctx->descTop;
  for (int32_t k = n - 1, copied = 0; k >= 0 && !e; k--) {
    if (IsEmptyOperand(ctx, k + copied)) continue;
    e = DuplicateStackEntries(ctx, k + copied, 1);
    copied++;
  }
  if (!e) e = ConcatenateOperands(ctx, joined, d);
  if (e) {
    DropAboveLevel(ctx, level);
    return e;
  }
  return DropStackEntries(ctx, 1, n + under);
}

}  // namespace vke
