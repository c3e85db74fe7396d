// Deletion x(...) = []: the positions that remain and the shape they take.
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

// Replaces a table of sorted positions without repeats by the positions of
// 0 .. extent-1 that it does not hold.
ErrCode Complement(EngineContext* ctx, DataScratch* scratch, int32_t extent, IndexTable* t) {
  uint32_t at;
  ErrCode e = scratch->Reserve(4ull * (extent - t->count), &at);
  if (e) return e;
  auto* out = reinterpret_cast<int32_t*>(ctx->Bytes() + at);
  int32_t n = 0, next = 0;
  for (int32_t p = 0; p < extent; p++) {
    if (next < t->count && t->At(ctx, next) == p) {
      next++;
    } else {
      out[n++] = p;
    }
  }
  t->count = n;
  t->entries = at;
  t->bias = 0;
  return kOk;
}

}  // namespace

ErrCode DeleteElements(EngineContext* ctx, const ArrayOperand& x, const SubscriptList& subs,
                       bool* deleted) {
  *deleted = false;
  if (subs.top < 1) return kErrIllegal;
  NumericView rhs = ViewNumeric(ctx, 0);
  if (rhs.cls == ValueClass::kOther || rhs.shape.count != 0) return kOk;
  NumericView xv = ViewNumericData(x.desc, OperandData(ctx, x));
  DataScratch scratch(ctx);
  IndexAnalysis a;
  // An empty of another shape than [] that selects nothing assigns
  // nothing, which may grow x: m(end + 1, :) = zeros(1, 0) adds a row to
  // an m of no columns.
  const bool bracketPair = rhs.shape.ndims == 2 && rhs.shape.dims[0] == 0 && rhs.shape.dims[1] == 0;
  if (!bracketPair && xv.cls != ValueClass::kOther &&
      AnalyzeIndices(ctx, xv.shape, subs, IndexMode::kGrow, &rhs.shape, &scratch, &a) == kOk &&
      a.count == 0)
    return kOk;
  *deleted = true;
  if (xv.cls == ValueClass::kOther) return kErrWrongType;
  ErrCode e = AnalyzeIndices(ctx, xv.shape, subs, IndexMode::kDelete, nullptr, &scratch, &a);
  if (e) return e;
  // The subscript that deletes: the one not selecting its whole dimension;
  // when every one selects all, the first that is no colon, else the first.
  int32_t along = -1, partial = 0, named = -1;
  for (int32_t j = 0; j < a.n; j++) {
    if (a.tables[j].count == 0) return PushOperandCopy(ctx, x);
    if (a.tables[j].count < a.extent[j]) {
      along = j;
      partial++;
    }
    if (named < 0 && !subs.IsColon(j)) named = j;
  }
  if (partial > 1) return kErrDelMultipleDim;
  Shape shape;
  MakeEmptyShape(&shape);
  if (along < 0 && a.n == 1) {
    // x(:) = [] and linear indices naming every element leave 0 x 0.
    uint32_t at;
    int32_t count;
    return PushArrayOfClass(ctx, ClassOfView(xv), false, shape, &at, &count);
  }
  if (along < 0) along = named < 0 ? 0 : named;
  e = Complement(ctx, &scratch, a.extent[along], &a.tables[along]);
  if (e) return e;
  a.count = 1;
  for (int32_t j = 0; j < a.n; j++) a.count *= a.tables[j].count;
  if (a.n == 1) {
    // A column stays a column; anything else leaves a row.
    bool column = IsColumnVector(xv.shape);
    shape.dims[0] = column ? a.tables[0].count : 1;
    shape.dims[1] = column ? 1 : a.tables[0].count;
  } else if (a.count == 0 && (a.n == xv.shape.ndims || along < a.n - 1)) {
    // Every row (or column, or page) deleted: the other dimensions stay,
    // those a last colon stood for included.
    shape = xv.shape;
    shape.dims[along] = 0;
  } else {
    shape.ndims = a.n;
    for (int32_t j = 0; j < a.n; j++) shape.dims[j] = a.tables[j].count;
  }
  shape.count = static_cast<int32_t>(a.count);
  return PushSelection(ctx, x, a, shape);
}

}  // namespace vke
