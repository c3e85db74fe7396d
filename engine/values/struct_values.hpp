// Offsets of structured items and the struct2cell order of a structure
// array's field values, shared by the builtins and the value dump.
//
// Offsets are byte offsets from the context, so they stay valid while values
// are pushed (pointers into the data stack do not).
#pragma once

#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

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
