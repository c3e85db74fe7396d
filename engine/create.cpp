// Creating an engine inside its memory area, and resetting it.
#include "engine/area_parts.hpp"
#include "engine/code/code_generation.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/interface.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/value.hpp"

namespace vke {

const char* GetEngineVersion() {
  return "VKE 5.1";
}

ErrCode CreateEngine(void* area, uint32_t size, EngineContext** out) {
  NoteCodeChanged();
  if (size < kMinEngineBytes) return kErrInit;
  if (ErrCode e = CheckOpcodeTable()) return e;
  std::memset(area, 0, kEngineHeaderBytes);
  auto* ctx = static_cast<EngineContext*>(area);
  *out = ctx;
  ctx->api = GetEngineInterface();

  const AreaParts parts = ProportionalParts(static_cast<int64_t>(size) - kEngineHeaderBytes);
  const uint32_t heapSize = parts.heap;
  ctx->createdBytes = size;
  ctx->dataBase = kEngineHeaderBytes;
  ctx->dataCap = parts.data;
  ctx->heapBase = ctx->dataBase + 8 * parts.data;
  ctx->heapSize = heapSize;
  ctx->descBase = ctx->heapBase + 8 * heapSize;
  ctx->descCap = parts.desc;
  ctx->codeBase = ctx->descBase + 4 * parts.desc;
  uint32_t rest = size - ctx->codeBase;
  ctx->codeSize = parts.code;
  const uint32_t tableCap = CreationTableCapacity(rest, ctx->codeSize);
  ctx->funcCap = tableCap;
  ctx->funcCount = 1;
  ctx->codeEnd = tableCap * 8;
  ctx->nameStart = 0;
  std::memset(ctx->CodeBytes(), 0, 16);

  // One free block spanning the heap.
  Store<uint32_t>(ctx->HeapBytes(), heapSize - 1);

  ctx->curFrame = -1;
  ctx->nextThreadId = 1;
  ctx->sliceLength = 0.05;
  ctx->semTable = -1;
  ctx->rng[0] = 0;
  ctx->rng[1] = 1;
  ctx->rng[2] = 0;
  ctx->rng[3] = 1;
  ctx->errLocFunc = -1;
  ctx->errLocPos = -1;
  ctx->lastError = -1;
  ctx->pendingError = -1;
  ctx->optLevel = 1;
  ctx->displayDigits = 4;
  ctx->formatLetter = 'g';
  ctx->imagLetter = 'j';
  ctx->displayWord = 24;
  ctx->displayOnOff = -1;
  ctx->nextFd = 1024;
  ctx->redirectTarget[0] = 1;
  ctx->redirectTarget[1] = 2;
  ctx->sourceExt = "vkl";
  ctx->helpExt = "hlp";
  ctx->bpTable = -1;
  for (int32_t& w : ctx->stepWords) w = -1;
  ctx->echoMode = -1;
  ctx->profileTable = -1;
  SaveLiveThreadFields(ctx, &ctx->mainThread);
  ctx->mainThread.wakeTime = -1;
  return kOk;
}

void ResetEngineState(EngineContext* ctx) {
  // Go back to thread 0's own stacks before anything is dropped.
  if (ctx->currentThread != 0) {
    const InterpThreadRecord& t = ctx->mainThread;
    ctx->descBase = t.descBase;
    ctx->descCap = t.descCap;
    ctx->dataBase = t.dataBase;
    ctx->dataCap = t.dataCap;
    std::memcpy(ctx->rng, t.rng, sizeof ctx->rng);
  }
  ctx->currentThread = 0;
  ctx->firstThread = 0;
  ctx->semTable = -1;
  ctx->semCap = 0;
  ctx->profileTable = -1;

  ctx->curFrame = -1;
  ctx->pendingError = -1;
  ctx->lastError = -1;
  ctx->bpTable = -1;
  ctx->stepWords[0] = -1;
  ctx->stepWords[1] = -1;
  ctx->echoMode = -1;
  ctx->descTop = 0;
  ctx->dataTop = 0;
  ctx->bpCount = 0;
  ctx->interruptDebug = 0;
  ctx->nativeResults = 0;
  ctx->nativeContinuation = kContinueAtInstruction;
  ctx->nativeFloor = 0;
  ctx->reentryOpcode = 0;
  ctx->keptReentry = {};

  // Keep the value blocks of shared globals and persistents; free the rest.
  ForgetHeapHints(ctx);
  uint8_t* heap = ctx->HeapBytes();
  for (uint32_t u = 0; u < ctx->heapSize;) {
    uint32_t h = Load<uint32_t>(heap + 8ull * u);
    Store<uint32_t>(heap + 8ull * u, h & ~kBlockKept);
    u += (h & kBlockSizeMask) + 1;
  }
  const uint8_t* table = ctx->CodeBytes();
  for (uint32_t i = 0; i < ctx->funcCount; i++) {
    const uint8_t* e = table + 16ull * i;
    if (Load<int32_t>(e) != 1) continue;
    int32_t block = Load<int32_t>(e + 8);
    if (block <= 0 || static_cast<uint32_t>(block) > ctx->heapSize) continue;
    uint8_t* hdr = heap + 8ull * (block - 1);
    Store<uint32_t>(hdr, Load<uint32_t>(hdr) | kBlockKept);
  }
  for (uint32_t u = 0; u < ctx->heapSize;) {
    uint32_t h = Load<uint32_t>(heap + 8ull * u);
    if (!(h & kBlockKept)) Store<uint32_t>(heap + 8ull * u, h & ~kBlockInUse);
    u += (h & kBlockSizeMask) + 1;
  }
}

ErrCode ResetEngine(EngineContext* ctx) {
  ResetEngineState(ctx);
  const uint32_t names = kBaseFrameNames;
  const uint32_t words = kFrameHeaderWords + names + names * (kFrameNameBytes / 4);
  if (words > ctx->descCap) return kErrInit;
  uint32_t* f = ctx->DescWords();
  std::memset(f, 0, 4ull * words);
  f[kFwReturnKind] = kBaseFrameKind;
  f[kFwBackLink] = static_cast<uint32_t>(-1);
  f[kFwScope] = static_cast<uint32_t>(-1);
  f[kFwVarCount] = 1;
  f[kFwNameCapacity] = names;
  f[kFwPosition] = static_cast<uint32_t>(-1);
  f[kFwFunction] = static_cast<uint32_t>(-1);
  for (uint32_t i = 0; i < names; i++) f[kFrameHeaderWords + i] = static_cast<uint32_t>(-1);
  char* name0 = reinterpret_cast<char*>(f + kFrameHeaderWords + names);
  std::memcpy(name0, "ans", 3);
  ctx->descTop = words;
  ctx->curFrame = 0;
  return kOk;
}

}  // namespace vke
