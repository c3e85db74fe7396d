// The library registry: registered native tables in lookup order, carved off
// the bottom of the data stack's region together with the reserved names.
#include "engine/registry/registry.hpp"

#include <cstring>
#include <vector>

#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/memory_retry.hpp"
#include "engine/native_nesting.hpp"
#include "engine/registry/hook_records.hpp"
#include "engine/room_requests.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr uint32_t kEntryBytes = sizeof(LibraryRegistryEntry);
constexpr uint32_t kPairBytes = sizeof(ReservedNamePair);
constexpr uint32_t kGapBytes = 8;             // behind the entries and behind the list
constexpr uint32_t kMinDataStackBytes = 800;  // never carve the data stack below this

uint32_t CountRecords(const NativeFunctionRecord* table) {
  uint32_t n = 0;
  while (!table[n].IsEnd()) n++;
  return n;
}

// Byte offset of the reserved-name list for a registry of count entries.
uint32_t ReservedListOffset(uint32_t registry, uint32_t count) {
  return registry + kEntryBytes * count + kGapBytes;
}

}  // namespace

NativeFunctionRecord MakeRecord(const char* name, const void* function, int minIn, int maxIn,
                                int minOut, int maxOut, uintptr_t option, int32_t kind) {
  NativeFunctionRecord r{};
  r.function = const_cast<void*>(function);
  r.option = option;
  r.kind = kind;
  CopyCStringBounded(r.name, sizeof r.name - 1, name, -1);
  r.minIn = static_cast<uint8_t>(minIn);
  r.maxIn = static_cast<uint8_t>(maxIn);
  r.minOut = static_cast<uint8_t>(minOut);
  r.maxOut = static_cast<uint8_t>(maxOut);
  return r;
}

// Moves the data stack's base to newBase (a byte offset above the old one),
// copying its contents up and shrinking its capacity; false when the data
// stack cannot give up the room.
static bool CarveDataStack(EngineContext* ctx, uint32_t newBase, ErrCode* err) {
  uint32_t delta = newBase - ctx->dataBase;
  if (uint64_t{ctx->dataCap} * 8 < uint64_t{kMinDataStackBytes} + delta) {
    *err = kErrInit;
    return false;
  }
  uint32_t newCap = ctx->dataCap - delta / 8;
  if (newCap <= ctx->dataTop + 2) {
    *err = kErrDataOverflow;
    return false;
  }
  std::memmove(ctx->Bytes() + newBase, ctx->DataBytes(), 8ull * ctx->dataTop);
  ctx->dataBase = newBase;
  ctx->dataCap = newCap;
  if (ctx->currentThread == 0) {
    ctx->mainThread.dataBase = newBase;
    ctx->mainThread.dataCap = newCap;
  }
  return true;
}

ErrCode RegisterLibrary(EngineContext* ctx, const NativeFunctionRecord* table, bool atFront) {
  if (!table || table[0].IsEnd()) return kOk;
  LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++)
    if (reg[i].table == table) return kErrInit;
  uint32_t count = CountRecords(table);
  for (uint32_t i = 0; i < count; i++)
    if (table[i].kind > 127 || table[i].kind < -127) return kErrInit;
  if (ctx->dataCap <= ctx->dataTop + 2) return kErrDataOverflow;

  uint32_t registry = ctx->registryOff ? ctx->registryOff : ctx->dataBase;
  uint32_t n = ctx->registryCount + 1;
  uint32_t r = ctx->reservedNameCount;
  uint32_t listOff = ReservedListOffset(registry, n);
  uint32_t newBase = listOff + kPairBytes * r + kGapBytes;
  ErrCode err;
  if (!CarveDataStack(ctx, newBase, &err)) return err;
  // The reserved names move up behind the grown array.
  if (r) std::memmove(ctx->Bytes() + listOff, ctx->Bytes() + ctx->reservedNamesOff, kPairBytes * r);
  if (r) ctx->reservedNamesOff = listOff;
  ctx->registryOff = registry;
  reg = ctx->Registry();
  LibraryRegistryEntry entry{table, count, 0, 0, {0, 0}};
  if (atFront) {
    std::memmove(reg + 1, reg, kEntryBytes * (n - 1));
    reg[0] = entry;
  } else {
    reg[n - 1] = entry;
  }
  ctx->registryCount = n;
  NoteRegistryChanged();
  return kOk;
}

