// The layout natives and their frames.
#include "app/layout_natives.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "app/element_list.hpp"
#include "app/figure_variables.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/plot_properties.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/figure_menu.hpp"
#include "graphics/port.hpp"
#include "graphics/saved_figure.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// The instance of the running handler.
struct LayoutCall {
  NativeCallContext* call;
  KVContextBlock* block;
  InstanceRecord* instance;
  int32_t id;

  FigureState& figure() const { return instance->figure; }
  int32_t count() const { return ActiveSubplotCount(instance->figure); }
};

ErrCode FindLayoutCall(uintptr_t option, LayoutCall* out) {
  auto* call = reinterpret_cast<NativeCallContext*>(option);
  if (call == nullptr) return kErrBadContext;
  const auto id = static_cast<int32_t>(call->instanceId);
  InstanceRecord* r = FindInstance(call->Block(), id);
  if (r == nullptr) return kErrBadContext;
  *out = {call, call->Block(), r, id};
  return kOk;
}

// A call of an instance-wide step: the in-figure flag is set.
ErrCode FindInFigureCall(uintptr_t option, LayoutCall* out) {
  if (ErrCode e = FindLayoutCall(option, out)) return e;
  return out->call->flag != 0 ? kOk : kErrBadContext;
}

// The same, with the instance's object open for drawing.
ErrCode FindFigureStepCall(uintptr_t option, LayoutCall* out) {
  if (ErrCode e = FindInFigureCall(option, out)) return e;
  return out->block->capture.id != -1 ? kOk : kErrBadContext;
}

// The layout changed: the flags say so and the figure is stored for undo.
ErrCode LayoutChanged(const LayoutCall& c) {
  c.call->flags |= kCallFlagDrew | kCallFlagRedraw;
  return SaveFigureState(c.block, c.id);
}

// The answer of a query: with an output, or as a statement without inputs.
bool Answers(int32_t nargin, int32_t nargout) {
  return nargout > 0 || (nargin == 0 && nargout < 0);
}

// A real double matrix argument of `rows` rows and `columns` columns; its
// element count is 0 for an empty one. 21 for another size.
ErrCode ReadTable(EngineContext* ctx, int32_t depth, int32_t rows, int32_t columns,
                  NumericView* out) {
  *out = ViewNumeric(ctx, depth);
  if (out->cls != ValueClass::kDouble || out->complex) return kErrWrongTypeOverload;
  if (out->shape.count == 0) return kOk;
  const bool fits = out->shape.ndims == 2 && out->shape.dims[1] == columns &&
                    (rows < 0 || out->shape.dims[0] == rows);
  return fits ? kOk : kErrBadSize;
}

double At(const NumericView& v, int32_t row, int32_t column) {
  return ViewElement(v, int64_t{row} * v.shape.dims[1] + column, false);
}

// Pushes a rows x columns matrix filled by fill(row, out).
template <typename Fill>
ErrCode PushTable(EngineContext* ctx, int32_t rows, int32_t columns, Fill fill) {
  if (rows == 0) return PushEmptyMatrix(ctx);
  double* re;
  if (ErrCode e = PushNewMatrix(ctx, rows, columns, &re, nullptr)) return e;
  for (int32_t k = 0; k < rows; ++k) fill(k, re + int64_t{k} * columns);
  return kOk;
}

// The device units per unit of the port's positions.
double UnitSize(KVContextBlock* block) {
  const double u = block->portFunctions ? block->portFunctions->metrics[kMetricUnitSize] : 1.0;
  return u > 0 ? u : 1.0;
}

// ---- subplots ----

// The plot names of the instance in the order of its figure elements.
template <typename Visit>
void ForEachPlot(const ElementListView& list, Visit visit) {
  ElementRef start;
  if (!ElementAtOffset(list, 0, &start)) return;
  InstanceElementWalker walker(list, start);
  ElementRef e;
  std::string_view name;
  while (walker.Next(&e)) {
    if (e.kind == kElemFigure && ElementText(list, e, 0, &name)) {
      if (!visit(static_cast<int32_t>(e.offset), name)) return;
    }
  }
}

