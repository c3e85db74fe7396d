// contour and contour3: the arguments, the levels, the order in which lines
// are started, the room of each line, and for filled contours the
// background and the painting order by enclosed area.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "builtins/shell_sort.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/contour.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/plot_natives.hpp"
#include "graphics/scale.hpp"
#include "graphics/setting_args.hpp"

namespace vke {
namespace {

// Levels without a levels argument, and the most that a count may ask for.
constexpr int32_t kDefaultLevels = 7;
constexpr int32_t kMostLevels = 100;
// Colour indexes of the levels in turn: black, blue, red, magenta, green,
// cyan, yellow.
constexpr uint32_t kLevelColours[7] = {0, 1, 4, 5, 2, 3, 6};
// Doubles of a line of two points besides its coordinates: header and count.
constexpr uint32_t kLineHead = kCommandHeaderDoubles + 1;

// The levels: given values in their order, or `count` levels spread evenly
// between the smallest and largest height.
struct Levels {
  NumericView given;
  bool useGiven = false;
  int32_t count = 0;
  double zmin = 0;
  double zmax = 0;

  double At(int32_t k) const {
    if (useGiven) return ViewElement(given, k, false);
    return zmin + (zmax - zmin) * (k + 1) / (count + 1);
  }
};

// The levels argument (absent: 7 levels); a single value is a count (at
// most 100), two equal values one level at that value.
ErrCode ReadLevels(EngineContext* ctx, int32_t nargin, const double* z, int64_t cells,
                   Levels* out) {
  NumberRange(z, cells, &out->zmin, &out->zmax);
  out->count = kDefaultLevels;
  if (nargin < 3) return kOk;
  out->given = ViewNumeric(ctx, ArgDepth(nargin, 2));
  const NumericView& v = out->given;
  if (v.cls == ValueClass::kOther || v.cls == ValueClass::kChar) return kErrWrongType;
  const int64_t n = v.shape.count;
  if (n == 1) {
    const double asked = std::trunc(ViewElement(v, 0, false));
    out->count = asked > 0 ? static_cast<int32_t>(std::min<double>(asked, kMostLevels)) : 0;
  } else if (n == 2 && ViewElement(v, 0, false) == ViewElement(v, 1, false)) {
    out->useGiven = true;
    out->count = 1;
  } else if (n > 0) {
    out->useGiven = true;
    out->count = static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
  }
  // Without finite heights there is nothing to spread levels over.
  if (!out->useGiven && !(out->zmin <= out->zmax)) out->count = 0;
  return kOk;
}

// The style of level k: its entry of the style string over the level's
// colour from the sequence (or over black).
ErrCode LevelStyle(const StyleArg& style, int32_t k, bool ownColour, PlotStyle* out) {
  return SeriesStyle(style, k, ownColour ? kLevelColours[k % 7] : 0, out);
}

struct Trace {
  PlotTarget& t;
  ContourGrid grid;
  uint8_t* visited;
  bool is3d;

  // Traces the line that starts on the given edge behind a new header,
  // with room for all its coordinates; a line of fewer than two points is
  // dropped. 10001 when not even two points fit, or after a line cut where
  // the room ended.
  ErrCode Line(double level, bool fill, int32_t row, int32_t column, int32_t direction,
               const PlotStyle& style) {
    const uint32_t dims = is3d ? 3 : 2;
    const uint32_t left = PlotRoomLeft(t);
    if (left < kLineHead + 2 * dims) return kErrPlotOverflow;
    const uint32_t perAxis = std::min<uint32_t>((left - kLineHead) / dims, INT32_MAX);
    const uint32_t base = *t.used;
    auto* x = reinterpret_cast<double*>(t.payload + (size_t{base} + kLineHead) * 8);
    ContourPoints points{x, x + perAxis, static_cast<int32_t>(perAxis), 0};
    ContourFollow(grid, level, fill, row, column, &direction, visited, &points);
    const uint32_t k = static_cast<uint32_t>(points.count);
    if (k < 2) return points.cut ? kErrPlotOverflow : kOk;
    std::memmove(x + k, points.y, size_t{k} * 8);
    if (is3d) std::fill(x + 2 * k, x + 3 * k, level);
    SetPayloadDouble(t.payload, base + kCommandHeaderDoubles, k);
    WriteContourHeader(t.payload, t.used, base + kLineHead + dims * k,
                       is3d ? kCmdPolyline3 : kCmdPolyline, style);
    return points.cut ? kErrPlotOverflow : kOk;
  }

