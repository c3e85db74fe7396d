// The text natives (text, fontset) and the control natives of a panel
// (slider, button, pushbutton, popupmenu, textfield, settabs, vertcontrols).
#include "graphics/panel_natives.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "engine/registry/option_tables.hpp"
#include "engine/registry/options.hpp"
#include "engine/text/number_text.hpp"
#include "graphics/port.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// Default style word of the controls: the renderer's data style.
constexpr uint32_t kControlStyleWord = kStyleDefaultRecord;
// Bytes kept free behind a text command.
constexpr uint64_t kTextReserveDoubles = 10;

uint64_t PackedDoubles(int64_t bytes) {
  return static_cast<uint64_t>((bytes + 7) / 8);
}

// ---- Text and fonts ----

// The font of a Font structure, as command 68 stores it.
struct FontChoice {
  char name[64] = {};
  int32_t nameLength = 0;
  double size = 10;
  int32_t bits = 0;
  uint32_t colour = 0;
};

// One colour byte from a fraction 0..1.
uint8_t ColourByte(double v) {
  const double b = std::trunc(v * 255.9);
  return b >= 0 && b <= 255 ? static_cast<uint8_t>(b) : (b > 255 ? 255 : 0);
}

// The colour on top of the stack (popped): three fractions or one grey, or
// the bytes of an 8-bit array; empty is black.
ErrCode PopFontColour(EngineContext* ctx, uint32_t* rgb) {
  const NumericView v = ViewNumeric(ctx, 0);
  ErrCode e = kOk;
  uint8_t c[3] = {0, 0, 0};
  const bool bytes = v.cls == ValueClass::kInteger && v.code == kCodeUInt8;
  if (v.cls != ValueClass::kDouble && v.cls != ValueClass::kSingle && !bytes) {
    e = kErrWrongType;
  } else if (v.shape.count == 3 || v.shape.count == 1) {
    for (int32_t i = 0; i < 3; ++i) {
      const double x = ViewElement(v, v.shape.count == 3 ? i : 0, false);
      c[i] = bytes ? static_cast<uint8_t>(x) : ColourByte(x);
    }
  } else if (v.shape.count != 0) {
    e = kErrBadSize;
  }
  *rgb = uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2];
  Drop(ctx);
  return e;
}

// Reads the Font structure at `depth`.
ErrCode ReadFontStruct(EngineContext* ctx, int32_t depth, FontChoice* f) {
  if (ErrCode e = GetOptionsArg(ctx, depth, "Font", kFontsetTable)) return e;
  ErrCode e = WithText(ctx, 0, [&](const char* text, int32_t n) -> ErrCode {
    f->nameLength = std::min<int32_t>(n, sizeof f->name - 1);
    std::memcpy(f->name, text, static_cast<size_t>(f->nameLength));
    return kOk;
  });
  Drop(ctx);
  if (e) return e == kErrWrongTypeOverload ? kErrWrongType : e;
  if ((e = GetOptionField(ctx, depth, "Size", kFontsetTable, 10, &f->size))) return e;
  static constexpr struct {
    const char* name;
    int32_t bit;
  } kStyleFields[] = {{"Bold", kFontBold},
                      {"Italic", kFontItalic},
                      {"Underline", kFontUnderline},
                      {"Outline", kFontOutline}};
  for (const auto& field : kStyleFields) {
    uint8_t on = 0;
    if ((e = GetBooleanOption(ctx, depth, field.name, kFontsetTable, 0, &on))) return e;
    if (on) f->bits |= field.bit;
  }
  if ((e = GetOptionsArg(ctx, depth, "Color", kFontsetTable))) return e;
  return PopFontColour(ctx, &f->colour);
}

// The justification bits of a text of at most two of l, r, t, b, c.
ErrCode ParseJustification(EngineContext* ctx, int32_t depth, int32_t* bits) {
  StyleArg j;
  if (ReadStyleArg(ctx, depth, &j) != kOk || j.length > 2) return kErrWrongType;
  *bits = 0;
  for (int32_t i = 0; i < j.length; ++i) {
    switch (std::tolower(static_cast<unsigned char>(j.text[i]))) {
      case 'l':
        *bits |= kTextRight;
        break;
      case 'r':
        *bits |= kTextLeft;
        break;
      case 't':
        *bits |= kTextBelow;
        break;
      case 'b':
        *bits |= kTextAbove;
        break;
      case 'c':
        break;
      default:
        return kErrWrongType;
    }
  }
  return kOk;
}

