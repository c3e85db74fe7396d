// Showing one value: the dispatch by class, the pages of N-D arrays, the
// one-line forms of the items of lists and structures, the automatic
// "name =" display and the disp builtin.
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/display.hpp"
#include "engine/text/display_detail.hpp"
#include "engine/text/number_text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

using display::DisplayLine;
using display::FloatBlock;

namespace {

// A structured value needs a line buffer larger than this: with less free
// room its display fails for lack of room before writing anything, so that
// a run again once the area has grown shows it whole.
constexpr int32_t kSmallLine = 99;
// Char rows up to this length show in quotes as list items.
constexpr int32_t kShortTextColumns = 20;
// The structured kind of a free list (the items of a comma list).
constexpr int32_t kKindFreeList = 4;

bool LooseMode(EngineContext* ctx) {
  return ctx->looseSpacing != 0;
}

ErrCode Line(DisplayLine& line, const char* text) {
  ErrCode e = line.Append(text);
  return e ? e : line.EndLine();
}

ErrCode AppendNumber(DisplayLine& line, int64_t n) {
  char text[24];
  int32_t pos = 0;
  AppendFormattedInt64(text, &pos, n, false, 0, false, false, false, 1, sizeof text);
  return line.Append(text, pos);
}

ErrCode AppendName(DisplayLine& line, int32_t nameId) {
  int32_t length;
  const char* name = NameText(line.ctx(), nameId, &length);
  return name ? line.Append(name, length) : line.Append("???");
}

ErrCode AppendObjectClass(DisplayLine& line, int32_t kind) {
  ErrCode e = AppendName(line, ObjectClassId(kind));
  return e ? e : line.Append(" object");
}

// "@" and the name held by a function reference.
ErrCode AppendFunctionReference(DisplayLine& line, const ValueDescriptor& d, const uint8_t* data) {
  int32_t bytes = static_cast<int32_t>(8 * d.size);
  int32_t length = bytes >= 4 ? Load<uint16_t>(data) : 0;
  if (length > bytes - 4) length = bytes - 4;
  ErrCode e = line.Append("@");
  return e ? e : line.Append(reinterpret_cast<const char*>(data + 4), length);
}

ShapeClass SummaryClass(const NumericView& v) {
  switch (v.cls) {
    case ValueClass::kSingle:
      return ShapeClass::kSingle;
    case ValueClass::kInteger:
      return ShapeClass::kInteger;
    case ValueClass::kChar:
      return ShapeClass::kChar;
    case ValueClass::kLogical:
      return ShapeClass::kLogical;
    default:
      return ShapeClass::kDouble;
  }
}

ErrCode AppendSummary(DisplayLine& line, ShapeClass cls, uint32_t code, const Shape& shape,
                      int32_t fields) {
  char text[512];
  int32_t pos = 0;
  DescribeValueShape(text, sizeof text, &pos, cls, static_cast<int32_t>(code & 127),
                     (code & kCodeUnsigned) != 0, shape.ndims, shape.dims, fields);
  return line.Append(text, pos);
}

ErrCode AppendArraySummary(DisplayLine& line, const NumericView& v) {
  return AppendSummary(line, SummaryClass(v), v.code, v.shape, -1);
}

bool IsScalar2d(const Shape& s) {
  return s.ndims == 2 && s.count == 1;
}

// One 2-D page of a numeric, char or logical array.
ErrCode ShowPage(DisplayLine& line, const NumericView& v, int32_t page, bool scalar) {
  const int32_t rows = v.shape.dims[0], cols = v.shape.dims[1];
  const int64_t first = int64_t{rows} * cols * page;
  const char letter = static_cast<char>(line.ctx()->formatLetter);
  switch (v.cls) {
    case ValueClass::kDouble:
    case ValueClass::kSingle: {
      const int32_t bytes = v.cls == ValueClass::kDouble ? 8 : 4;
      const FloatBlock block{v.elements + bytes * first,
                             v.complex ? v.elements + bytes * (v.shape.count + first) : nullptr,
                             bytes};
      return v.cls == ValueClass::kDouble
                 ? display::DisplayDoubleMatrix(line, rows, cols, block)
                 : display::DisplaySingleMatrix(line, rows, cols, block, scalar);
    }
    case ValueClass::kInteger: {
      const int32_t bytes = ElementBytesOfCode(v.code);
      return display::DisplayIntegerMatrix(line, bytes, (v.code & kCodeUnsigned) != 0, rows, cols,
                                           v.elements + bytes * first, scalar, true,
                                           letter == '+' && v.shape.count >= 2);
    }
    case ValueClass::kChar:
      return display::DisplayCharMatrix(line, rows, cols, v.elements + 2 * first);
    case ValueClass::kLogical:
      return display::DisplayLogicalMatrix(line, letter == '+', rows, cols, v.elements + first);
    default:
      return kErrWrongTypeOverload;
  }
}

// A typed numeric, char or logical array: its summary when it has one, then
// its pages ("(:,:,k) =" before each page of a 3-D array).
ErrCode ShowArray(DisplayLine& line, const ValueDescriptor& d, uint8_t* data) {
  NumericView v = ViewNumericData(d, data);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  const Shape& s = v.shape;
  const bool scalar = IsScalar2d(s);
  if (s.ndims >= 3 || (d.word == kKindArray && !scalar) ||
      (v.cls == ValueClass::kLogical && s.count == 0)) {
    ErrCode e = AppendArraySummary(line, v);
    if (!e) e = line.EndLine();
    if (e) return e;
  }
  if (s.ndims > 3) return kOk;
  if (s.ndims < 3) return ShowPage(line, v, 0, scalar);
  for (int32_t k = 0; k < s.dims[2]; k++) {
    ErrCode e = k > 0 && LooseMode(line.ctx()) ? line.EndLine() : kOk;
    if (!e) e = line.Append("(:,:,");
    if (!e) e = AppendNumber(line, k + 1);
    if (!e) e = Line(line, ") =");
    if (!e) e = ShowPage(line, v, k, false);
    if (e) return e;
  }
  return kOk;
}

// A double or single scalar in one line: a sign character in '+' mode,
// else the number in the display format.
ErrCode AppendScalar(DisplayLine& line, const NumericView& v, bool single) {
  const int32_t bytes = single ? 4 : 8;
  const FloatBlock block{v.elements, v.complex ? v.elements + bytes : nullptr, bytes};
  const double re = block.Re(0), im = v.complex ? block.Im(0) : 0;
  display::NumberStyle style =
      display::CurrentStyle(line.ctx(), single ? display::kSingleDigits : display::kAnyDigits);
  if (style.letter == '+') return line.Append(re != 0 || im != 0 ? "+" : " ");
  int32_t precision = display::ElementPrecision(style, block, 1);
  char text[display::kElementBytes];
  int32_t pos = 0;
  display::FormatElement(text, &pos, sizeof text, re, im, v.complex, style, precision, 0, 0);
  ErrCode e = line.Append(text, pos);
  return e || !single ? e : line.Append(" (single)");
}

ErrCode AppendQuotedText(DisplayLine& line, const NumericView& v) {
  ErrCode e = line.Append("'");
  for (int32_t i = 0; i < v.shape.count && !e; i++) {
    uint16_t ch = Load<uint16_t>(v.elements + 2 * i);
    e = ch < 32 ? line.Append("?") : display::AppendEngineChar(line, ch);
  }
  return e ? e : line.Append("'");
}

const char* StructuredWord(int32_t kind) {
  switch (kind) {
    case kKindList:
      return "list";
    case kKindStruct:
      return "struct";
    case kKindCell:
      return "cell";
    case kKindStructArray:
      return "struct array";
    default:
      return "free list";
  }
}

// The one-line form of a value held by an item of a list or structure.
ErrCode AppendShortForm(DisplayLine& line, const ValueDescriptor& d, uint8_t* data) {
  if (IsStructured(d)) {
    if (IsObjectKind(d.word)) return AppendObjectClass(line, d.word);
    return line.Append(d.word == kKindList && d.size == 0 ? "{}" : StructuredWord(d.word));
  }
  if (IsTypedKind(d, kKindInline)) return line.Append("inline");
  if (IsTypedKind(d, kKindFuncRef)) return AppendFunctionReference(line, d, data);
  NumericView v = ViewNumericData(d, data);
  const Shape& s = v.shape;
  const bool scalar = IsScalar2d(s);
  switch (v.cls) {
    case ValueClass::kDouble:
      if (s.count == 0) return line.Append("[]");
      if (scalar) return AppendScalar(line, v, false);
      if (!IsTyped(d)) {
        ErrCode e = line.Append(v.complex ? "complex " : "real ");
        if (!e) e = AppendNumber(line, s.dims[0]);
        if (!e) e = line.Append("x");
        return e ? e : AppendNumber(line, s.dims[1]);
      }
      break;
    case ValueClass::kSingle:
      if (scalar) return AppendScalar(line, v, true);
      break;
    case ValueClass::kInteger:
      if (scalar)
        return display::DisplayIntegerMatrix(line, ElementBytesOfCode(v.code),
                                             (v.code & kCodeUnsigned) != 0, 1, 1, v.elements, true,
                                             false, false);
      break;
    case ValueClass::kChar:
      if (s.ndims == 2 && s.dims[0] <= 1 && s.dims[1] <= kShortTextColumns)
        return AppendQuotedText(line, v);
      break;
    case ValueClass::kLogical:
      if (scalar) return line.Append(v.elements[0] ? "true" : "false");
      break;
    default:
      return line.Append("scalar number");
  }
  return AppendArraySummary(line, v);
}

// An item: its field name and ": " when it has one, then its short form.
ErrCode AppendItem(DisplayLine& line, uint8_t* item) {
  const int32_t nameId = Load<int32_t>(item + 12);
  if (nameId) {
    ErrCode e = AppendName(line, nameId);
    if (!e) e = line.Append(": ");
    if (e) return e;
  }
  return AppendShortForm(line, Load<ValueDescriptor>(item), item + sizeof(ListItemHeader));
}

// A list, structure, cell array, structure array or object at depth 0.
ErrCode ShowStructured(DisplayLine& line) {
  EngineContext* ctx = line.ctx();
  StructuredParts parts;
  ErrCode e = GetStructuredValueOfKind(ctx, 0, '?', &parts);
  if (e) return e;
  const int32_t kind = parts.kind;
  const bool object = IsObjectKind(kind);
  if (object) {
    e = line.Append(" ");
    if (!e) e = AppendObjectClass(line, kind);
    if (!e) e = line.EndLine();
    if (e) return e;
  }
  const bool structLike = object || kind == kKindStruct;
  const bool itemList = kind == kKindList || kind == kKindFreeList;
  if (structLike ? parts.fields == 0 : itemList ? parts.items == 0 : parts.elements == 0) {
    if (kind == kKindFreeList) return kOk;
    return Line(line, structLike ? " (empty struct)" : " {}");
  }
  if (kind == kKindCell || kind == kKindStructArray) {
    e = AppendSummary(line, kind == kKindCell ? ShapeClass::kCell : ShapeClass::kStruct, 0,
                      parts.shape, kind == kKindCell ? -1 : parts.fields);
    return e ? e : line.EndLine();
  }
  uint8_t* item = parts.first;
  if (structLike) {
    for (int32_t i = 0; i < parts.items; i++, item += ItemBytes(item)) {
      e = AppendItem(line, item);
      if (!e) e = line.EndLine();
      if (e) return e;
    }
    return kOk;
  }
  e = line.Append(kind == kKindList ? " {" : " ");
  for (int32_t i = 0; i < parts.items && !e; i++, item += ItemBytes(item)) {
    if (i > 0) e = line.Append(",");
    if (!e) e = AppendItem(line, item);
  }
  if (!e && kind == kKindList) e = line.Append("}");
  return e ? e : line.EndLine();
}

ErrCode ShowValue(DisplayLine& line, const ValueDescriptor& d, uint8_t* data) {
  if (IsStructured(d)) return ShowStructured(line);
  if (!IsTyped(d)) {
    if (d.flags & ~kFlagComplex) return kErrWrongTypeOverload;
    return ShowPage(line, ViewNumericData(d, data), 0, false);
  }
  switch (d.word) {
    case kKindInline:
      return Line(line, "<inline function>");
    case kKindFuncRef: {
      ErrCode e = AppendFunctionReference(line, d, data);
      return e ? e : line.EndLine();
    }
    case kKindArray:
    case kKindChar:
    case kKindLogical:
      return ShowArray(line, d, data);
    default:
      return kErrWrongTypeOverload;
  }
}

// Whether the value on top is structured and the free room is too small for
// the line buffer its display needs.
bool LacksRoomForStructured(EngineContext* ctx) {
  if (ctx->descTop < 3 || !IsStructured(*DescAt(ctx, 0))) return false;
  uint32_t bytes;
  void* scratch;
  GetDataStackFree(ctx, &bytes, &scratch);
  return bytes <= static_cast<uint32_t>(kSmallLine);
}

}  // namespace

