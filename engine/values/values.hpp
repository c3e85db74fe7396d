// The value API: the push primitives and the argument and result operations
// through which every native function and builtin reads its inputs from the
// value stacks and leaves its outputs there.
//
// Pointers handed out here (to data, scratch, text) stay valid only until the
// next push or drop, and never across anything that can grow memory.
#pragma once

#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/value.hpp"

namespace vke {

// ---- Push primitives ----
ErrCode PushEmptyMatrix(EngineContext* ctx);
ErrCode PushNoValue(EngineContext* ctx);
ErrCode PushMarker(EngineContext* ctx, int32_t payload);
bool GetMarkerAt(EngineContext* ctx, int32_t depth, int32_t* payload);
ErrCode PushInf(EngineContext* ctx);
ErrCode PushNaN(EngineContext* ctx);
ErrCode PushLogicalScalar(EngineContext* ctx, uint8_t value);
// PushLogicalScalar where its room has been found (CheckRoomToPush with the
// size TypedArrayUnits(2, 1)): the push asks for nothing.
void PlaceLogicalScalar(EngineContext* ctx, uint8_t value);
ErrCode PushComplexScalar(EngineContext* ctx, double re, double im);
ErrCode PushZeroMatrix(EngineContext* ctx, int32_t m, int32_t n, bool complex);
ErrCode PushNewMatrix(EngineContext* ctx, int32_t m, int32_t n, double** re, double** im);
ErrCode PushNewArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, double** re,
                     double** im);
ErrCode PushNewSingleArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, float** re,
                           float** im);
ErrCode PushNewTypedArray(EngineContext* ctx, int32_t ndims, const int32_t* dims,
                          int32_t elementBytes, bool isUnsigned, void** data);
ErrCode PushNewCharArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, uint16_t** data);
ErrCode PushNewCharRow(EngineContext* ctx, int32_t n, uint16_t** data);
// A char row of n characters left as the stack held them (its last unit's
// padding zeroed), for a caller that writes them or cuts the row to what it
// wrote (FinishByteString): a large reservation then costs no writes.
ErrCode PushCharRowToWrite(EngineContext* ctx, int32_t n, uint16_t** data);
ErrCode PushLogicalArray(EngineContext* ctx, int32_t ndims, const int32_t* dims, uint8_t** data);
ErrCode PushTypedEntry(EngineContext* ctx, int32_t kind, uint32_t bytes, void** data);
ErrCode PushTypedEntryDefault(EngineContext* ctx, uint32_t bytes, void** data);

// The room a request on the current thread's stacks asks for.
inline RoomKind StackRoom(const EngineContext* ctx) {
  return ctx->currentThread ? RoomKind::kThreadStacks : RoomKind::kStacks;
}

// A test of the stacks' room that failed with the watch's toll added
// (RoomRequestToll): whether the room lacks, really short or refused.
[[gnu::cold, gnu::noinline]] bool StackRoomLacking(const EngineContext* ctx, bool reallyShort);

// The room test of a push, the toll added: true when it passes.
VKE_HOT_INLINE bool TolledRoomToPush(const EngineContext* ctx, uint32_t size, bool exactFit) {
  const uint64_t descNeed = uint64_t{ctx->descTop} + 3;
  const uint64_t dataNeed = uint64_t{ctx->dataTop} + size + RoomRequestToll();
  return exactFit ? descNeed <= ctx->descCap && dataNeed <= ctx->dataCap
                  : descNeed < ctx->descCap && dataNeed < ctx->dataCap;
}

// CheckRoomToPush once TolledRoomToPush has failed: kErrStackOverflow or
// kErrDataOverflow for lack of room, the same for a refused request, or 0.
[[gnu::cold, gnu::noinline]] ErrCode RoomToPushLacking(const EngineContext* ctx, uint32_t size,
                                                       bool exactFit);

// Whether an entry of `size` data units can be pushed: 0, or kErrStackOverflow
// or kErrDataOverflow. exactFit lets the push use the last
// descriptor words and data units.
VKE_HOT_INLINE ErrCode CheckRoomToPush(const EngineContext* ctx, uint32_t size, bool exactFit) {
  if (TolledRoomToPush(ctx, size, exactFit)) [[likely]]
    return kOk;
  return RoomToPushLacking(ctx, size, exactFit);
}

