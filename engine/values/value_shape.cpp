// The shape check of stored values (value_shape.hpp).
#include "engine/values/value_shape.hpp"

#include "engine/frames/entry_items.hpp"
#include "engine/values/value_read.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

// Structured values hold structured items; deeper than this a stored value
// is taken for damaged rather than walked on.
constexpr int kMaxItemNesting = 1000;

bool IsArrayCode(uint32_t code) {
  return IsIntegerCode(code) || code == kCodeDouble || code == kCodeDoubleComplex ||
         code == kCodeSingle || code == kCodeSingleComplex;
}

// A typed array's header and elements within its `units` data units.
bool ArrayFits(const uint8_t* data, uint32_t units) {
  if (units == 0) return false;
  const uint32_t ndims = HeaderNdims(data), code = HeaderCode(data);
  if (ndims > static_cast<uint32_t>(kMaxDims) || HeaderUnits(ndims) > units || !IsArrayCode(code))
    return false;
  const uint64_t room = 8ull * (units - HeaderUnits(ndims));
  const bool complex = code == kCodeDoubleComplex || code == kCodeSingleComplex;
  const uint64_t elementBytes = static_cast<uint64_t>(ElementBytesOfCode(code)) * (complex ? 2 : 1);
  // The count as the views read it: a product of int32 dimensions, none
  // when one of them is 0 (whatever the others are).
  bool empty = false;
  for (uint32_t i = 0; i < ndims; i++) {
    const uint32_t dim = HeaderDim(data, static_cast<int>(i));
    if (dim > static_cast<uint32_t>(INT32_MAX)) return false;
    empty = empty || dim == 0;
  }
  if (empty) return true;
  uint64_t count = 1;
  for (uint32_t i = 0; i < ndims; i++) {
    count *= HeaderDim(data, static_cast<int>(i));
    if (count * elementBytes > room) return false;
  }
  return count <= static_cast<uint64_t>(INT32_MAX);
}

bool ShapeIsSound(const ValueDescriptor& d, const uint8_t* data, int nesting);

// The items of structured data: each header and data inside the value's
// bytes, the last ending where the value ends.
bool ItemsAreSound(const uint8_t* data, uint64_t bytes, int nesting) {
  for (uint64_t at = 0; at < bytes;) {
    if (bytes - at < kItemHeaderBytes) return false;
    const ValueDescriptor d = Load<ValueDescriptor>(data + at);
    const uint64_t itemBytes = kItemHeaderBytes + 8ull * d.size;
    if (itemBytes > bytes - at || !ShapeIsSound(d, data + at + kItemHeaderBytes, nesting + 1))
      return false;
    at += itemBytes;
  }
  return true;
}

bool ShapeIsSound(const ValueDescriptor& d, const uint8_t* data, int nesting) {
  if (d.flags & (kFlagReference | kFlagNoValue | kFlagMarker)) return true;
  if (IsStructured(d)) {
    if (nesting > kMaxItemNesting || !ItemsAreSound(data, 8ull * d.size, nesting)) return false;
    // Cells and structure arrays begin with the int32 words of their
    // dimensions, read as they stand.
    if ((d.word == kKindCell || d.word == kKindStructArray) && d.size > 0) {
      const ValueDescriptor dims = Load<ValueDescriptor>(data);
      if (!IsTypedKind(dims, kKindArray) || HeaderCode(data + kItemHeaderBytes) != kCodeInt32)
        return false;
    }
    StructuredLayout layout;
    return ReadStructuredLayout(d, data, &layout);
  }
  if (IsTyped(d)) {
    if (d.word != kKindArray && d.word != kKindChar && d.word != kKindLogical) return true;
    return ArrayFits(data, d.size);
  }
  return d.word >= 0;
}

}  // namespace

bool ValueShapeIsSound(const ValueDescriptor& d, const uint8_t* data) {
  return ShapeIsSound(d, data, 0);
}

}  // namespace vke