// The plot a cell names: the first whose name the cell starts with, up to
// the cell's end or a control character; kPlotNone for an empty cell and
// kPlotDefault for one that names no plot.
int32_t PlotOfCell(const ElementListView& list, std::string_view cell) {
  if (cell.empty()) return kPlotNone;
  int32_t plot = kPlotDefault;
  ForEachPlot(list, [&](int32_t id, std::string_view name) {
    const bool ends = cell.size() == name.size() ||
                      (cell.size() > name.size() && static_cast<uint8_t>(cell[name.size()]) < 32);
    if (cell.substr(0, name.size()) == name && ends) {
      plot = id;
      return false;
    }
    return true;
  });
  return plot;
}

bool IsRowBreak(char c) {
  return c == '\n' || c == '\r';
}

// Calls visit(row, column, cell) for every cell of a layout text.
template <typename Visit>
void ForEachCell(std::string_view text, Visit visit) {
  int32_t row = 0;
  int32_t column = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\t' && !IsRowBreak(text[i])) continue;
    visit(row, column, text.substr(start, i - start));
    start = i + 1;
    if (i < text.size() && text[i] == '\t') {
      ++column;
    } else {
      ++row;
      column = 0;
    }
  }
}

ErrCode SetLayoutText(const LayoutCall& c, std::string_view text) {
  int32_t rows = 0;
  int32_t columns = 1;
  ForEachCell(text, [&](int32_t row, int32_t column, std::string_view) {
    rows = row + 1;
    columns = std::max(columns, column + 1);
  });
  FigureState& fig = c.figure();
  ClearSubplots(&fig);
  if (ErrCode e = SetSubplotLayout(&fig, rows, columns)) return e;
  InstanceFigureHost host(c.block, c.id);
  const ElementListView list = host.Elements();
  ErrCode rc = kOk;
  ForEachCell(text, [&](int32_t row, int32_t column, std::string_view cell) {
    if (rc != kOk || SubplotAt(fig, row, column) < 0) return;
    rc = ResetSubplots(&fig, host, row, column, PlotOfCell(list, cell), false);
  });
  return rc;
}

ErrCode PushLayoutText(EngineContext* ctx, const LayoutCall& c) {
  int32_t capacity = -1;
  uint8_t* buffer;
  if (ErrCode e = ReserveByteBuffer(ctx, &capacity, &buffer)) return e;
  const FigureState& fig = c.figure();
  InstanceFigureHost host(c.block, c.id);
  int32_t length = 0;
  for (int32_t row = 0; row < fig.rows; ++row) {
    for (int32_t column = 0; column < fig.columns; ++column) {
      std::string_view name;
      if (!GetPlotName(fig, host, row, column, &name)) name = {};
      const int64_t separator = row > 0 || column > 0 ? 1 : 0;
      if (length + separator + int64_t(name.size()) > capacity - 10) {
        DropStackEntries(ctx, 0, 1);
        return kErrDataOverflow;
      }
      if (separator) buffer[length++] = column > 0 ? '\t' : '\n';
      name.copy(reinterpret_cast<char*>(buffer + length), name.size());
      length += static_cast<int32_t>(name.size());
    }
  }
  return DecodeTextBuffer(ctx, length);
}

// ---- subplot ----

// The three numbers of subplot's forms.
ErrCode ReadSubplotForm(EngineContext* ctx, int32_t nargin, int32_t digits[3]) {
  if (nargin == 2) return kErrTooManyArgin;
  if (nargin == 3) {
    for (int32_t i = 0; i < 3; ++i) {
      double v;
      if (ErrCode e = GetScalarArg(ctx, 2 - i, &v)) return e;
      digits[i] = TruncToInt32(v);
    }
    return kOk;
  }
  if (IsCharArray(ctx, 0)) {
    const char* text;
    int32_t length;
    if (ErrCode e = GetStringArg(ctx, 0, &text, &length)) return e;
    if (length != 3) return kErrBadArg;
    for (int32_t i = 0; i < 3; ++i) {
      if (text[i] < '1' || text[i] > '9') return kErrBadArg;
      digits[i] = text[i] - '0';
    }
    return kOk;
  }
  double v;
  if (ErrCode e = GetScalarArg(ctx, 0, &v)) return e;
  if (!(v >= 111 && v <= 999)) return kErrBadArg;
  const int32_t n = TruncToInt32(v);
  digits[0] = n / 100;
  digits[1] = n / 10 % 10;
  digits[2] = n % 10;
  return kOk;
}

