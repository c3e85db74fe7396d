// The subplot-setting natives: scale, daspect, plotoption, scalefactor,
// label, title and legend.
#include "graphics/settings_natives.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/camera.hpp"
#include "graphics/scale.hpp"
#include "graphics/scale_internal.hpp"
#include "graphics/setting_args.hpp"

namespace vke {
namespace {

// The scale-kind table: name, kind, applicable kinds.
constexpr AxisScaleRecord kAxisScaleTable[] = {
    {"equal", kScaleEqual, 0},                // equal units on x and y
    {"linlin", 0, 0},                         // both linear
    {"linlog", kScaleLogY, kScaleLogY},       // logarithmic y
    {"loglin", kScaleLogX, kScaleLogX},       // logarithmic x
    {"loglog", 3, 3},                         // both logarithmic
    {"lindb", kScaleDbY, 0x12},               // y in decibels
    {"logdb", kScaleLogX | kScaleDbY, 0x13},  // logarithmic x, y in decibels
    {"", 0, 0},                               // end of the table
};

// ---- scale ----

bool Released(const SubplotRecord& s, Axis axis) {
  const int32_t state = s.scaleState[axis] & ~kScaleHoldBit;
  return state == kScaleReleased || state == kScaleFixed;
}

// The limits row of a query: six stored limits of a 3-D subplot, else the
// visible range of each released or fixed axis.
ErrCode PushScaleLimits(EngineContext* ctx, const SubplotRecord& s) {
  double row[6];
  int32_t n = 0;
  if (s.is3d) {
    for (int32_t axis = 0; axis < 3; ++axis) {
      row[n++] = s.limits[axis];
      row[n++] = s.limits[axis + 3];
    }
  } else {
    if (Released(s, kAxisX)) {
      GetViewportXRange(s, &row[0], &row[1]);
      n = 2;
    }
    if (Released(s, kAxisY)) {
      GetViewportYRange(s, &row[n], &row[n + 1]);
      n += 2;
    }
  }
  return PushRowValue(ctx, row, n);
}

// A kind given as a number: the bits of a subplot's flags word.
uint32_t KindFromNumber(uint32_t bits, bool applicable) {
  uint32_t kind = 0;
  if (bits & 1) kind |= kScaleLogX;
  if (bits & 0x40) kind |= kScaleLogY;
  if (bits & 0x80) kind |= kScaleDbY;
  if ((bits & 0x1000) && !applicable) kind |= kScaleEqual;
  return kind;
}

struct ScaleRequest {
  uint32_t kind = 0;
  uint32_t applicable = 0;
  bool lock = false;
  int32_t limitCount = 0;  // 0, 2, 4 or 6
  double limits[6] = {};   // x min, x max, y min, y max, z min, z max
};

// A text input: "lock", a table name, or two names joined by a slash whose
// second starts with "l".
ErrCode ParseScaleText(const char* text, int32_t length, ScaleRequest* r) {
  const std::string_view s(text, static_cast<size_t>(length));
  if (s == "lock") {
    r->lock = true;
    return kOk;
  }
  const size_t slash = s.find('/');
  const AxisScaleRecord* kind = FindAxisScale(s.substr(0, slash));
  const AxisScaleRecord* applicable = kind;
  if (slash != std::string_view::npos) {
    if (slash + 1 >= s.size() || s[slash + 1] != 'l') return kErrUnknownOpt;
    applicable = FindAxisScale(s.substr(slash + 1));
  }
  if (kind == nullptr || applicable == nullptr) return kErrUnknownOpt;
  r->kind = kind->kind;
  r->applicable = applicable->applicable;
  return kOk;
}

ErrCode ParseScaleInputs(EngineContext* ctx, int32_t nargin, ScaleRequest* r) {
  for (int32_t i = 0; i < nargin; ++i) {
    const int32_t depth = ArgDepth(nargin, i);
    if (IsCharArray(ctx, depth)) {
      const char* text;
      int32_t length;
      if (ErrCode e = GetStringArg(ctx, depth, &text, &length)) return e;
      if (ErrCode e = ParseScaleText(text, length, r)) return e;
      continue;
    }
    NumericView v;
    if (ErrCode e = ReadRealArray(ctx, depth, &v)) return e;
    const int32_t n = v.shape.count;
    if (n == 1) {
      if (i > 1) return kErrBadArg;
      const auto bits = static_cast<uint32_t>(TruncToInt64(ArrayElement(v, 0)));
      (i == 0 ? r->kind : r->applicable) = KindFromNumber(bits, i == 1);
    } else if ((n == 2 || n == 4 || n == 6) && i == nargin - 1) {
      r->limitCount = n;
      for (int32_t k = 0; k < n; ++k) r->limits[k] = ArrayElement(v, k);
    } else {
      return kErrBadArg;
    }
  }
  return kOk;
}

// Limits of a lock: where the axes concerned are fixed and show other
// limits than given, the user's zoom stays.
void ApplyLockedLimits(SubplotRecord* s, const ScaleRequest& r) {
  const bool withY = r.limitCount >= 4;
  const bool fixed = IsAxisFixed(*s, kAxisX) && (!withY || IsAxisFixed(*s, kAxisY));
  const bool same =
      LimitMin(*s, kAxisX) == r.limits[0] && LimitMax(*s, kAxisX) == r.limits[1] &&
      (!withY || (LimitMin(*s, kAxisY) == r.limits[2] && LimitMax(*s, kAxisY) == r.limits[3]));
  if (fixed && !same) return;
  for (int32_t axis = kAxisX; axis <= (withY ? kAxisY : kAxisX); ++axis) {
    if ((s->scaleState[axis] & ~kScaleHoldBit) == kScaleFixed) {
      SetAxisState(s, axis, kScaleReleased);
    }
  }
  SetFixedLimits(s, r.limits[0], r.limits[1], withY ? r.limits[2] : 0, withY ? r.limits[3] : 0);
}

void ApplyLimits(SubplotRecord* s, const ScaleRequest& r) {
  const double* l = r.limits;
  if (r.lock) {
    ApplyLockedLimits(s, r);
  } else if (r.limitCount == 6) {
    s->is3d = 1;
    SetReleasedLimits(s, l[0], l[1], l[2], l[3], l[4], l[5]);
  } else if (s->is3d) {
    SetFixedLimits(s, l[0], l[1], r.limitCount == 4 ? l[2] : 0, r.limitCount == 4 ? l[3] : 0);
  } else {
    SetReleasedLimits(s, l[0], l[1], r.limitCount == 4 ? l[2] : 0, r.limitCount == 4 ? l[3] : 0, 0,
                      0);
  }
}

// ---- plotoption ----

enum OptionField : uint8_t { kOptionWord, kViewFlags };

// A name of plotoption: the bits it sets, or with "no" clears (when it may).
struct PlotOptionRule {
  const char* name;
  OptionField field;
  uint32_t mask;
  uint32_t on;
  bool negatable;
  uint32_t off;
  bool gridKind;  // marks the grid as chosen
};

constexpr PlotOptionRule kPlotOptions[] = {
    {"frame", kOptionWord, kOptFrame, kOptFrame, true, 0, false},           // frame
    {"margin", kOptionWord, kOptMargin, kOptMargin, true, 0, false},        // margins
    {"label", kOptionWord, kOptLabel, kOptLabel, true, 0, false},           // title
    {"legend", kOptionWord, kOptLegend, kOptLegend, true, 0, false},        // legend box
    {"fill3d", kViewFlags, 0x10, 0x10, true, 0, false},                     // 3-D box fills
    {"tllegend", kOptionWord, kOptLegendCorner, 0x40000, false, 0, false},  // top left
    {"trlegend", kOptionWord, kOptLegendCorner, 0, false, 0, false},        // top right
    {"brlegend", kOptionWord, kOptLegendCorner, 0x80000, false, 0, false},  // bottom right
    {"bllegend", kOptionWord, kOptLegendCorner, 0xC0000, false, 0, false},  // bottom left
    {"xgrid", kOptionWord, kOptXGrid, kOptXGrid, true, 0, false},           // x grid
    {"ygrid", kOptionWord, kOptYGrid, kOptYGrid, true, 0, false},           // y grid
    {"xygrid", kOptionWord, 0x44, 0x44, true, 0, false},                    // both grids
    {"grid", kOptionWord, kOptGridKindMask, 0x2000, true, 0x1000, true},    // basic or none
    {"fullgrid", kOptionWord, kOptGridKindMask, 0x4000, false, 0, true},    // full grid
};

// ---- legend ----

// Entries of a legend text: its lines, less a last empty one.
int32_t LegendEntryCount(const char* text, int32_t length) {
  const auto breaks = static_cast<int32_t>(std::count(text, text + length, '\n'));
  return breaks + 1 - (length > 0 && text[length - 1] == '\n' ? 1 : 0);
}

ErrCode WriteLegend(PlotTarget& t, const char* text, int32_t length, const StyleArg& style) {
  const int32_t m = LegendEntryCount(text, length);
  const int64_t packed = (int64_t{length} + 7) / 8;
  // Every entry's style first: a bad style changes nothing.
  for (int32_t i = 0; i < m; ++i) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, i, kStyleDefaultRecord, &ps)) return e;
  }
  const uint64_t need = RoomFor(m, 2, kCommandHeaderDoubles + 3 + static_cast<uint64_t>(packed));
  if (ErrCode e = ReservePlotRoom(t, need)) return e;
  CommandWriter w(t, kCmdLegendEntry, -1, -1, 0, 0);
  w.Put(0);
  w.Put(m);
  w.Put(length);
  for (int32_t i = 0; i < m; ++i) {
    PlotStyle ps;
    SeriesStyle(style, i, kStyleDefaultRecord, &ps);
    w.Put(ps.flags);
    w.Put(StyleColour(ps));
  }
  w.PutBytes(text, length);
  if (ErrCode e = w.Commit()) return e;
  t.subplot->optionWord |= kOptLegend;
  return kOk;
}

}  // namespace

