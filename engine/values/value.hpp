// Value layouts: the three-word value descriptor, the typed-array and
// list-item headers, and the accessors that find an entry's descriptor and
// data on the two value stacks.
#pragma once

#include "engine/context.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

// Descriptor flag bits.
inline constexpr uint32_t kFlagComplex = 1;     // plain double matrix with an imaginary block
inline constexpr uint32_t kFlagTyped = 2;       // typed block; word 3 is its kind
inline constexpr uint32_t kFlagStructured = 4;  // list, structure, cell, structure array or object
inline constexpr uint32_t kFlagReference = 8;   // points into a variable's block (execution loop)
inline constexpr uint32_t kFlagNoValue = 16;    // result of a call as a statement
inline constexpr uint32_t kFlagMarker = 32;     // loop or call marker; word 3 is its payload
inline constexpr uint32_t kNotPlainMask =
    kFlagTyped | kFlagStructured | kFlagReference | kFlagNoValue | kFlagMarker;

// Kinds of typed blocks.
enum TypedKind : int32_t {
  kKindInline = 1,   // inline function
  kKindFuncRef = 2,  // function reference
  kKindArray = 3,    // numeric array with a TypedArrayHeader
  kKindChar = 4,     // char array (kCodeUInt16)
  kKindLogical = 5,  // logical array (kCodeUInt8)
  kKindLibrary = 6,  // 6 and above: a library's own value type
};

// Kinds of structured values; negative or >= 5 is an object of a class.
enum StructKind : int32_t {
  kKindList = 0,
  kKindStruct = 1,
  kKindCell = 2,
  kKindStructArray = 3,
};

// Type codes of TypedArrayHeader.
inline constexpr uint32_t kCodeInt8 = 1;
inline constexpr uint32_t kCodeInt16 = 2;
inline constexpr uint32_t kCodeInt32 = 4;
inline constexpr uint32_t kCodeInt64 = 8;
inline constexpr uint32_t kCodeUnsigned = 128;
inline constexpr uint32_t kCodeUInt8 = 129;   // also logical
inline constexpr uint32_t kCodeUInt16 = 130;  // also char
inline constexpr uint32_t kCodeUInt32 = 132;
inline constexpr uint32_t kCodeUInt64 = 136;
inline constexpr uint32_t kCodeDouble = 64;
inline constexpr uint32_t kCodeDoubleComplex = 65;
inline constexpr uint32_t kCodeSingle = 66;
inline constexpr uint32_t kCodeSingleComplex = 67;

inline constexpr int32_t kMaxTypedElements = 100000000;
inline constexpr int kMaxDims = 32;

struct ValueDescriptor {
  uint32_t flags;
  uint32_t size;  // data in 8-byte units
  int32_t word;   // columns, kind or marker payload
};
static_assert(sizeof(ValueDescriptor) == 12);

struct ListItemHeader {
  ValueDescriptor desc;
  int32_t nameId;  // field name id of a structure item, else 0
};
static_assert(sizeof(ListItemHeader) == 16);

// The dimensions of a value, copied out of its descriptor or header.
struct Shape {
  int32_t ndims = 2;
  int32_t dims[kMaxDims] = {0, 0};
  int32_t count = 0;
};

inline bool IsPlain(const ValueDescriptor& d) {
  return (d.flags & kNotPlainMask) == 0;
}
// A 1 x 1 real double: the commonest value of all.
inline constexpr ValueDescriptor kRealDoubleScalar{0, 1, 1};
inline bool IsRealDoubleScalar(const ValueDescriptor& d) {
  // Flags and size read as one word.
  return Load<uint64_t>(&d) == (uint64_t{1} << 32) && d.word == 1;
}
inline bool IsComplexPlain(const ValueDescriptor& d) {
  return d.flags == kFlagComplex;
}
inline bool IsTyped(const ValueDescriptor& d) {
  return (d.flags & kFlagTyped) != 0;
}
inline bool IsStructured(const ValueDescriptor& d) {
  return (d.flags & kFlagStructured) != 0;
}
inline bool IsTypedKind(const ValueDescriptor& d, int32_t kind) {
  return IsTyped(d) && d.word == kind;
}
inline bool IsObjectKind(int32_t kind) {
  return kind < 0 || kind >= 5;
}
// The name id of an object's class. Objects carry the negated id (name ids
// are negative); a negative kind word is read as the id itself.
inline int32_t ObjectClassId(int32_t kind) {
  return kind < 0 ? kind : -kind;
}

// Rows of a plain double matrix.
inline int32_t PlainRows(const ValueDescriptor& d) {
  if (d.word == 0) return 0;
  uint32_t per = static_cast<uint32_t>(d.word) * ((d.flags & kFlagComplex) ? 2u : 1u);
  return static_cast<int32_t>(d.size / per);
}

// Typed array header helpers; the header lives at the start of the data.
inline uint32_t HeaderCode(const uint8_t* data) {
  return Load<uint32_t>(data);
}
inline uint32_t HeaderNdims(const uint8_t* data) {
  return Load<uint32_t>(data + 4);
}
inline uint32_t HeaderDim(const uint8_t* data, int i) {
  return Load<uint32_t>(data + 8 + 4 * i);
}
inline uint32_t HeaderUnits(uint32_t ndims) {
  return (ndims + 3) / 2;
}
inline uint8_t* HeaderElements(uint8_t* data) {
  return data + 8 * HeaderUnits(HeaderNdims(data));
}
inline int ElementBytesOfCode(uint32_t code) {
  switch (code) {
    case kCodeDouble:
    case kCodeDoubleComplex:
      return 8;
    case kCodeSingle:
    case kCodeSingleComplex:
      return 4;
    default:
      return static_cast<int>(code & 127);
  }
}

// The element of a 1 x 1 logical array; null for any other value.
inline const uint8_t* LogicalScalarElement(const ValueDescriptor& d, const uint8_t* data) {
  if (d.flags != kFlagTyped || d.word != kKindLogical || d.size != 3) return nullptr;
  if (HeaderCode(data) != kCodeUInt8 || HeaderNdims(data) != 2 || HeaderDim(data, 0) != 1 ||
      HeaderDim(data, 1) != 1)
    return nullptr;
  return data + 8 * HeaderUnits(2);
}

// Stack accessors. Depth 0 is the top entry.
inline ValueDescriptor* DescAt(EngineContext* ctx, int depth) {
  return reinterpret_cast<ValueDescriptor*>(ctx->DescWords() + ctx->descTop - 3 * (depth + 1));
}
// Unit index (from the data-stack base) where the data of the entry at the
// depth starts.
inline uint32_t DataIndexAt(EngineContext* ctx, int depth) {
  uint32_t at = ctx->dataTop;
  for (int d = 0; d <= depth; d++) at -= DescAt(ctx, d)->size;
  return at;
}
inline uint8_t* DataAt(EngineContext* ctx, int depth) {
  return ctx->DataBytes() + 8ull * DataIndexAt(ctx, depth);
}
inline uint8_t* DataUnitPtr(EngineContext* ctx, uint32_t unit) {
  return ctx->DataBytes() + 8ull * unit;
}

}  // namespace vke
