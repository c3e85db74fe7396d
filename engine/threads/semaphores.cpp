// Semaphores: the table of {id, count} entries in a heap block (8 entries at
// first, doubled when full) and the natives semaphorenew, semaphoredelete,
// semaphorelock and semaphoreunlock. A thread that waits for a semaphore is
// retried by the loop (502) until it gets it.
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr uint32_t kFirstSemaphores = 8;

struct Semaphore {
  uint32_t id;     // 0: a free entry
  uint32_t count;  // 0: unlocked
};
static_assert(sizeof(Semaphore) == 8);

// The table's entries, as many as both its capacity and its block hold.
Semaphore* Entries(EngineContext* ctx, uint32_t* n) {
  *n = 0;
  if (ctx->semTable <= 0) return nullptr;
  const uint32_t units = BlockUnits(ctx, ctx->semTable);
  *n = ctx->semCap < units ? ctx->semCap : units;
  return reinterpret_cast<Semaphore*>(BlockData(ctx, ctx->semTable));
}

// The entry of the semaphore whose id is the argument at depth 0.
ErrCode FindSemaphore(EngineContext* ctx, Semaphore** entry) {
  double id = 0;
  if (ErrCode e = GetScalarArg(ctx, 0, &id)) return e;
  uint32_t n;
  Semaphore* s = Entries(ctx, &n);
  for (uint32_t i = 0; i < n; i++) {
    if (s[i].id != 0 && s[i].id == id) {
      *entry = &s[i];
      return kOk;
    }
  }
  return kErrInvalidID;
}

// A free entry, doubling the table when it has none.
ErrCode FreeEntry(EngineContext* ctx, Semaphore** entry) {
  uint32_t n;
  Semaphore* s = Entries(ctx, &n);
  for (uint32_t i = 0; i < n; i++) {
    if (s[i].id == 0) {
      *entry = &s[i];
      return kOk;
    }
  }
  const uint32_t capacity = n ? 2 * n : kFirstSemaphores;
  int32_t block = 0;
  if (ErrCode e = AllocEngineBlock(ctx, capacity, &block)) return e;
  auto* grown = reinterpret_cast<Semaphore*>(BlockData(ctx, block));
  if (n) std::memcpy(grown, s, sizeof(Semaphore) * n);
  std::memset(grown + n, 0, sizeof(Semaphore) * (capacity - n));
  if (ctx->semTable > 0) FreeEngineBlock(ctx, ctx->semTable);
  ctx->semTable = block;
  ctx->semCap = capacity;
  *entry = &grown[n];
  return kOk;
}

}  // namespace

ErrCode SemaphorenewNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  // The id's room comes first: a call without it makes no semaphore, so
  // that the call run again after growth gives the first id.
  if (ErrCode e = MakeRoomForResult(ctx, 1)) return e;
  Semaphore* entry = nullptr;
  if (ErrCode e = FreeEntry(ctx, &entry)) return e;
  if (++ctx->lastSemaphoreId == 0) ctx->lastSemaphoreId = 1;  // 0 marks a free entry
  *entry = {ctx->lastSemaphoreId, 0};
  ErrCode e = PushRealScalar(ctx, ctx->lastSemaphoreId);
  if (e) entry->id = 0;
  return e;
}

ErrCode SemaphoredeleteNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  Semaphore* entry = nullptr;
  if (ErrCode e = FindSemaphore(ctx, &entry)) return e;
  *entry = {0, 0};
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

// With one output a lock that is taken gives false at once; otherwise the
// native asks to be called again (502) until the semaphore is free.
ErrCode SemaphorelockNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  Semaphore* entry = nullptr;
  if (ErrCode e = FindSemaphore(ctx, &entry)) return e;
  const bool free = entry->count == 0;
  if (!free && nargout != 1) return kStatusRetry;  // the id stays for the next call
  // The answer's room comes before the lock is taken: a call run again
  // after growth finds the semaphore as the first run found it.
  if (nargout == 1) {
    if (ErrCode e = MakeRoomForResult(ctx, 1)) return e;
  }
  if (free) entry->count = 1;
  if (nargout == 1) return ReplaceInputsWithLogical(ctx, nargin, free);
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

ErrCode SemaphoreunlockNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  Semaphore* entry = nullptr;
  if (ErrCode e = FindSemaphore(ctx, &entry)) return e;
  if (entry->count == 0) return kErrSemAlrdyUnlocked;
  entry->count--;
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

}  // namespace vke
