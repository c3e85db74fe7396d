// The natives base64encode and base64decode: byte strings to Base64 text
// and back, both as char rows of one character per byte.
#include "builtins/base64.hpp"
#include "builtins/value_bytes.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

// Option 'e' encodes, 'd' decodes. The result is built in all the free
// data stack space above the input: the text straight as characters, the
// decoded bytes widened to characters afterwards. The input stays as given.
ErrCode Base64Native(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  const uint8_t* bytes;
  int32_t count;
  DataScratch scratch(ctx);
  ErrCode e = GetValueBytes(ctx, 0, &scratch, &bytes, &count);
  if (e) return e;
  int32_t room = -1;
  uint16_t* out;
  if ((e = PushStringOfLength(ctx, &room, &out))) return e;
  int64_t length = 0;
  if (option == 'e') {
    e = Base64EncodeToChars(bytes, count, out, room, &length);
    if (!e) e = FinishByteString(ctx, static_cast<int32_t>(length));
  } else {
    e = Base64Decode(reinterpret_cast<const char*>(bytes), count, reinterpret_cast<uint8_t*>(out),
                     room, &length);
    if (!e) e = WidenBytesToString(ctx, static_cast<int32_t>(length));
  }
  if (e) {
    Drop(ctx);
    return e == kErrDataOverflow ? TextRoomError(room) : e;
  }
  return ReplaceEntryWithTop(ctx, 0);
}

}  // namespace vke