void MarkLibraryForeign(EngineContext* ctx, const NativeFunctionRecord* table) {
  LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++)
    if (reg[i].table == table) reg[i].foreign = 1;
}

namespace {

// A copy of a foreign native's inputs, taken where the host grows the area
// for a failure for lack of room. Our own natives fail with their operands
// in place; an extension's may have dropped them before the push that ran
// short. When the call fails for lack of room having done nothing that
// cannot be taken back (no text written, nothing called, its operands not
// marked changed), what it left goes and its inputs stand again as it was
// called, so that it runs again once the area has grown.
class ForeignInputsCopy {
 public:
  ForeignInputsCopy(EngineContext* ctx, int32_t nativeId, int32_t inputs) : ctx_(ctx) {
    const uint32_t entry = static_cast<uint32_t>(nativeId) / 128;
    if (inputs < 0 || !HostGrowsForRoom(ctx) || nativeId < 0 || entry >= ctx->registryCount ||
        !ctx->Registry()[entry].foreign || 3ull * inputs > ctx->descTop)
      return;
    uint64_t units = 0;
    for (int32_t d = 0; d < inputs; d++) units += DescAt(ctx, d)->size;
    if (units > ctx->dataTop) return;
    descTop_ = ctx->descTop;
    dataTop_ = ctx->dataTop;
    level_ = ctx->instructionLevel;
    frame_ = ctx->curFrame;
    acts_ = IrrevocableActs();
    const uint32_t* w = ctx->DescWords() + descTop_ - 3 * inputs;
    words_.assign(w, w + 3 * inputs);
    const uint8_t* data = ctx->DataBytes() + 8 * (dataTop_ - units);
    data_.assign(data, data + 8 * units);
    kept_ = true;
  }

  // After the call failed with e: puts the inputs back when it may run again.
  void PutBackAfter(ErrCode e) {
    EngineContext* ctx = ctx_;
    if (!kept_ || !IsEngineMemoryCode(e) || ctx->instructionLevel != level_ ||
        IrrevocableActs() != acts_ || ctx->currentThread != 0 || ctx->curFrame != frame_)
      return;
    const uint32_t base = descTop_ - static_cast<uint32_t>(words_.size());
    if (ctx->descTop < base) return;
    DropAboveLevel(ctx, base);
    const uint32_t units = static_cast<uint32_t>(data_.size() / 8);
    if (ctx->descTop != base || ctx->dataTop != dataTop_ - units) return;
    if (!words_.empty()) std::memcpy(ctx->DescWords() + base, words_.data(), 4 * words_.size());
    if (!data_.empty())
      std::memcpy(ctx->DataBytes() + 8ull * ctx->dataTop, data_.data(), data_.size());
    ctx->descTop = descTop_;
    ctx->dataTop = dataTop_;
  }

 private:
  EngineContext* ctx_;
  bool kept_ = false;
  uint32_t descTop_ = 0, dataTop_ = 0, level_ = 0;
  int32_t frame_ = 0;
  uint64_t acts_ = 0;
  std::vector<uint32_t> words_;
  std::vector<uint8_t> data_;
};

}  // namespace

void UnregisterFrontLibraries(EngineContext* ctx, uint32_t count) {
  if (count == 0 || count > ctx->registryCount) return;
  const uint32_t registry = ctx->registryOff;
  const uint32_t n = ctx->registryCount - count;
  const uint32_t r = ctx->reservedNameCount;
  LibraryRegistryEntry* reg = ctx->Registry();
  std::memmove(reg, reg + count, kEntryBytes * n);
  const uint32_t listOff = ReservedListOffset(registry, n);
  if (r) {
    std::memmove(ctx->Bytes() + listOff, ctx->Bytes() + ctx->reservedNamesOff, kPairBytes * r);
    ctx->reservedNamesOff = listOff;
  }
  ctx->registryCount = n;
  NoteRegistryChanged();
  // The data stack takes its room back: it moves down to the list's end.
  const uint32_t newBase = listOff + kPairBytes * r + kGapBytes;
  std::memmove(ctx->Bytes() + newBase, ctx->DataBytes(), 8ull * ctx->dataTop);
  ctx->dataCap += (ctx->dataBase - newBase) / 8;
  ctx->dataBase = newBase;
  if (ctx->currentThread == 0) {
    ctx->mainThread.dataBase = newBase;
    ctx->mainThread.dataCap = ctx->dataCap;
  }
}

