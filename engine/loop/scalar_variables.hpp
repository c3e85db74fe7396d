// Real double scalars in variables, the commonest case of all, found and
// moved without the general paths: the fast paths of LoadVariable and
// StoreVariable, which the execution loop also takes directly. Anything
// unusual (a link, a value of another kind or size, a full stack) is left to
// the general operations, which decide as before.
#pragma once

#include <cstddef>
#include <cstring>

#include "engine/frames/entry_items.hpp"

namespace vke {

// A subscript that is a whole number from 1 to `bound`: its 0-based
// position in *k. A whole number's conversion gives it back unchanged, so
// no rounding function is needed.
VKE_HOT_INLINE bool WholeSubscript(double subscript, uint32_t bound, int64_t* k) {
  if (!(subscript >= 1 && subscript <= bound)) return false;
  const auto whole = static_cast<int64_t>(subscript);
  *k = whole - 1;
  return static_cast<double>(whole) == subscript;
}

// The frame whose slots hold the scope's variables: the innermost with
// variables, or the base frame; -1 when there is none.
VKE_HOT_INLINE int32_t ScopeFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    if (static_cast<int32_t>(w[kFwVarCount]) > 0 || w[kFwReturnKind] == kBaseFrameKind) return f;
  }
  return -1;
}

// The variable slots of the scope frame f (ScopeFrame's) and the heap their
// blocks lie in, read once for a run of loads and stores. Valid only while
// no frame, entry or block changes and the area stays where it is: storing
// into a variable's own block is the only change allowed meanwhile.
struct ScopeSlots {
  const uint32_t* slots = nullptr;  // the frame's first variable slot
  uint32_t count = 0;               // the variables whose slots lie below the top
  uint8_t* heap = nullptr;
  uint32_t heapSize = 0;

  ScopeSlots() = default;
  VKE_HOT_INLINE ScopeSlots(EngineContext* ctx, int32_t f)
      : heap(ctx->HeapBytes()), heapSize(ctx->heapSize) {
    if (f < 0) return;
    const uint64_t first = static_cast<uint64_t>(static_cast<uint32_t>(f)) + kFrameHeaderWords;
    if (first >= ctx->descTop) return;
    slots = FrameWords(ctx, f) + kFrameHeaderWords;
    const uint64_t below = ctx->descTop - first;
    const uint32_t vars = FrameWords(ctx, f)[kFwVarCount];
    count = vars < below ? vars : static_cast<uint32_t>(below);
  }

  // A block's item and its size in 8-byte units.
  VKE_HOT_INLINE uint8_t* Item(int32_t block) const {
    return heap + 8ull * static_cast<uint32_t>(block);
  }
  VKE_HOT_INLINE uint32_t Units(int32_t block) const {
    return Load<uint32_t>(heap + 8ull * static_cast<uint32_t>(block - 1)) & kBlockSizeMask;
  }

  // The item of variable n when it holds a real double scalar, in a block of
  // a scalar's size when `exact` (the one StoreScalar would store into, its
  // descriptor already the one a store writes); null otherwise. A real
  // double scalar's flags are clear, so a link is never taken for one.
  VKE_HOT_INLINE uint8_t* ScalarItem(int32_t n, bool exact) const {
    if (static_cast<uint32_t>(n) >= count) return nullptr;
    const auto block = static_cast<int32_t>(slots[n]);
    if (static_cast<uint32_t>(block) - 1 >= heapSize ||
        (exact ? Units(block) != 3 : Units(block) < 3))
      return nullptr;
    uint8_t* item = Item(block);
    // IsRealDoubleScalar read in place: a copy of the descriptor would go
    // through the stack.
    if (Load<uint64_t>(item) != Load<uint64_t>(&kRealDoubleScalar) ||
        Load<int32_t>(item + offsetof(ValueDescriptor, word)) != kRealDoubleScalar.word)
      return nullptr;
    return item;
  }

  // The item of variable n when it holds a real double matrix (no link, no
  // imaginary part) whose elements lie whole in its block; null otherwise.
  VKE_HOT_INLINE uint8_t* RealMatrixItem(int32_t n) const {
    if (static_cast<uint32_t>(n) >= count) return nullptr;
    const auto block = static_cast<int32_t>(slots[n]);
    if (static_cast<uint32_t>(block) - 1 >= heapSize) return nullptr;
    uint8_t* item = Item(block);
    if (Load<uint32_t>(item) != 0 || Units(block) < 2ull + Load<uint32_t>(item + 4)) return nullptr;
    return item;
  }