const AxisScaleRecord* FindAxisScale(std::string_view name) {
  for (const AxisScaleRecord& r : kAxisScaleTable) {
    if (r.name[0] != '\0' && name == r.name) return &r;
  }
  return nullptr;
}

int32_t ScaleKindText(const SubplotRecord& s, char text[6]) {
  const char* x = (s.scaleKind & kScaleXLogMask) ? "log" : "lin";
  const char* y = (s.scaleKind & kScaleDbY) ? "db" : (s.scaleKind & kScaleLogY) ? "log" : "lin";
  std::memcpy(text, x, 3);
  const size_t n = std::strlen(y);
  std::memcpy(text + 3, y, n);
  return static_cast<int32_t>(3 + n);
}

ErrCode ApplyScaleArguments(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  SubplotRecord* s = t.subplot;
  if (nargin == 0) {
    if (nargout == 0) return kOk;
    if (nargout > 1) {
      char text[6];
      if (ErrCode e = PushCString(ctx, ScaleKindText(*s, text), text)) return e;
    }
    return PushScaleLimits(ctx, *s);
  }
  if (nargout > 0) return kErrTooManyArgin;
  ScaleRequest r;
  if (ErrCode e = ParseScaleInputs(ctx, nargin, &r)) return e;
  if (ErrCode e = ReservePlotRoom(t, 0)) return e;
  SetScaleKind(s, r.applicable, r.kind);
  if (r.limitCount > 0) ApplyLimits(s, r);
  if (r.lock && nargin == 1 && !s->drawn && s->transformValid) FixScales(s);
  return FinishPlotCall(ctx, nargin);
}

