// Whole values as source text: the walk over nested lists, structures, cell
// arrays, structure arrays and objects (with an explicit stack of open
// containers, not by recursion), function values, and the hooks of library
// value kinds.
#include <algorithm>

#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/dump_detail.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "engine/values/struct_values.hpp"

namespace vke::dump {

namespace {

// Containers open at once; deeper values give 109.
constexpr int32_t kMaxOpen = 256;

// kInline: the rest of an inline function's arguments, its captured values.
enum class Open : uint8_t { kList, kStruct, kObject, kCell, kStructArray, kInline };

// How a non-empty cell array is written: reshape({...}, dims) gives a list
// for a row, so a 1 x 1 cell array is the one cell of a structure's fields
// and a longer row the transpose of a column.
enum class CellText : uint8_t { kScalar, kRow, kReshaped };

CellText CellForm(const Shape& shape) {
  if (shape.ndims != 2 || shape.dims[0] != 1) return CellText::kReshaped;
  return shape.dims[1] == 1 ? CellText::kScalar : CellText::kRow;
}

struct Container {
  Open kind;
  ValueDescriptor desc;  // the container's own descriptor
  uint32_t value;        // offset of its data (kInline: 1 for several outputs)
  uint32_t next;         // offset of the next item (not for structure arrays)
  int64_t done;          // items written
  int64_t count;         // items to write
  StructArrayValues values;
};

class ValueWalk {
 public:
  ValueWalk(DumpWriter& out, int32_t precision)
      : out_(out), ctx_(out.ctx()), scratch_(out.ctx()), precision_(precision) {}
  ErrCode Run(const ValueDescriptor& d, uint32_t data);

 private:
  ErrCode Begin(const ValueDescriptor& d, uint32_t data);
  ErrCode Enter(const ValueDescriptor& d, uint32_t data);
  ErrCode Next(Container& c);
  ErrCode Close(const Container& c);
  ErrCode Array(const ValueDescriptor& d, uint32_t data);
  ErrCode FunctionReference(const ValueDescriptor& d, uint32_t data);
  ErrCode InlineFunction(const ValueDescriptor& d, uint32_t data);
  ErrCode LibraryValue(const ValueDescriptor& d, uint32_t data);
  ErrCode Dims(const Shape& shape);
  ErrCode Quoted(int32_t nameId);

