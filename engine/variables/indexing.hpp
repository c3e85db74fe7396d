// The indexing and shape kernels: subscripts and positions, the working
// dimension of along-a-dimension functions, index arguments and their
// analysis, indexed reading, indexed assignment with growth, deletion of
// elements, and the element tables through which cell and structure arrays
// are rearranged.
//
// Storage order: positions are zero-based; within a matrix the elements lie
// row by row (the column index runs fastest) and every further dimension is
// slower than the first two, the last slowest. For dims (d0, d1, d2, ...)
// element (s0, s1, s2, ...) lies at ((... s3 x d2 + s2) x d0 + s0) x d1 + s1.
// Linear indexing x(k) follows this order.
//
// Subscripts on the stack: an index group of n subscripts leaves one entry per
// subscript that is not a colon, the first deepest; colons have no entry and
// are marked in a mask (bit k: subscript k is a colon). The kernels need the
// entries converted by ConvertIndexArgs (int32 or logical arrays).
//
// The execution loop's indexing instructions call IndexSelect (x(...) of an
// array), IndexAssign and DeleteElements (x(...) = y and x(...) = []) with
// the indexed value given as an ArrayOperand: a stack entry, or the value a
// reference entry designates inside a variable's block. The results are new
// entries on top; a kernel never drops its inputs, so the caller drops them
// (typically DropStackEntries(ctx, 1, entries below the result)).
//
// Cell and structure arrays are indexed through tables of their elements:
// IndexStructuredElements pushes a row of element offsets, which the caller
// reshapes to the value's dimensions (ReshapeTopValue) and indexes or
// rearranges like any int32 array; BuildStructuredFromIndex then builds the
// new cell or structure array from the rearranged table.
#pragma once

#include "engine/values/value.hpp"
#include "engine/values/value_read.hpp"

namespace vke {

inline constexpr int32_t kMaxSubscripts = 16;

// ---- Positions and the working dimension ----

// Position of n zero-based subscripts in an array of ndims dimensions. n = 1
// gives the subscript itself, n = 0 gives 0; dimensions beyond ndims count as
// 1, and so does the second one when ndims < 2. INT64_MAX when the position
// does not fit 64 bits.
int64_t SubscriptsToIndex(int32_t ndims, const int32_t* dims, int32_t n, const int32_t* subscripts);

// The inverse: writes ndims subscripts of the position (one, the position
// itself, when ndims < 2). The slowest dimension takes the whole remaining
// quotient, so SubscriptsToIndex gives back any position, even beyond the
// element count. Dimensions below 1 count as 1.
void IndexToSubscripts(int32_t ndims, const int32_t* dims, int64_t position, int32_t* subscripts);

// Distance between successive elements along zero-based dimension k.
int64_t DimensionStride(int32_t ndims, const int32_t* dims, int32_t k);

// How an array splits for working along one dimension: count blocks lie one
// after the other, each holding stride interleaved runs of length elements
// that are stride apart. Element i of run j in block b is at
// (b x length + i) x stride + j.
struct DimLayout {
  int32_t count;   // product of the dimensions stored slower than the working one
  int32_t stride;  // product of those stored faster
  int32_t length;  // size of the working dimension, 1 beyond the array's dimensions
};

// *dim is zero-based; a negative one becomes the first dimension whose size is
// above 1 (0 when there is none). Fills the layout for working along it.
// Products that overflow 32 bits (possible only for arrays without elements)
// are given as INT32_MAX.
void NextNonSingletonDim(int32_t ndims, const int32_t* dims, int32_t* dim, DimLayout* layout);

// ---- Operands and subscripts ----

// An array value that the kernels read or write in place: a stack entry or a
// value held in a variable's block.
struct ArrayOperand {
  ValueDescriptor desc{};
  uint32_t data = 0;  // byte offset of the value's data from the context
};

// Words of a reference entry's data (built by the execution loop) that locate
// the designated value: the block index and the unit offset inside the block
// of the value's descriptor or item header; the data follows 2 units later.
inline constexpr int kRefWordBlock = 3;
inline constexpr int kRefWordOffset = 4;

// The value at the depth, or the value a reference entry there designates.
ArrayOperand OperandOfEntry(EngineContext* ctx, int32_t depth);

inline uint8_t* OperandData(EngineContext* ctx, const ArrayOperand& x) {
  return ctx->Bytes() + x.data;
}

// An index group on the stack.
struct SubscriptList {
  int32_t n = 0;           // subscripts written, colons included
  uint32_t colonMask = 0;  // bit k set: subscript k is a colon and has no entry
  int32_t top = 0;  // depth of the last subscript's entry (1 when a right-hand side is on top)