// ---- Labels of controls that share rows ----

// Cuts a label text at tabs (the next control joins the row, two columns on)
// and line feeds (the next control starts a row of its own).
class RowLabels {
 public:
  RowLabels(const char* text, int32_t length) : text_(text), length_(length) {}
  // The next label and the column of its control: -1 alone on its row, 0
  // first of a shared row, 2, 4 ... further along it.
  void Next(const char** label, int32_t* n, int32_t* column) {
    int32_t stop = at_;
    while (stop < length_ && text_[stop] != '\t' && text_[stop] != '\n') ++stop;
    const bool tab = stop < length_ && text_[stop] == '\t';
    *label = text_ + at_;
    *n = stop - at_;
    column_ = joins_ ? column_ + 2 : (tab ? 0 : -1);
    *column = column_;
    joins_ = tab;
    at_ = std::min(stop + 1, length_);
  }

 private:
  const char* text_;
  int32_t length_;
  int32_t at_ = 0;
  int32_t column_ = -1;
  bool joins_ = false;
};

// The lines of a text, cut at line feeds.
class TextLines {
 public:
  TextLines(const char* text, int32_t length) : text_(text), length_(length) {}
  void Next(const char** line, int32_t* n) {
    const void* lf = std::memchr(text_ + at_, '\n', static_cast<size_t>(length_ - at_));
    const int32_t stop =
        lf != nullptr ? static_cast<int32_t>(static_cast<const char*>(lf) - text_) : length_;
    *line = text_ + at_;
    *n = stop - at_;
    at_ = std::min(stop + 1, length_);
  }

 private:
  const char* text_;
  int32_t length_;
  int32_t at_ = 0;
};

// The style of control i: alternative i of the style string.
ErrCode ControlStyle(const StyleArg& style, int32_t i, PlotStyle* out) {
  return SeriesStyle(style, i, kControlStyleWord, out);
}

bool IsLogSliderKind(const StyleArg& kind, int32_t i) {
  return kind.length > 0 &&
         std::tolower(static_cast<unsigned char>(kind.text[i % kind.length])) == 'l';
}

// The text of a field: the value by the field's format, at most
// kFieldTextChars characters.
struct FieldFormat {
  int32_t width = 0;
  int32_t precision = -1;
  char letter = 'g';
};

// "%[width][.precision](g|e|f|k)" or empty; 108 for anything else.
ErrCode ParseFieldFormat(const char* text, int32_t length, FieldFormat* f) {
  if (length == 0) return kOk;
  if (text[0] != '%') return kErrUnknownOpt;
  int32_t i = 1;
  auto digits = [&](int32_t* out) {
    int64_t v = 0;
    while (i < length && std::isdigit(static_cast<unsigned char>(text[i]))) {
      v = std::min<int64_t>(v * 10 + (text[i++] - '0'), kFieldTextChars);
    }
    *out = static_cast<int32_t>(v);
  };
  digits(&f->width);
  if (i < length && text[i] == '.') {
    ++i;
    digits(&f->precision);
  }
  if (i < length) {
    f->letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
    if (std::strchr("gefk", f->letter) == nullptr || f->letter == 0) return kErrUnknownOpt;
  }
  return i == length ? kOk : kErrUnknownOpt;
}

int32_t FormatField(const FieldFormat& f, double value, char* out) {
  int32_t n = 0;
  FormatDouble(out, &n, value, f.precision >= 0 ? f.precision : 4, f.letter, f.width, false, false,
               false, false, false, false, kFieldTextChars);
  return std::min(n, kFieldTextChars);
}

// Calls use(bytes, length) with element `index` (1-based) of the list at
// `depth` converted to 8-bit text; 43 when it is no text.
template <typename Use>
ErrCode WithListText(EngineContext* ctx, int32_t depth, int32_t index, Use use) {
  if (ErrCode e = GetListElement(ctx, depth, index)) return e;
  ErrCode e = WithText(ctx, 0, use);
  Drop(ctx);
  return e == kErrWrongTypeOverload ? kErrWrongType : e;
}