  DumpWriter& out_;
  EngineContext* ctx_;
  DataScratch scratch_;
  int32_t precision_;
  Container stack_[kMaxOpen];
  int32_t open_ = 0;
};

ErrCode ValueWalk::Run(const ValueDescriptor& d, uint32_t data) {
  ErrCode e = Begin(d, data);
  while (!e && open_ > 0) {
    Container& c = stack_[open_ - 1];
    if (c.done == c.count) {
      open_--;
      e = Close(stack_[open_]);
    } else {
      e = Next(c);
    }
  }
  return e;
}

// Writes a value that holds no items, or opens a container.
ErrCode ValueWalk::Begin(const ValueDescriptor& d, uint32_t data) {
  if (IsStructured(d)) return Enter(d, data);
  if (IsPlain(d)) return Array(d, data);
  if (!IsTyped(d) || (d.flags & (kFlagReference | kFlagMarker | kFlagNoValue))) return kOk;
  switch (d.word) {
    case kKindArray:
    case kKindChar:
    case kKindLogical:
      return Array(d, data);
    case kKindInline:
      return InlineFunction(d, data);
    case kKindFuncRef:
      return FunctionReference(d, data);
    default:
      return d.word >= kKindLibrary ? LibraryValue(d, data) : ErrCode{kOk};
  }
}

// Opening text of a container; empty ones close at once.
ErrCode ValueWalk::Enter(const ValueDescriptor& d, uint32_t data) {
  if (open_ == kMaxOpen) return kErrObjTooLarge;
  StructuredParts parts;
  DecodeStructuredData(d, AtOffset(ctx_, data), &parts);
  Container& c = stack_[open_];
  c.desc = d;
  c.value = data;
  c.next = OffsetOf(ctx_, parts.first);
  c.done = 0;
  c.count = parts.elements;
  ErrCode e;
  if (IsObjectKind(d.word)) {
    c.kind = Open::kObject;
    c.count = parts.items;
    e = out_.Put("class(struct(");
  } else if (d.word == kKindStruct) {
    c.kind = Open::kStruct;
    c.count = parts.items;
    e = out_.Put("struct(");
  } else if (d.word == kKindCell) {
    // A list is a row of its own: a cell array that is a row, or empty,
    // is written so that it reads back as a cell array.
    if (c.count == 0) {
      e = out_.Put("cell(");
      if (!e) e = Dims(parts.shape);
      return e ? e : out_.Put(")");
    }
    c.kind = Open::kCell;
    e = out_.Put(CellForm(parts.shape) == CellText::kScalar ? "struct2cell(struct('a',"
                                                            : "reshape({");
  } else if (d.word == kKindStructArray) {
    c.kind = Open::kStructArray;
    e = c.values.Init(ctx_, parts, &scratch_);
    c.count = c.values.Count();
    if (!e) e = out_.Put("cell2struct(reshape({");
  } else {
    c.kind = Open::kList;
    e = out_.Put("{");
  }
  if (!e) open_++;
  return e;
}

// The separator and the next item; structure fields come with their names.
ErrCode ValueWalk::Next(Container& c) {
  ErrCode e = kOk;
  if (c.kind == Open::kInline) {
    e = out_.Put(",");
  } else if (c.done > 0) {
    e = out_.Put(", ");
    if (!e) e = out_.ContinueLine();
  }
  uint32_t item = c.next;
  if (c.kind == Open::kStructArray) {
    item = c.values.ItemAt(c.done);
  } else {
    c.next += ItemBytes(AtOffset(ctx_, item));
  }
  if (!e && (c.kind == Open::kStruct || c.kind == Open::kObject)) {
    e = Quoted(ItemName(AtOffset(ctx_, item)));
    if (!e) e = out_.Put(",");
  }
  c.done++;
  return e ? e : Begin(Load<ValueDescriptor>(AtOffset(ctx_, item)), item + 16);
}

ErrCode ValueWalk::Close(const Container& c) {
  switch (c.kind) {
    case Open::kList:
      return out_.Put("}");
    case Open::kStruct:
      return out_.Put(")");
    case Open::kObject: {
      ErrCode e = out_.Put("), ");
      if (!e) e = Quoted(ObjectClassId(c.desc.word));
      return e ? e : out_.Put(")");
    }
    case Open::kCell: {
      StructuredParts parts;
      DecodeStructuredData(c.desc, AtOffset(ctx_, c.value), &parts);
      switch (CellForm(parts.shape)) {
        case CellText::kScalar:
          return out_.Put("))");
        case CellText::kRow: {
          Shape column = parts.shape;
          std::swap(column.dims[0], column.dims[1]);
          ErrCode e = out_.Put("},");
          if (!e) e = Dims(column);
          return e ? e : out_.Put(").'");
        }
        case CellText::kReshaped: {
          ErrCode e = out_.Put("},");
          if (!e) e = Dims(parts.shape);
          return e ? e : out_.Put(")");
        }
      }
      return kOk;
    }
    case Open::kInline:
      return out_.Put(c.value ? ",true)" : ")");
    case Open::kStructArray: {
      ErrCode e = out_.Put("},");
      if (!e) e = Dims(c.values.CellShape());
      if (!e) e = out_.Put("),{");
      // The names of the first element's fields.
      StructuredParts parts;
      DecodeStructuredData(c.desc, AtOffset(ctx_, c.value), &parts);
      const uint8_t* item = parts.first;
      for (int32_t f = 0; !e && parts.elements > 0 && f < parts.fields;
           f++, item += ItemBytes(item)) {
        if (f > 0) e = out_.Put(",");
        if (!e) e = Quoted(ItemName(item));
      }
      return e ? e : out_.Put("})");
    }
  }
  return kOk;
}

// Numeric, char and logical arrays; N-D ones as reshape of one row.
ErrCode ValueWalk::Array(const ValueDescriptor& d, uint32_t data) {
  const NumericView v = ViewNumericData(d, AtOffset(ctx_, data));
  if (v.cls == ValueClass::kOther) return kOk;
  NumericBlock block;
  block.re = v.elements;
  block.cls = v.cls;
  const int es = v.cls == ValueClass::kDouble ? 8 : v.cls == ValueClass::kSingle ? 4 : 0;
  if (v.complex) block.im = v.elements + int64_t{es} * v.shape.count;
  block.integerBytes = ElementBytesOfCode(v.code);
  block.isUnsigned = (v.code & kCodeUnsigned) != 0;
  block.rows = v.shape.dims[0];
  block.cols = v.shape.dims[1];
  if (v.shape.ndims <= 2) return WriteNumericBlock(out_, block, precision_);
  if (v.shape.count == 0) return WriteEmptyArray(out_, block, v.shape);
  block.rows = 1;
  block.cols = v.shape.count;
  ErrCode e = out_.Put("reshape(");
  if (!e) e = WriteNumericBlock(out_, block, precision_);
  if (!e) e = out_.Put(",");
  if (!e) e = Dims(v.shape);
  return e ? e : out_.Put(")");
}

// "@" and the name a function reference holds (a 16-bit length, the scope,
// the 8-bit name).
ErrCode ValueWalk::FunctionReference(const ValueDescriptor& d, uint32_t data) {
  const uint8_t* p = AtOffset(ctx_, data);
  const int32_t room = static_cast<int32_t>(8 * d.size) - 4;
  const int32_t length = std::min<int32_t>(Load<uint16_t>(p), std::max(room, 0));
  ErrCode e = out_.Put("@");
  return e ? e : out_.Put(reinterpret_cast<const char*>(p + 4), length);
}

// inline('expression', 'p1', ..., captured values, true): the expression,
// the parameter names, the list of captured names and values of an
// anonymous function, and true when it gives several outputs. The captured
// list is walked as an item of its own.
ErrCode ValueWalk::InlineFunction(const ValueDescriptor& d, uint32_t data) {
  const uint16_t* text;
  const uint8_t *second, *block;
  int32_t textLength, secondLength, blockUnits;
  if (DecodeInlineFunctionData(d, AtOffset(ctx_, data), &text, &textLength, &second, &secondLength,
                               &block, &blockUnits))
    return kOk;
  const int32_t room = static_cast<int32_t>(AtOffset(ctx_, data) + 8 * d.size - second);
  secondLength = std::clamp(secondLength, 0, std::max(room, 0));
  textLength = std::clamp(textLength, 0, static_cast<int32_t>(4 * d.size));
  const auto* nul = static_cast<const uint8_t*>(std::memchr(second, 0, secondLength));
  const int32_t namesLength = nul ? static_cast<int32_t>(nul - second) : secondLength;
  const bool captured = nul && nul + 1 + 16 <= second + secondLength;
  const bool several = block && blockUnits >= 1 && ReadFunctionHeader(block).Varargout();
  ErrCode e = out_.Put("inline(");
  if (!e) e = WriteQuoted(out_, text, textLength);
  for (int32_t at = 0; !e && at < namesLength;) {
    int32_t end = at;
    while (end < namesLength && second[end] != ',') end++;
    e = out_.Put(",'");
    if (!e) e = out_.Put(reinterpret_cast<const char*>(second) + at, end - at);
    if (!e) e = out_.Put("'");
    at = end + 1;
  }
  if (e || !captured) return e ? e : out_.Put(several ? ",true)" : ")");
  if (open_ == kMaxOpen) return kErrObjTooLarge;
  Container& c = stack_[open_++];
  c.kind = Open::kInline;
  c.desc = d;
  c.value = several ? 1 : 0;
  c.next = OffsetOf(ctx_, nul + 1);
  c.done = 0;
  c.count = 1;
  return kOk;
}

// A library's own value: its "+wdump" hook writes 16-bit characters, else
// its "+dump" hook 8-bit ones; without either nothing is written.
// The hook finds a copy of the value on top of the stack; whatever it
// leaves there is dropped.
ErrCode ValueWalk::LibraryValue(const ValueDescriptor& d, uint32_t data) {
  const int32_t kind = d.word;
  const NativeFunctionRecord* wide = FindLibraryRecord(ctx_, "+wdump", nullptr, kind, nullptr);
  const NativeFunctionRecord* narrow =
      wide ? nullptr : FindLibraryRecord(ctx_, "+dump", nullptr, kind, nullptr);
  if ((!wide || !wide->function) && (!narrow || !narrow->function)) return kOk;
  uint32_t free;
  void* unused;
  GetDataStackFree(ctx_, &free, &unused);
  // A quarter of the free room for the text, the rest for the copy and the
  // hook.
  const int32_t room = static_cast<int32_t>(std::min<uint32_t>(free / 4, INT32_MAX) / 2);
  uint32_t area;
  ErrCode e = scratch_.Reserve(2ull * room, &area);
  if (e) return e;
  const uint32_t level = ctx_->descTop;
  uint8_t* copy;
  if ((e = PushEntry(ctx_, d.flags, d.size, d.word, false, &copy))) return e;
  std::memcpy(copy, AtOffset(ctx_, data), 8ull * d.size);
  const int32_t saved = ctx_->currentNativeId;
  ctx_->currentNativeId = kind;
  int32_t written = 0;
  if (wide) {
    auto* chars = reinterpret_cast<uint16_t*>(AtOffset(ctx_, area));
    e = reinterpret_cast<WideDumpHookFn>(wide->function)(ctx_, chars, room, &written);
    written = std::clamp(written, 0, room);
    if (!e) e = out_.PutChars(chars, written);
  } else {
    auto* bytes = reinterpret_cast<char*>(AtOffset(ctx_, area));
    e = reinterpret_cast<ByteDumpHookFn>(narrow->function)(ctx_, bytes, 2 * room, &written);
    written = std::clamp(written, 0, 2 * room);
    if (!e) e = out_.Put(bytes, written);
  }
  ctx_->currentNativeId = saved;
  if (ctx_->descTop > level)
    DropStackEntries(ctx_, 0, static_cast<int32_t>((ctx_->descTop - level) / 3));
  return e;
}

// [d1,d2,...]
ErrCode ValueWalk::Dims(const Shape& shape) {
  char text[16];
  ErrCode e = out_.Put("[");
  for (int32_t i = 0; !e && i < shape.ndims; i++) {
    int32_t length = 0;
    if (i > 0) text[length++] = ',';
    AppendFormattedInt(text, &length, shape.dims[i], false, 0, false, false, false, 1, sizeof text);
    e = out_.Put(text, length);
  }
  return e ? e : out_.Put("]");
}

// A name from the name table, quoted ('' for none).
ErrCode ValueWalk::Quoted(int32_t nameId) {
  int32_t length = 0;
  const char* name = NameText(ctx_, nameId, &length);
  ErrCode e = out_.Put("'");
  if (!e && name) e = out_.Put(name, length);
  return e ? e : out_.Put("'");
}

}  // namespace

ErrCode DumpEntry(DumpWriter& out, int32_t depth, int32_t precision) {
  EngineContext* ctx = out.ctx();
  ValueWalk walk(out, precision);
  return walk.Run(*DescAt(ctx, depth), OffsetOf(ctx, DataAt(ctx, depth)));
}

}  // namespace vke::dump

namespace vke {

ErrCode DumpValue(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                  int32_t fd, const char* name, int32_t nameLength, int32_t precision) {
  return dump::WriteDump(ctx, buffer, capacity, position, fd, name, nameLength,
                         [&](dump::DumpWriter& out) { return dump::DumpEntry(out, 0, precision); });
}

ErrCode DumpValueRounded(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                         int32_t precision) {
  return dump::WriteDump(ctx, buffer, capacity, position, -1, nullptr, 0,
                         [&](dump::DumpWriter& out) {
                           out.RoundNumbers();
                           return dump::DumpEntry(out, 0, precision);
                         });
}

}  // namespace vke
