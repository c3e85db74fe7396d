// Variables and indexing as the execution loop runs them: loading, storing
// and clearing variables of the current scope, global and persistent links,
// field access, the index forms x(...), x{...} and x.f, reference values and
// the indexed assignments made through them, the "end"-like index values,
// and the subsref and subsasgn builtins.
//
// Variables: the slots of the innermost frame with variables (the base
// frame's when none has) hold block-heap indices, -1 for unset. A block holds
// the value's descriptor, a word 0, then the data. A slot may hold a link
// block instead (descriptor flag 8, one data word: the index of a
// function-table entry {1, name id, value block, owner}), which shares the
// entry's value: owner -1 for a global, the declaring function's index for a
// persistent variable.
//
// References: an assignment target x(...)..., x{...}... or x.f... is built by
// pushing the right-hand side, then a reference to x (loadindexedfirst), then
// each step: loadfield, braceindexvalue and indexfield move the reference
// into an item of the value in place (creating missing fields and items when
// the reference was made for an assignment); the last step writes: applybrace
// stores the value under the reference, parenafterbrace assigns the value
// under the reference to x(subscripts) with the subscripts on top. Reads go
// the same way and end with applyparen (the designated value) or
// parenafterindex (a selection from it).
#pragma once

#include <cstddef>

#include "engine/values/value.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Structured kind of a comma list: the values of x{...} or s.f over several
// elements, expanded where a list of arguments or elements is built.
inline constexpr int32_t kKindCommaList = 4;

// ---- Variables (n is the variable's slot index) ----

// Pushes a copy of variable n. kErrUndefVar raised with the variable when unset;
// kErrStackOverflowVar and kErrDataOverflowVar when a stack is full.
ErrCode LoadVariable(EngineContext* ctx, int32_t n);
// Pops the top value into variable n. A no-value marker is dropped; a comma
// list gives kErrFreeListAssignment; kErrVarOverflow when the heap is full (the variable is
// unchanged).
ErrCode StoreVariable(EngineContext* ctx, int32_t n);
// Makes variable n unset; for a persistent link the shared value goes too.
ErrCode UnsetVariable(EngineContext* ctx, int32_t n);
// Adds the amount to the real part of every element of a double variable
// (120 unset, 35 other values).
ErrCode AddToVariable(EngineContext* ctx, int32_t n, double amount);
// Links variable n to the shared value of its name: owner -1 global, else
// persistent to that function (entry added when the name has none yet, and
// given [] when it has no value). kErrIllegal for a variable beyond the scope; the
// variable is unchanged on failure.
ErrCode DeclareGlobal(EngineContext* ctx, int32_t n, int32_t owner);
// Shared variables, held by function-table entries: the name id and owner
// (-1 global, else the declaring function) of the one entry `index` holds;
// false for entries that hold none.
bool GetSharedVariable(EngineContext* ctx, uint32_t index, int32_t* nameId, int32_t* owner);
// The block of the value entry `index` shares (0 or less: none yet); 0 for
// entries that hold no shared variable.
int32_t SharedValueBlock(EngineContext* ctx, uint32_t index);
// The owner of the shared variable a variable's slot block links to; false
// when the block is no link.
bool GetLinkOwner(EngineContext* ctx, int32_t slotBlock, int32_t* owner);
// Clears the variables named by the top n texts (all for n = 0; "-f" clears
// the compiled functions instead, kErrBadContext inside a function). The texts are
// dropped.
ErrCode ClearVariables(EngineContext* ctx, int32_t n);

// ---- Fields and structured indexing ----

// x.f for the name id: through a reference, moves it to the field's item;
// for a value, replaces it by the field (a structure array gives a comma list
// of the elements' fields). method: nonzero inside a class's methods, where
// objects read like structures.
ErrCode GetField(EngineContext* ctx, int32_t nameId, int32_t method);
// x.(text) with the text on top.
ErrCode GetFieldByNameValue(EngineContext* ctx, int32_t method);