// Starts the group of subplot k in the open object.
ErrCode BeginSubplotGroup(const LayoutCall& c, int32_t k) {
  ObjectWriterState& w = c.block->capture;
  w.currentObject = k;
  const ObjectList list(c.block->DataArea());
  if (!AppendObjectBeginCommand(list.At(w.start), w.capacity, &w.used, k)) return kKvPlotOverflow;
  return kOk;
}

// A reset of subplots that found no room part of the way has changed the
// figure and the plot properties of those before: the step does not run
// again in place (it would skip them), the handler's run is made again from
// the figure it found.
ErrCode ResetCutShort(EngineContext* ctx, ErrCode e) {
  if (IsEngineMemoryCode(e)) MarkOperandsChanged(ctx);
  return e;
}

// Drops what the step has drawn and the instance's stored object.
void EmptyCapture(const LayoutCall& c) {
  c.block->capture.used = 0;
  ObjectListDelete(ObjectList(c.block->DataArea()), c.id);
}

}  // namespace

ErrCode SubplotsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindLayoutCall(option, &c)) return e;
  uint32_t start = 0;
  if (FindInstanceStart(c.block, c.id, &start) != kOk) return kErrBadContext;
  if (nargin == 1) {
    if (!IsCharArray(ctx, 0)) return kErrWrongTypeOverload;
    if (ErrCode e = GetStringArgCopy(ctx, 0)) return e;
    const NumericView v = ViewNumeric(ctx, 0);
    const ErrCode rc = SetLayoutText(
        c, std::string_view(reinterpret_cast<const char*>(v.elements), v.shape.count));
    DropStackEntries(ctx, 0, 2);
    if (rc != kOk) return rc;
    if (ErrCode e = LayoutChanged(c)) return e;
  }
  return Answers(nargin, nargout) ? PushLayoutText(ctx, c) : kOk;
}

ErrCode SubplotPropsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindLayoutCall(option, &c)) return e;
  FigureState& fig = c.figure();
  const int32_t n = c.count();
  NumericView props{};
  NumericView views{};
  if (nargin >= 1) {
    if (ErrCode e = ReadTable(ctx, nargin - 1, n, kPropertyEntry, &props)) return e;
  }
  if (nargin == 2) {
    if (ErrCode e = ReadTable(ctx, 0, -1, kViewRow, &views)) return e;
    for (int32_t i = 0; views.shape.count > 0 && i < views.shape.dims[0]; ++i) {
      const double k = At(views, i, 0);
      if (!(k >= 0 && k < n)) return kErrIndexOutOfRange;
    }
  }
  for (int32_t k = 0; props.shape.count > 0 && k < n; ++k) {
    const double limits[4] = {At(props, k, 1), At(props, k, 2), At(props, k, 3), At(props, k, 4)};
    ApplySubplotEntry(&fig.subplots[k], static_cast<uint32_t>(TruncToInt64(At(props, k, 0))),
                      limits);
  }
  for (int32_t i = 0; views.shape.count > 0 && i < views.shape.dims[0]; ++i) {
    double row[kViewRow];
    for (int32_t j = 0; j < kViewRow; ++j) row[j] = At(views, i, j);
    ApplyView(&fig, row);
  }
  if (ErrCode e = DropStackEntries(ctx, 0, nargin)) return e;
  if (nargin > 0) {
    if (ErrCode e = LayoutChanged(c)) return e;
  }
  if (nargout >= 2) {
    if (ErrCode e = PushFigureViews(ctx, fig)) return e;
  }
  if (!Answers(nargin, nargout)) return kOk;
  return PushTable(ctx, n, kPropertyEntry, [&](int32_t k, double* row) {
    const SubplotRecord& s = fig.subplots[k];
    row[0] = EncodeSubplotFlags(s, false);
    GetFixedViewportLimits(s, &row[1], &row[2], &row[3], &row[4]);
  });
}

