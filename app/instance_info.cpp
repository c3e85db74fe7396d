// Title, version and help texts of an instance.
#include "app/instance_info.hpp"

#include <algorithm>
#include <cstring>

#include "app/element_list.hpp"
#include "app/instances.hpp"
#include "app/markup/markup_convert.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The variable and the element kind of an info letter; false for others.
bool InfoSource(char letter, int32_t* variable, uint32_t* kind) {
  switch (letter) {
    case 't':
      *variable = kVarTitle;
      *kind = kElemTitle;
      return true;
    case 'v':
      *variable = kVarVersion;
      *kind = kElemVersion;
      return true;
    case 'h':
      *variable = kVarHelp;
      *kind = kElemHelp;
      return true;
    default:
      return false;
  }
}

// The char row on top of the stack as UTF-8, cut at a character so that it
// fits capacity bytes with a NUL; its length. *whole tells whether it was
// not cut.
int32_t TopTextToUtf8(EngineContext* ctx, uint8_t* buffer, int32_t capacity, bool* whole) {
  const NumericView v = ViewNumeric(ctx, 0);
  int32_t n = 0;
  *whole = false;
  for (int32_t i = 0; i < v.shape.count; i++) {
    const auto ch = Load<uint16_t>(v.elements + 2 * i);
    if (n + Utf8Length(ch) > capacity - 1) {
      if (capacity > 0) buffer[n] = 0;
      return n;
    }
    n += EncodeUtf8Char(ch, buffer + n);
  }
  if (capacity > 0) buffer[n] = 0;
  *whole = capacity > 0;
  return n;
}

// The converted text for display: RTF for mode 'r', HTML for 'h', else plain
// text for the help and compact text for the title and the version. The
// free data stack above the text holds the source and the output.
ErrCode ConvertTopText(KVContextBlock* block, char mode, char letter, char* buffer,
                       int32_t capacity, int32_t* length) {
  EngineContext* ctx = block->Engine();
  uint32_t free;
  void* area;
  GetDataStackFree(ctx, &free, &area);
  const auto size = static_cast<int32_t>(std::min<uint32_t>(free, INT32_MAX));
  auto* work = static_cast<uint8_t*>(area);
  bool whole;
  const int32_t sourceLength = TopTextToUtf8(ctx, work, size / 2, &whole);
  if (!whole) return kErrDataOverflow;
  const MarkupFormat format = mode == 'r'     ? MarkupFormat::kRtf
                              : mode == 'h'   ? MarkupFormat::kHtml
                              : letter == 'h' ? MarkupFormat::kPlain
                                              : MarkupFormat::kCompact;
  const char* newline = block->newlineMode == 2 ? "\r\n" : block->newlineMode == 0 ? "\r" : "\n";
  char* output;
  int32_t outputLength;
  const int32_t e = MarkupConvert(
      reinterpret_cast<char*>(work), sourceLength, reinterpret_cast<char*>(work), size, 0, newline,
      &BuiltinMarkupDescriptor(format), 0, &output, &outputLength, nullptr);
  if (e) return e == kMarkupNoRoom ? kErrDataOverflow : kErrIllegal;
  // Cut like the text itself: at a character, with room for the NUL.
  int32_t n = std::min(outputLength, capacity - 1);
  while (n > 0 && n < outputLength && (static_cast<uint8_t>(output[n]) & 0xC0) == 0x80) n--;
  n = std::max(n, 0);
  std::memcpy(buffer, output, n);
  if (capacity > 0) buffer[n] = 0;
  if (length) *length = n;
  return kOk;
}

}  // namespace

ErrCode GetInstanceInfoText(KVContextBlock* block, int32_t id, char letter, bool require) {
  int32_t variable;
  uint32_t kind;
  if (!InfoSource(letter, &variable, &kind)) return kErrIllegal;
  if (!FindInstance(block, id)) return kKvNonexistentInstance;
  EngineContext* ctx = block->Engine();
  const ErrCode pushed = PushUndoValue(block, id, 0, variable);
  if (!pushed) {
    if (ViewNumeric(ctx, 0).cls == ValueClass::kChar) return kOk;
    if (ErrCode e = Drop(ctx)) return e;
  } else if (pushed != kKvNonexistentUndoSet && pushed != kKvVarNotFound) {
    return pushed;
  }
  std::string_view text;
  if (GetInstanceElement(block, id, kind, &text, nullptr) == kOk)
    return PushUtf8String(ctx, static_cast<int32_t>(text.size()), text.data());
  return require ? kKvUndefElement : PushCString(ctx, 0, "");
}

ErrCode SetInstanceInfoText(KVContextBlock* block, int32_t id, const char* text, int32_t length,
                            char letter) {
  int32_t variable;
  uint32_t kind;
  if (!InfoSource(letter, &variable, &kind)) return kErrIllegal;
  EngineContext* ctx = block->Engine();
  ErrCode e = text ? PushUtf8String(ctx, length, text) : PushEmptyMatrix(ctx);
  if (e) return e;
  e = StoreUndoValue(block, id, 0, variable);
  if (e) Drop(ctx);
  return e;
}

ErrCode GetInstanceText(KVContextBlock* block, int32_t id, char mode, char letter, char* buffer,
                        int32_t capacity, int32_t* length) {
  if (ErrCode e = GetInstanceInfoText(block, id, letter, false)) return e;
  EngineContext* ctx = block->Engine();
  ErrCode e = kOk;
  if (mode == 'n') {
    bool whole;
    const int32_t n = TopTextToUtf8(ctx, reinterpret_cast<uint8_t*>(buffer), capacity, &whole);
    if (length) *length = n;
  } else {
    e = ConvertTopText(block, mode, letter, buffer, capacity, length);
  }
  const ErrCode dropped = Drop(ctx);
  return e ? e : dropped;
}

ErrCode GetInstanceTitle(KVContextBlock* block, int32_t id, char* buffer, int32_t capacity,
                         int32_t* length) {
  return GetInstanceText(block, id, 'n', 't', buffer, capacity, length);
}

ErrCode GetInstanceVersionText(KVContextBlock* block, int32_t id, char mode, char* buffer,
                               int32_t capacity, int32_t* length) {
  return GetInstanceText(block, id, mode, 'v', buffer, capacity, length);
}

ErrCode GetInstanceHelpText(KVContextBlock* block, int32_t id, char mode, char* buffer,
                            int32_t capacity, int32_t* length) {
  return GetInstanceText(block, id, mode, 'h', buffer, capacity, length);
}

}  // namespace vke
