// Helpers of the list, cell and structure builtins: field-name arguments,
// tables of item offsets, copies of items, new structured values, and the
// order in which a structure array's field values form a cell array.
//
// Offsets are byte offsets from the context, so they stay valid while values
// are pushed (pointers into the data stack do not).
#pragma once

#include "engine/code/names.hpp"
#include "engine/values/struct_values.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

inline constexpr int32_t kNameBufferSize = kMaxIdentifierLength + 1;

// A field name given as text: kErrWrongTypeOverload for other values, kErrNullName for an empty
// text, kErrNameTooLong for one longer than 32 characters. NUL-terminated in the buffer.
ErrCode ReadNameArg(EngineContext* ctx, int32_t depth, char* buffer, int32_t* length);
// ReadNameArg, then the name's id, interned when new.
ErrCode InternNameArg(EngineContext* ctx, int32_t depth, int32_t* id);

// Copies an item (header and data) giving it the name id; the bytes copied.
uint32_t CopyItem(uint8_t* to, const uint8_t* item, int32_t nameId);
// Writes a value (descriptor and data) as an item with the name id.
uint32_t WriteItem(uint8_t* to, const ValueDescriptor& d, const uint8_t* data, int32_t nameId);

// Pushes a structured value of the kind with payload bytes of items behind a
// dimension item of the words (none when dimsLength is 0); *items receives
// where the items go.
ErrCode PushStructuredShell(EngineContext* ctx, int32_t kind, const int32_t* dimsWords,
                            int32_t dimsLength, uint64_t payloadBytes, uint8_t** items);
// A structure array's dimension words: its dimensions, then the field count.
int32_t StructArrayDimsWords(const Shape& shape, int32_t fields, int32_t* words);

// The item of the first field named nameId among count items from first;
// null when there is none.
const uint8_t* FindFieldItem(const uint8_t* first, int32_t count, int32_t nameId);

}  // namespace vke