ErrCode SubplotPosNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindLayoutCall(option, &c)) return e;
  FigureState& fig = c.figure();
  const int32_t n = c.count();
  const double unit = UnitSize(c.block);
  const double* rect = fig.rect;
  if (nargin == 1) {
    NumericView v;
    if (ErrCode e = ReadTable(ctx, 0, n, 4, &v)) return e;
    if (v.shape.count > 0) {
      if (!fig.freeLayout) {
        static constexpr double kAnchored[6] = {1, 1, 0, 1, 1, 0};
        for (int32_t k = 0; k < n; ++k) std::copy_n(kAnchored, 6, fig.springs[k].stiffness);
        MakeOneColumn(&fig);
      }
      for (int32_t k = 0; k < n; ++k) {
        SetSubplotViewport(&fig.subplots[k], rect[kLeft] + At(v, k, 0) * unit,
                           rect[kLeft] + At(v, k, 1) * unit, rect[kTop] + At(v, k, 2) * unit,
                           rect[kTop] + At(v, k, 3) * unit);
      }
    }
    if (ErrCode e = DropStackEntries(ctx, 0, 1)) return e;
    if (v.shape.count > 0) {
      if (ErrCode e = LayoutChanged(c)) return e;
    }
  }
  if (!Answers(nargin, nargout)) return kOk;
  return PushTable(ctx, fig.freeLayout ? n : 0, 4, [&](int32_t k, double* row) {
    const double* p = fig.subplots[k].position;
    row[0] = (p[kLeft] - rect[kLeft]) / unit;
    row[1] = (p[kRight] - rect[kLeft]) / unit;
    row[2] = (p[kTop] - rect[kTop]) / unit;
    row[3] = (p[kBottom] - rect[kTop]) / unit;
  });
}

ErrCode SubplotSizeNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindLayoutCall(option, &c)) return e;
  FigureState& fig = c.figure();
  const double unit = UnitSize(c.block);
  double* rect = fig.rect;
  bool set = nargin == 2;
  double size[2] = {0, 0};
  if (nargin == 2) {
    for (int32_t i = 0; i < 2; ++i) {
      if (ErrCode e = GetScalarArg(ctx, 1 - i, &size[i])) return e;
    }
  } else if (nargin == 1) {
    const NumericView v = ViewNumeric(ctx, 0);
    if (v.cls != ValueClass::kDouble || v.complex) return kErrWrongTypeOverload;
    if (v.shape.count != 0 && v.shape.count != 2) return kErrBadSize;
    set = v.shape.count == 2;
    for (int32_t i = 0; set && i < 2; ++i) size[i] = ViewElement(v, i, false) * unit;
  }
  if (set) {
    if (!(size[0] > 0 && size[1] > 0)) return kErrBadArg;
    const double oldWidth = rect[kRight] - rect[kLeft];
    const double oldHeight = rect[kBottom] - rect[kTop];
    rect[kRight] = rect[kLeft] + size[0];
    rect[kBottom] = rect[kTop] + std::copysign(size[1], oldHeight);
    if (fig.freeLayout) {
      ResizeFreeLayout(&fig, oldWidth, oldHeight);
    } else {
      ComputeSubplotViewports(&fig);
    }
  }
  if (ErrCode e = DropStackEntries(ctx, 0, nargin)) return e;
  if (set) {
    if (ErrCode e = LayoutChanged(c)) return e;
  }
  const double width = rect[kRight] - rect[kLeft];
  const double height = std::fabs(rect[kBottom] - rect[kTop]);
  if (nargout >= 2) {
    if (ErrCode e = PushRealScalar(ctx, height)) return e;
    return PushRealScalar(ctx, width);
  }
  if (!Answers(nargin, nargout)) return kOk;
  return PushTable(ctx, 1, 2, [&](int32_t, double* row) {
    row[0] = std::ceil(width / unit);
    row[1] = std::ceil(height / unit);
  });
}