ErrCode EnableLibrary(EngineContext* ctx, const char* name, uint8_t flag) {
  LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    for (uint32_t k = 0; k < reg[i].count; k++) {
      const NativeFunctionRecord& rec = reg[i].table[k];
      if (!rec.IsHeader() || !StringsEqual(rec.name + 1, -1, name, -1, false)) continue;
      if (rec.name[0] == '@') return kErrSecViolation;
      reg[i].flag = flag;
    }
  }
  return kErrSrcNotFound;
}

const NativeFunctionRecord* GetNativeRecordByIndex(EngineContext* ctx, int32_t index) {
  if (index < 0) return nullptr;
  LibraryRegistryEntry* reg = ctx->Registry();
  uint32_t at = static_cast<uint32_t>(index);
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    if (at < reg[i].count) return &reg[i].table[at];
    at -= reg[i].count;
  }
  return nullptr;
}

void SetNativeOptionByFn(NativeFunctionRecord* table, const void* function, uintptr_t option) {
  for (; !table->IsEnd(); table++)
    if (table->function == function) table->option = option;
}

ErrCode InvokeNative(EngineContext* ctx, NativeFn function, uintptr_t data, int32_t nativeId,
                     uint32_t continuation, int32_t inputs, int32_t outputs) {
  const int32_t frame = ctx->curFrame;
  const uint32_t thread = ctx->currentThread;
  // The loop's own call of this native, whose entries after its calls may
  // be made again once the area has grown; any native it calls is not.
  int32_t opcode = ctx->reentryOpcode;
  ctx->reentryOpcode = 0;
  // Reached through the loop's call of a function value: the native named
  // by its continuation, which the loop calls again as it would after a
  // function it called, for outputs or as a statement.
  if (opcode == kReentryThroughValue)
    opcode = !IsInstructionContinuation(continuation)
                 ? ContinuationNative(continuation) + kFirstNativeOpcode
                 : 0;
  // Where the native's entries begin: under its inputs; called back once a
  // compiled function has returned, the frame's continuation word told how
  // far below that function's results (-1: not known).
  int64_t base = -1;
  if (inputs >= 0) {
    base = int64_t{ctx->descTop} - 3ll * inputs;
  } else if (IsInstructionContinuation(continuation) &&
             ContinuationEntriesBelow(continuation) >= 0) {
    const int64_t returned = int64_t{ctx->descTop} - 3ll * (-int64_t{inputs} - 1);
    base = returned - ContinuationEntriesBelow(continuation);
  }
  const NativeNesting nesting;
  if (nesting.TooDeep()) return NestingLimitReached(ctx);
  // A native called while another one runs (its function value) keeps the
  // other's call-back state as it was; while it runs, no entry below its
  // own may be dropped.
  const int32_t outerResults = ctx->nativeResults;
  const uint32_t outerContinuation = ctx->nativeContinuation;
  const uint32_t outerFloor = ctx->nativeFloor;
  ctx->nativeContinuation = continuation;
  if (base >= 0) ctx->nativeFloor = static_cast<uint32_t>(base);
  ErrCode e;
  for (int32_t a = inputs;;) {
    ctx->nativeResults = 0;
    ctx->currentNativeId = nativeId;
    const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
    {
      const PlannedStackRoomScope plan;
      ForeignInputsCopy inputsCopy(ctx, nativeId, a);
      e = function(ctx, a, outputs, data);
      if (e) inputsCopy.PutBackAfter(e);
    }
    if (e && a < 0)
      KeepFailedReentry(ctx, opcode, -a - 1, outputs, continuation, base, descTop, dataTop, frame,
                        e);
    if (e || ctx->nativeResults == 0) break;
    a = -ctx->nativeResults;
    // Called back, the native has used its inputs and what it called has
    // run: failing, it cannot run again.
    MarkOperandsChanged(ctx);
  }
  ctx->nativeResults = outerResults;
  ctx->nativeContinuation = outerContinuation;
  ctx->nativeFloor = outerFloor;
  if (e) return e;
  if (ctx->curFrame != frame) {
    // A compiled function was started for a call-back: its frame keeps
    // where the native's entries begin, for the count at the native's end.
    if (ctx->curFrame > frame && base >= 0 && ctx->curFrame >= base) {
      uint32_t& word = FrameWords(ctx, ctx->curFrame)[kFwContinue];
      if (IsInstructionContinuation(word))
        word = InstructionContinuation(static_cast<uint32_t>(ctx->curFrame - base));
    }
    return kOk;
  }
  // A native that switched threads (one that ended its own) left stacks
  // of another thread; a call for no output keeps what it left.
  if (base < 0 || ctx->currentThread != thread || outputs == 0) return kOk;
  const int64_t pushed = (int64_t{ctx->descTop} - base) / 3;
  if (pushed < outputs) {
    if (pushed > 0) Drop(ctx, static_cast<int32_t>(pushed));
    return kErrTooManyArgout;
  }
  // A statement finds one entry, shown or stored as ans: a native that
  // gave nothing leaves the no-value marker, as a compiled function does,
  // in the room of its inputs.
  if (outputs < 0 && pushed == 0) {
    const RoomRequestsPaused inTheInputsRoom;
    return PushNoValue(ctx);
  }
  // The outputs asked for (one for a statement) stay on top; what the
  // native left under them, inputs or further outputs, goes, so that the
  // caller's entries below are as the call found them.
  const int64_t kept = outputs < 0 ? 1 : outputs;
  if (pushed > kept)
    return DropStackEntries(ctx, static_cast<int32_t>(kept), static_cast<int32_t>(pushed - kept));
  return kOk;
}

