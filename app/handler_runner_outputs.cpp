// The outputs of a handler: the object's entry of _ppl, the clipboard text of
// _xdata and _xdatatype, the message, the cursor, the idle pacing and the KV
// variables.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_properties.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/text/dump.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kClipboardDigits = 15;
constexpr int32_t kNumberRoom = 50;  // free bytes a number of the clipboard text needs
constexpr char kLinkLine[] = "%KV link ";

// The host's line end: CR unless the mode is 1, then LF unless it is 0.
int32_t LineEndLength(uint32_t mode) {
  return (mode != 1) + (mode != 0);
}

void AppendLineEnd(char* buffer, int32_t* position, uint32_t mode) {
  if (mode != 1) buffer[(*position)++] = '\r';
  if (mode != 0) buffer[(*position)++] = '\n';
}

// The clipboard buffer of the request and the text written to it so far.
struct Clipboard {
  char* data;
  int32_t capacity;
  int32_t* written;
  uint32_t mode;

  int32_t Free() const { return capacity - *written; }
};

// The value as source text that recreates it, written as 16-bit text into
// the free part of the buffer, converted there to the host's text and
// followed by a line end when two bytes are left.
ErrCode WriteSourceText(EngineContext* ctx, const Clipboard& c) {
  char* start = c.data + *c.written;
  const int32_t pad = static_cast<int32_t>(reinterpret_cast<uintptr_t>(start) & 1);
  int32_t chars = (c.Free() - pad) / 2;
  if (chars <= 0) return kKvExhaustedRsrc;
  auto* wide = reinterpret_cast<uint16_t*>(start + pad);
  int32_t position = 0;
  ErrCode e = DumpValue(ctx, wide, chars, &position, -1, nullptr, 0, kClipboardDigits);
  if (e == kErrDataOverflow) return kKvExhaustedRsrc;
  if (e) return e;
  int32_t n = 0;
  if (!EncodeOutputText(ctx, static_cast<int32_t>(c.mode), wide, position,
                        reinterpret_cast<uint8_t*>(start), c.Free(), &n))
    return kKvExhaustedRsrc;
  *c.written += n;
  if (c.Free() >= 2) AppendLineEnd(c.data, c.written, c.mode);
  return kOk;
}

// A real matrix row by row: numbers with 15 significant digits, a TAB
// between them and a line end after each row.
ErrCode WriteMatrixRows(const NumericView& v, const Clipboard& c) {
  const int32_t rows = v.shape.dims[0], cols = v.shape.dims[1];
  for (int32_t i = 0; i < rows; i++) {
    for (int32_t j = 0; j < cols; j++) {
      if (c.Free() < kNumberRoom) return kKvExhaustedRsrc;
      if (j > 0) c.data[(*c.written)++] = '\t';
      const double x = Load<double>(v.elements + 8 * (int64_t{i} * cols + j));
      FormatDouble(c.data, c.written, x, kClipboardDigits, 'g', 0, false, false, false, false,
                   false, false, c.capacity);
    }
    if (c.Free() < LineEndLength(c.mode)) return kKvExhaustedRsrc;
    AppendLineEnd(c.data, c.written, c.mode);
  }
  return kOk;
}

// _xdata: source text when the clipboard holds text already or a type
// follows; otherwise a string as it is and a real matrix as rows of numbers.
ErrCode WriteXData(EngineContext* ctx, const Clipboard& c, bool typeFollows) {
  ErrCode e;
  const NumericView v = ViewNumeric(ctx, 0);
  if (*c.written > 0 || typeFollows) {
    e = WriteSourceText(ctx, c);
  } else if (v.cls == ValueClass::kChar) {
    const char* text;
    int32_t n;
    e = GetStringArg(ctx, 0, &text, &n);
    if (!e && n > c.Free()) e = kKvExhaustedRsrc;
    if (!e) {
      std::memcpy(c.data + *c.written, text, static_cast<size_t>(n));
      *c.written += n;
    }
  } else if (v.cls == ValueClass::kDouble && !v.complex && v.shape.ndims == 2) {
    e = WriteMatrixRows(v, c);
  } else {
    e = WriteSourceText(ctx, c);
  }
  return e ? e : Drop(ctx);
}