enum class IndexForm : uint8_t { kBrace, kParen };
// x{...} (brace, fieldId 0) or x(...).f (paren with the field's name id) with
// count subscripts (colons in mask) above x. Through a reference, selects one
// item; for a value, pushes the items (one item as itself).
ErrCode IndexStructured(EngineContext* ctx, IndexForm form, int32_t count, uint32_t mask,
                        int32_t fieldId);
// x(...).(text): the text on top names the field.
ErrCode IndexStructuredGroup(EngineContext* ctx, int32_t count, uint32_t mask);

// The value of "beginning" (1) or "end" in subscript position (1-based) of
// count subscripts of the value at the depth.
ErrCode EndValue(EngineContext* ctx, int32_t depth, int32_t position, int32_t count,
                 bool beginning);
// "matrixrow" (rows) and "matrixcol": row or column numbers of the value at
// the depth.
ErrCode IndexArrayValue(EngineContext* ctx, int32_t depth, int32_t position, int32_t count,
                        bool rows);

// ---- References ----

// Pushes a reference to variable n; create makes an unset variable an empty
// list placeholder (otherwise 120).
ErrCode MakeReference(EngineContext* ctx, int32_t n, bool create);
// Replaces a reference on top by a copy of what it designates.
ErrCode ResolveReference(EngineContext* ctx);
// x(subscripts) with the subscripts on top of x (a value or a reference);
// results as the instruction asks (0 drops the selection).
ErrCode IndexThroughReference(EngineContext* ctx, int32_t count, uint32_t mask, int32_t results);
// Stores the value under the reference on top into what the reference
// designates; both are dropped.
ErrCode AssignThroughReference(EngineContext* ctx);
// x(subscripts) = rhs with rhs, the reference and the subscripts on the
// stack in that order; all are dropped.
ErrCode AssignIndexed(EngineContext* ctx, int32_t count, uint32_t mask);
// An error unwinds the entries at and above descriptor word `from`: each
// store whose reference lies among them is undone, a variable it created
// unset again and one it changed on the way given its value from before.
void AbandonStores(EngineContext* ctx, uint32_t from);
// value(subscripts): selects from arrays, lists, cells and structure arrays,
// or calls a function value with the subscripts as its arguments (call set).
ErrCode IndexOrCallValue(EngineContext* ctx, int32_t count, uint32_t mask, bool call,
                         int32_t results);

// Values of ReferenceWords::created.
inline constexpr int32_t kCreatedVariable = 1;
inline constexpr int32_t kAppendedFrom = 2;

// The data words of a reference entry (4 units).
struct ReferenceWords {
  int32_t create;  // made for an assignment: missing fields and items are created
  int32_t tag;     // 2
  int32_t slot;    // word index of the variable's slot
  int32_t block;   // block of the variable's value (kRefWordBlock)
  int32_t offset;  // unit offset of the designated item's header (kRefWordOffset)
  // 1: the variable was unset and became an empty list; -b: a step that
  // changed the variable's value (a field or item added on the way) kept its
  // value from before the store in block b; kAppendedFrom + u: a step
  // appended an element to the value in place, which had u data units
  // before; 0: none of these.
  int32_t created;
  int32_t variable;
  // A step that created a missing field or item records what a read would
  // have raised instead: a field's name id (negative: kErrUndefField) or an index
  // (kErrIndexOutOfRange).
  int32_t masked;
};
static_assert(sizeof(ReferenceWords) == 32);
static_assert(offsetof(ReferenceWords, block) == 4 * kRefWordBlock);
static_assert(offsetof(ReferenceWords, offset) == 4 * kRefWordOffset);

// What a reference designates, checked against the variable it came from.
struct Designated {
  ReferenceWords ref;
  ValueDescriptor desc;  // the designated value's descriptor
  uint32_t item = 0;     // byte offset of its header from the context
  uint8_t* Header(EngineContext* ctx) const { return ctx->Bytes() + item; }
  uint8_t* Data(EngineContext* ctx) const { return ctx->Bytes() + item + 16; }
};

