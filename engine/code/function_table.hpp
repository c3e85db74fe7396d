// The function table at the start of the code area: function entries and
// library entries, library blocks with their use lists, and the maintenance
// of compiled positions when the table grows or code is removed.
//
// Code positions are in 16-bit words from the start of the code area, so the
// table, the compiled blocks and the name table all move with the area.
#pragma once

#include "engine/code/code_generation.hpp"
#include "engine/context.hpp"

namespace vke {

// One 16-byte entry. Entry 0 (all zero) is the base workspace. A function
// entry has its name id (negative) in nameId; a library entry has nameId 0
// and its library's name id in info.
struct FunctionTableEntry {
  int32_t nameId;
  uint32_t info;      // function: private, restricted and source library bits
  int32_t code;       // position in words; -1 not compiled (not loaded), 0 none yet
  int32_t libraryId;  // function: name id of its "lib::" qualifier, 0 = none
};
static_assert(sizeof(FunctionTableEntry) == 16);

inline constexpr uint32_t kEntryPrivate = 1u << 31;
inline constexpr uint32_t kEntryRestricted = 1u << 30;
inline constexpr uint32_t kEntrySourceMask = 0x3FFFFFFF;  // library entry holding the source
inline constexpr int32_t kCodeNotCompiled = -1;
inline constexpr int32_t kCodeKnown = 0;
// Function indices are 16-bit operands of compiled code.
inline constexpr uint32_t kMaxFunctionEntries = 32768;
inline constexpr uint32_t kCodeBlockAlign = 4;  // words
inline constexpr int32_t kEntryWords = 8;

inline FunctionTableEntry* FunctionEntries(EngineContext* ctx) {
  return reinterpret_cast<FunctionTableEntry*>(ctx->CodeBytes());
}
inline bool IsFunctionEntry(const FunctionTableEntry& e) {
  return e.nameId < 0;
}
inline bool IsLibraryEntry(const FunctionTableEntry& e) {
  return e.nameId == 0 && e.info != 0;
}
// Entries whose code word is a position in the code area.
inline bool HoldsCodePosition(const FunctionTableEntry& e) {
  return (IsFunctionEntry(e) || IsLibraryEntry(e)) && e.code > 0;
}
// Entry `index`, null when it is not in use.
FunctionTableEntry* GetFunctionEntry(EngineContext* ctx, int32_t index);
// The library entry `index`, null when it is not one.
FunctionTableEntry* GetLibraryEntry(EngineContext* ctx, int32_t index);

// Set by the compile driver while it writes a block at the fill position;
// the table does not grow meanwhile.
inline bool IsCompiling(const EngineContext* ctx) {
  return ctx->compiling != 0;
}

// Reserves a block of `words` at the fill position (rounded up to 4 words);
// kErrCodeOverflow when the code area has no room.
ErrCode ReserveCodeBlock(EngineContext* ctx, int32_t words, int32_t* position);

// Finds the entry of that name, qualifier and source library and sets or
// clears its private bit, or adds a new one (code -1). 204/205 for a bad
// name, kErrTooManyUserFun when the table is full and cannot grow.
ErrCode DefineFunctionEntry(EngineContext* ctx, const char* name, int32_t length,
                            const char* library, int32_t libraryLength, int32_t sourceLibrary,
                            bool isPrivate, bool restricted, int32_t* index);
// Adds (free words - 1) / 256 entries, at least 2 when 16 words are free, by
// moving the compiled code up; the code positions of every thread follow.
// kErrCodeOverflow when there is no room; kErrBadContext while a compilation runs or
// when the list of threads is damaged.
ErrCode GrowFunctionTable(EngineContext* ctx);
// Adds up to k entries, as far as the free room and the table's limit allow,
// in the same way.
ErrCode ExtendFunctionTable(EngineContext* ctx, int64_t k);
// The library entry of the name (letters, digits, "_", at most 32), added
// when absent with code -1 (create) or 0. kErrBadLibName for other characters.
ErrCode FindLibraryEntry(EngineContext* ctx, const char* name, int32_t length, bool create,
                         int32_t* index);
// The index of the library entry with that name id, -1 when none.
int32_t FindLibraryEntryById(EngineContext* ctx, int32_t nameId);

// Gives the library entry a block when it has none (its folder taken from
// sourcePath up to the last "/" or "\"), then makes each of the ids the
// most recently used library of its use list: moved to the end when listed,
// else appended. kErrBadArg when entry is not a library entry, kErrCodeOverflow when the block
// cannot grow.
ErrCode SetLibraryUseList(EngineContext* ctx, int32_t entry, const int16_t* ids, int32_t count,
                          const char* sourcePath, int32_t pathLength);
bool IsLibraryInUseList(EngineContext* ctx, int32_t libraryId, int32_t entry);
// The use list of a library entry's block, oldest first; null (and *count 0)
// when it is empty or there is no block. Valid until the code area changes.
const uint16_t* GetLibraryUseList(EngineContext* ctx, int32_t entry, int32_t* count);
// The folder text of a library entry's block; null (and *length 0) without.
const char* GetLibraryFolder(EngineContext* ctx, int32_t entry, int32_t* length);

// The name of the library whose source holds function `index`; kErrSrcNotFound when the
// function has a source of its own.
ErrCode GetFunctionName(EngineContext* ctx, int32_t index, const char** name, int32_t* length);
// Marks the entries uncompiled, keeps only entry 0 (cleared) and empties the
// code behind the table.
void ResetFunctionTable(EngineContext* ctx);
// Removes the last entry when it is a function entry; its code space is
// given back when it is the last code and nothing runs in it.
void PopFunctionScope(EngineContext* ctx);
// Removes the compiled block of an entry and moves the later code down; the
// entry's code becomes 0. While code of any thread runs in the block, it
// stays in place as unused space.
void RemoveFunctionsOfEntry(EngineContext* ctx, int32_t index);
// The function index of the current call frame; 0 without a frame or for
// code that is not a compiled function.
int32_t CurrentFrameFunction(EngineContext* ctx);

}  // namespace vke