  // The element x(k) (count 1) or x(i, j) (count 2) of variable n, a real
  // double matrix (RealMatrixItem's), when its subscripts are whole numbers
  // within its size; null otherwise.
  VKE_HOT_INLINE uint8_t* RealElement(int32_t n, int32_t count, const double* subs) const {
    uint8_t* const item = RealMatrixItem(n);
    return item ? ElementOfItem(item, count, subs) : nullptr;
  }

  // The same of a real double matrix's item found before.
  VKE_HOT_INLINE static uint8_t* ElementOfItem(uint8_t* item, int32_t count, const double* subs) {
    const uint32_t size = Load<uint32_t>(item + offsetof(ValueDescriptor, size));
    int64_t k;
    if (count == 1) {
      if (!WholeSubscript(subs[0], size, &k)) return nullptr;
    } else {
      const int32_t columns = Load<int32_t>(item + offsetof(ValueDescriptor, word));
      int64_t row, column;
      if (columns <= 0 || !WholeSubscript(subs[0], size / static_cast<uint32_t>(columns), &row) ||
          !WholeSubscript(subs[1], static_cast<uint32_t>(columns), &column))
        return nullptr;
      // A plain matrix lies row by row.
      k = row * columns + column;
    }
    return item + kItemHeaderBytes + 8 * k;
  }

  // The value of variable n when it holds a real double scalar.
  VKE_HOT_INLINE bool LoadScalar(int32_t n, double* value) const {
    const uint8_t* item = ScalarItem(n, false);
    if (!item) return false;
    *value = Load<double>(item + kItemHeaderBytes);
    return true;
  }

  // The block of variable n when its slot holds one of its own (no link) of
  // at least the three units of a real double scalar; 0 otherwise.
  VKE_HOT_INLINE int32_t ScalarSizedBlock(int32_t n) const {
    if (static_cast<uint32_t>(n) >= count) return 0;
    const auto block = static_cast<int32_t>(slots[n]);
    if (static_cast<uint32_t>(block) - 1 >= heapSize ||
        (Load<uint32_t>(Item(block)) & kFlagReference) || Units(block) < 3)
      return 0;
    return block;
  }

  // The item StoreScalar would store variable n's value into: that of its
  // block when the block has a scalar's size; null otherwise.
  VKE_HOT_INLINE uint8_t* ItemToStore(int32_t n) const {
    const int32_t block = ScalarSizedBlock(n);
    return block && Units(block) == 3 ? Item(block) : nullptr;
  }

  // A real double scalar written into the item of a block of a scalar's size.
  VKE_HOT_INLINE static void WriteScalar(uint8_t* item, double value) {
    std::memcpy(item, &kRealDoubleScalar, sizeof kRealDoubleScalar);
    Store<int32_t>(item + 12, 0);
    Store<double>(item + kItemHeaderBytes, value);
  }

  // Stores a real double scalar into variable n when the variable's block
  // has a scalar's size; false, with nothing changed, for anything else.
  VKE_HOT_INLINE bool StoreScalar(int32_t n, double value) const {
    uint8_t* const item = ItemToStore(n);
    if (!item) return false;
    WriteScalar(item, value);
    return true;
  }
};

// Pushes variable n of the scope frame f when it holds a real double
// scalar; false, with nothing pushed, for anything else.
VKE_HOT_INLINE bool LoadScalarVariable(EngineContext* ctx, int32_t f, int32_t n) {
  double value;
  return ScopeSlots(ctx, f).LoadScalar(n, &value) && PushRealScalar(ctx, value) == kOk;
}

// ScopeSlots::StoreScalar for the scope frame f.
VKE_HOT_INLINE bool StoreScalarValue(EngineContext* ctx, int32_t f, int32_t n, double value) {
  return ScopeSlots(ctx, f).StoreScalar(n, value);
}

// Pops the real double scalar on top into variable n of the scope whose
// slots are `vars` when the variable's block has a scalar's size; false,
// with nothing changed, for anything else.
VKE_HOT_INLINE bool PopScalarInto(EngineContext* ctx, const ScopeSlots& vars, int32_t n) {
  if (ctx->descTop < 3 || !IsRealDoubleScalar(*DescAt(ctx, 0)) ||
      !vars.StoreScalar(n, Load<double>(ctx->DataUnits() + ctx->dataTop - 1)))
    return false;
  ctx->descTop -= 3;
  ctx->dataTop -= 1;
  return true;
}

// PopScalarInto for the scope frame f.
VKE_HOT_INLINE bool StoreScalarVariable(EngineContext* ctx, int32_t f, int32_t n) {
  return PopScalarInto(ctx, ScopeSlots(ctx, f), n);
}

}  // namespace vke
