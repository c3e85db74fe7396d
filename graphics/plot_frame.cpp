// The room check, the command writer and the argument readers shared by the
// plot natives.
#include "graphics/plot_frame.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

// Colour indexes of the filled-series cycle.
constexpr std::array<uint32_t, 7> kColourCycle = {1, 4, 2, 6, 0, 3, 5};

}  // namespace

uint64_t RoomFor(uint64_t items, uint64_t perItem, uint64_t extra) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  if (perItem != 0 && items > (kMax - extra) / perItem) return kMax;
  return items * perItem + extra;
}

ErrCode ReservePlotRoom(PlotTarget& t, uint64_t needed) {
  const uint64_t begin = *t.used == 0 ? kObjectBeginDoubles : 0;
  const uint64_t left = PlotRoomLeft(t);
  if (begin > left || needed > left - begin || RoomRefused(RoomKind::kFigures))
    return kErrPlotOverflow;
  if (begin) {
    AppendObjectBeginCommand(t.payload, t.capacity, t.used, t.subplotIndex);
    SubplotScaleDefaults(t.subplot);
  }
  return kOk;
}

CommandWriter::CommandWriter(PlotTarget& target, int32_t code, int32_t id, int32_t index,
                             uint32_t style, uint32_t colour)
    : target_(target), header_{code, id, index, style, colour, 0} {
  if (PlotRoomLeft(target) < kCommandHeaderDoubles || RoomRefused(RoomKind::kFigures))
    overflow_ = true;
}

void CommandWriter::Put(double v) {
  FlushBytes();
  PutDouble(v);
}

void CommandWriter::PutBytes(const char* bytes, int64_t n) {
  int64_t i = 0;
  while (i < n) {
    // Whole doubles go straight through while no partial one waits.
    if (pendingCount_ == 0 && n - i >= 8) {
      double d;
      std::memcpy(&d, bytes + i, 8);
      PutDouble(d);
      i += 8;
      continue;
    }
    pending_[pendingCount_++] = bytes[i++];
    if (pendingCount_ == 8) FlushBytes();
  }
}

void CommandWriter::FlushBytes() {
  if (pendingCount_ == 0) return;
  std::fill(pending_ + pendingCount_, pending_ + 8, 0);
  double d;
  std::memcpy(&d, pending_, 8);
  pendingCount_ = 0;
  PutDouble(d);
}

void CommandWriter::PutDouble(double v) {
  if (overflow_ || PlotRoomLeft(target_) - kCommandHeaderDoubles <= count_) {
    overflow_ = true;
    return;
  }
  SetPayloadDouble(target_.payload, *target_.used + kCommandHeaderDoubles + count_++, v);
}

const double* CommandWriter::Data() const {
  return reinterpret_cast<const double*>(target_.payload +
                                         (size_t{*target_.used} + kCommandHeaderDoubles) * 8);
}

ErrCode CommandWriter::Commit() {
  FlushBytes();
  if (overflow_) return kErrPlotOverflow;
  header_.length = static_cast<int32_t>(count_);
  WriteCommandHeader(target_.payload + size_t{*target_.used} * 8, header_);
  *target_.used += kCommandHeaderDoubles + count_;
  return kOk;
}

void WidenWithCommandPoints(PlotTarget& t, const double* data, bool withZ) {
  const int32_t n = TruncToInt32(data[0]);
  UpdateAutoLimits(t.subplot, data + 1, data + 1 + n, withZ ? data + 1 + 2 * int64_t{n} : nullptr,
                   n);
}

ErrCode ReadMatrixArg(EngineContext* ctx, int32_t depth, MatrixArg* out) {
  return GetNumericArg(ctx, depth, &out->rows, &out->cols, &out->re, nullptr);
}

ErrCode ReadStyleArg(EngineContext* ctx, int32_t depth, StyleArg* out) {
  int32_t n = 0;
  if (GetStringArgToBuffer(ctx, depth, out->held, sizeof out->held - 1, &n) == kOk) {
    out->held[n] = 0;
    out->text = out->held;
    out->length = n;
    return kOk;
  }
  return GetStringArg(ctx, depth, &out->text, &out->length);
}

ErrCode SeriesStyle(const StyleArg& style, int32_t series, uint32_t defaultFlags, PlotStyle* out) {
  return ParsePlotStyle(style.text, style.length, series, defaultFlags, nullptr, out);
}

uint32_t StyleColour(const PlotStyle& s) {
  return uint32_t{s.red} << 16 | uint32_t{s.green} << 8 | s.blue;
}

ErrCode ReadIdArg(EngineContext* ctx, int32_t depth, ErrCode countError, int32_t* id) {
  double value;
  ErrCode e = GetScalarArg(ctx, depth, &value);
  if (e) return e == kErrNonScalarArg ? countError : e;
  *id = TruncToInt32(value);
  return kOk;
}

ErrCode ReadStyleAndId(EngineContext* ctx, int32_t nargin, int32_t styleAt, ErrCode idCountError,
                       StyleArg* style, int32_t* id) {
  if (styleAt < nargin) {
    if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, styleAt), style)) return e;
  }
  if (styleAt + 1 < nargin) return ReadIdArg(ctx, ArgDepth(nargin, styleAt + 1), idCountError, id);
  return kOk;
}

int32_t FirstTextArgument(EngineContext* ctx, int32_t nargin) {
  for (int32_t i = 0; i < nargin; i++)
    if (IsCharArray(ctx, ArgDepth(nargin, i))) return i;
  return nargin;
}

uint32_t CycleStyleWord(int32_t counter) {
  return kColourCycle[static_cast<size_t>(counter) % kColourCycle.size()];
}

void NumberRange(const double* v, int64_t n, double* low, double* high) {
  *low = std::numeric_limits<double>::infinity();
  *high = -*low;
  for (int64_t k = 0; k < n; ++k) {
    if (v[k] != v[k]) continue;
    *low = std::min(*low, v[k]);
    *high = std::max(*high, v[k]);
  }
}

ErrCode FinishPlotCall(EngineContext* ctx, int32_t nargin) {
  return Drop(ctx, nargin);
}

}  // namespace vke