// The room of the one result a native gives once it has made something
// outside the stacks (a semaphore, a thread, an open port, a process, a
// dialog's answer), asked for before it acts: a shortage then leaves
// nothing made for the run after growth to make again, and the pushes
// behind the check, until the native returns, are no request a test could
// refuse. kErrStackOverflow or kErrDataOverflow, or 0.
ErrCode MakeRoomForResult(EngineContext* ctx, uint32_t units);

// Pushes a descriptor and reserves its data where CheckRoomToPush has found
// room.
VKE_HOT_INLINE void PlaceEntry(EngineContext* ctx, uint32_t flags, uint32_t size, int32_t word,
                               uint8_t** data) {
  // The tops move before the area is written, so that they are read once.
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  ctx->descTop = descTop + 3;
  ctx->dataTop = dataTop + size;
  uint32_t* w = ctx->DescWords() + descTop;
  if (data) *data = ctx->DataBytes() + 8ull * dataTop;
  w[0] = flags;
  w[1] = size;
  w[2] = static_cast<uint32_t>(word);
}

// PushEntry once TolledRoomToPush has failed.
[[gnu::cold, gnu::noinline]] ErrCode PushEntryLacking(EngineContext* ctx, uint32_t flags,
                                                      uint32_t size, int32_t word, bool exactFit,
                                                      uint8_t** data);

// Low-level: pushes a descriptor and reserves its data (uninitialised).
// Inline, as the pushes on every hot path go through it; a failed room test
// goes on out of line, so that it leaves the inline part nothing to keep.
VKE_HOT_INLINE ErrCode PushEntry(EngineContext* ctx, uint32_t flags, uint32_t size, int32_t word,
                                 bool exactFit, uint8_t** data) {
  if (!TolledRoomToPush(ctx, size, exactFit)) [[unlikely]]
    return PushEntryLacking(ctx, flags, size, word, exactFit, data);
  PlaceEntry(ctx, flags, size, word, data);
  return kOk;
}

VKE_HOT_INLINE ErrCode PushRealScalar(EngineContext* ctx, double value) {
  uint8_t* data;
  ErrCode e = PushEntry(ctx, 0, 1, 1, false, &data);
  if (e) return e;
  Store<double>(data, value);
  return kOk;
}

// ---- Argument checking ----
ErrCode CheckArgumentTypes(EngineContext* ctx, int32_t n, const char* spec);

// ---- Scalars, integers and truth values ----
ErrCode PopRealScalar(EngineContext* ctx, double* value);
ErrCode GetScalarArg(EngineContext* ctx, int32_t depth, double* value);
ErrCode PopComplexScalar(EngineContext* ctx, double* re, double* im);
ErrCode GetIntegerArg(EngineContext* ctx, int32_t depth, int32_t* value);
ErrCode PopIntegerArg(EngineContext* ctx, int32_t* value);
ErrCode GetBooleanArg(EngineContext* ctx, int32_t depth, uint8_t* value);
ErrCode PopBooleanArg(EngineContext* ctx, uint8_t* value);
ErrCode GetConditionTruth(EngineContext* ctx, int32_t depth, uint8_t* value);
ErrCode PopConditionTruth(EngineContext* ctx, uint8_t* value);

// ---- Arrays ----
ErrCode GetNumericArg(EngineContext* ctx, int32_t depth, int32_t* rows, int32_t* cols, double** re,
                      double** im);
ErrCode PopNumericArray(EngineContext* ctx, int32_t* rows, int32_t* cols, double** re, double** im);
ErrCode GetValueShape(EngineContext* ctx, int32_t depth, Shape* shape);
ErrCode GetDoubleArrayArg(EngineContext* ctx, int32_t depth, Shape* shape, double** re,
                          double** im);
ErrCode GetSingleArrayArg(EngineContext* ctx, int32_t depth, Shape* shape, float** re, float** im);
ErrCode GetTypedArrayArg(EngineContext* ctx, int32_t depth, int32_t* elementBytes, bool* isUnsigned,
                         Shape* shape, void** data);
