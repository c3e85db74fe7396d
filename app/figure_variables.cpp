// Writing the figure into _pl and _3d and reading it back.
#include "app/figure_variables.hpp"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_properties.hpp"
#include "app/undo_values.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/saved_figure.hpp"

namespace vke {
namespace {

// Room for the longest _pl (every subplot in free layout) and _3d (every
// subplot 3-D).
constexpr int32_t kMaxValues =
    std::max(kLayoutHeader + kMaxSubplots * kFreeEntry, kMaxSubplots* kViewRow);

// Hands entry i of the _ppl list to subplot i - 1.
ErrCode RestorePlotProperties(KVContextBlock* block, int32_t id) {
  EngineContext* ctx = block->Engine();
  if (ErrCode e = PushUndoValue(block, id, 0, kVarPpl)) return e;
  StructuredParts parts;
  const int32_t n = IsListValue(ctx, 0) && GetListParts(ctx, 0, &parts) == kOk ? parts.elements : 0;
  ErrCode rc = kOk;
  for (int32_t i = 1; i <= n && rc == kOk; ++i) {
    rc = GetListElement(ctx, 0, i);
    if (rc == kOk) rc = GetPlotProperties(block, id, i - 1);
  }
  DropStackEntries(ctx, 0, 1);
  return rc;
}

}  // namespace

ErrCode ReadMatrixVariable(KVContextBlock* block, int32_t id, int32_t back, int32_t variable,
                           int32_t columns, double* out, int32_t capacity, int32_t* rows,
                           int32_t* count) {
  EngineContext* ctx = block->Engine();
  *rows = *count = 0;
  if (ErrCode e = PushUndoValue(block, id, back, variable)) return e;
  const NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kDouble && !v.complex && v.shape.ndims == 2 &&
      v.shape.count <= capacity && (columns == 0 || v.shape.dims[1] == columns)) {
    *rows = v.shape.dims[0];
    *count = v.shape.count;
    for (int32_t i = 0; i < v.shape.count; ++i) out[i] = ViewElement(v, i, false);
  }
  return DropStackEntries(ctx, 0, 1);
}

ErrCode SaveFigureState(KVContextBlock* block, int32_t id) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr) return kKvNonexistentInstance;
  EngineContext* ctx = block->Engine();
  double* values;
  if (ErrCode e = PushNewMatrix(ctx, 1, LayoutValueLength(r->figure), &values, nullptr)) return e;
  EncodeLayout(r->figure, values);
  // A value the undo buffer had no room for leaves the stack all the same.
  if (ErrCode e = StoreUndoValue(block, id, 0, kVarPl)) {
    Drop(ctx);
    return e;
  }
  const int32_t views = ViewRowCount(r->figure);
  ErrCode e =
      views == 0 ? PushEmptyMatrix(ctx) : PushNewMatrix(ctx, views, kViewRow, &values, nullptr);
  if (e) return e;
  if (views > 0) EncodeViews(r->figure, values);
  e = StoreUndoValue(block, id, 0, kVar3d);
  if (e) Drop(ctx);
  return e;
}

ErrCode SaveFigureStateWithGrowth(KVContextBlock** slot, int32_t id) {
  return RunWithGrowth(slot, [id](KVContextBlock* block) { return SaveFigureState(block, id); });
}

ErrCode ChangeFigureWithGrowth(
    KVContextBlock** slot, int32_t id,
    const std::function<ErrCode(KVContextBlock*, FigureState*)>& change) {
  const InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  static_assert(std::is_trivially_copyable_v<FigureState>);
  const auto seen = std::make_unique<FigureState>(r->figure);
  return RunWithGrowth(slot, [&](KVContextBlock* block) {
    FigureState* figure = &FindInstance(block, id)->figure;
    *figure = *seen;
    return change(block, figure);
  });
}

ErrCode RestoreFigureStateWithGrowth(KVContextBlock** slot, int32_t id) {
  return ChangeFigureWithGrowth(slot, id, [id](KVContextBlock* block, FigureState*) {
    return RestoreFigureState(block, id);
  });
}

ErrCode PushFigureViews(EngineContext* ctx, const FigureState& fig) {
  const int32_t rows = ViewRowCount(fig);
  if (rows == 0) return PushEmptyMatrix(ctx);
  double* values;
  if (ErrCode e = PushNewMatrix(ctx, rows, kViewRow, &values, nullptr)) return e;
  EncodeViews(fig, values);
  return kOk;
}

ErrCode RestoreFigureState(KVContextBlock* block, int32_t id) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr) return kKvNonexistentInstance;
  double values[kMaxValues];
  int32_t rows = 0;
  int32_t count = 0;
  if (ErrCode e = ReadMatrixVariable(block, id, 0, kVarPl, 0, values, kMaxValues, &rows, &count)) {
    return e;
  }
  InstanceFigureHost host(block, id);
  if (ErrCode e = RestoreLayout(&r->figure, host, values, rows == 1 ? count : 0)) return e;
  if (ErrCode e =
          ReadMatrixVariable(block, id, 0, kVar3d, kViewRow, values, kMaxValues, &rows, &count)) {
    return e;
  }
  for (int32_t i = 0; i < rows; ++i) ApplyView(&r->figure, values + i * kViewRow);
  return RestorePlotProperties(block, id);
}

}  // namespace vke
