// Index arguments: locating the indexed value, converting the subscripts,
// checking them against the value's dimensions (with growth and deletion
// rules), and walking the positions they select.
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

ArrayOperand OperandOfEntry(EngineContext* ctx, int32_t depth) {
  ArrayOperand x;
  x.desc = *DescAt(ctx, depth);
  uint8_t* data = DataAt(ctx, depth);
  if ((x.desc.flags & kFlagReference) && x.desc.size >= 3) {
    int32_t block = Load<int32_t>(data + 4 * kRefWordBlock);
    uint32_t offset = Load<uint32_t>(data + 4 * kRefWordOffset);
    uint8_t* item = BlockData(ctx, block) + 8ull * offset;
    x.desc = Load<ValueDescriptor>(item);
    data = item + 16;
  }
  x.data = static_cast<uint32_t>(data - ctx->Bytes());
  return x;
}

int32_t SubscriptList::Entries() const {
  int32_t count = 0;
  for (int32_t k = 0; k < n; k++) count += IsColon(k) ? 0 : 1;
  return count;
}

int32_t SubscriptList::DepthOf(int32_t k) const {
  int32_t later = 0;  // entries of the subscripts after k
  for (int32_t i = k + 1; i < n; i++) later += IsColon(i) ? 0 : 1;
  return top + later;
}

ErrCode ConvertIndexArgs(EngineContext* ctx, const SubscriptList& subs, int32_t* count,
                         bool checkOwner) {
  int32_t entries = subs.Entries();
  if (count) *count = entries;
  uint64_t below = uint64_t(subs.top) + entries + (checkOwner ? 1 : 0);
  if (subs.n < 0 || subs.top < 0 || 3 * below > ctx->descTop) return kErrIllegal;
  if (checkOwner) {
    ValueDescriptor owner = OperandOfEntry(ctx, subs.top + entries).desc;
    if (IsStructured(owner) && IsObjectKind(owner.word)) return kOk;
    if (IsTyped(owner) && (owner.word == kKindInline || owner.word == kKindFuncRef)) return kOk;
  }
  for (int32_t k = 0; k < subs.n; k++) {
    if (subs.IsColon(k)) continue;
    int32_t depth = subs.DepthOf(k);
    if (IsLogicalArray(ctx, depth)) continue;
    switch (ErrCode e = ConvertToInteger(ctx, depth, 4, false, true)) {
      case kOk:
        break;
      case kErrWrongType:
        return kErrBadIndexType;
      case kErrNonIntArg:
        return kErrNonIntegerIndex;
      case kErrOutOfRangeArg:
        return kErrIndexOutOfRange;
      default:
        return e;
    }
  }
  return kOk;
}

ErrCode DataScratch::Reserve(uint64_t bytes, uint32_t* offset) {
  uint64_t units = (bytes + 7) / 8;
  void* p;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  if (ReserveDataStack(ctx_, static_cast<uint32_t>(units), &p)) return kErrDataOverflow;
  ctx_->dataCap -= static_cast<uint32_t>(units);
  units_ += static_cast<uint32_t>(units);
  *offset = static_cast<uint32_t>(static_cast<uint8_t*>(p) - ctx_->Bytes());
  return kOk;
}