ErrCode ConvertArgsToCommonType(EngineContext* ctx, int32_t n);

// One operand of an element-wise operation, as GetElementwiseOperands gives it.
enum class OperandClass : uint8_t { kDouble, kSingle, kInteger };
struct ElementwiseOperand {
  OperandClass cls = OperandClass::kDouble;
  double* re = nullptr;
  double* im = nullptr;
  float* sre = nullptr;
  float* sim = nullptr;
  void* data = nullptr;  // integer, char or logical elements
  int32_t elementBytes = 0;
  bool isUnsigned = false;
  bool isChar = false;
  bool isLogical = false;
  bool full = false;  // false: a scalar to be expanded
};
ErrCode GetElementwiseOperands(EngineContext* ctx, int32_t n, Shape* shape,
                               ElementwiseOperand* operands);
ErrCode MakeTopReal(EngineContext* ctx);
ErrCode MakeTopComplex(EngineContext* ctx, void** imaginary);
// Whether MakeTopComplex finds room for the imaginary part of the real array
// on top.
bool HasRoomToMakeTopComplex(EngineContext* ctx);
bool IsCharArray(EngineContext* ctx, int32_t depth);
// A real double matrix whose elements lie in its own stack entry (not a
// reference into a variable): an operation that consumes it may write its
// result there.
inline bool IsOwnedRealMatrix(EngineContext* ctx, int32_t depth) {
  return DescAt(ctx, depth)->flags == 0;
}
bool IsLogicalArray(EngineContext* ctx, int32_t depth);
// depthOrMinusN >= 0 converts that entry; -n converts the top n entries.
ErrCode ConvertToFloat(EngineContext* ctx, int32_t depthOrMinusN, bool single);
// A function that refused its operands with 44 runs again with them as
// doubles, whether called directly or through a function value: among the
// top n entries, when no object is there and the first typed one (from the
// deepest) that is no library's value is numeric, char or logical, every
// such entry not yet double is converted; *converted tells whether any was.
// A failure for room leaves each operand as it was or as a double.
ErrCode ConvertPlainOperandsToDouble(EngineContext* ctx, int32_t n, bool* converted);
ErrCode ConvertToInteger(EngineContext* ctx, int32_t depth, int32_t elementBytes, bool isUnsigned,
                         bool checked);
ErrCode ConvertToLogical(EngineContext* ctx, int32_t depth);

// ---- Strings ----
ErrCode PushCString(EngineContext* ctx, int32_t length, const char* bytes);
ErrCode PushWideString(EngineContext* ctx, int32_t length, const uint16_t* chars);
// length -1 takes all free data space less 48 bytes, -2 half of it, at
// most the characters a row holds (kMaxTypedElements). Such a reservation is
// not cleared: the caller writes it and cuts it to its text. A row asked for
// by its length is cleared.
ErrCode PushStringOfLength(EngineContext* ctx, int32_t* length, uint16_t** buffer);
// The code for a text that did not fit a reservation of `capacity`
// characters: kErrDataOverflow (more room would help), or kErrObjTooLarge when the reservation was
// as large as a row can be.
ErrCode TextRoomError(int32_t capacity);
ErrCode ReserveStringBuffer(EngineContext* ctx, int32_t* length, uint16_t** buffer);
ErrCode ReserveByteBuffer(EngineContext* ctx, int32_t* length, uint8_t** buffer);
ErrCode WidenBytesToString(EngineContext* ctx, int32_t n);
ErrCode FinishByteString(EngineContext* ctx, int32_t n);
ErrCode DecodeUtf8Buffer(EngineContext* ctx, int32_t n);
ErrCode DecodeTextBuffer(EngineContext* ctx, int32_t n);
ErrCode PushUtf8String(EngineContext* ctx, int32_t length, const char* bytes);
ErrCode PushEncodedString(EngineContext* ctx, int32_t length, const char* bytes);
ErrCode GetStringArg(EngineContext* ctx, int32_t depth, const char** text, int32_t* length);
// The char row at the depth narrowed into a buffer of `size` bytes (with a
// NUL behind it when no length is asked for). kErrObjTooLarge for a longer
// text, whose start then fills the buffer (and *length its length): a
// buffer is never left unwritten.
ErrCode GetStringArgToBuffer(EngineContext* ctx, int32_t depth, char* buffer, int32_t size,
                             int32_t* length);
