// What every plot native shares once its figure context is found: the
// capture buffer it appends drawing commands to and the subplot it draws in,
// the room check made before anything is written, the writer of one command,
// and the readers of the arguments common to the plot natives (numeric
// matrices, style strings, ids).
//
// Room rule: a call fits when the doubles it writes, plus the object-begin
// command an empty buffer needs first, do not pass the capacity; a call that
// fills the buffer exactly is accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/style.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The capture buffer of the object being drawn and the current subplot.
struct PlotTarget {
  SubplotRecord* subplot;
  std::byte* payload;    // first double of the object's payload
  uint32_t capacity;     // payload doubles available
  uint32_t* used;        // payload doubles written so far
  int32_t subplotIndex;  // the data of the object-begin command
};

// The implementation behind a plot native: the arguments lie on the stack;
// on success it has removed them (or set up a call of a function value, see
// fplot). `flag` is the table's extra argument (2-D/3-D, vertical/horizontal).
using PlotImplFn = ErrCode (*)(EngineContext* ctx, int32_t nargin, PlotTarget& target,
                               uint32_t flag);

// The doubles of `items` items of `perItem` doubles each and `extra` more,
// saturating instead of wrapping.
uint64_t RoomFor(uint64_t items, uint64_t perItem, uint64_t extra = 0);

// kErrPlotOverflow when `needed` doubles (and command 70 first when the buffer is still
// empty) would pass the capacity. Otherwise an empty buffer gets its
// object-begin command and the subplot's automatic limits are reset.
ErrCode ReservePlotRoom(PlotTarget& target, uint64_t needed);

// Doubles left behind the commands written.
inline uint32_t PlotRoomLeft(const PlotTarget& target) {
  return *target.used < target.capacity ? target.capacity - *target.used : 0;
}

// Writes one command behind the used count. The used count moves only in
// Commit, so a command left unfinished is never part of the object; data past
// the capacity is never written.
class CommandWriter {
 public:
  CommandWriter(PlotTarget& target, int32_t code, int32_t id, int32_t index, uint32_t style,
                uint32_t colour);
  void Put(double v);
  // Packs bytes eight to a double behind the data written; consecutive calls
  // continue one packed run, which the next Put or Commit closes with zero
  // padding.
  void PutBytes(const char* bytes, int64_t n);
  // The data written so far, as one run of doubles.
  const double* Data() const;
  // Writes the header and takes the command into the object; kErrPlotOverflow when its
  // data did not fit.
  ErrCode Commit();

 private:
  PlotTarget& target_;
  CommandHeader header_;
  uint32_t count_ = 0;
  bool overflow_ = false;
  char pending_[8] = {};  // bytes of a packed run not yet written
  int32_t pendingCount_ = 0;

  void PutDouble(double v);
  void FlushBytes();
};

// Widens the subplot's automatic limits with the points of a command whose
// data are {n, x[n], y[n], z[n] when withZ}.
void WidenWithCommandPoints(PlotTarget& target, const double* data, bool withZ);

// A numeric matrix argument (real part; row by row). Valid until the next
// push or drop.
struct MatrixArg {
  double* re = nullptr;
  int32_t rows = 0;
  int32_t cols = 0;

  int64_t Count() const { return int64_t{rows} * cols; }
  bool Empty() const { return rows == 0 || cols == 0; }
  double At(int64_t i) const { return re[i]; }
  // Point `point` of series `series`: a single row serves every series, a
  // single column every point. Only for non-empty matrices.
  double Series(int32_t series, int32_t point) const {
    return re[int64_t{rows == 1 ? 0 : series} * cols + (cols == 1 ? 0 : point)];
  }
};

// The double matrix at `depth`; kErrWrongType for anything else.
ErrCode ReadMatrixArg(EngineContext* ctx, int32_t depth, MatrixArg* out);

// Calls use(bytes, length) with the text at `depth` converted to 8-bit text
// in the engine's encoding; the converted copy lies on top of the stack
// meanwhile (the arguments sit one deeper) and is dropped afterwards. kErrWrongTypeOverload when
// the value is no text.
template <typename Use>
ErrCode WithText(EngineContext* ctx, int32_t depth, Use use) {
  if (!IsCharArray(ctx, depth)) return kErrWrongTypeOverload;
  if (ErrCode e = GetStringArgCopy(ctx, depth)) return e;
  const NumericView v = ViewNumeric(ctx, 0);
  const ErrCode rc = use(reinterpret_cast<const char*>(v.elements), v.shape.count);
  DropStackEntries(ctx, 0, 1);
  return rc;
}

// A style string argument, empty when absent.
// A style text. A short one is read into `held`, leaving its operand as
// given, so that a native without room later on runs again on it.
struct StyleArg {
  const char* text = "";
  int32_t length = 0;
  char held[64] = {};

  StyleArg() = default;
  StyleArg(const StyleArg& other) { *this = other; }
  StyleArg& operator=(const StyleArg& other) {
    length = other.length;
    std::memcpy(held, other.held, sizeof held);
    text = other.text == other.held ? held : other.text;
    return *this;
  }
};

// The char array at `depth` as a style string; kErrWrongType when it is not
// text. A text too long for `held` is narrowed in place on the stack, so it
// is read once per call.
ErrCode ReadStyleArg(EngineContext* ctx, int32_t depth, StyleArg* out);

// The style of series `series` (entry series mod their count), starting from
// the default style word and black; kErrUnknownOpt for a bad style character.
ErrCode SeriesStyle(const StyleArg& style, int32_t series, uint32_t defaultFlags, PlotStyle* out);

// The colour of a header: 0xRRGGBB.
uint32_t StyleColour(const PlotStyle& style);

// An id argument: a real scalar, truncated to an integer; `countError` when
// it has not exactly one element, kErrWrongType when it is no real double.
ErrCode ReadIdArg(EngineContext* ctx, int32_t depth, ErrCode countError, int32_t* id);

// The id of commands written without one.
inline constexpr int32_t kNoPlotId = -1;

// The style string at argument `styleAt` and the id behind it, each read
// when nargin reaches it; `idCountError` when the id has not one element.
ErrCode ReadStyleAndId(EngineContext* ctx, int32_t nargin, int32_t styleAt, ErrCode idCountError,
                       StyleArg* style, int32_t* id);

// The index of the first char argument among nargin arguments (from the
// first), or nargin when there is none.
int32_t FirstTextArgument(EngineContext* ctx, int32_t nargin);

// Depth of argument `index` (from 0, the first) among nargin arguments.
inline int32_t ArgDepth(int32_t nargin, int32_t index) {
  return nargin - 1 - index;
}

// Default style words of filled series (area, bar): the colour cycle blue,
// red, green, yellow, black, cyan, magenta at position `counter`.
uint32_t CycleStyleWord(int32_t counter);

// The default style word of curves: the renderer's data style.
inline constexpr uint32_t kCurveStyleWord = kStyleDefaultRecord;

// The smallest and largest of n values that are numbers (NaN skipped);
// *low > *high when there is none.
void NumberRange(const double* v, int64_t n, double* low, double* high);

// Removes the arguments of a finished call.
ErrCode FinishPlotCall(EngineContext* ctx, int32_t nargin);

}  // namespace vke