// Arguments checked against a type pattern, with the style and the id as
// the fourth and fifth.
// A value or range without elements, of any numeric class and shape: the
// control natives write nothing for it.
bool IsEmptyNumeric(EngineContext* ctx, int32_t depth) {
  const NumericView v = ViewNumeric(ctx, depth);
  return v.cls != ValueClass::kOther && v.shape.count == 0;
}

ErrCode ReadTypedControlArgs(EngineContext* ctx, int32_t nargin, const char* types, StyleArg* style,
                             int32_t* id) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, types)) return e;
  return ReadStyleAndId(ctx, nargin, 3, kErrBadArg, style, id);
}

}  // namespace

// ---- text ----

ErrCode AddTextObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  FontChoice font;
  const bool hasFont = nargin >= 2 && IsStructValue(ctx, 0);
  if (hasFont) {
    if (ErrCode e = ReadFontStruct(ctx, 0, &font)) return e;
  }
  const int32_t n = nargin - hasFont;
  if (n == 2) return kErrTooManyArgin;
  if (n > 5) return kErrTooManyArgin;
  // text(str); text(x, y, str[, just]); text(x, y, z, str[, just]).
  const bool is3d = n == 5 || (n == 4 && !IsCharArray(ctx, ArgDepth(nargin, 2)));
  const int32_t textAt = n == 1 ? 0 : (is3d ? 3 : 2);
  int32_t justification = 0;
  if (n == (is3d ? 5 : 4)) {
    if (ErrCode e = ParseJustification(ctx, ArgDepth(nargin, n - 1), &justification)) return e;
  }
  double point[3] = {0, 0, 0};
  for (int32_t i = 0; i < textAt; ++i) {
    if (ErrCode e = GetScalarArg(ctx, ArgDepth(nargin, i), &point[i])) return e;
  }
  if (!IsCharArray(ctx, ArgDepth(nargin, textAt))) return kErrWrongType;
  if (ErrCode e =
          WithText(ctx, ArgDepth(nargin, textAt), [&](const char* text, int32_t length) -> ErrCode {
            const uint64_t fontDoubles =
                hasFont ? 2 * kCommandHeaderDoubles + 2 + PackedDoubles(font.nameLength + 1) : 0;
            const uint64_t textDoubles =
                kCommandHeaderDoubles + (n == 1 ? 1 : 5) + PackedDoubles(length);
            if (ErrCode e = ReservePlotRoom(t, fontDoubles + textDoubles + kTextReserveDoubles))
              return e;
            if (hasFont) {
              CommandWriter w(t, kCmdFirstFont, kNoPlotId, -1, 0, font.colour);
              w.Put(font.size);
              w.Put(font.bits);
              w.PutBytes(font.name, font.nameLength + 1);
              if (ErrCode e = w.Commit()) return e;
            }
            const int32_t code = n == 1 ? kCmdFirstText : (is3d ? kCmdLastText : kCmdFirstText + 1);
            CommandWriter w(t, code, kNoPlotId, -1, 0, 0);
            if (n != 1) {
              for (double v : point) w.Put(v);
              w.Put(justification);
            }
            w.Put(length);
            w.PutBytes(text, length);
            if (ErrCode e = w.Commit()) return e;
            if (n != 1) {
              UpdateAutoLimits(t.subplot, &point[0], &point[1], is3d ? &point[2] : nullptr, 1);
              if (is3d) t.subplot->is3d = 1;
            }
            if (hasFont) return CommandWriter(t, kCmdLastFont, kNoPlotId, -1, 0, 0).Commit();
            return kOk;
          })) {
    return e;
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode FontsetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kFontsetTable);
}

// ---- slider ----