namespace {

// Pads a shape with dimensions of 1 up to n.
void PadShape(Shape* s, int32_t n) {
  while (s->ndims < n) s->dims[s->ndims++] = 1;
}

// Replaces a table by its sorted positions without repeats (each entry lies
// in 0 .. extent-1).
ErrCode SortUnique(EngineContext* ctx, DataScratch* scratch, int32_t extent, IndexTable* t) {
  if (!t->entries) return kOk;  // a colon is already sorted
  uint32_t maskAt, outAt;
  ErrCode e = scratch->Reserve(uint64_t(extent), &maskAt);
  if (!e) e = scratch->Reserve(4ull * t->count, &outAt);
  if (e) return e;
  uint8_t* mask = ctx->Bytes() + maskAt;
  std::memset(mask, 0, extent);
  for (int32_t k = 0; k < t->count; k++) mask[t->At(ctx, k)] = 1;
  auto* out = reinterpret_cast<int32_t*>(ctx->Bytes() + outAt);
  int32_t n = 0;
  for (int32_t p = 0; p < extent; p++)
    if (mask[p]) out[n++] = p;
  t->count = n;
  t->entries = outAt;
  t->bias = 0;
  return kOk;
}

// The true positions of a logical mask, into the scratch.
ErrCode MaskTable(EngineContext* ctx, const NumericView& mask, DataScratch* scratch,
                  IndexTable* t) {
  int32_t trues = 0;
  for (int32_t i = 0; i < mask.shape.count; i++) trues += mask.elements[i] ? 1 : 0;
  uint32_t at;
  ErrCode e = scratch->Reserve(4ull * trues, &at);
  if (e) return e;
  auto* out = reinterpret_cast<int32_t*>(ctx->Bytes() + at);
  // The scratch lies above every entry, so the mask's elements stay put.
  int32_t n = 0;
  for (int32_t i = 0; i < mask.shape.count; i++)
    if (mask.elements[i]) out[n++] = i;
  t->count = trues;
  t->entries = at;
  t->bias = 0;
  return kOk;
}

// Checks a logical mask against the extent it indexes.
ErrCode CheckMask(const Shape& value, const Shape& mask, bool linear, int32_t extent) {
  if (!linear || (mask.ndims == 2 && (mask.dims[0] == 1 || mask.dims[1] == 1)))
    return mask.count == extent ? kOk : kErrIncompSizeSel;
  return SameDims(mask, value) ? kOk : kErrIncompSizeSel;
}

// Checks the numeric entries of an index; *largest receives the largest.
ErrCode CheckNumeric(const NumericView& index, int32_t extent, bool mayGrow, int32_t* largest) {
  const uint8_t* el = index.elements;
  int32_t top = 0;
  for (int32_t i = 0; i < index.shape.count; i++) {
    int32_t v = Load<int32_t>(el + 4ull * i);
    if (v < 1) return kErrIndexOutOfRange;
    if (v > top) top = v;
  }
  if (top > extent && !mayGrow) return kErrIndexOutOfRange;
  *largest = top;
  return kOk;
}

}  // namespace

void LinearResultShape(const Shape& x, const Shape& index, Shape* out) {
  bool xIs2d = x.ndims == 2, iIs2d = index.ndims == 2;
  *out = index;
  if (xIs2d && x.dims[1] == 1 && iIs2d && index.dims[0] == 1) {
    out->dims[0] = index.dims[1];
    out->dims[1] = 1;
  } else if (xIs2d && x.dims[0] == 1 && iIs2d && index.dims[1] == 1) {
    out->dims[0] = 1;
    out->dims[1] = index.dims[0];
  }
}