ErrCode DisplayValue(EngineContext* ctx, int32_t fd, bool drop) {
  if (ctx->descTop < 3) return kErrTooFewArgin;
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (d.flags & kFlagNoValue) return drop ? Drop(ctx) : kOk;
  if (LacksRoomForStructured(ctx)) return kErrDataOverflow;
  FlushFd(ctx, fd, kBufferingOn);
  ErrCode e;
  {
    DisplayLine line(ctx, fd);
    e = LooseMode(ctx) ? line.EndLine() : kOk;
    if (!e) e = ShowValue(line, d, DataAt(ctx, 0));
    if (!e && LooseMode(ctx)) e = line.EndLine();
  }
  FlushFd(ctx, fd, kBufferingOff);
  if (e) return e;
  return drop ? Drop(ctx) : kOk;
}

ErrCode DisplayNamedValue(EngineContext* ctx, int32_t nameId, bool objectsAllowed, bool drop,
                          bool nameShown) {
  // Checked before the name is written, which a run again would repeat.
  if (LacksRoomForStructured(ctx)) return kErrDataOverflow;
  FlushFd(ctx, kFdOut, kBufferingOn);
  ErrCode e = kOk;
  if (!nameShown) {
    DisplayLine line(ctx, kFdOut);
    e = LooseMode(ctx) ? line.EndLine() : kOk;
    if (!e) e = AppendName(line, nameId);
    if (!e) e = Line(line, " =");
  }
  if (!e) {
    if (!objectsAllowed && IsObjectValue(ctx, 0))
      e = kErrWrongTypeOverload;
    else
      e = DisplayValue(ctx, kFdOut, drop);
  }
  FlushFd(ctx, kFdOut, kBufferingOff);
  return e;
}

ErrCode DispBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin != 1) return nargin < 1 ? kErrTooFewArgin : kErrTooManyArgin;
  if (IsObjectValue(ctx, 0)) return kErrWrongTypeOverload;
  return DisplayValue(ctx, kFdOut, true);
}

}  // namespace vke