ErrCode AddSliders(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  StyleArg kind;
  StyleArg style;
  int32_t id = kNoPlotId;
  if (nargin > 3) {
    if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, 3), &kind)) return e;
  }
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 4, kErrBadArg, &style, &id)) return e;
  if (IsEmptyNumeric(ctx, ArgDepth(nargin, 1)) || IsEmptyNumeric(ctx, ArgDepth(nargin, 2)))
    return FinishPlotCall(ctx, nargin);
  MatrixArg value, range;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &value)) return e;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 2), &range)) return e;
  if (range.cols != 2) return kErrBadSize;
  if (range.rows > 1 && range.rows != value.rows) return kErrIncompSize;
  const int32_t k = value.cols;
  PlotStyle ps;
  for (int32_t j = 0; j < k; ++j) {
    if (ErrCode e = ControlStyle(style, j, &ps)) return e;
  }
  // Limits a knob can be placed between: finite, and positive on a
  // logarithmic slider.
  for (int32_t i = 0; i < value.rows; ++i) {
    const double lo = range.Series(i, 0);
    const double hi = range.Series(i, 1);
    if (!std::isfinite(lo) || !std::isfinite(hi)) return kErrOutOfRangeArg;
    if (IsLogSliderKind(kind, i) && (lo <= 0 || hi <= 0)) return kErrOutOfRangeArg;
  }
  const ErrCode e =
      WithText(ctx, ArgDepth(nargin, 0), [&](const char* text, int32_t length) -> ErrCode {
        // The exact room of every slider command.
        uint64_t need = 0;
        RowLabels sizes(text, length);
        for (int32_t i = 0; i < value.rows; ++i) {
          const char* label;
          int32_t n, column;
          sizes.Next(&label, &n, &column);
          need = RoomFor(1, kCommandHeaderDoubles + 9 + PackedDoubles(n), need);
          need = RoomFor(k, 2, need);
        }
        if (ErrCode e = ReservePlotRoom(t, need)) return e;
        RowLabels labels(text, length);
        for (int32_t i = 0; i < value.rows; ++i) {
          const char* label;
          int32_t n, column;
          labels.Next(&label, &n, &column);
          CommandWriter w(t, IsLogSliderKind(kind, i) ? kCmdLastSlider : kCmdFirstSlider, id, i + 1,
                          0, 0);
          w.Put(range.Series(i, 0));
          w.Put(range.Series(i, 1));
          w.Put(column);
          for (int32_t slot = 0; slot < 4; ++slot) w.Put(0);
          w.Put(k);
          for (int32_t j = 0; j < k; ++j) w.Put(value.re[int64_t{i} * k + j]);
          for (int32_t j = 0; j < k; ++j) {
            ControlStyle(style, j, &ps);
            w.Put(StyleColour(ps));
          }
          w.Put(n);
          w.PutBytes(label, n);
          if (ErrCode e = w.Commit()) return e;
        }
        return kOk;
      });
  return e ? e : FinishPlotCall(ctx, nargin);
}

// ---- button, pushbutton ----

ErrCode AddButtonRows(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t flag) {
  const bool push = flag == kPushButtons;
  StyleArg kind;
  StyleArg style;
  int32_t id = kNoPlotId;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, push ? 1 : 3, kErrBadArg, &style, &id)) return e;
  int32_t code = kCmdPushButton;
  int32_t rows = -1;  // push buttons: one row per label line
  NumericView value;
  if (!push) {
    if (nargin > 2) {
      if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, 2), &kind)) return e;
    }
    switch (kind.length > 0 ? std::tolower(static_cast<unsigned char>(kind.text[0])) : 'b') {
      case 'b':
        break;
      case 'c':
        code = kCmdCheckBox;
        break;
      case 'r':
        code = kCmdRadioButton;
        break;
      default:
        return kErrUnknownOpt;
    }
    value = ViewNumeric(ctx, ArgDepth(nargin, 1));
    if (value.cls == ValueClass::kOther) return kErrWrongType;
    if (value.shape.count > 0 && (value.shape.ndims != 2 || value.shape.dims[1] != 1))
      return kErrBadSize;
    if (code != kCmdPushButton) rows = value.shape.count;
  }
  const ErrCode e =
      WithText(ctx, ArgDepth(nargin, 0), [&](const char* text, int32_t length) -> ErrCode {
        const int32_t count = rows >= 0 ? rows : CountTextLines(text, length);
        PlotStyle ps;
        for (int32_t i = 0; i < count; ++i) {
          if (ErrCode e = ControlStyle(style, i, &ps)) return e;
        }
        if (ErrCode e = ReservePlotRoom(t, RoomFor(count, 17, static_cast<uint64_t>(length) / 8)))
          return e;
        TextLines lines(text, length);
        for (int32_t i = 0; i < count; ++i) {
          const char* line;
          int32_t n;
          lines.Next(&line, &n);
          ControlStyle(style, i, &ps);
          CommandWriter w(t, code, id, i + 1, ps.flags, StyleColour(ps));
          // The value of a check-box row is a mask, of a radio row the item.
          const double state =
              code == kCmdPushButton ? 0 : std::trunc(ViewElement(value, i, false));
          w.Put(std::isfinite(state) ? state : 0);
          for (int32_t slot = 0; slot < 3; ++slot) w.Put(0);
          w.Put(n);
          w.PutBytes(line, n);
          if (ErrCode e = w.Commit()) return e;
        }
        return kOk;
      });
  return e ? e : FinishPlotCall(ctx, nargin);
}