int32_t GlobalIndexOfRecord(EngineContext* ctx, const NativeFunctionRecord* record) {
  const LibraryRegistryEntry* reg = ctx->Registry();
  int32_t global = 0;
  for (uint32_t i = 0; i < ctx->registryCount; global += static_cast<int32_t>(reg[i].count), i++)
    if (record >= reg[i].table && record < reg[i].table + reg[i].count)
      return global + static_cast<int32_t>(record - reg[i].table);
  return -1;
}

ErrCode CallNativeRecord(EngineContext* ctx, const NativeFunctionRecord* record, int32_t a,
                         int32_t b) {
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    if (record < reg[i].table || record >= reg[i].table + reg[i].count) continue;
    const int32_t kind = record->kind < 0 ? -record->kind : record->kind;
    // Reached through a function value: the native is named for its
    // call-backs, since no call instruction of its own lies behind.
    return InvokeNative(ctx, reinterpret_cast<NativeFn>(record->function),
                        RecordUserData(ctx, record), static_cast<int32_t>(i) * 128 + kind + 6,
                        NativeContinuation(GlobalIndexOfRecord(ctx, record), b), a, b);
  }
  return kErrIllegal;
}

ErrCode CallNativeFunction(EngineContext* ctx, NativeFn function, int32_t a, int32_t b) {
  const LibraryRegistryEntry* reg = ctx->Registry();
  const void* target = reinterpret_cast<const void*>(function);
  for (uint32_t i = 0; i < ctx->registryCount; i++)
    for (uint32_t k = 0; k < reg[i].count; k++)
      if (reg[i].table[k].function == target) return CallNativeRecord(ctx, &reg[i].table[k], a, b);
  return InvokeNative(ctx, function, ctx->defaultUserData, ctx->currentNativeId,
                      kContinueAtInstruction, a, b);
}

