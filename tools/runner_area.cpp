// The runner's growing memory area and the run that grows it.
#include "tools/runner_area.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/image/engine_image.hpp"

namespace vke {

namespace {

// What 32-bit offsets address, in whole 64 KiB steps.
constexpr uint64_t kMaxAreaBytes = 0xFFFF0000ull;
constexpr uint64_t kPageBytes = 4096;

uint64_t PartSizesSum(const EngineContext* ctx) {
  return uint64_t{ctx->dataCap} + ctx->heapSize + ctx->descCap + ctx->codeSize +
         ctx->mainThread.dataCap + ctx->mainThread.descCap;
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
  if (size_ >= ceiling_) return false;
  uint64_t next = uint64_t{size_} + size_ / 2;
  if (next > ceiling_) next = ceiling_;
  next &= ~uint64_t{7};
  const uint64_t before = PartSizesSum(ctx);
  MakeContextRelative(ctx);
  MakeContextAbsolute(ctx, static_cast<uint32_t>(next), code);
  if (PartSizesSum(ctx) == before) return false;
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
  // Notes the ceiling once; the failure then takes the error path.
  auto atCeiling = [&] {
    if (!noted)
      std::fprintf(stderr, "vke: memory ceiling of %u MB reached (-m)\n",
                   static_cast<unsigned>(area->ceiling() >> 20));
    noted = true;
    SetMemoryRetry(ctx, false);
  };
  // A compile out of room takes back what it did and stays quiet while the
  // area can grow; at the ceiling it runs once more with retry off, which
  // reports the failure.
  SetMemoryRetry(ctx, true);
  ErrCode e;
  while (IsEngineMemoryCode(e = CompileCommandLine(ctx, text, length))) {
    if (noted) return e;
    if (!area->Grow(ctx, e)) atCeiling();
  }
  SetMemoryRetry(ctx, true);
  while (e == kOk || e == kStatusSuspended) {
    e = ExecuteBytecode(ctx, 1);
    if (MemoryRetryPending(ctx)) {
      SetMemoryRetry(ctx, true);
      if (!area->Grow(ctx, e)) atCeiling();
      e = kStatusSuspended;  // resumed: the builtin runs again
    }
    if (e != kStatusSuspended) break;
  }
  SetMemoryRetry(ctx, false);
  return e;
}

}  // namespace vke
