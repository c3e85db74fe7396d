// Helpers shared by the variable operations: finding a variable's slot,
// the layout of reference entries, and reading, copying and replacing what a
// reference designates inside a variable's block.
#pragma once

#include "engine/values/value_read.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

// ---- Slots ----

// Where variable n's slot lies: a word index of the descriptor stack.
// kErrIllegal when n is outside the scope's variables.
ErrCode FindVariableSlot(EngineContext* ctx, int32_t n, uint32_t* position);
// The block holding the value of the slot at that word (0 when unset),
// through a link when the slot holds one.
int32_t SlotValueBlock(EngineContext* ctx, uint32_t position);
// Makes the slot's value the block (through its link when it has one).
void SetSlotValueBlock(EngineContext* ctx, uint32_t position, int32_t block);
// Copies the entry at the depth into a new block of its size + 2 units.
ErrCode NewValueBlock(EngineContext* ctx, int32_t depth, int32_t* block);

// ---- Reference entries ----

inline constexpr uint32_t kReferenceUnits = 4;
inline constexpr int32_t kReferenceTag = 2;

inline bool IsReferenceEntry(const ValueDescriptor& d) {
  return (d.flags & kFlagReference) != 0 && d.size == kReferenceUnits;
}

// Moves the reference at the depth to the item at that unit offset.
void MoveReference(EngineContext* ctx, int32_t depth, int32_t offset);
// Raises a code with the reference's variable (its name fills %v).
ErrCode RaiseForReference(EngineContext* ctx, const Designated& d, ErrCode code,
                          int32_t fieldId = 0, int32_t integer = -1);
// A code of the indexing kernels raised with the reference's variable when
// its message names one (bad index type, fraction, range, selection size,
// right-hand side size); other codes pass unchanged.
ErrCode RaiseIndexingError(EngineContext* ctx, const Designated& d, ErrCode code);
// Replaces the designated value by the entry at the depth (its item name is
// kept), resizing the variable's block and the enclosing items; the
// reference at refDepth follows a moved block. The entry stays.
ErrCode ReplaceDesignated(EngineContext* ctx, int32_t refDepth, int32_t valueDepth);
// Records in the reference at the depth what a read would have raised (see
// ReferenceWords::masked), unless something is recorded already.
void MaskReadError(EngineContext* ctx, int32_t depth, int32_t masked);
// Before a step of a store changes an existing variable's value on the way
// (adds a field or items, makes [] a structure): a copy of the value is kept
// for the reference at refDepth, once per store, so that an error can put it
// back (AbandonStores). kErrVarOverflow, nothing changed, without room.
ErrCode KeepValueBeforeChange(EngineContext* ctx, int32_t refDepth, Designated* t);
// A step of a store has appended an element to the variable's value in
// place, as its first change (the block, perhaps moved, is given): an error
// takes the element back (TakeBackAppend) instead of putting back a copy.
void NoteAppendedInPlace(EngineContext* ctx, int32_t refDepth, Designated* t, int32_t block,
                         uint32_t oldUnits);
// A store through the reference has finished: the copy it kept goes.
void ReleaseKeptValue(EngineContext* ctx, const ReferenceWords& r);
// Reads end here when their reference created something on the way: a
// variable created for it is unset again (kErrUndefVar), else the recorded error.
// 0 when nothing was created.
ErrCode RefuseCreatedRead(EngineContext* ctx, const Designated& d);

// ---- Appends of structured elements in place ----

// AppendElement: for a store's reference to a whole variable holding a
// list, or a 1 x n cell or structure array, when the element position
// `linear` is one past its end: one empty element (for a structure array, empty fields named as
// the first element's) is written behind the others in the variable's own
// block. *offset receives the new element's byte offset from the data, or
// for a structure array and a field's name id (nonzero) that of the new
// element's field; a name none of the fields has is no append. False,
// nothing changed, for anything else; *full tells whether only the heap's
// room was lacking.
// With `given`, a copy of the item there (its name cleared) is the new
// element of a list or cell array instead.
bool AppendElement(EngineContext* ctx, int32_t refDepth, Designated* t, int64_t linear,
                   int32_t fieldId, const uint8_t* given, uint32_t* offset, bool* full);
