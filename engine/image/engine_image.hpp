// Engine images and moving the engine area: the stored-state header, the
// loader and its mirror the saver, and the operations the host calls around
// a move of the area into a larger block.
#pragma once

#include <array>
#include <cstddef>

#include "engine/context.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

// Reads (or writes) the next record of a stored engine state: count bytes into
// (from) the buffer; false when the record cannot be read (written) or holds
// another number of bytes.
using ImageReadFn = bool (*)(void* destination, uint32_t count, uintptr_t argument);
using ImageWriteFn = bool (*)(const void* source, uint32_t count, uintptr_t argument);

// Bytes of a header field that are no number.
template <size_t N>
using ImageBytes = std::array<uint8_t, N>;

// The 240-byte header that opens a stored engine state; its fields are the
// rows of engine/image/engine_image_header.def.
struct EngineImageHeader {
#define VKE_ENGINE_IMAGE_FIELD(type, name, offset, copy, meaning) type name;
#include "engine/image/engine_image_header.def"
#undef VKE_ENGINE_IMAGE_FIELD
};
static_assert(sizeof(EngineImageHeader) == 240);
#define VKE_ENGINE_IMAGE_FIELD(type, name, offset, copy, meaning) \
  static_assert(offsetof(EngineImageHeader, name) == (offset));
#include "engine/image/engine_image_header.def"
#undef VKE_ENGINE_IMAGE_FIELD

// Restores a stored engine state into this engine. kErrEof when the header cannot
// be read; kErrInit for a header that describes no sound state: among
// others counts whose parts no area of 32-bit offsets holds, or whose
// records hold more than `stateBytes` bytes, the most the input behind the
// header can give (nothing changed, and before any part is checked against
// this engine); kErrStackOverflow, kErrDataOverflow, kErrVarOverflow or
// kErrCodeOverflow when the descriptor stack, data stack, heap or code
// area is too small (nothing changed); kErrInit for a later read that fails
// or delivers an inconsistent heap (the engine is then left empty and must
// be reset).
ErrCode LoadEngineImage(EngineContext* ctx, ImageReadFn reader, uintptr_t argument,
                        uint64_t stateBytes = UINT64_MAX);

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
// growth to the descriptor stack, 3, 4 and kErrCompOutOfMemory (a
// compilation's working room) to the data stack, 5 to the heap, 6 to the
// code area; any other mode re-spreads in the proportions of creation, or,
// where that would shrink a part, gives each part its share of the bytes
// added. Nothing moves when any part would shrink. The function table then
// grows towards a 256th of the code area, the code and every code position
// of every interpreter thread following it, unless a compilation runs.
// The heap's blocks move through `move` when the host gives one.
void MakeContextAbsolute(EngineContext* ctx, uint32_t newSize, int32_t mode,
                         AreaMoveFn move = nullptr);

// Spreads an area of `size` bytes that can grow no further anew, so that it
// serves what an area of that size grown from the engine's creation would:
// each part keeps what it holds (the stacks to their tops, the heap to its
// last block in use, the code and names) and at least its share of the
// area at creation (never more than it has), and the part the mode names
// (as for MakeContextAbsolute) takes the rest; a mode that names no part
// shares the rest as creation does. Parts that spreads gave room while the
// engine stood where it stands (its code pointer, frame and stack tops
// alike: a work run again before it got further) keep it, so that a work
// that needs more than the area holds is refused rather than sent round.
// True when that part (any part) grew; otherwise nothing moved. The heap's
// blocks move through `move` when the host gives one.
bool SpreadAreaAnew(EngineContext* ctx, uint32_t size, int32_t mode, AreaMoveFn move = nullptr);
// A new work begins (a text the host runs): the room spreads gave the one
// before is held for it no longer.
void ForgetAreaSpreads(EngineContext* ctx);

}  // namespace vke