// Reads the reference at the depth; kErrIllegal when the entry is no reference or
// the variable no longer holds the block it points into.
ErrCode ReadReference(EngineContext* ctx, int32_t depth, Designated* out);
// Pushes a copy of the designated value.
ErrCode PushDesignated(EngineContext* ctx, const Designated& d);

// subsref(value, s) and subsasgn(value, s, rhs) for non-objects.
ErrCode ObjectSubsref(EngineContext* ctx);
ErrCode ObjectSubsasgn(EngineContext* ctx);

// ---- Appends in place ----

// What s = [s x] appends: 8-bit or 16-bit characters, or doubles (a row or
// one scalar), count elements.
struct AppendPiece {
  const uint8_t* bytes = nullptr;
  const uint16_t* chars = nullptr;
  const double* doubles = nullptr;
  double scalar = 0;
  int64_t count = 0;
};
// The value of variable n as a piece when it is a non-empty char or real
// double row; false otherwise. The piece points into the variable's block.
bool AppendPieceOfVariable(EngineContext* ctx, int32_t n, AppendPiece* piece);
// Variable n = [n piece], written into its own block, when n holds a char
// row and the piece is characters, or n holds a real double row (or []) and
// the piece is doubles. False, nothing changed, for anything else or when
// the heap has no room.
bool AppendToVariable(EngineContext* ctx, int32_t n, const AppendPiece& piece);
// v(k + 1) = value for the real double row or column in the block of the
// slot at that word, with k its element count; false, nothing changed,
// otherwise, *full telling whether only the heap's room was lacking.
bool AppendElementInPlace(EngineContext* ctx, uint32_t slot, int32_t block, int64_t k, double value,
                          bool* full);
// m(row + 1, :) = y for the matrix in the block of the slot at that word,
// with row its row count: real doubles with y a real double row of as many
// columns, or a two-dimensional typed, char or logical matrix with y a row of
// the same element type. False, nothing changed, otherwise; *full as above.
bool AppendRowInPlace(EngineContext* ctx, uint32_t slot, int32_t block, int64_t row,
                      const ValueDescriptor& y, const uint8_t* yData, bool* full);

// ---- Structured values and blocks ----

// How a structured value's elements lie in its data.
struct StructuredLayout {
  int32_t kind = 0;
  Shape shape;           // lists: 1 x n (0 x 0 when empty); structures and objects: 1 x 1
  int32_t elements = 0;  // list items, cell elements, structure array elements
  int32_t span = 1;      // items per element: the fields of structures and structure arrays
  uint32_t first = 0;    // byte offset of the first element from the data
};
// False for values that are not structured or whose dimension item does not
// agree with their items. Without the walk over the items, a cell or
// structure array's dimension item is taken as it stands (for its shape
// alone).
bool ReadStructuredLayout(const ValueDescriptor& d, const uint8_t* data, StructuredLayout* out,
                          bool walk = true);
// Byte offset from the data of element e's first item.
uint32_t ElementOffset(const uint8_t* data, const StructuredLayout& l, int64_t e);

// Pushes the elements of the list, cell array, structure or structure array
// at subs.top + entries that the converted subscripts select: a list, a cell
// array of the selection's shape, a structure array (one element: a
// structure). *selected receives their number.
ErrCode SelectStructuredElements(EngineContext* ctx, const SubscriptList& subs, int32_t* selected);

// The item of one level (items from `items`, `bytes` long) whose header
// carries the name id; null when none.
uint8_t* FindItemByName(uint8_t* items, uint32_t bytes, int32_t nameId);
// Shortens a heap block to `units`; the rest becomes a free block.
void SplitBlock(EngineContext* ctx, int32_t block, uint32_t units);
// Shortens the heap block in use of a variable's value to the value's size:
// the room behind it becomes a free block of zeros.
void GiveBackSpareRoom(EngineContext* ctx, int32_t block);
// Adds growth to the size word of every item header of the value at `value`
// that strictly encloses the item header at unit offset `target`; the walk
// over the value's own items may start at `from`, one of them at or before
// the target.
void FixItemSizes(uint8_t* value, uint32_t target, int32_t growth, uint32_t from = 0);

}  // namespace vke