// ---- popupmenu ----

ErrCode AddPopupMenu(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  StyleArg style;
  int32_t id = kNoPlotId;
  if (ErrCode e = ReadTypedControlArgs(ctx, nargin, "Sli[Si", &style, &id)) return e;
  PlotStyle ps;
  if (ErrCode e = ControlStyle(style, 0, &ps)) return e;
  StructuredParts items;
  if (ErrCode e = GetListParts(ctx, ArgDepth(nargin, 1), &items)) return e;
  int32_t selected = 0;
  if (ErrCode e = GetIntegerArg(ctx, ArgDepth(nargin, 2), &selected)) return e;
  const int32_t m = items.elements;
  if (selected < 1 || selected > m) return kErrIndexOutOfRange;
  const ErrCode e =
      WithText(ctx, ArgDepth(nargin, 0), [&](const char* label, int32_t length) -> ErrCode {
        // The list lies one deeper under the converted label.
        const int32_t listDepth = ArgDepth(nargin, 1) + 1;
        uint64_t itemBytes = 0;
        for (int32_t i = 1; i <= m; ++i) {
          if (ErrCode e = WithListText(ctx, listDepth, i, [&](const char*, int32_t n) -> ErrCode {
                itemBytes += static_cast<uint64_t>(n) + 1;
                return kOk;
              })) {
            return e;
          }
        }
        const uint64_t bytes = static_cast<uint64_t>(length) + itemBytes;
        if (ErrCode e = ReservePlotRoom(t, kCommandHeaderDoubles + 9 + (bytes + 7) / 8)) return e;
        CommandWriter w(t, kCmdPopupMenu, id, 0, ps.flags, StyleColour(ps));
        for (double v : {double(selected), -1.0, double(m), double(length), double(itemBytes)})
          w.Put(v);
        for (int32_t slot = 0; slot < 4; ++slot) w.Put(0);
        w.PutBytes(label, length);
        // Each item is converted again and may find no room this time: the
        // command is then not committed.
        for (int32_t i = 1; i <= m; ++i) {
          if (ErrCode e =
                  WithListText(ctx, listDepth, i, [&](const char* item, int32_t n) -> ErrCode {
                    w.PutBytes(item, n);
                    w.PutBytes("", 1);
                    return kOk;
                  })) {
            return e;
          }
        }
        return w.Commit();
      });
  return e ? e : FinishPlotCall(ctx, nargin);
}

// ---- textfield ----

