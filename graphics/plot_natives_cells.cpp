// Objects of coloured cells in 2-D: images of grey or colour bytes
// (command 9), pseudo-colour cells over a grid (command 10), and the colour
// map of the current subplot (command 11) that colours them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"
#include "graphics/setting_args.hpp"
#include "graphics/surface_natives.hpp"

namespace vke {
namespace {

// Image payload flags and the options that set them.
constexpr double kImageColour = 1;
struct ImageOption {
  char letter;
  uint32_t flags;
};
constexpr ImageOption kImageOptions[] = {
    {'e', 2},   // whole device pixels per cell
    {'1', 4},   // linear resampling
    {'3', 12},  // cubic resampling
};
// Doubles of an image payload before its bytes.
constexpr uint64_t kImageHeadDoubles = 7;

// Pseudo-colour payload flags.
constexpr uint32_t kPcolorXVector = 1;
constexpr uint32_t kPcolorXMatrix = 2;
constexpr uint32_t kPcolorYVector = 4;
constexpr uint32_t kPcolorYMatrix = 8;
// Default style words of pcolor: with a style text the data default, else
// no grid lines.
constexpr uint32_t kPcolorStyledWord = kStyleDefaultRecord;
constexpr uint32_t kPcolorPlainWord = kKindNone;

// Doubles of a colour-map payload for n entries.
uint64_t ColormapDoubles(int64_t n) {
  return RoomFor(static_cast<uint64_t>(n), 3, 1);
}

// ---- image ----

// One plane of image bytes: an argument of a type that converts to bytes.
struct ImagePlane {
  NumericView view;
  int64_t offset = 0;  // first element

  static char Scaled(double v) {
    v *= 255.9;
    return static_cast<char>(static_cast<uint8_t>(v > 0 ? std::min(v, 255.0) : 0.0));
  }

  // The bytes of n cells from cell `from`, the type's rule chosen once.
  void Bytes(int64_t from, int64_t n, char* out) const {
    const uint8_t* el = view.elements;
    const int64_t at = offset + from;
    switch (view.cls) {
      case ValueClass::kLogical:
        for (int64_t i = 0; i < n; ++i) out[i] = static_cast<char>(el[at + i] != 0 ? 255 : 0);
        break;
      case ValueClass::kInteger:
        std::memcpy(out, el + at, static_cast<size_t>(n));
        break;
      case ValueClass::kSingle:
        for (int64_t i = 0; i < n; ++i) out[i] = Scaled(Load<float>(el + 4 * (at + i)));
        break;
      default:
        for (int64_t i = 0; i < n; ++i) out[i] = Scaled(Load<double>(el + 8 * (at + i)));
        break;
    }
  }
};

// Doubles, singles and logicals give their values; 8-bit unsigned integers
// their bytes; other types 43.
ErrCode ReadImageValue(EngineContext* ctx, int32_t depth, NumericView* out) {
  *out = ViewNumeric(ctx, depth);
  const bool ok =
      !out->complex && (out->cls == ValueClass::kDouble || out->cls == ValueClass::kSingle ||
                        out->cls == ValueClass::kLogical ||
                        (out->cls == ValueClass::kInteger && out->code == kCodeUInt8));
  return ok ? kOk : kErrWrongType;
}

// ---- colormap ----

// Calls visit(header, position) for every command of the capture that
// belongs to the current subplot (the commands before the first command 70
// belong to subplot 0). A visit that returns true has removed the command,
// so the walk stays where it is.
template <typename Visit>
void WalkSubplotCommands(PlotTarget& t, Visit visit) {
  int32_t group = 0;
  uint32_t at = 0;
  CommandHeader h;
  while (ReadCommandAt(t.payload, *t.used, at, &h)) {
    if (h.code == kCmdObjectBegin && h.length >= 1) {
      group = TruncToInt32(PayloadDouble(t.payload + size_t{at} * 8, kCommandHeaderDoubles));
    }
    if (group == t.subplotIndex && visit(h, at)) continue;
    at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length);
  }
}

}  // namespace