  // All lines of one level, in their starting order: into the grid from
  // its first row, last row, first column and last column, then the closed
  // lines inside it.
  ErrCode Level(double level, bool fill, const PlotStyle& style) {
    const int32_t m = grid.m;
    const int32_t n = grid.n;
    const auto z = [&](int32_t i, int32_t j) { return grid.z[int64_t{i} * n + j]; };
    std::memset(visited, 0, size_t{static_cast<uint32_t>(m)} * static_cast<uint32_t>(n));
    for (int32_t j = 0; j + 1 < n; ++j) {
      if (z(0, j) <= level && level <= z(0, j + 1)) {
        if (ErrCode e = Line(level, fill, 0, j, kContourUp, style)) return e;
      }
    }
    for (int32_t j = 0; j + 1 < n; ++j) {
      if (z(m - 1, j + 1) < level && level <= z(m - 1, j)) {
        if (ErrCode e = Line(level, fill, m - 1, j, kContourDown, style)) return e;
      }
    }
    for (int32_t i = 0; i + 1 < m; ++i) {
      if (z(i + 1, 0) < level && level <= z(i, 0)) {
        if (ErrCode e = Line(level, fill, i, 0, kContourRight, style)) return e;
      }
    }
    for (int32_t i = 0; i + 1 < m; ++i) {
      if (z(i, n - 1) < level && level <= z(i + 1, n - 1)) {
        if (ErrCode e = Line(level, fill, i, n - 1, kContourLeft, style)) return e;
      }
    }
    for (int32_t j = 1; j + 1 < n; ++j) {
      for (int32_t i = 0; i + 1 < m; ++i) {
        if (visited[int64_t{i} * n + j] || !(z(i + 1, j) < level && level <= z(i, j))) continue;
        if (ErrCode e = Line(level, fill, i, j, kContourRight, style)) return e;
      }
    }
    return kOk;
  }
};

// The area a code-1 command's points enclose, the last joined to the first.
double EnclosedArea(const std::byte* data) {
  const int32_t n = std::max(TruncToInt32(PayloadDouble(data, 0)), 0);
  double sum = 0;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t a = static_cast<uint32_t>(1 + i);
    const uint32_t b = static_cast<uint32_t>(1 + (i + 1) % n);
    sum += (PayloadDouble(data, a) + PayloadDouble(data, b)) *
           (PayloadDouble(data, b + n) - PayloadDouble(data, a + n)) / 2;
  }
  return std::fabs(sum);
}

// Puts the commands from `first` on in order of decreasing enclosed area,
// when the data stack holds their keys and the capture a second copy;
// otherwise they stay as traced.
void OrderByArea(EngineContext* ctx, PlotTarget& t, uint32_t first) {
  int32_t count = 0;
  CommandHeader h;
  for (uint32_t at = first; ReadCommandAt(t.payload, *t.used, at, &h);
       at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length)) {
    ++count;
  }
  uint32_t freeBytes = 0;
  void* area = nullptr;
  GetDataStackFree(ctx, &freeBytes, &area);
  const uint32_t span = *t.used - first;
  if (count < 2 || uint64_t{freeBytes} < uint64_t{static_cast<uint32_t>(count)} * 12 ||
      span > PlotRoomLeft(t)) {
    return;
  }
  auto* keys = static_cast<double*>(area);
  auto* positions = reinterpret_cast<int32_t*>(keys + count);
  int32_t i = 0;
  for (uint32_t at = first; ReadCommandAt(t.payload, *t.used, at, &h);
       at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length), ++i) {
    keys[i] = -EnclosedArea(t.payload + (size_t{at} + kCommandHeaderDoubles) * 8);
    positions[i] = static_cast<int32_t>(at);
  }
  ShellSortRealWithInt32Index(keys, positions, count, 1);
  std::byte* copy = t.payload + size_t{*t.used} * 8;
  size_t written = 0;
  for (i = 0; i < count; ++i) {
    const auto at = static_cast<uint32_t>(positions[i]);
    ReadCommandAt(t.payload, *t.used, at, &h);
    const size_t bytes = (kCommandHeaderDoubles + static_cast<size_t>(h.length)) * 8;
    std::memcpy(copy + written, t.payload + size_t{at} * 8, bytes);
    written += bytes;
  }
  std::memcpy(t.payload + size_t{first} * 8, copy, written);
}

}  // namespace