ErrCode AddTextFields(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  StyleArg style;
  int32_t id = kNoPlotId;
  const bool empty = IsEmptyNumeric(ctx, ArgDepth(nargin, 2));
  if (ErrCode e = ReadTypedControlArgs(ctx, nargin, empty ? "SS?[Si" : "SSR[Si", &style, &id))
    return e;
  StyleArg formatText;
  if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, 1), &formatText)) return e;
  FieldFormat format;
  if (ErrCode e = ParseFieldFormat(formatText.text, formatText.length, &format)) return e;
  if (empty) return FinishPlotCall(ctx, nargin);
  MatrixArg value;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 2), &value)) return e;
  const int64_t count = value.Count();
  PlotStyle ps;
  for (int64_t i = 0; i < count; ++i) {
    if (ErrCode e = ControlStyle(style, static_cast<int32_t>(i), &ps)) return e;
  }
  const ErrCode e =
      WithText(ctx, ArgDepth(nargin, 0), [&](const char* text, int32_t length) -> ErrCode {
        uint64_t need = 0;
        RowLabels sizes(text, length);
        for (int64_t i = 0; i < count; ++i) {
          const char* label;
          int32_t n, column;
          sizes.Next(&label, &n, &column);
          need =
              RoomFor(1, kCommandHeaderDoubles + 7 + PackedDoubles(n + 1 + kFieldTextBytes), need);
        }
        if (ErrCode e = ReservePlotRoom(t, need)) return e;
        RowLabels labels(text, length);
        for (int64_t i = 0; i < count; ++i) {
          const char* label;
          int32_t n, column;
          labels.Next(&label, &n, &column);
          ControlStyle(style, static_cast<int32_t>(i), &ps);
          char field[kFieldTextBytes] = {};
          FormatField(format, value.At(i), field);
          CommandWriter w(t, kCmdTextField, id, static_cast<int32_t>(i) + 1, ps.flags,
                          StyleColour(ps));
          for (int32_t slot = 0; slot < 4; ++slot) w.Put(0);
          w.Put(column);
          w.Put(value.At(i));
          w.Put(n + 1 + kFieldTextBytes);
          w.PutBytes(label, n);
          w.PutBytes("", 1);
          w.PutBytes(field, kFieldTextBytes);
          if (ErrCode e = w.Commit()) return e;
        }
        return kOk;
      });
  return e ? e : FinishPlotCall(ctx, nargin);
}

// ---- settabs, vertcontrols ----

ErrCode SetTabs(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  const int32_t depth = ArgDepth(nargin, 0);
  if (IsCharArray(ctx, depth)) {
    const ErrCode e = WithText(ctx, depth, [&](const char* text, int32_t length) -> ErrCode {
      int32_t k = static_cast<int32_t>(std::count(text, text + length, '\t'));
      if (length == 0 || text[length - 1] != '\t') ++k;
      if (ErrCode e = ReservePlotRoom(t, RoomFor(k, 1, 8 + PackedDoubles(length)))) return e;
      CommandWriter w(t, kCmdTabStops, kNoPlotId, -1, 0, 0);
      w.Put(k);
      for (int32_t i = 0; i < k; ++i) w.Put(0);
      w.Put(length);
      w.PutBytes(text, length);
      return w.Commit();
    });
    return e ? e : FinishPlotCall(ctx, nargin);
  }
  // A field of trunc(stops(i)) "x" characters per element, each with its tab.
  MatrixArg stops;
  if (ErrCode e = ReadMatrixArg(ctx, depth, &stops)) return e;
  const auto fieldChars = [](double v) {
    return v >= 1 ? static_cast<uint64_t>(std::min(std::trunc(v), 1e15)) : 0;
  };
  uint64_t length = 0;
  for (int64_t i = 0; i < stops.Count(); ++i) length += fieldChars(stops.At(i)) + 1;
  const uint64_t k = static_cast<uint64_t>(stops.Count());
  if (ErrCode e = ReservePlotRoom(t, RoomFor(k, 1, 8 + (length + 7) / 8))) return e;
  CommandWriter w(t, kCmdTabStops, kNoPlotId, -1, 0, 0);
  w.Put(static_cast<double>(k));
  for (uint64_t i = 0; i < k; ++i) w.Put(0);
  w.Put(static_cast<double>(length));
  for (int64_t i = 0; i < stops.Count(); ++i) {
    for (uint64_t c = fieldChars(stops.At(i)); c > 0; --c) w.PutBytes("x", 1);
    w.PutBytes("\t", 1);
  }
  if (ErrCode e = w.Commit()) return e;
  return FinishPlotCall(ctx, nargin);
}

ErrCode SetVertControls(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  uint8_t on = 0;
  if (GetConditionTruth(ctx, ArgDepth(nargin, 0), &on) != kOk) return kErrWrongTypeOverload;
  if (ErrCode e = ReservePlotRoom(t, kCommandHeaderDoubles + 1)) return e;
  CommandWriter w(t, kCmdVerticalGroup, kNoPlotId, -1, 0, 0);
  w.Put(on ? 1 : 0);
  if (ErrCode e = w.Commit()) return e;
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