const NativeFunctionRecord* FindLibraryRecord(EngineContext* ctx, const char* name,
                                              const NativeFunctionRecord* after, int32_t kindFilter,
                                              int32_t* globalIndex) {
  if (!name) return nullptr;
  LibraryRegistryEntry* reg = ctx->Registry();
  int32_t length = CStringLength(name);
  bool skipping = after != nullptr;
  int32_t index = 0;
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    for (uint32_t k = 0; k < reg[i].count; k++, index++) {
      const NativeFunctionRecord* rec = &reg[i].table[k];
      if (skipping) {
        if (rec == after) skipping = false;
        continue;
      }
      // Most records differ in their first two bytes, which are tested
      // before the name is measured. A record's name is read within its
      // 32 bytes, terminated or not.
      if (rec->name[0] != name[0] || (length > 0 && rec->name[1] != name[1])) continue;
      int32_t recLength = static_cast<int32_t>(strnlen(rec->name, sizeof rec->name));
      if (!StringsEqual(rec->name, recLength, name, length, false)) continue;
      if (kindFilter != 0) {
        int32_t kind = rec->kind < 0 ? -rec->kind : rec->kind;
        int32_t id = static_cast<int32_t>(i) * 128 + kind + 6;
        if (id != kindFilter && id != -kindFilter) continue;
      }
      if (globalIndex) *globalIndex = index;
      return rec;
    }
  }
  return nullptr;
}

const NativeFunctionRecord* FindTypeNative(EngineContext* ctx, int32_t kind, const char* name,
                                           int32_t inputs, int32_t outputs) {
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    for (uint32_t k = 0; k < reg[i].count; k++) {
      const NativeFunctionRecord& r = reg[i].table[k];
      const int32_t id = static_cast<int32_t>(i) * 128 + (r.kind < 0 ? -r.kind : r.kind) + 6;
      if (id != kind || !r.function || r.IsHeader() || r.IsHook() ||
          std::strncmp(r.name, name, sizeof r.name) != 0)
        continue;
      const bool anyOut = (r.maxOut & NativeFunctionRecord::kCountUnbounded) != 0;
      const bool out =
          outputs < 0 ? r.minOut < 2 : outputs >= r.minOut && (anyOut || outputs <= r.maxOut);
      if (r.AdmitsInputs(inputs) && out) return &r;
    }
  }
  return nullptr;
}

const char* GetRecordLibraryName(EngineContext* ctx, const NativeFunctionRecord* record) {
  LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    const NativeFunctionRecord* t = reg[i].table;
    if (record < t || record >= t + reg[i].count) continue;
    for (const NativeFunctionRecord* r = record; r >= t; r--)
      if (r->IsHeader()) return r->name + 1;
    return nullptr;
  }
  return nullptr;
}

ErrCode AddReservedName(EngineContext* ctx, const char* name, intptr_t value) {
  ErrCode e = UnwindCallFrames(ctx, 0);
  if (e) return e;
  if (value == 0) return kOk;
  if (FindReservedName(ctx, name)) return kErrInit;
  uint32_t r = ctx->reservedNameCount;
  uint32_t listOff = ctx->registryOff ? ReservedListOffset(ctx->registryOff, ctx->registryCount)
                                      : (r ? ctx->reservedNamesOff : ctx->dataBase);
  uint32_t newBase = listOff + kPairBytes * (r + 1) + kGapBytes;
  if (!CarveDataStack(ctx, newBase, &e)) return kErrInit;
  ctx->reservedNamesOff = listOff;
  ctx->ReservedNames()[r] = ReservedNamePair{name, value};
  ctx->reservedNameCount = r + 1;
  return kOk;
}

intptr_t FindReservedName(EngineContext* ctx, const char* name) {
  ReservedNamePair* list = ctx->ReservedNames();
  for (uint32_t i = 0; i < ctx->reservedNameCount; i++)
    if (StringsEqual(list[i].name, -1, name, -1, false)) return list[i].value;
  return 0;
}

ErrCode CallHookByName(EngineContext* ctx, const char* name, int32_t kind, uintptr_t argument) {
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = FindLibraryRecord(ctx, name, rec, 0, nullptr))) {
    if (rec->kind != kind || !rec->function) continue;
    auto fn = reinterpret_cast<SimpleHookFn>(rec->function);
    return fn(ctx, argument, RecordUserData(ctx, rec));
  }
  return kErrUnknownFun;
}

}  // namespace vke