ErrCode TraceContours(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t flag) {
  const bool is3d = flag == kPlot3d;
  if (nargin < 1) return kErrTooFewArgin;
  if (nargin > 4) return kErrTooManyArgin;
  StyleArg style;
  if (nargin >= 4) {
    if (!IsCharArray(ctx, 0)) return kErrWrongType;
    if (ErrCode e = ReadStyleArg(ctx, 0, &style)) return e;
  }
  MatrixArg position;
  if (nargin >= 2) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &position)) return e;
    if (position.Count() != 0 && position.Count() != 4) return kErrBadSize;
  }
  MatrixArg z;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &z)) return e;
  Levels levels;
  if (ErrCode e = ReadLevels(ctx, nargin, z.re, z.Count(), &levels)) return e;
  // Every entry of the style string is checked before anything is written.
  int32_t entries = 0;
  if (ErrCode e = CountStyleEntries(style.text, style.length, &entries)) return e;
  for (int32_t k = 0; k < std::min(levels.count, entries); ++k) {
    PlotStyle ps;
    if (ErrCode e = LevelStyle(style, k, true, &ps)) return e;
  }
  const int32_t m = z.rows;
  const int32_t n = z.cols;
  // A grid of one row or column has no cells.
  if (m < 2 || n < 2) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  uint32_t freeBytes = 0;
  void* flags = nullptr;
  GetDataStackFree(ctx, &freeBytes, &flags);
  if (uint64_t{freeBytes} < uint64_t{static_cast<uint32_t>(m)} * static_cast<uint32_t>(n)) {
    return kErrDataOverflow;
  }
  if (ErrCode e = ReservePlotRoom(t, 0)) return e;
  const uint32_t first = *t.used;

  ContourGrid grid{z.re, m, n, 1, static_cast<double>(n), 1, static_cast<double>(m)};
  if (position.Count() == 4 && position.At(0) != position.At(1) &&
      position.At(2) != position.At(3)) {
    grid.xmin = position.At(0);
    grid.xmax = position.At(1);
    grid.ymin = position.At(2);
    grid.ymax = position.At(3);
  }
  if (is3d) t.subplot->is3d = 1;
  double lowest = INFINITY;
  double highest = -INFINITY;
  for (int32_t k = 0; k < levels.count; ++k) {
    const double v = levels.At(k);
    if (std::isnan(v)) continue;
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  {
    const double xs[2] = {grid.xmin, grid.xmax};
    const double ys[2] = {grid.ymin, grid.ymax};
    const double zs[2] = {lowest, highest};
    UpdateAutoLimits(t.subplot, xs, ys, is3d && lowest <= highest ? zs : nullptr, 2);
  }

  Trace trace{t, grid, static_cast<uint8_t*>(flags), is3d};
  bool filled = false;
  for (int32_t k = 0; k < levels.count; ++k) {
    PlotStyle ps;
    if (ErrCode e = LevelStyle(style, k, true, &ps)) return e;
    const bool fill = !is3d && (ps.flags & kStyleFilled);
    filled = filled || fill;
    if (ErrCode e = trace.Level(levels.At(k), fill, ps)) return e;
  }
  if (filled) {
    // The whole grid takes the fill of the highest filled level below every
    // height.
    int32_t under = -1;
    for (int32_t k = 0; k < levels.count; ++k) {
      PlotStyle ps;
      if (ErrCode e = LevelStyle(style, k, false, &ps)) return e;
      const double v = levels.At(k);
      if ((ps.flags & kStyleFilled) && v < levels.zmin && (under < 0 || v > levels.At(under))) {
        under = k;
      }
    }
    if (under >= 0) {
      PlotStyle ps;
      if (ErrCode e = LevelStyle(style, under, true, &ps)) return e;
      if (ErrCode e = ReservePlotRoom(t, kLineHead + 8)) return e;
      CommandWriter w(t, kCmdPolyline, -1, -1, ps.flags, StyleColour(ps));
      w.Put(4);
      for (double x : {grid.xmin, grid.xmin, grid.xmax, grid.xmax}) w.Put(x);
      for (double y : {grid.ymin, grid.ymax, grid.ymax, grid.ymin}) w.Put(y);
      if (ErrCode e = w.Commit()) return e;
    }
    OrderByArea(ctx, t, first);
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
