// Large values moved from the data stack into heap blocks by whole pages:
// where the host lets the engine exchange pages of its area (SetPageSwap),
// a block for a large value is placed so that its data shares the value's
// place in a granule of pages, and the granules in between change places
// instead of being copied. A value's bytes are then written once only: the block takes the
// pages they were written to, and the stack the block's pages, fresh or
// used. Without the host's swap, or for small values, the bytes are copied.
#pragma once

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"

namespace vke {

// Installs the host's page exchange (null: values are copied).
void SetPageSwap(EngineContext* ctx, PageSwapFn swap);

// Pages change places in whole granules at addresses that are multiples of
// the granule: the exchanges then split the area into few mappings (at
// most one a granule, however many values move), and each granule's page
// table moves whole.
inline constexpr uint64_t kSwapGranuleBytes = 2u << 20;

// Values of fewer units are copied: they may hold no whole granule, and
// for them a copy costs little.
inline constexpr uint32_t kPageMovedUnits = 2 * kSwapGranuleBytes / 8;

// Whether a value of `units` units moves by pages (never with the fast
// forms switched off).
inline bool MovesByPages(const EngineContext* ctx, uint32_t units) {
  return ctx->pageSwap != nullptr && units >= kPageMovedUnits && FastFormsOn();
}

// AllocEngineBlock for a block whose data, from its unit `at` on, is to
// take the units at `source`: placed, where room allows, so that they share
// their place in a granule with the source (the units the placement skips go
// back to the heap as free blocks). Where it does not, or the two can never
// share it, placed as AllocEngineBlock places it. Fails as AllocEngineBlock
// fails, nothing changed.
ErrCode AllocBlockAlignedWith(EngineContext* ctx, uint32_t units, uint32_t at, const void* source,
                              int32_t* index);

// Writes the `count` units at `from` to `to` (apart, both in the area),
// leaving what `from` held meaning nothing: the whole granules between them
// are exchanged when the two share their place in a granule and the value
// is large enough, the ragged ends copied; else all is copied.
void TakeUnits(EngineContext* ctx, uint8_t* to, uint8_t* from, uint32_t count);

}  // namespace vke
