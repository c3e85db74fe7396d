// The undo buffer: the KV variables of every instance, kept in up to Depth
// versions per instance so that user actions can be undone and redone.
//
// One flat block of little-endian 32-bit words that holds no address, so it
// is saved, loaded and moved as bytes. Header (byte offsets): 0 Size, 4
// Depth, 8 SetAreaWords, 12 SetCount, 16 HeapUnits, 20 HeapStart (in 8-byte
// units from the buffer start), 24 Compacted; the set area follows at 28.
//
// A set (one per instance, named by the instance id), in words: Length, Id,
// VarCount, VersionCount, Current, then VarCount pairs {variable id, flags},
// then Depth x VarCount references, version by version. A set that has been
// reset is (Depth + 1) x 2 x VarCount + 5 words long: the stored format keeps
// as much room again behind the references, unused. A set that has not been
// reset yet has no versions (VersionCount 0) and no references.
//
// A reference is the unit index (from HeapStart) of a heap block, -1 for a
// value without data, -2 for no value, -3 or less for a stale value. A heap
// block is {i32 RefCount (0 or less: free), u32 Units} and Units data units;
// the data is an engine stack entry as CopyEntryToBytes writes it.
//
// Versions are counted back from Current ("back" 0 = the current version).
#pragma once

#include "engine/base.hpp"

namespace vke {

inline constexpr uint32_t kUndoMinBytes = 8192;
inline constexpr uint32_t kUndoDepth = 16;
inline constexpr uint32_t kUndoHeaderBytes = 28;
inline constexpr uint32_t kUndoSetReserveWords = 128;  // kept free for further sets

enum UndoReference : int32_t {
  kUndoNoData = -1,   // a value without data
  kUndoNoValue = -2,  // no value
  kUndoStale = -3,    // to be recomputed; every reference below -2 is stale
};

// Variable flag bit 0: a value written to the variable makes its version the
// oldest one.
inline constexpr int32_t kUndoFlagSingleVersion = 1;

// ---- The buffer ----

// Lays out an empty buffer of size bytes in area; kKvTooSmallUndoBuf below 8,192 bytes.
ErrCode InitUndoBuffer(void* area, uint32_t size);

// Grows a buffer in place to newSize bytes (the memory behind it must be
// there): the heap moves to its new place and the gained units become one
// free block behind it. kKvTooSmallUndoBuf when newSize is smaller; the same size changes
// nothing.
ErrCode RelocateUndoBuffer(void* buffer, uint32_t newSize);

// True when a buffer read from outside (an image) is sound for every
// operation here: its header fits size bytes, its sets lie in the set area,
// its heap blocks tile the heap and every reference names a live block that
// counts at least as many references as name it.
bool UndoBufferIsValid(const void* buffer, uint32_t size);

// ---- The heap ----

// A block of units data units: reference -2 for 0 units. Takes the first free
// block (after merging the free blocks behind it) that is larger than the
// request; when none is, compacts once unless the heap is compacted, then
// kKvVarTooLargeForUndo.
ErrCode AllocUndoBlock(void* buffer, uint32_t units, int32_t* reference);
void ReleaseUndoBlock(void* buffer, int32_t reference);
// Slides the live blocks down in order, rewriting the references of every
// version of every set, and leaves one free block behind them.
void CompactUndoHeap(void* buffer);

// ---- Sets ----

// Appends an empty set; kKvTooManyVarInUndoBuf when fewer than 128 set-area words would stay
// free.
ErrCode AddUndoSet(void* buffer, int32_t id);
// Adds a variable to a set that has not been reset yet (12 after a reset).
// kKvNonexistentUndoSet, kKvVarDuplicate when present, kKvTooManyVarInUndoBuf when the set area
// cannot take it.
ErrCode AddUndoSetVariable(void* buffer, int32_t id, int32_t variable, bool flag);
// Gives a set one empty current version: the values of all its versions are
// released, and a set without references gets them (kKvTooManyVarInUndoBuf when they do not
// fit the set area; the sets behind it move up). kKvNonexistentUndoSet.
ErrCode ResetUndoSet(void* buffer, int32_t id);
// Releases the set's values and closes the gap. kKvNonexistentUndoSet.
ErrCode RemoveUndoSet(void* buffer, int32_t id);
// The n-th variable (from 0) of the set, or of its variables whose flag bit 0
// is clear; kKvVarNotFound when there is none, kKvNonexistentUndoSet.
ErrCode GetUndoSetVariableId(void* buffer, int32_t id, int32_t n, bool unflaggedOnly,
                             int32_t* variable);

// ---- Values ----

// The value `back` versions back: its units and data, or 0 units and null for
// a negative reference. kKvNonexistentUndoSet for a missing set or version, kKvVarNotFound.
ErrCode GetUndoValue(void* buffer, int32_t id, int32_t back, int32_t variable, uint32_t* units,
                     void** data);
// Makes room for a new value of units units (a negative back: version 0) and
// gives its data address; units below 1 store a value without data. A full
// heap gives up the oldest versions (keeping one below the written one), then
// the redo versions; when even all of them and the old value would not make
// room it answers kKvVarTooLargeForUndo with nothing changed, the old value
// kept. kKvNonexistentUndoSet, kKvVarNotFound.
ErrCode SetUndoValue(void* buffer, int32_t id, int32_t back, int32_t variable, uint32_t units,
                     void** data);
// Makes sure that new values of `units` heap units in all, with one unit
// for each value's block header, can then be stored `back` versions back
// (as SetUndoValue takes it) without a failure: gives up versions as
// SetUndoValue does and compacts the heap when its free room is split, or
// answers kKvVarTooLargeForUndo, after which the caller grows the buffer
// and asks again. kKvNonexistentUndoSet.
ErrCode ReserveUndoRoom(void* buffer, int32_t id, int32_t back, uint64_t units);
// Releases the value; the reference becomes stale (-3) or no value (-2).
ErrCode ClearUndoValue(void* buffer, int32_t id, int32_t back, int32_t variable, bool stale);
bool HasUndoValue(const void* buffer, int32_t id, int32_t back, int32_t variable);
bool IsUndoValueStale(const void* buffer, int32_t id, int32_t back, int32_t variable);
// Every stale reference of the version becomes -2. kKvNonexistentUndoSet.
ErrCode ClearStaleUndoValues(void* buffer, int32_t id, int32_t back);

// ---- Versions ----

// A new current version sharing every value of the current one; the versions
// above the current one are dropped, and the oldest when all Depth are used.
ErrCode PushUndoVersion(void* buffer, int32_t id);
// Releases the newest version; kKvNonexistentUndoSet with fewer than 2 versions.
ErrCode DropNewestUndoVersion(void* buffer, int32_t id);
// The newest version takes the place of the one below it, which is released:
// a step back from it then goes past both. kKvNonexistentUndoSet with fewer
// than 2 versions.
ErrCode FoldNewestUndoVersion(void* buffer, int32_t id);
ErrCode UndoSetStepBack(void* buffer, int32_t id);     // kKvCannotUndo at version 0
ErrCode UndoSetStepForward(void* buffer, int32_t id);  // kKvCannotRedo at the newest
bool UndoSetCanStepBack(const void* buffer, int32_t id);
// The index of the current version; -1 for a missing set or one not reset.
int32_t UndoSetCurrentVersion(const void* buffer, int32_t id);
bool UndoSetCanStepForward(const void* buffer, int32_t id);

}  // namespace vke