  bool IsColon(int32_t k) const { return k < 32 && ((colonMask >> k) & 1u) != 0; }
  // Stack entries of the group.
  int32_t Entries() const;
  // Depth of subscript k's entry (k not a colon).
  int32_t DepthOf(int32_t k) const;
};

// Converts the group's entries for the kernels: logical arrays stay, every
// other entry becomes an int32 array, each element checked to be whole (28
// nonIntegerIndex) and within the int32 range (kErrIndexOutOfRange); a value
// that is not numeric gives kErrBadIndexType. *count receives the number of
// entries. With checkOwner set, nothing is converted when the indexed value
// (the entry below the group, or what a reference entry there designates) is
// an object or a function value, which index themselves.
ErrCode ConvertIndexArgs(EngineContext* ctx, const SubscriptList& subs, int32_t* count,
                         bool checkOwner);

// Scratch memory at the far end of the data stack. Reserve hands out units
// below those already held and lowers the stack's capacity by them, so that
// values pushed meanwhile cannot run into the scratch (such a push fails with
// 3); the destructor gives everything back.
class DataScratch {
 public:
  explicit DataScratch(EngineContext* ctx) : ctx_(ctx) {}
  ~DataScratch() { ctx_->dataCap += units_; }
  DataScratch(const DataScratch&) = delete;
  DataScratch& operator=(const DataScratch&) = delete;

  // Reserves room for the bytes (whole units); *offset receives its byte
  // offset from the context. 3 when it does not fit.
  ErrCode Reserve(uint64_t bytes, uint32_t* offset);

 private:
  EngineContext* ctx_;
  uint32_t units_ = 0;
};

// ---- Index analysis ----

enum class IndexMode : uint8_t {
  kRead,    // every index must lie inside the value
  kGrow,    // assignment: indices beyond the value grow it
  kDelete,  // deletion: positions sorted, duplicates removed
};

// The zero-based positions one subscript selects along its dimension (for
// linear indexing: positions in the whole array).
struct IndexTable {
  int32_t count = 0;     // positions selected
  int32_t bias = 0;      // added to each stored entry
  uint32_t entries = 0;  // byte offset of the int32 entries from the context; 0: 0 .. count-1

  int32_t At(EngineContext* ctx, int32_t k) const {
    return entries ? Load<int32_t>(ctx->Bytes() + entries + 4ull * k) + bias : k;
  }
};

struct IndexAnalysis {
  int32_t n = 0;        // subscripts; 1 is linear indexing
  bool merged = false;  // the last subscript is a colon standing for all remaining dimensions
  IndexTable tables[kMaxDims];
  int32_t extent[kMaxDims] = {};  // size of the dimension each subscript indexes
  Shape target;                   // the value's dimensions (grown ones in kGrow mode)
  Shape result;                   // shape of x(...) (kRead and kGrow modes)
  int64_t count = 0;              // elements selected
};

// Checks the group against a value of the given shape and describes the
// selection; tables that need memory take it from the scratch, which must
// live as long as the analysis is used. rhs, when given in kGrow mode, lets a
// colon over an empty value take its size from the right-hand side.
// Codes: kErrOutOfRangeArg more than 16 subscripts; kErrWrongNumInd no subscript, or too few
// subscripts without a colon last; kErrBadIndexType an entry that is not int32 or logical;
// kErrIncompSizeSel a logical mask of the wrong size; kErrIndexOutOfRange an index below 1 or
// beyond the value where it may not grow; 3 no room for the tables.
ErrCode AnalyzeIndices(EngineContext* ctx, const Shape& value, const SubscriptList& subs,
                       IndexMode mode, const Shape* rhs, DataScratch* scratch, IndexAnalysis* out);

// Walks the selected elements in the storage order of the selection (for
// linear indexing in the order of the index), giving each one's position in
// an array of the analysis's target shape.
class SelectionCursor {
 public:
  SelectionCursor(EngineContext* ctx, const IndexAnalysis& a);
  int64_t Position() const { return position_; }
  // Subscript of the current element in the selection (along subscript j).
  int32_t Sub(int32_t j) const { return r_[j]; }
  void Advance();