ErrCode AnalyzeIndices(EngineContext* ctx, const Shape& value, const SubscriptList& subs,
                       IndexMode mode, const Shape* rhs, DataScratch* scratch, IndexAnalysis* out) {
  IndexAnalysis& a = *out;
  a = IndexAnalysis{};
  int32_t n = subs.n;
  if (n > kMaxSubscripts) return kErrOutOfRangeArg;
  if (n < 1) return kErrWrongNumInd;
  bool linear = n == 1;
  a.n = n;
  a.target = value;
  a.merged = n >= 2 && n < value.ndims;
  if (a.merged && !subs.IsColon(n - 1)) return kErrWrongNumInd;
  bool grow = mode == IndexMode::kGrow;
  for (int32_t j = 0; j < n; j++) {
    int32_t extent;
    if (linear) {
      extent = value.count;
    } else if (a.merged && j == n - 1) {
      int64_t rest = 1;
      for (int32_t k = j; k < value.ndims; k++) rest *= value.dims[k];
      extent = static_cast<int32_t>(rest);
    } else {
      extent = ShapeDim(value, j);
    }
    a.extent[j] = extent;
    IndexTable& t = a.tables[j];
    if (subs.IsColon(j)) {
      t.count = extent;
      continue;
    }
    int32_t depth = subs.DepthOf(j);
    NumericView index = ViewNumeric(ctx, depth);
    if (index.cls == ValueClass::kLogical) {
      ErrCode e = CheckMask(value, index.shape, linear, extent);
      if (!e) e = MaskTable(ctx, index, scratch, &t);
      if (e) return e;
    } else if (index.cls == ValueClass::kInteger && index.code == kCodeInt32) {
      int32_t largest;
      ErrCode e = CheckNumeric(index, extent, grow, &largest);
      if (e) return e;
      t.count = index.shape.count;
      t.entries = static_cast<uint32_t>(index.elements - ctx->Bytes());
      t.bias = -1;
      if (largest > extent) {
        // Growth: with one subscript only vectors and empty values grow.
        if (linear) {
          if (value.ndims > 2 || (value.dims[0] > 1 && value.dims[1] > 1))
            return kErrIndexOutOfRange;
          bool column = IsColumnVector(value);
          a.target.ndims = 2;
          a.target.dims[0] = column ? largest : 1;
          a.target.dims[1] = column ? 1 : largest;
        } else {
          PadShape(&a.target, j + 1);
          a.target.dims[j] = largest;
        }
      }
    } else {
      return kErrBadIndexType;
    }
    if (mode == IndexMode::kDelete) {
      ErrCode e = SortUnique(ctx, scratch, extent, &t);
      if (e) return e;
    }
  }
  if (!linear) PadShape(&a.target, n);
  // An empty value assigned through colons takes their sizes from the
  // right-hand side: a single such colon takes all its elements.
  if (grow && rhs && !linear && value.count == 0) {
    int32_t colons = 0;
    for (int32_t j = 0; j < n; j++) colons += subs.IsColon(j) && a.extent[j] == 0 ? 1 : 0;
    for (int32_t j = 0; j < n; j++) {
      if (!subs.IsColon(j) || a.extent[j] != 0) continue;
      int32_t size = colons == 1 ? rhs->count : ShapeDim(*rhs, j);
      a.tables[j].count = size;
      if (size > a.target.dims[j]) a.target.dims[j] = size;
    }
  }
  int64_t count;
  if (!ShapeCount(a.target, &count)) return kErrObjTooLarge;
  a.target.count = static_cast<int32_t>(count);
  Shape& r = a.result;
  r.ndims = n;
  for (int32_t j = 0; j < n; j++) r.dims[j] = a.tables[j].count;
  // Repeated indices can select more elements than any array holds.
  if (!ShapeCount(r, &count)) return kErrObjTooLarge;
  a.count = count;
  // The shape of the selection: the counts, or for one subscript as x and
  // the index say.
  if (linear && subs.IsColon(0)) {
    r.ndims = 2;
    r.dims[0] = a.tables[0].count;
    r.dims[1] = 1;
  } else if (linear && IsLogicalArray(ctx, subs.DepthOf(0))) {
    bool row = value.ndims == 2 && value.dims[0] == 1;
    r.ndims = 2;
    r.dims[0] = row ? 1 : a.tables[0].count;
    r.dims[1] = row ? a.tables[0].count : 1;
  } else if (linear) {
    LinearResultShape(value, ViewNumeric(ctx, subs.DepthOf(0)).shape, &r);
  }
  r.count = static_cast<int32_t>(count);
  return kOk;
}

SelectionCursor::SelectionCursor(EngineContext* ctx, const IndexAnalysis& a) : ctx_(ctx), a_(a) {
  for (int32_t k = 0; k < a.target.ndims; k++)
    stride_[k] = DimensionStride(a.target.ndims, a.target.dims, k);
  for (int32_t j = 0; j < a.n; j++) part_[j] = a.tables[j].count > 0 ? Contribution(j) : 0;
  position_ = 0;
  for (int32_t j = 0; j < a.n; j++) position_ += part_[j];
}

int64_t SelectionCursor::Contribution(int32_t j) const {
  int64_t p = a_.tables[j].At(ctx_, r_[j]);
  if (a_.n == 1) return p;
  if (!(a_.merged && j == a_.n - 1)) return p * stride_[j];
  // A colon over the remaining dimensions: split its position among them.
  const Shape& t = a_.target;
  int64_t sum = 0;
  for (int32_t k = j; k < t.ndims; k++) {
    int64_t size = t.dims[k] < 1 ? 1 : t.dims[k];
    int64_t s = k == t.ndims - 1 ? p : p % size;
    p /= size;
    sum += s * stride_[k];
  }
  return sum;
}

void SelectionCursor::Advance() {
  // The selection's own storage order: subscript 1 fastest, then 0, 2, 3 ...
  for (int32_t i = 0; i < a_.n; i++) {
    int32_t j = a_.n == 1 ? 0 : i == 0 ? 1 : i == 1 ? 0 : i;
    position_ -= part_[j];
    bool carry = ++r_[j] >= a_.tables[j].count;
    if (carry) r_[j] = 0;
    part_[j] = a_.tables[j].count > 0 ? Contribution(j) : 0;
    position_ += part_[j];
    if (!carry) return;
  }
}

}  // namespace vke
