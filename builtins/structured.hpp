// Helpers of the list, cell and structure builtins: field-name arguments,
// tables of item offsets, copies of items, new structured values, and the
// order in which a structure array's field values form a cell array.
//
// Offsets are byte offsets from the context, so they stay valid while values
// are pushed (pointers into the data stack do not).
#pragma once

#include "engine/code/names.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

inline constexpr int32_t kNameBufferSize = kMaxIdentifierLength + 1;

// A field name given as text: kErrWrongTypeOverload for other values, kErrNullName for an empty
// text, kErrNameTooLong for one longer than 32 characters. NUL-terminated in the buffer.
ErrCode ReadNameArg(EngineContext* ctx, int32_t depth, char* buffer, int32_t* length);
// ReadNameArg, then the name's id, interned when new.
ErrCode InternNameArg(EngineContext* ctx, int32_t depth, int32_t* id);

inline uint32_t OffsetOf(EngineContext* ctx, const uint8_t* p) {
  return static_cast<uint32_t>(p - ctx->Bytes());
}
inline uint8_t* AtOffset(EngineContext* ctx, uint32_t offset) {
  return ctx->Bytes() + offset;
}
inline int32_t ItemName(const uint8_t* item) {
  return Load<int32_t>(item + 12);
}

// Reserves a table of count offsets and fills it with the offsets of count
// consecutive items starting at the offset first.
ErrCode TableItems(EngineContext* ctx, DataScratch* scratch, uint32_t first, int64_t count,
                   uint32_t* table);
inline uint32_t TableAt(EngineContext* ctx, uint32_t table, int64_t i) {
  return Load<uint32_t>(AtOffset(ctx, table) + 4 * i);
}

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

// The field values of a structure array in the order of the cell array of
// dimensions [fields, d1, d2, ...] that struct2cell makes of it. Small: the
// dimensions and the item table live in the scratch.
class StructArrayValues {
 public:
  // parts describe the structure array.
  ErrCode Init(EngineContext* ctx, const StructuredParts& parts, DataScratch* scratch);
  int64_t Count() const { return count_; }
  // The offset of the item at position p of the cell array.
  uint32_t ItemAt(int64_t p) const;
  // The cell array's dimensions.
  Shape CellShape() const;

 private:
  const int32_t* CellDims() const;  // [fields, d1, d2, ...]

  EngineContext* ctx_ = nullptr;
  int64_t count_ = 0;
  int32_t fields_ = 0;
  int32_t cellDims_ = 0;
  uint32_t dims_ = 0;
  uint32_t table_ = 0;
};

}  // namespace vke