 private:
  int64_t Contribution(int32_t j) const;

  EngineContext* ctx_;
  const IndexAnalysis& a_;
  int64_t stride_[kMaxDims] = {};
  int64_t part_[kMaxDims] = {};
  int32_t r_[kMaxDims] = {};
  int64_t position_ = 0;
};

// ---- Indexed reading ----

// Pushes x(subscripts) for a double, single, integer, char or logical array x
// (kErrWrongType otherwise), of x's class; kErrBadDim for more than 16 subscripts; no subscript
// pushes a copy of x. With two or more subscripts the result has one
// dimension per subscript, each the number of elements it selects. With one:
// x(:) is a column of all elements; a logical mask gives a row when x is a
// matrix with one row, else a column; a numeric index gives a column when x
// is one column and the index a row, a row when x is one row and the index a
// column, else the index's dimensions.
ErrCode IndexSelect(EngineContext* ctx, const ArrayOperand& x, const SubscriptList& subs);

// Pushes a new list of items of a structured value: count items whose first
// header lies at the byte offset items from the context. With all set, every
// item; otherwise those named by the int32 array on top (kErrIllegal for any other
// value), each from 1 to count (kErrIndexOutOfRange otherwise), in index order with repeats,
// and the index array is dropped under the new list.
ErrCode IndexListSelect(EngineContext* ctx, uint32_t items, int32_t count, bool all);

// ---- Indexed assignment and deletion ----

// The class of an assignment's result; complex when a floating-point x or y
// is complex.
struct ArrayClass {
  int32_t kind = kKindArray;    // kKindArray, kKindChar or kKindLogical
  uint32_t code = kCodeDouble;  // kCodeDouble, kCodeSingle or an integer code
};

// x(subscripts) = y, with y on top and the subscripts below it (subs.top 1).
// With convert set, y is first converted to the class (in place on the
// stack); otherwise it must already have the class's element representation
// (kErrWrongType). x is a double, single, integer, char or logical array (43
// otherwise), converted to the class as needed. Indices beyond x grow it (new
// elements are zero): with one subscript a column vector grows downward and
// other values with at most two dimensions along the row, a matrix or N-D
// value gives kErrIndexOutOfRange. y must have one element or match the selection (41
// incompAsgnSize): the same element count with one subscript, the same
// dimensions other than 1, in order, with several. When the class, the
// complexity and the dimensions stay, the elements are written into x in
// place and *inPlace is set; otherwise the new value is pushed on top. On an
// error x is unchanged.
ErrCode IndexAssign(EngineContext* ctx, const ArrayOperand& x, const SubscriptList& subs,
                    ArrayClass cls, bool convert, bool* inPlace);

// x(subscripts) = [] with the right-hand side on top (subs.top 1). When the
// right-hand side has elements (or is not an array), nothing happens and
// *deleted is false: the caller assigns. Otherwise the selected elements are
// removed and the smaller array of x's class is pushed on top. One subscript:
// a column vector stays a column, other values become a row. Several: all
// but one subscript must select their whole dimension (kErrDelMultipleDim),
// and that dimension shrinks. Selecting nothing leaves x as it is. Indices
// outside x give 29.
ErrCode DeleteElements(EngineContext* ctx, const ArrayOperand& x, const SubscriptList& subs,
                       bool* deleted);

// ---- Element tables of structured values ----

// Pushes an int32 row of n entries (at most the element count, kErrBadSize beyond):
// for each element of the list, cell array or structure array at the depth
// (kErrWrongType for other values), the unit offset of its first item, from the
// data-stack base when absolute is set, else from the value's data. An
// element of a structure array spans its field count of items.
ErrCode IndexStructuredElements(EngineContext* ctx, int32_t depth, int32_t n, bool absolute);

// With such a table (any int32 array) on top and the value it describes at the
// depth, pushes a new cell array (fields -1) or structure array of the given
// dimensions whose elements are copies of the items the table finds, in table
// order; each element of a structure array copies fields items. The table
// must hold one entry per element (kErrBadSize) and each entry must find whole items
// inside the value (kErrIllegal). No element gives an empty list, or an empty
// structure.
ErrCode BuildStructuredFromIndex(EngineContext* ctx, int32_t depth, int32_t ndims,
                                 const int32_t* dims, int32_t fields, bool absolute);

// ---- Shared by the indexing kernels and the numeric natives: new arrays of
// a given class and the copying of selected elements between arrays ----
// Dimension k of a shape (1 beyond its dimensions).
inline int32_t ShapeDim(const Shape& s, int32_t k) {
  return k < s.ndims ? s.dims[k] : 1;
}

// A column vector: one column and more than one row.
inline bool IsColumnVector(const Shape& s) {
  return s.ndims == 2 && s.dims[1] == 1 && s.dims[0] > 1;
}

// The shape x(I) has for one numeric index of the given shape: the index's,
// but a vector indexing a vector of the other orientation takes x's.
void LinearResultShape(const Shape& x, const Shape& index, Shape* out);

// Whether two shapes agree, dimensions beyond either counting as 1.
bool SameDims(const Shape& a, const Shape& b);

// The class of a numeric view (complexity aside).
ArrayClass ClassOfView(const NumericView& v);

// Whether a view holds elements of the class's representation.
bool HasRepresentation(const NumericView& v, ArrayClass cls);

// Pushes a zero-filled array of the class with the shape (normalised as the
// push primitives do, but a shape without elements keeps its dimensions:
// 0 x 3, 2 x 0 x 4 ...); *elements receives the byte offset of the first
// element from the context and *count the element count. The imaginary
// block of a complex array follows count elements later. A caller that
// writes every element itself asks for no zeroing (padding is zero anyway).
ErrCode PushArrayOfClass(EngineContext* ctx, ArrayClass cls, bool complex, const Shape& shape,
                         uint32_t* elements, int32_t* count, bool zeroed = true);

// PushArrayOfClass, zero-filled, for a caller that needs no count.
inline ErrCode PushArrayWithShape(EngineContext* ctx, ArrayClass cls, bool complex,
                                  const Shape& shape, uint32_t* elements) {
  int32_t count;
  return PushArrayOfClass(ctx, cls, complex, shape, elements, &count);
}

// Pushes a copy of the operand.
ErrCode PushOperandCopy(EngineContext* ctx, const ArrayOperand& x);

// Pushes a new array of x's class and complexity with the given shape holding
// the elements the analysis selects from x (its target is x's shape), in
// selection order.
ErrCode PushSelection(EngineContext* ctx, const ArrayOperand& x, const IndexAnalysis& a,
                      const Shape& shape);

// An analysis selecting all of an array of the given shape, laid into an array
// of the target shape (at least as large in every dimension).
void WholeArrayAnalysis(const Shape& shape, const Shape& target, IndexAnalysis* a);

}  // namespace vke