ErrCode PopStringToBuffer(EngineContext* ctx, char* buffer, int32_t size, int32_t* length);
ErrCode GetStringArgCopy(EngineContext* ctx, int32_t depth);
// The parts of inline function data given by its descriptor, wherever it lies.
ErrCode DecodeInlineFunctionData(const ValueDescriptor& d, const uint8_t* data,
                                 const uint16_t** first, int32_t* firstLength,
                                 const uint8_t** second, int32_t* secondLength,
                                 const uint8_t** rest, int32_t* restUnits);
ErrCode GetInlineFunctionParts(EngineContext* ctx, int32_t depth, const uint16_t** first,
                               int32_t* firstLength, const uint8_t** second, int32_t* secondLength,
                               const uint8_t** rest, int32_t* restUnits);

// ---- Structured values ----
ErrCode PushListFromEntries(EngineContext* ctx, int32_t n, bool append, const char* name,
                            int32_t nameLength);
ErrCode GetStructuredValue(EngineContext* ctx, int32_t depth, int32_t* count, uint8_t** data);

// A decoded structured value.
struct StructuredParts {
  int32_t kind = 0;
  int32_t items = 0;         // all items, the dimension item included
  int32_t elements = 0;      // list items, cell elements, structure array elements
  int32_t fields = 0;        // structures and structure arrays
  Shape shape;               // cell arrays and structure arrays: their dimension item
  uint8_t* first = nullptr;  // the first element item (behind the dimension item)
};
// Decodes structured data given by its descriptor, wherever it lies.
void DecodeStructuredData(const ValueDescriptor& d, uint8_t* data, StructuredParts* parts);
// letter 'c' list or cell, 's' structure or structure array, '?' any.
ErrCode GetStructuredValueOfKind(EngineContext* ctx, int32_t depth, char letter,
                                 StructuredParts* parts);
ErrCode GetListPartsRaw(EngineContext* ctx, int32_t depth, char letter, StructuredParts* parts);
ErrCode GetListParts(EngineContext* ctx, int32_t depth, StructuredParts* parts);
ErrCode PushNewCellArray(EngineContext* ctx, int32_t ndims, const int32_t* dims);
bool IsListValue(EngineContext* ctx, int32_t depth);
bool IsStructValue(EngineContext* ctx, int32_t depth);
bool IsObjectValue(EngineContext* ctx, int32_t depth);
ErrCode GetListElement(EngineContext* ctx, int32_t depth, int32_t index);
// Replaces the list or cell array on top by its elements (a cell array's
// in storage order) and gives their count; the list stays on failure.
ErrCode PushListItems(EngineContext* ctx, int32_t* count);
// Pushes a copy of the value an item (of a list or cell array) holds.
ErrCode PushItemValue(EngineContext* ctx, const uint8_t* item);
ErrCode GetStructField(EngineContext* ctx, int32_t depth, const char* name, int32_t length);
// Pushes copies of the items of the list, structure or cell array at the
// depth (a cell array's elements in storage order); none stays on failure.
ErrCode GetStructFields(EngineContext* ctx, int32_t* count, int32_t depth = 0);
ErrCode GetStructFieldName(EngineContext* ctx, int32_t depth, int32_t index, const char** name,
                           int32_t* length);
ErrCode StructListToArray(EngineContext* ctx);
ErrCode ReshapeTopValue(EngineContext* ctx, int32_t ndims, const int32_t* dims);
// Gives the cell array or structure array on top new dimensions (at most
// 16) of the same element count.
ErrCode ReshapeTopCellArray(EngineContext* ctx, int32_t ndims, const int32_t* dims);

// Walks the items of structured data: the size in bytes of the item at p.
inline uint32_t ItemBytes(const uint8_t* item) {
  return 16 + 8 * Load<uint32_t>(item + 4);
}

