// The runner's growing memory area and the run that grows it.
#include "tools/runner_area.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/loop/loop.hpp"
#include "engine/memory_retry.hpp"
#include "engine/threads/threads.hpp"

namespace vke {

namespace {

// What 32-bit offsets address, in whole 64 KiB steps.
constexpr uint64_t kMaxAreaBytes = 0xFFFF0000ull;
constexpr uint64_t kPageBytes = 4096;

uint64_t PartSizesSum(const EngineContext* ctx) {
  return uint64_t{ctx->dataCap} + ctx->heapSize + ctx->descCap + ctx->codeSize +
         ctx->mainThread.dataCap + ctx->mainThread.descCap;
}

// Whole pages of at least this many bytes move by remapping; less is copied.
constexpr uint64_t kRemapBytes = 64 * kPageBytes;

// Moves the pages [from, from + bytes) to `to` (all page-aligned, the two
// places apart by at least `bytes`): the page table entries move, nothing is
// copied or faulted in, and fresh pages fill the place left behind. Copies
// when the kernel refuses.
void RemapPages(uintptr_t to, uintptr_t from, uint64_t bytes) {
  void* moved = ::mremap(reinterpret_cast<void*>(from), bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED,
                         reinterpret_cast<void*>(to));
  if (moved == MAP_FAILED) {
    std::memcpy(reinterpret_cast<void*>(to), reinterpret_cast<const void*>(from), bytes);
    return;
  }
  void* refill = ::mmap(reinterpret_cast<void*>(from), bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
  if (refill == MAP_FAILED) {
    // A hole inside the area: nothing could run on safely.
    std::fprintf(stderr, "vke: the memory area could not be mapped again\n");
    std::abort();
  }
}

}  // namespace

void MoveAreaBytes(void* to, const void* from, size_t bytes) {
  const uintptr_t t = reinterpret_cast<uintptr_t>(to), f = reinterpret_cast<uintptr_t>(from);
  const uintptr_t first = (f + kPageBytes - 1) & ~(kPageBytes - 1);
  const uintptr_t last = (f + bytes) & ~(kPageBytes - 1);
  const uintptr_t apart = t > f ? t - f : f - t;
  if (apart == 0 || apart % kPageBytes != 0 || last < first + kRemapBytes) {
    std::memmove(to, from, bytes);
    return;
  }
  const uint64_t head = first - f, tail = f + bytes - last;
  // Pieces of at most `apart` bytes never overlap their own new places;
  // moving up, the highest goes first, moving down the lowest.
  if (t > f) {
    std::memmove(reinterpret_cast<void*>(last + apart), reinterpret_cast<const void*>(last), tail);
    for (uintptr_t end = last; end > first;) {
      const uintptr_t start = end - first > apart ? end - apart : first;
      RemapPages(start + apart, start, end - start);
      end = start;
    }
    std::memmove(to, from, head);
  } else {
    std::memmove(to, from, head);
    for (uintptr_t start = first; start < last;) {
      const uintptr_t end = last - start > apart ? start + apart : last;
      RemapPages(start - apart, start, end - start);
      start = end;
    }
    std::memmove(reinterpret_cast<void*>(last - apart), reinterpret_cast<const void*>(last), tail);
  }
}

namespace {

// Gives back the pages of thread 0's data stack above its top: after a
// growth they hold what the heap and the parts above it left behind where
// the stack now lies, which nothing reads again.
void ReleaseFreeStackPages(EngineContext* ctx) {
  if (ctx->currentThread != 0) return;
  const uint64_t from =
      (uint64_t{ctx->dataBase} + 8ull * ctx->dataTop + kPageBytes - 1) & ~(kPageBytes - 1);
  const uint64_t to = uint64_t{ctx->heapBase} & ~(kPageBytes - 1);
  if (to > from) ::madvise(ctx->Bytes() + from, to - from, MADV_DONTNEED);
}

}  // namespace

RunnerArea::~RunnerArea() {
  if (base_) ::munmap(base_, reserved_);
}

bool RunnerArea::Reserve(uint64_t ceiling, uint32_t initial) {
  if (ceiling > kMaxAreaBytes) ceiling = kMaxAreaBytes;
  ceiling &= ~(kPageBytes - 1);
  if (ceiling == 0) return false;
  void* p = ::mmap(nullptr, ceiling, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return false;
  base_ = p;
  reserved_ = ceiling;
  ceiling_ = static_cast<uint32_t>(ceiling);
  size_ = initial < ceiling_ ? initial : ceiling_;
  return true;
}

bool RunnerArea::Grow(EngineContext* ctx, ErrCode code) {
  if (size_ >= ceiling_) {
    // At the ceiling the room other parts took on the way is given back.
    if (!SpreadAreaAnew(ctx, size_, code, MoveAreaBytes)) return false;
    ReleaseFreeStackPages(ctx);
    return true;
  }
  uint64_t next = uint64_t{size_} + size_ / 2;
  if (next > ceiling_) next = ceiling_;
  next &= ~uint64_t{7};
  const uint64_t before = PartSizesSum(ctx);
  MakeContextRelative(ctx);
  MakeContextAbsolute(ctx, static_cast<uint32_t>(next), code, MoveAreaBytes);
  if (PartSizesSum(ctx) == before) return false;
  ReleaseFreeStackPages(ctx);
  size_ = static_cast<uint32_t>(next);
  return true;
}

uint64_t DefaultAreaCeiling() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
  const uint64_t physical =
      pages > 0 && page > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page) : 0;
  const uint64_t share = physical / 4 * 3;
  return share == 0 || share > kMaxAreaBytes ? kMaxAreaBytes : share;
}

bool ParseAreaSize(const char* text, uint64_t* bytes) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text, &end, 10);
  uint64_t unit = 1;
  switch (*end) {
    case 'K':
    case 'k':
      unit = 1ull << 10;
      end++;
      break;
    case 'M':
    case 'm':
      unit = 1ull << 20;
      end++;
      break;
    case 'G':
    case 'g':
      unit = 1ull << 30;
      end++;
      break;
    default:
      break;
  }
  if (*end || n > (1ull << 40) / unit) return false;
  *bytes = n * unit;
  return true;
}

