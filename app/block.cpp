// Creating and resetting the memory block, and the setters through which the
// host configures the block and its engine.
#include "app/block.hpp"

#include <cstring>

#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/natives/embedded_files.hpp"
#include "app/runtime_tables.hpp"
#include "app/undo_buffer.hpp"
#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/registry/registry.hpp"
#include "graphics/object_store.hpp"
#include "graphics/port.hpp"

namespace vke {

namespace {

constexpr uint32_t kLayoutSlack = 496;   // header and alignment room
constexpr uint32_t kLayoutGrain = 2048;  // usable bytes are a multiple of this
constexpr int32_t kCompileOptimisation = 4;

// Everything after the engine exists: the libraries, the engine's way back to
// its context, its options, then a reset.
ErrCode PrepareEngine(KVContextBlock* block, KVContextBlock** slot) {
  EngineContext* ctx = block->Engine();
  ResetEmbeddedStreamTable();
  if (ErrCode e = PrepareRuntimeEngine(ctx)) return e;
  if (ErrCode e = RegisterLibrary(ctx, AppStaticTable(), false)) return e;
  SetHookUserData(ctx, reinterpret_cast<uintptr_t>(&block->nativeCall));
  EnableLibrary(ctx, "Corvanel", 1);
  SetHostCallbacks(ctx, &GetEngineContext, reinterpret_cast<uintptr_t>(slot));
  SetContextFlag(ctx, 1);
  SetCompileOptions(ctx, kCompileOptimisation, 0);
  return ResetEngine(ctx);
}

// The header fields a new block starts with.
void InitHeader(KVContextBlock* block, uint32_t hostData, uint32_t newlineMode) {
  static uint32_t serials = 0;
  if (++serials == 0) serials = 1;  // 0 names no block
  block->serial = serials;
  block->hostData = hostData;
  block->newlineMode = newlineMode;
  block->capture = kNoObjectWriter;
  block->inputObjectId = -1;
  block->eventSubplot = -1;
  block->portFunctions = &ScreenPort();
  block->figureMode = 1;
  block->imageFlag = 1;
  block->styleA = kDefaultStylePair;
  block->styleB = kDefaultStylePair;
  block->cursor = 1;
}

}  // namespace

uint32_t UsableBlockBytes(uint32_t size) {
  return size < kLayoutSlack ? 0 : (size - kLayoutSlack) / kLayoutGrain * kLayoutGrain;
}

AreaSizes ProportionalAreas(uint32_t usable) {
  AreaSizes a;
  a.engine = a.data = 3 * (usable / 8);
  a.element = a.name = usable / 32;
  a.undo = usable - a.engine - a.data - a.element - a.name;
  return a;
}

ErrCode InitKVContextBlock(KVContextBlock** slot, void* memory, uint32_t size, uint32_t hostData,
                           uint32_t newlineMode) {
  if (!slot) return kErrInit;
  *slot = nullptr;
  if (size < kKVMinBytes) return kKvNotEnoughMemForKV;
  if (!memory || reinterpret_cast<uintptr_t>(memory) % 8 != 0) return kErrInit;
  auto* block = static_cast<KVContextBlock*>(memory);
  std::memset(block, 0, kKVHeaderBytes);
  const AreaSizes a = ProportionalAreas(UsableBlockBytes(size));
  block->engineBytes = a.engine;
  block->dataBytes = a.data;
  block->elementBytes = a.element;
  block->nameBytes = a.name;
  block->undoBytes = a.undo;
  EngineContext* ctx;
  if (ErrCode e = CreateEngine(block->Engine(), a.engine, &ctx)) return e;
  *slot = block;
  ErrCode e = PrepareEngine(block, slot);
  if (!e) {
    InitHeader(block, hostData, newlineMode);
    InitFirstInstance(block);
    e = ResetKVContextBlock(block, true);
  }
  if (e) *slot = nullptr;
  return e;
}

ErrCode ResetKVContextBlock(KVContextBlock* block, bool resetFunctions) {
  ErrCode e = InitNameBuffer(block->NameArea(), block->nameBytes);
  const ErrCode undo = InitUndoBuffer(block->UndoArea(), block->undoBytes);
  if (!e) e = undo;
  if (!e) e = AddStandardVariables(block->NameArea());
  if (e) return e;
  const int64_t storeBytes =
      int64_t{block->dataBytes} - int64_t{block->instanceCount} * kInstanceRecordBytes;
  if (storeBytes < 0) return kKvExhaustedRsrc;
  if (ErrCode s = ObjectListInit(block->DataArea(), static_cast<uint32_t>(storeBytes / 8)))
    return s;
  block->savedWord = 0;
  block->instanceCount = 1;
  block->nextInstanceId = 1;
  // Instance 0 starts over: nothing of its file or variables is left.
  if (InstanceRecord* first = FindInstance(block, 0)) first->initialised = 0;
  if (ErrCode l = ResetInstanceLayout(block, 0, true)) return l;
  block->elementWords = 0;
  if (resetFunctions) ResetFunctionTable(block->Engine());
  block->handlerBusy = 0;
  block->cursor = 1;
  return kOk;
}

EngineContext* GetEngineContext(uintptr_t slot) {
  return (*reinterpret_cast<KVContextBlock**>(slot))->Engine();
}

void SetMemoryGrowCallback(KVContextBlock* block, GrowMemoryFn fn, uintptr_t argument) {
  block->growMemory = fn;
  block->growMemoryArg = argument;
}

ErrCode RegisterEngineLibrary(KVContextBlock* block, const NativeFunctionRecord* table) {
  return RegisterLibrary(block->Engine(), table, true);
}

void SetEngineTextEncoding(KVContextBlock* block, char letter) {
  SetTextEncoding(block->Engine(), letter);
}

void SetEngineCallbackPair(KVContextBlock* block, AbortFn fn, uintptr_t argument) {
  block->breakTest = fn;
  block->breakTestArg = argument;
  SetHostCallbackPair(block->Engine(), fn, argument);
}

void SetGraphicsPortFunctions(KVContextBlock* block, const GraphicsPort* table) {
  block->portFunctions = table;
}

void SetGraphicsPortTarget(KVContextBlock* block, void* target) {
  block->portTarget = target;
}

void SetAskInputCallback(KVContextBlock* block, AskInputFn fn, uintptr_t argument) {
  block->askInput = fn;
  block->askInputArg = argument;
}

void SetShowBusyCallback(KVContextBlock* block, ShowBusyFn fn, uintptr_t argument) {
  block->showBusy = fn;
  block->showBusyArg = argument;
}

void SetEngineOutputOptions(KVContextBlock* block, int32_t word, uint8_t flag) {
  SetCompileOptions(block->Engine(), word, flag);
}

void SetEngineDisplayOptions(KVContextBlock* block, char formatLetter, int32_t digits,
                             char imagLetter, uint8_t loose, int32_t word, uint8_t on) {
  SetDisplayOptions(block->Engine(), formatLetter, digits, imagLetter, loose, word, on);
}

void GetEngineDisplayOptions(KVContextBlock* block, char* formatLetter, int32_t* digits,
                             char* imagLetter, uint8_t* loose, int32_t* word, uint8_t* on) {
  GetDisplayOptions(block->Engine(), formatLetter, digits, imagLetter, loose, word, on);
}

void SetEngineTimeCallbacks(KVContextBlock* block, ThreadTimerFn fn, uint8_t* records,
                            uint32_t stride) {
  SetEngineCallbacks(block->Engine(), fn, reinterpret_cast<uintptr_t>(records), stride);
  block->timeFunction = fn;
  block->timeRecords = records + 3ull * stride;
  block->timeRecordStride = stride;
  for (uint32_t k = 0; k < 3; k++) fn(block->timeRecords + k * stride, 0, 1);
}

ErrCode AddEngineReservedName(KVContextBlock* block, const char* name, intptr_t value) {
  return AddReservedName(block->Engine(), name, value);
}

void MakeEngineContextRelative(KVContextBlock* block) {
  MakeContextRelative(block->Engine());
}

void SetCurrentInstanceContext(NativeCallContext* call, uint32_t instanceId, uint8_t flag) {
  call->instanceId = instanceId;
  call->flag = flag;
  call->flags = 0;
  call->lastWord = 0;
}

}  // namespace vke