ErrCode AddImageObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  const int32_t textAt = FirstTextArgument(ctx, nargin);
  if (textAt + 2 < nargin) return kErrTooManyArgin;
  const int32_t numeric = textAt;
  if (numeric < 1 || numeric > 4) return kErrBadArg;
  uint32_t flags = 0;
  int32_t id = kNoPlotId;
  if (textAt < nargin) {
    StyleArg option;
    if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, textAt), &option)) return e;
    for (const ImageOption& o : kImageOptions) {
      if (option.length > 0 && option.text[0] == o.letter) flags = o.flags;
    }
  }
  if (textAt + 1 < nargin) {
    if (ErrCode e = ReadIdArg(ctx, ArgDepth(nargin, textAt + 1), kErrNonScalarArg, &id)) return e;
  }
  const bool separate = numeric >= 3;  // r, g and b
  const bool placed = numeric == 2 || numeric == 4;
  ImagePlane planes[3];
  int32_t planeCount = 1;
  for (int32_t k = 0; k < (separate ? 3 : 1); ++k) {
    if (ErrCode e = ReadImageValue(ctx, ArgDepth(nargin, k), &planes[k].view)) return e;
  }
  const Shape& shape = planes[0].view.shape;
  const int32_t m = shape.dims[0];
  const int32_t n = shape.dims[1];
  if (separate) {
    planeCount = 3;
    for (const ImagePlane& p : planes) {
      const Shape& s = p.view.shape;
      if (s.ndims != 2 || s.dims[0] != m || s.dims[1] != n) return kErrIncompSize;
    }
  } else if (shape.ndims == 3 && shape.dims[2] == 3) {
    planeCount = 3;
    for (int32_t k = 1; k < 3; ++k) {
      planes[k] = planes[0];
      planes[k].offset = k * int64_t{m} * n;
    }
  } else if (shape.ndims != 2) {
    return kErrBadSize;
  }
  double box[4] = {0, 0, static_cast<double>(n), static_cast<double>(m)};
  if (placed) {
    MatrixArg position;
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, numeric - 1), &position)) return e;
    if (position.Count() != 4) return kErrBadSize;
    box[0] = position.At(0);
    box[1] = position.At(2);
    box[2] = position.At(1) - position.At(0);
    box[3] = position.At(3) - position.At(2);
  }
  const int64_t cells = int64_t{m} * n;
  if (cells == 0) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  const uint64_t bytes = static_cast<uint64_t>(planeCount * cells);
  if (ErrCode e = ReservePlotRoom(t, (bytes + 7) / 8 + kImageHeadDoubles + kCommandHeaderDoubles)) {
    return e;
  }
  if (planeCount == 3) flags |= static_cast<uint32_t>(kImageColour);
  CommandWriter w(t, kCmdImageCells, id, 0, 0, 0);
  for (double v : {static_cast<double>(flags), static_cast<double>(m), static_cast<double>(n),
                   box[0], box[1], box[2], box[3]}) {
    w.Put(v);
  }
  char chunk[4096];
  for (int32_t k = 0; k < planeCount; ++k) {
    for (int64_t i = 0; i < cells; i += sizeof chunk) {
      const int64_t n = std::min<int64_t>(sizeof chunk, cells - i);
      planes[k].Bytes(i, n, chunk);
      w.PutBytes(chunk, n);
    }
  }
  if (ErrCode e = w.Commit()) return e;
  const double xs[2] = {box[0], box[0] + box[2]};
  const double ys[2] = {box[1], box[1] + box[3]};
  UpdateAutoLimits(t.subplot, xs, ys, nullptr, 2);
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddPcolorObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  // pcolor(c, style, id) or pcolor(x, y, c, style, id).
  const bool gridGiven = nargin >= 4 || (nargin == 3 && !IsCharArray(ctx, ArgDepth(nargin, 1)));
  const int32_t cAt = gridGiven ? 2 : 0;
  int32_t id = kNoPlotId;
  StyleArg style;
  const bool styled = cAt + 1 < nargin;
  if (styled && !IsCharArray(ctx, ArgDepth(nargin, cAt + 1))) return kErrWrongType;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, cAt + 1, kErrNonScalarArg, &style, &id)) return e;
  MatrixArg c;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, cAt), &c)) return e;
  const int32_t m = c.rows;
  const int32_t n = c.cols;
  MatrixArg x;
  MatrixArg y;
  uint32_t flags = 0;
  if (gridGiven) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &x)) return e;
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &y)) return e;
    const bool xVector = x.Count() == n && (x.rows == 1 || x.cols == 1);
    const bool yVector = y.Count() == m && (y.rows == 1 || y.cols == 1);
    if (!xVector && !(x.rows == m && x.cols == n)) return kErrIncompSize;
    if (!yVector && !(y.rows == m && y.cols == n)) return kErrIncompSize;
    flags =
        (xVector ? kPcolorXVector : kPcolorXMatrix) | (yVector ? kPcolorYVector : kPcolorYMatrix);
  }
  PlotStyle ps;
  if (ErrCode e = SeriesStyle(style, 0, styled ? kPcolorStyledWord : kPcolorPlainWord, &ps)) {
    return e;
  }
  const int64_t cells = c.Count();
  if (cells == 0) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  const uint64_t length = RoomFor(1, static_cast<uint64_t>(x.Count() + y.Count() + cells), 3);
  if (ErrCode e = ReservePlotRoom(t, length + kCommandHeaderDoubles)) return e;
  CommandWriter w(t, kCmdPseudoColour, id, 0, ps.flags, StyleColour(ps));
  w.Put(flags);
  w.Put(m);
  w.Put(n);
  for (const MatrixArg* a : {&x, &y, &c}) {
    for (int64_t i = 0; i < a->Count(); ++i) w.Put(a->At(i));
  }
  if (ErrCode e = w.Commit()) return e;
  // The nodes widen the limits: given coordinates, or the column and row
  // numbers.
  if (gridGiven) {
    UpdateAutoLimits(t.subplot, x.re, nullptr, nullptr, static_cast<int32_t>(x.Count()));
    UpdateAutoLimits(t.subplot, nullptr, y.re, nullptr, static_cast<int32_t>(y.Count()));
  } else {
    const double xs[2] = {1, static_cast<double>(n)};
    const double ys[2] = {1, static_cast<double>(m)};
    UpdateAutoLimits(t.subplot, xs, ys, nullptr, 2);
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode SetColormap(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  if (nargin == 0) {
    if (!AnswersQuery(nargin, nargout)) return kOk;
    int64_t last = -1;
    WalkSubplotCommands(t, [&](const CommandHeader& h, uint32_t at) {
      if (h.code == kCmdColourMap && h.length >= 1) last = at;
      return false;
    });
    if (last < 0) return PushMatrixValue(ctx, nullptr, 0, 0);
    const std::byte* data = t.payload + (static_cast<size_t>(last) + kCommandHeaderDoubles) * 8;
    const int32_t n = std::max(TruncToInt32(PayloadDouble(data, 0)), 0);
    double* re;
    if (ErrCode e = PushNewMatrix(ctx, n, 3, &re, nullptr)) return e;
    for (int32_t i = 0; i < n; ++i) {
      for (int32_t k = 0; k < 3; ++k) {
        re[int64_t{i} * 3 + k] = PayloadDouble(data, static_cast<uint32_t>(1 + k * n + i));
      }
    }
    return kOk;
  }
  const NumericView map = ViewNumeric(ctx, 0);
  if (map.complex || map.cls == ValueClass::kOther || map.cls == ValueClass::kChar) {
    return kErrWrongTypeOverload;
  }
  if (map.shape.ndims != 2 || map.shape.dims[1] != 3) return kErrBadSize;
  const int32_t n = map.shape.dims[0];
  for (int64_t i = 0; i < map.shape.count; ++i) {
    const double v = ArrayElement(map, i);
    if (!(v >= 0 && v <= 1)) return kErrOutOfRangeArg;
  }
  // The room counts what the old maps free, so that a call that fails
  // keeps them.
  uint64_t freed = 0;
  WalkSubplotCommands(t, [&](const CommandHeader& h, uint32_t) {
    if (h.code == kCmdColourMap) freed += kCommandHeaderDoubles + static_cast<uint32_t>(h.length);
    return false;
  });
  const uint64_t need = ColormapDoubles(n) + kCommandHeaderDoubles;
  if (freed > 0 && need > PlotRoomLeft(t) + freed) return kErrPlotOverflow;
  WalkSubplotCommands(t, [&](const CommandHeader& h, uint32_t at) {
    if (h.code != kCmdColourMap) return false;
    const uint32_t size = kCommandHeaderDoubles + static_cast<uint32_t>(h.length);
    std::byte* command = t.payload + size_t{at} * 8;
    std::memmove(command, command + size_t{size} * 8, size_t{*t.used - at - size} * 8);
    *t.used -= size;
    return true;
  });
  if (ErrCode e = ReservePlotRoom(t, need)) return e;
  CommandWriter w(t, kCmdColourMap, -1, -1, 0, 0);
  w.Put(n);
  for (int32_t k = 0; k < 3; ++k) {
    for (int32_t i = 0; i < n; ++i) w.Put(ArrayElement(map, int64_t{i} * 3 + k));
  }
  if (ErrCode e = w.Commit()) return e;
  return nargout > 0 ? kOk : FinishPlotCall(ctx, nargin);
}

}  // namespace vke