// _xdatatype: the "%KV xdata" line with the type (its double quotes made
// single) and, with a link id, the "%KV link" line go before the text written
// so far.
ErrCode WriteXDataType(EngineContext* ctx, const Clipboard& c, int32_t instance, int32_t linkId) {
  const char* type;
  int32_t n;
  if (ErrCode e = GetStringArg(ctx, 0, &type, &n)) return e;
  const int32_t lineEnd = LineEndLength(c.mode);
  char link[32];
  int32_t linkLength = 0;
  if (linkId >= 0) {
    AppendCString(link, &linkLength, kLinkLine, sizeof link);
    AppendFormattedInt(link, &linkLength, instance, false, 0, false, false, false, 2, sizeof link);
    AppendCString(link, &linkLength, " ", sizeof link);
    AppendFormattedInt(link, &linkLength, linkId, false, 0, false, false, false, 2, sizeof link);
  }
  const int64_t header =
      int64_t{kXDataLineLength} + n + 1 + lineEnd + (linkId >= 0 ? linkLength + lineEnd : 0);
  if (header > c.Free()) return kKvExhaustedRsrc;
  std::memmove(c.data + header, c.data, static_cast<size_t>(*c.written));
  int32_t p = 0;
  std::memcpy(c.data, kXDataLine, kXDataLineLength);
  p += kXDataLineLength;
  for (int32_t i = 0; i < n; i++) c.data[p++] = type[i] == '"' ? '\'' : type[i];
  c.data[p++] = '"';
  AppendLineEnd(c.data, &p, c.mode);
  if (linkId >= 0) {
    std::memcpy(c.data + p, link, static_cast<size_t>(linkLength));
    p += linkLength;
    AppendLineEnd(c.data, &p, c.mode);
  }
  *c.written += p;
  return Drop(ctx);
}

// _msg: the characters up to the capacity or the first line end; without a
// length out, NUL-terminated.
ErrCode WriteMessage(EngineContext* ctx, const HandlerRequest& r) {
  const char* text;
  int32_t n;
  if (ErrCode e = GetStringArg(ctx, 0, &text, &n)) return e;
  const int32_t limit = r.messageLength ? r.messageCapacity : r.messageCapacity - 1;
  int32_t count = 0;
  while (count < n && count < limit && text[count] != '\n' && text[count] != '\r') {
    r.message[count] = text[count];
    count++;
  }
  if (r.messageLength) {
    *r.messageLength = count;
  } else if (r.messageCapacity > 0) {
    r.message[count] = 0;
  }
  return Drop(ctx);
}

// _idlerate and _idleamount: the idle mode and the value's first element; an
// empty value turns the pacing off.
ErrCode StoreIdlePacing(KVContextBlock* block, int32_t id, IdleMode mode) {
  EngineContext* ctx = block->Engine();
  if (ErrCode e = ConvertToFloat(ctx, 0, false)) return e;
  const NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kDouble) return kErrWrongType;
  InstanceRecord* r = FindInstance(block, id);
  if (!r) return kKvNonexistentInstance;
  const bool empty = v.shape.count == 0;
  r->idleMode = empty ? kIdleModeNone : mode;
  r->idleValue = empty ? -1 : Load<double>(v.elements);
  return Drop(ctx);
}