ErrCode SubplotSpringNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindLayoutCall(option, &c)) return e;
  FigureState& fig = c.figure();
  const int32_t n = c.count();
  if (nargin == 1) {
    NumericView v;
    if (ErrCode e = ReadTable(ctx, 0, n, 6, &v)) return e;
    for (int32_t k = 0; v.shape.count > 0 && k < n; ++k) {
      for (int32_t j = 0; j < 6; ++j) fig.springs[k].stiffness[j] = At(v, k, j);
    }
    if (v.shape.count > 0) MakeOneColumn(&fig);
    if (ErrCode e = DropStackEntries(ctx, 0, 1)) return e;
    if (v.shape.count > 0) {
      if (ErrCode e = LayoutChanged(c)) return e;
    }
  }
  if (!Answers(nargin, nargout)) return kOk;
  return PushTable(ctx, n, 6,
                   [&](int32_t k, double* row) { std::copy_n(fig.springs[k].stiffness, 6, row); });
}

ErrCode SubplotParamNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindLayoutCall(option, &c)) return e;
  if (nargin == 0) {
    if (!Answers(nargin, nargout)) return kOk;
    const int32_t n = c.count();
    for (int32_t k = 0; k < n; ++k) {
      if (ErrCode e = GetPlotListEntry(c.block, c.id, k)) return e;
    }
    return PushListFromEntries(ctx, n, false, nullptr, 0);
  }
  StructuredParts parts;
  if (!IsListValue(ctx, 0) || GetListParts(ctx, 0, &parts) != kOk) return kErrWrongTypeOverload;
  for (int32_t i = parts.elements; i >= 1; --i) {
    if (ErrCode e = GetListElement(ctx, 0, i)) return e;
    if (ErrCode e = GetPlotProperties(c.block, c.id, i - 1)) return e;
  }
  if (ErrCode e = LayoutChanged(c)) return e;
  return nargout > 0 ? kOk : DropStackEntries(ctx, 0, 1);
}

ErrCode SubplotNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindFigureStepCall(option, &c)) return e;
  int32_t digits[3];
  if (ErrCode e = ReadSubplotForm(ctx, nargin, digits)) return e;
  const int32_t rows = digits[0], columns = digits[1], index = digits[2];
  if (rows < 1 || rows > 4 || columns < 1 || columns > 4 || index < 1 || index > rows * columns) {
    return kErrBadArg;
  }
  FigureState& fig = c.figure();
  if (fig.rows != rows || fig.columns != columns || fig.freeLayout) {
    if (ErrCode e = SetSubplotLayout(&fig, rows, columns)) return e;
    EmptyCapture(c);
    for (int32_t k = 0; k < rows * columns; ++k) SubplotRecordReset(&fig.subplots[k], true);
    c.call->flags |= kCallFlagDrew;
  }
  const int32_t k = index - 1;
  InstanceFigureHost host(c.block, c.id);
  if (ErrCode e = ResetSubplots(&fig, host, k / columns, k % columns, kPlotNone, false))
    return ResetCutShort(ctx, e);
  if (ErrCode e = BeginSubplotGroup(c, k)) return e;
  return DropStackEntries(ctx, 0, nargin);
}

ErrCode ClfNative(EngineContext*, int32_t, int32_t, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindInFigureCall(option, &c)) return e;
  FigureState& fig = c.figure();
  if (ErrCode e = SetSubplotLayout(&fig, 1, 1)) return e;
  InstanceFigureHost host(c.block, c.id);
  if (ErrCode e = ResetSubplots(&fig, host, -1, -1, kPlotNone, false))
    return ResetCutShort(c.block->Engine(), e);
  EmptyCapture(c);
  c.block->capture.currentObject = 0;
  SubplotRecordReset(&fig.subplots[0], true);
  c.call->flags |= kCallFlagDrew;
  return kOk;
}

ErrCode RedrawNative(EngineContext*, int32_t, int32_t, uintptr_t option) {
  LayoutCall c;
  if (ErrCode e = FindInFigureCall(option, &c)) return e;
  c.call->flags |= kCallFlagRedraw;
  return kOk;
}

}  // namespace vke