// ---- Typed entries, raw copies and stack shuffles ----
ErrCode GetTypedValue(EngineContext* ctx, int32_t depth, int32_t* kind, uint32_t* bytes,
                      void** data);
ErrCode GetTypedValueSize(EngineContext* ctx, int32_t depth, uint32_t* size, void** data);
int32_t GetEntryWordCount(EngineContext* ctx, int32_t depth);
ErrCode CopyEntryToBytes(EngineContext* ctx, int32_t depth, void* buffer);
ErrCode PushEntryFromBytes(EngineContext* ctx, const void* buffer);
ErrCode ReserveDataStack(EngineContext* ctx, uint32_t n, void** pointer);
ErrCode GetDataStackFree(EngineContext* ctx, uint32_t* bytes, void** pointer);
ErrCode DropStackEntries(EngineContext* ctx, int32_t keep, int32_t count);
ErrCode RollStackEntries(EngineContext* ctx, int32_t n, int32_t k);
ErrCode ReverseStackEntries(EngineContext* ctx, int32_t n);
ErrCode DuplicateStackEntries(EngineContext* ctx, int32_t depth, int32_t n);
ErrCode TransposeTopValue(EngineContext* ctx);

// Replaces the top n entries with the value `push` makes through one push
// primitive. The entries are dropped first, so that the value may take their
// room; when the push fails (a failed push writes nothing) they are counted
// on the stacks again, untouched, so that a builtin fails with its operands
// in place and can run again once the area has grown.
template <typename Push>
ErrCode PushInPlaceOfTop(EngineContext* ctx, int32_t n, Push push);

// Drops the top n entries (DropStackEntries(0, n)); one entry without the
// general walk.
VKE_HOT_INLINE ErrCode Drop(EngineContext* ctx, int32_t n = 1) {
  if (n != 1 || ctx->descTop < 3) return DropStackEntries(ctx, 0, n);
  ctx->descTop -= 3;
  ctx->dataTop -= ctx->DescWords()[ctx->descTop + 1];
  return kOk;
}

// Drops what lies above a descriptor level (a descTop reading); nothing
// when the stack is not above it.
inline void DropAboveLevel(EngineContext* ctx, uint32_t level) {
  if (ctx->descTop > level) Drop(ctx, static_cast<int32_t>((ctx->descTop - level) / 3));
}

// Runs a step on the top n entries with the deepest of them rolled on top
// (as kernels that work on the top value want it). When the step fails,
// what it left above the n entries goes and they roll back, so that they
// stand as given and the builtin can run again once the area has grown.
template <typename Step>
ErrCode WithDeepestOnTop(EngineContext* ctx, int32_t n, Step step) {
  if (ErrCode e = RollStackEntries(ctx, n, 1)) return e;
  const uint32_t level = ctx->descTop;
  const ErrCode e = step();
  if (e) {
    DropAboveLevel(ctx, level);
    if (ctx->descTop == level) RollStackEntries(ctx, n, n - 1);
  }
  return e;
}

// Runs a step that replaces the top value with its result, for a value that
// lies under the n - 1 entries of its options (read already): the value is
// rolled on top for the step and the options go once the result stands, so
// that a failure leaves all n entries as given (WithDeepestOnTop).
template <typename Step>
ErrCode ReplaceValueUnderOptions(EngineContext* ctx, int32_t n, Step step) {
  const ErrCode e = WithDeepestOnTop(ctx, n, step);
  return e ? e : DropStackEntries(ctx, 1, n - 1);
}

template <typename Push>
ErrCode PushInPlaceOfTop(EngineContext* ctx, int32_t n, Push push) {
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  if (ErrCode e = Drop(ctx, n)) return e;
  const uint32_t droppedDesc = ctx->descTop, droppedData = ctx->dataTop;
  const ErrCode e = push();
  if (e && ctx->descTop == droppedDesc && ctx->dataTop == droppedData) {
    ctx->descTop = descTop;
    ctx->dataTop = dataTop;
  }
  return e;
}

}  // namespace vke