ErrCode StoreOutput(KVContextBlock* block, const HandlerRequest& r, const DescriptorCodes& codes,
                    uint32_t index) {
  EngineContext* ctx = block->Engine();
  const int32_t code = codes.Output(index);
  const Clipboard clipboard{r.data, r.dataLength, r.dataWritten, block->newlineMode};
  const bool toClipboard = r.data && r.dataWritten;
  switch (code) {
    case kVarParam:
      return GetPlotProperties(block, r.instance, r.objectId);
    case kVarXData:
      if (!toClipboard) return Drop(ctx);
      return WriteXData(ctx, clipboard, codes.HasOutput(kVarXDataType, index + 1));
    case kVarXDataType:
      return toClipboard ? WriteXDataType(ctx, clipboard, r.instance, r.linkId) : Drop(ctx);
    case kVarMsg:
      return r.message ? WriteMessage(ctx, r) : Drop(ctx);
    case kVarCursor: {
      uint8_t truth;
      ErrCode e = PopConditionTruth(ctx, &truth);
      if (!e) block->cursor = truth;
      return e;
    }
    case kVarIdleRate:
      return StoreIdlePacing(block, r.instance, kIdleModeRate);
    case kVarIdleAmount:
      return StoreIdlePacing(block, r.instance, kIdleModeAmount);
    default: {
      ErrCode e = StoreUndoValue(block, r.instance, OutputVersion(r), code);
      if (e) return e;
      if (InstanceRecord* rec = FindInstance(block, r.instance)) rec->changed = 1;
      return kOk;
    }
  }
}

// Whether an output code names no KV variable but a standard one with a
// place of its own (the clipboard, the message, the record).
bool IsOwnPlaceOutput(int32_t code) {
  switch (code) {
    case kVarXData:
    case kVarXDataType:
    case kVarMsg:
    case kVarCursor:
    case kVarIdleRate:
    case kVarIdleAmount:
      return true;
    default:
      return false;
  }
}

// Heap units of the values the outputs leave in the undo buffer, a block
// header each: a KV variable's value as it lies on the stack; for _param
// the new _ppl list, at most the old one with the value and an empty entry
// of a few units for each place up to the object's.
ErrCode UndoUnitsOfOutputs(KVContextBlock* block, const HandlerRequest& r,
                           const DescriptorCodes& codes, uint64_t* units) {
  constexpr uint64_t kEntryUnits = 4;  // an item header and an empty value's descriptor
  EngineContext* ctx = block->Engine();
  *units = 0;
  for (uint32_t i = 0; i < codes.Outputs(); i++) {
    const int32_t code = codes.Output(i);
    const auto depth = static_cast<int32_t>(i);
    if (IsOwnPlaceOutput(code) || (code == kVarParam && r.objectId < 0)) continue;
    uint64_t value = static_cast<uint32_t>(GetEntryWordCount(ctx, depth)) + 1;
    if (code == kVarParam) {
      uint32_t list;
      void* data;
      if (ErrCode e = GetUndoValue(block->UndoArea(), r.instance, 0, kVarPpl, &list, &data))
        return e;
      value += list + kEntryUnits * (uint64_t{static_cast<uint32_t>(r.objectId)} + 2);
    }
    *units += value;
  }
  return kOk;
}

}  // namespace

int32_t OutputVersion(const HandlerRequest& r) {
  return r.nested && r.previous ? 1 : 0;
}

ErrCode ReserveOutputRoom(KVContextBlock* block, const HandlerRequest& r,
                          const DescriptorCodes& codes) {
  uint64_t units;
  if (ErrCode e = UndoUnitsOfOutputs(block, r, codes, &units)) return e;
  return units ? ReserveUndoRoom(block->UndoArea(), r.instance, OutputVersion(r), units) : kOk;
}

ErrCode StoreHandlerOutputs(KVContextBlock* block, const HandlerRequest& r,
                            const DescriptorCodes& codes, uint32_t* next) {
  for (; *next < codes.Outputs(); ++*next)
    if (ErrCode e = StoreOutput(block, r, codes, *next)) return e;
  return kOk;
}

ErrCode StoreOutputsGrowing(KVContextBlock** slot, const HandlerRequest& r, uint32_t start,
                            DescriptorCodes* codes) {
  uint32_t next = 0;
  for (;;) {
    ErrCode e = next == 0 ? ReserveOutputRoom(*slot, r, *codes) : kOk;
    if (!e) e = StoreHandlerOutputs(*slot, r, *codes, &next);
    if (!e || !r.allowGrowth || !IsMemoryCode(e) || !ExpandMemory(slot, e)) return e;
    if (!codes->Read(*slot, start, r.descriptor)) return kKvUndefElement;
  }
}

}  // namespace vke