ErrCode ApplyDataAspect(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  if (nargin == 1) {
    NumericView v;
    if (ErrCode e = ReadRealArray(ctx, 0, &v)) return e;
    if (v.shape.count != 0 && v.shape.count != 3) return kErrBadSize;
    double ratios[3];
    for (int32_t i = 0; i < v.shape.count; ++i) ratios[i] = ArrayElement(v, i);
    SetDataAspect(t.subplot, v.shape.count == 0 ? nullptr : ratios);
    if (ErrCode e = FinishPlotCall(ctx, nargin)) return e;
  }
  if (!AnswersQuery(nargin, nargout)) return kOk;
  double ratios[3];
  GetDataAspect(*t.subplot, ratios);
  return PushRowValue(ctx, ratios, 3);
}

ErrCode ApplyPlotOption(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  const char* text;
  int32_t length;
  if (!IsCharArray(ctx, 0)) return kErrWrongTypeOverload;
  if (ErrCode e = GetStringArg(ctx, 0, &text, &length)) return e;
  SubplotRecord* s = t.subplot;
  if (!s->drawn) {
    std::string_view name(text, static_cast<size_t>(length));
    const bool off = name.size() > 2 && name.substr(0, 2) == "no";
    if (off) name.remove_prefix(2);
    const PlotOptionRule* rule = nullptr;
    for (const PlotOptionRule& r : kPlotOptions) {
      if (name == r.name) rule = &r;
    }
    if (rule == nullptr || (off && !rule->negatable)) return kErrUnknownOpt;
    const uint32_t value = off ? rule->off : rule->on;
    if (rule->field == kViewFlags) {
      s->viewFlags = (s->viewFlags & ~rule->mask) | value;
    } else {
      SetOptionBits(s, value, rule->mask);
    }
    if (rule->gridKind) s->gridSet = 1;
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode ApplyScaleFactor(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  if (nargin == 1) {
    NumericView v;
    if (ErrCode e = ReadRealArray(ctx, 0, &v)) return e;
    const int32_t n = v.shape.count;
    if (n < 1 || n > 3) return kErrBadSize;
    const double fx = ArrayElement(v, 0);
    const double fy = n == 1 ? fx : ArrayElement(v, 1);
    const double fz = n == 1 ? fx : n == 2 ? 1.0 : ArrayElement(v, 2);
    SetScaleFactors(t.subplot, fx, fy, fz);
    if (ErrCode e = FinishPlotCall(ctx, nargin)) return e;
  }
  if (!AnswersQuery(nargin, nargout)) return kOk;
  double factors[3];
  GetScaleFactors(*t.subplot, &factors[0], &factors[1], &factors[2]);
  return PushRowValue(ctx, factors, 3);
}

ErrCode ApplyAxisLabels(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  for (int32_t i = 0; i < nargin; ++i) {
    if (!IsCharArray(ctx, ArgDepth(nargin, i))) return kErrWrongTypeOverload;
  }
  SubplotRecord* s = t.subplot;
  for (int32_t i = 0; i < nargin; ++i) {
    if (ErrCode e = WithTextArg(ctx, ArgDepth(nargin, i), [&](const char* text, int32_t n) {
          // The z label is given again when it is not the one set.
          const AxisLabel z = GetAxisLabel(*s, kAxisZ);
          SetAxisLabels(s, i == kAxisX ? text : nullptr, n, i == kAxisY ? text : nullptr, n,
                        i == kAxisZ ? text : z.text, i == kAxisZ ? n : z.length);
          return kOk;
        })) {
      return e;
    }
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode ApplySubplotTitle(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  if (ErrCode e = WithTextArg(ctx, 0, [&](const char* text, int32_t n) {
        SetSubplotTitle(t.subplot, text, n);
        return kOk;
      })) {
    return e;
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode ApplyLegendText(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  if (nargin == 2 && !IsCharArray(ctx, 0)) return kErrWrongTypeOverload;
  if (ErrCode e = WithTextArg(ctx, ArgDepth(nargin, 0), [&](const char* text, int32_t n) {
        // The style lies under the converted text.
        StyleArg style;
        if (nargin == 2) {
          if (ErrCode e = ReadStyleArg(ctx, 1, &style)) return e;
        }
        return WriteLegend(t, text, n, style);
      })) {
    return e;
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
