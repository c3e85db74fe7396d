// Engine images and moving the engine area: the stored-state header, the
// loader and its mirror the saver, and the operations the host calls around
// a move of the area into a larger block.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Reads (or writes) the next record of a stored engine state: count bytes into
// (from) the buffer; false when the record cannot be read (written) or holds
// another number of bytes.
using ImageReadFn = bool (*)(void* destination, uint32_t count, uintptr_t argument);
using ImageWriteFn = bool (*)(const void* source, uint32_t count, uintptr_t argument);

// The 240-byte header that opens a stored engine state; little-endian words.
struct EngineImageHeader {
  uint32_t descWords;  // descriptor-stack words in use
  uint32_t dataUnits;  // data-stack units in use
  uint32_t heapUnits;  // block-heap units stored; the rest becomes one free block
  uint32_t funcCount;  // function-table entries
  uint32_t codeUnits;  // compiled code behind the table, 16-bit units
  uint32_t nameBytes;  // name area, placed at the end of the code area
  int32_t curFrame;    // word index, -1 = none
  uint32_t cpKind;     // code pointer: area kind,
  uint32_t cpFlag;     // flag byte held in a word,
  uint32_t cpOffset;   // byte offset in that area
  InterpThreadRecord mainThread;
  uint32_t currentThread;  // block index, 0 = the main thread
  uint32_t firstThread;    // block index of the first listed thread, 0 = none
  uint32_t nextThreadId;
  int32_t semTable;  // heap index, -1 = none
  uint32_t semCap;
  uint32_t lastSemaphoreId;
  int32_t displayDigits;
  uint8_t formatLetter;
  uint8_t imagLetter;
  uint8_t looseSpacing;
  uint8_t reserved1;
  int32_t displayWord;
  uint8_t displayOn;  // nonzero = on
  // Function-table capacity of the saving engine, 24 bits; 0 = not recorded.
  // Stored code positions count from behind that capacity.
  uint8_t savedTableCap[3];
};
static_assert(sizeof(EngineImageHeader) == 240);
static_assert(offsetof(EngineImageHeader, curFrame) == 24);
static_assert(offsetof(EngineImageHeader, mainThread) == 40);
static_assert(offsetof(EngineImageHeader, currentThread) == 200);
static_assert(offsetof(EngineImageHeader, semTable) == 212);
static_assert(offsetof(EngineImageHeader, lastSemaphoreId) == 220);
static_assert(offsetof(EngineImageHeader, displayDigits) == 224);
static_assert(offsetof(EngineImageHeader, formatLetter) == 228);
static_assert(offsetof(EngineImageHeader, looseSpacing) == 230);
static_assert(offsetof(EngineImageHeader, displayWord) == 232);
static_assert(offsetof(EngineImageHeader, displayOn) == 236);

// Restores a stored engine state into this engine. kErrEof when the header cannot
// be read; kErrStackOverflow, kErrDataOverflow, kErrVarOverflow or
// kErrCodeOverflow when the descriptor stack, data stack, heap or code
// area is too small (nothing changed); kErrInit for a header that describes no
// sound state (nothing changed) or a later read that fails or delivers an
// inconsistent heap (the engine is then left empty and must be reset).
ErrCode LoadEngineImage(EngineContext* ctx, ImageReadFn reader, uintptr_t argument);

// Leaves an empty engine (no values, one free heap block, no functions, no
// names) that ResetEngine makes whole again: what remains after a load that
// failed part way.
void ClearEngineState(EngineContext* ctx);

// Writes the engine's state so that LoadEngineImage restores it: the header,
// then descriptor words, data units, heap units (up to the end of the last
// block in use), function table, code and names, one writer call each.
// kErrBadContext while a thread other than the main thread is current; kErrIoErr when a write
// fails.
ErrCode SaveEngineImage(EngineContext* ctx, ImageWriteFn writer, uintptr_t argument);

// Called before the host copies the area. Every reference inside the area is
// an offset already, so there is nothing to convert.
void MakeContextRelative(EngineContext* ctx);

// Called after the area was copied to its new place. With a new size of 1 or
// more, spreads the area among the engine's parts: modes 1 and 2 give the
// growth to the descriptor stack, 3 and 4 to the data stack, 5 to the heap, 6
// to the code area, any other mode re-spreads in the proportions of creation.
// Nothing moves when any part would shrink. The function table then grows
// towards a 256th of the code area, the code and every code position of
// every interpreter thread following it, unless a compilation runs.
void MakeContextAbsolute(EngineContext* ctx, uint32_t newSize, int32_t mode);

}  // namespace vke
