// Item tables and the struct2cell order of a structure array's field values.
#include "engine/values/struct_values.hpp"

#include "engine/values/value_build.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

ErrCode TableItems(EngineContext* ctx, DataScratch* scratch, uint32_t first, int64_t count,
                   uint32_t* table) {
  ErrCode e = scratch->Reserve(4 * static_cast<uint64_t>(count), table);
  if (e) return e;
  uint8_t* out = AtOffset(ctx, *table);
  for (int64_t i = 0; i < count; i++) {
    Store<uint32_t>(out + 4 * i, first);
    first += ItemBytes(AtOffset(ctx, first));
  }
  return kOk;
}

ErrCode StructArrayValues::Init(EngineContext* ctx, const StructuredParts& parts,
                                DataScratch* scratch) {
  ctx_ = ctx;
  fields_ = parts.fields;
  count_ = int64_t{fields_} * parts.elements;
  if (parts.shape.ndims + 1 > kMaxDims) return kErrObjTooLarge;
  cellDims_ = parts.shape.ndims + 1;
  ErrCode e = scratch->Reserve(4ull * cellDims_, &dims_);
  if (e) return e;
  auto* dims = reinterpret_cast<int32_t*>(AtOffset(ctx, dims_));
  dims[0] = fields_;
  for (int32_t i = 0; i < parts.shape.ndims; i++) dims[i + 1] = parts.shape.dims[i];
  return TableItems(ctx, scratch, OffsetOf(ctx, parts.first), count_, &table_);
}

const int32_t* StructArrayValues::CellDims() const {
  return reinterpret_cast<const int32_t*>(AtOffset(ctx_, dims_));
}

uint32_t StructArrayValues::ItemAt(int64_t p) const {
  int32_t subs[kMaxDims + 1];
  const int32_t* dims = CellDims();
  IndexToSubscripts(cellDims_, dims, p, subs);
  const int64_t element = SubscriptsToIndex(cellDims_ - 1, dims + 1, cellDims_ - 1, subs + 1);
  return TableAt(ctx_, table_, element * fields_ + subs[0]);
}

Shape StructArrayValues::CellShape() const {
  Shape shape;
  NormaliseShape(cellDims_, CellDims(), &shape);
  shape.count = static_cast<int32_t>(count_);
  return shape;
}

}  // namespace vke
