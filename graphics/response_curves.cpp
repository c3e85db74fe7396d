// Shared pieces of the response curve routines.
#include "graphics/response_curves.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

CurveArea FreeCurveArea(const PlotTarget& target) {
  auto* base = reinterpret_cast<double*>(target.payload);
  return {base + *target.used, PlotRoomLeft(target)};
}

bool AxisFollowsViewport(const SubplotRecord* subplot, int32_t axis) {
  if (subplot == nullptr) return false;
  const int32_t state = subplot->scaleState[axis] & ~0x40;
  return state == kScaleReleased || state == kScaleFixed;
}

ErrCode PushColumns(EngineContext* ctx, int32_t rows, int32_t columns, const double* first,
                    int64_t stride) {
  uint32_t bytes = 0;
  void* freeAt = nullptr;
  GetDataStackFree(ctx, &bytes, &freeAt);
  const auto* low = static_cast<const double*>(freeAt);
  const uint64_t count = uint64_t(std::max(rows, 0)) * std::max(columns, 0);
  if (count == 0) {
    // No values: the shape asked for all the same (0 x 1 for a column of
    // no points).
    Shape shape;
    shape.dims[0] = std::max(rows, 0);
    shape.dims[1] = std::max(columns, 0);
    uint32_t at;
    return PushArrayWithShape(ctx, ArrayClass{}, false, shape, &at);
  }
  // The new matrix takes the first count doubles of the free stack (and a
  // few words of bookkeeping): runs there would be overwritten while read.
  const uint64_t reach = count + 8;
  for (int32_t j = 0; j < columns; j++) {
    const double* run = first + j * stride;
    if (run < low + reach && run + rows > low) return kErrPlotOverflow;
  }
  double* re = nullptr;
  if (ErrCode e = PushNewMatrix(ctx, rows, columns, &re, nullptr)) return e;
  for (int32_t i = 0; i < rows; i++) {
    for (int32_t j = 0; j < columns; j++) {
      re[int64_t{i} * columns + j] = first[j * stride + i];
    }
  }
  return kOk;
}

double UnwrapPhase(double phi, double reference) {
  constexpr double kTurn = 2 * std::numbers::pi;
  constexpr int32_t kMostTurns = 20;
  if (std::isnan(phi) || std::isnan(reference)) return phi;
  for (int32_t k = 0; k < kMostTurns && phi > reference + kTurn / 2; k++) phi -= kTurn;
  for (int32_t k = 0; k < kMostTurns && phi < reference - kTurn / 2; k++) phi += kTurn;
  return phi;
}

void CommitCurveCommand(PlotTarget& target, int32_t code, const PlotStyle& style, int32_t id,
                        int32_t series, int32_t length) {
  const CommandHeader header{code, id, series, style.flags, StyleColour(style), length};
  WriteCommandHeader(target.payload + size_t{*target.used} * 8, header);
  *target.used += kCommandHeaderDoubles + length;
}

}  // namespace vke