ErrCode RunGrowing(RunnerArea* area, EngineContext* ctx, const char* text, int32_t length) {
  bool noted = false;
  // Notes the ceiling once (naming -m when the ceiling came from it), when
  // the area that could not grow stands at it.
  auto noteCeiling = [&] {
    if (noted || area->size() < area->ceiling()) return;
    std::fprintf(stderr, "vke: memory ceiling of %u MB reached%s\n",
                 static_cast<unsigned>(area->ceiling() >> 20), area->ceilingGiven() ? " (-m)" : "");
    noted = true;
  };
  // A compile out of room takes back what it did and stays quiet while the
  // area can grow; at the ceiling, or at a limit of the code's form that no
  // room mends, it runs once more with retry off, which reports the failure.
  ForgetAreaSpreads(ctx);
  SetMemoryRetry(ctx, true);
  ErrCode e;
  bool lastTry = false;
  TakeCodeFormLimit(ctx);
  while (IsEngineMemoryCode(e = CompileCommandLine(ctx, text, length))) {
    if (lastTry) return e;
    if (TakeCodeFormLimit(ctx)) {
      lastTry = true;
    } else if (!area->Grow(ctx, e)) {
      noteCeiling();
      lastTry = true;
    }
    if (lastTry) SetMemoryRetry(ctx, false);
  }
  SetMemoryRetry(ctx, true);
  ErrCode workerFailure = kOk;
  while (e == kOk || e == kStatusSuspended) {
    e = ExecuteBreakChecked(ctx);
    if (MemoryRetryPending(ctx)) {
      // Growth the area cannot give fails this request alone: the ones
      // after it (after a catch) grow again.
      if (area->Grow(ctx, e)) {
        SetMemoryRetry(ctx, true);
      } else {
        noteCeiling();
        DeclineMemoryRetry(ctx);
      }
      e = kStatusSuspended;  // resumed: the builtin runs again
    } else if (IsWorkerFailure(ctx, e)) {
      // The text goes on from where the other thread's failure left it, so
      // that no later text runs before the rest of it.
      if (workerFailure == kOk) workerFailure = e;
      e = kStatusSuspended;
    }
    if (e != kStatusSuspended) break;
  }
  SetMemoryRetry(ctx, false);
  return e == kOk ? workerFailure : e;
}

}  // namespace vke