// x(end + 1) = y for the list or cell array the reference designates, y a
// list of one item or a 1 x 1 cell array: its item is appended as above.
bool AppendGivenElement(EngineContext* ctx, int32_t refDepth, Designated* t, int64_t linear,
                        const ValueDescriptor& y, const uint8_t* yData, bool* full);
// Makes the value in the block that of before such an append, which had
// `units` data units; the room behind it is given back.
void TakeBackAppend(EngineContext* ctx, int32_t block, uint32_t units);
// The item count of the list a variable's block holds, as appends in place
// kept it or by a walk over the items.
int64_t VariableListItems(EngineContext* ctx, int32_t block);
// What appends in place keep behind a variable's value.
struct KeptCount {
  uint32_t tag;
  int32_t block;
  uint32_t units;  // the value's data units
  int32_t items;   // its elements
  uint32_t last;   // unit offset in the block of the last element's first item
  uint32_t unused;
};
inline constexpr uint32_t kKeptCountUnits = sizeof(KeptCount) / 8;
// False when the block keeps nothing that holds for its value.
bool ReadKeptCount(EngineContext* ctx, int32_t block, KeptCount* kept);
// Keeps the count and last element given, for the value's size, when the
// block has the room.
void WriteKeptCount(EngineContext* ctx, int32_t block, KeptCount kept);
// Grows the block of the slot at that word to hold `units`, keeping its first
// `used` units; the block may move (*block follows). False, nothing changed,
// when the heap has no room.
bool EnsureBlockRoom(EngineContext* ctx, uint32_t position, int32_t* block, uint32_t used,
                     uint32_t units);

// ---- Structured values ----

// The int32 words of the dimension item at `item` and their number.
const uint8_t* DimsWords(const uint8_t* item, int32_t* length);

// Empty placeholders an assignment may turn into a list or structure: an
// empty list, an empty double matrix.
bool IsEmptyPlaceholder(const ValueDescriptor& d);
// The class of an array to be assigned into x by the assignment of y.
ArrayClass AssignmentClass(const NumericView& x, const NumericView& y);

// Transformations of the structured value on top, which the result replaces:
// empty items (with the name id) behind a list's or structure's items; cell
// or structure array elements laid into a new shape (new elements empty); a
// structure made a 1 x 1 structure array; an empty field added to every
// element of a structure array; the dimension item dropped (kind given).
ErrCode AppendItems(EngineContext* ctx, int32_t count, int32_t nameId);
ErrCode ResizeElements(EngineContext* ctx, const Shape& shape);
ErrCode StructToStructArray(EngineContext* ctx);
ErrCode AddFieldToElements(EngineContext* ctx, int32_t nameId);
void StripDimsItem(EngineContext* ctx, int32_t kind);
// A list or cell on top is replaced by its first element's value.
ErrCode ReplaceByFirstElement(EngineContext* ctx);

// An index group of count subscripts (colons in mask) with `below` more
// entries under its subscript entries (the indexed value, a right-hand
// side): kErrBadDim for more than 16 subscripts, kErrIllegal when the stack holds too few.
ErrCode ReadIndexGroup(EngineContext* ctx, int32_t count, uint32_t mask, int32_t below,
                       SubscriptList* subs);

// The zero-based position that the real double scalar at the depth, as the
// only subscript, gives in a double matrix of `count` elements; -1 when the
// subscript is anything else or lies outside, which the kernels then decide.
int64_t ScalarSubscript(EngineContext* ctx, int32_t depth, int64_t count);
// The number of elements of a plain double matrix.
inline int64_t PlainCount(const ValueDescriptor& d) {
  return (d.flags & kFlagComplex) ? d.size / 2 : d.size;
}

// The subscripts of a list or cell element as 1-based integers: kErrBadListIndex for a
// colon or a value that is no whole number, kErrIndexOutOfRange below 1 (*bad: the value).
ErrCode ReadListIndices(EngineContext* ctx, const SubscriptList& subs, int32_t* values,
                        int32_t* bad);

}  // namespace vke
