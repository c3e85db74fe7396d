// The application's memory block: one header, then the engine, the KV data
// buffer (the figure store from its start, the instance records at its top),
// the compiled element list, the name buffer and the undo buffer. The host
// allocates it once and keeps its address in one word, the block slot; every
// operation that may grow memory takes the slot, because growing moves the
// block, and callers take the block again from the slot afterwards.
//
// Nothing inside the block holds an address of the block: areas are found
// from the sizes in the header, so moving the block is a copy. The header's
// function and host pointers point outside the block.
#pragma once

#include "app/errors.hpp"
#include "engine/context.hpp"
#include "graphics/event_record.hpp"
#include "graphics/figure_draw.hpp"
#include "graphics/object_store.hpp"

namespace vke {

struct GraphicsPort;
struct InteractionState;
struct KVContextBlock;

// The user data of the application's natives and hooks whose option word is
// 0. It lies in the block header, which gives the block (Block()).
struct NativeCallContext {
  uint32_t spare;       // the block is found from the record's place
  uint32_t instanceId;  // instance of the running handler, 0 none
  uint8_t flag;         // 1 while an instance-wide step runs
  uint32_t flags;       // kCallFlag* bits, kept across handler runs
  uint32_t lastWord;

  KVContextBlock* Block();
};

// Bits of NativeCallContext::flags.
inline constexpr uint32_t kCallFlagDrew = 1;         // drawing commands or settings changed
inline constexpr uint32_t kCallFlagRedraw = 2;       // "redraw" was called
inline constexpr uint32_t kCallFlagQuietCancel = 4;  // cancel(false): kStatusNoPrint succeeds

// Host callbacks.
// Grows the block: may move it (updating *block) and raises *size to the
// new size; true when it grew.
using GrowMemoryFn = bool (*)(KVContextBlock** block, uint32_t* size, uintptr_t argument);
// Shows a prompt; with an edit buffer the user edits its text. True when
// accepted.
using AskInputFn = bool (*)(const char* title, int32_t titleLength, const char* prompt,
                            int32_t promptLength, char* edit, int32_t capacity, int32_t* length,
                            int32_t flag, uintptr_t argument);
// The busy indicator: on or off, with the seconds the handler has run.
using ShowBusyFn = void (*)(int32_t on, double seconds, uintptr_t argument);

struct StylePair {
  uint32_t value;
  uint32_t colour;
};

inline constexpr uint32_t kKVHeaderBytes = 488;
inline constexpr uint32_t kKVMinBytes = 8192;
inline constexpr uint32_t kInstanceRecordBytes = 22784;
inline constexpr StylePair kDefaultStylePair{256, 0xCCCCCC};

struct KVContextBlock {
  uint32_t engineBytes;
  uint32_t dataBytes;
  uint32_t elementBytes;  // capacity of the element list
  uint32_t nameBytes;
  uint32_t undoBytes;
  uint32_t elementWords;  // words of the element list in use
  uint8_t handlerBusy;
  uint32_t hostData;     // kept as given
  uint32_t newlineMode;  // 0 CR, 1 LF, 2 CR LF
  int32_t instanceCount;
  uint32_t nextInstanceId;
  uint32_t savedWord;  // kept in images; 0 after a reset
  // The figure store's object being collected by a draw handler, and the
  // object (subplot) the running handler acts on.
  ObjectWriterState capture;
  NativeCallContext nativeCall;
  ErrCode handlerFailure;  // the first failure of a handler since the host took it
  AbortFn breakTest;
  uintptr_t breakTestArg;
  const GraphicsPort* portFunctions;
  void* portTarget;
  uint32_t portSpare[2];  // not used
  AskInputFn askInput;
  uintptr_t askInputArg;
  ShowBusyFn showBusy;
  uintptr_t showBusyArg;
  double nextBusyTime;
  uint32_t busySpare[2];  // not used
  GrowMemoryFn growMemory;
  uintptr_t growMemoryArg;
  ThreadTimerFn timeFunction;
  uint8_t* timeRecords;  // the application's three time records (host memory)
  uint32_t timeRecordStride;
  uint8_t defaultInstanceFlag;
  uint32_t figureMode;
  StylePair styleA;
  StylePair styleB;
  uint8_t imageFlag;
  uint32_t eventStamp;  // the current event's word
  int32_t inputObjectId;
  uint32_t handlerKind;
  EventState event;
  uint32_t cursor;
  uint32_t handledEventStamp;           // eventStamp of the last handler run with an event
  uint8_t savedByte;                    // kept in images
  uint32_t serial;                      // names the block to the records kept outside it
  uint32_t tailSpare;                   // not used
  uint8_t interactiveHighlight;         // labels of subplots with mouse handlers stand out
  SubplotDragState subplotDrag;         // a drag of subplots by the mouse
  int32_t eventSubplot;                 // subplot of the last handler run with event values
  uint32_t extensionTables;             // tables the loaded image's extensions registered
  InteractionState* interaction;        // the host's mouse gesture record, or null
  const char* extensionNames;           // the extension list an image saves ("a;b"), host text
  uint8_t spare[kKVHeaderBytes - 488];  // room for further header fields

  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this); }
  EngineContext* Engine() { return reinterpret_cast<EngineContext*>(Bytes() + kKVHeaderBytes); }
  uint8_t* DataArea() { return Bytes() + kKVHeaderBytes + engineBytes; }
  uint8_t* ElementArea() { return DataArea() + dataBytes; }
  uint8_t* NameArea() { return ElementArea() + elementBytes; }
  uint8_t* UndoArea() { return NameArea() + nameBytes; }
  // The sum of the five area sizes.
  uint64_t AreaBytes() const {
    return uint64_t{engineBytes} + dataBytes + elementBytes + nameBytes + undoBytes;
  }
};
static_assert(sizeof(KVContextBlock) == kKVHeaderBytes);

inline KVContextBlock* NativeCallContext::Block() {
  return reinterpret_cast<KVContextBlock*>(reinterpret_cast<uint8_t*>(this) -
                                           offsetof(KVContextBlock, nativeCall));
}

// ---- Creation and reset ----

// Lays the block out in memory (8-byte aligned) and stores its address in
// the slot, which holds null on failure: kKvNotEnoughMemForKV below 8,192 bytes, kErrInit for
// memory that is missing or not aligned, the engine's code when the engine
// cannot be created, or the failure of the reset.
ErrCode InitKVContextBlock(KVContextBlock** slot, void* memory, uint32_t size, uint32_t hostData,
                           uint32_t newlineMode);
// Empties the name buffer (but for the standard variables), the undo buffer
// and the element list and leaves instance 0 alone; with resetFunctions the
// engine's function table is emptied too.
ErrCode ResetKVContextBlock(KVContextBlock* block, bool resetFunctions);
// Instance count 1 and the topmost instance record filled as a new
// instance's, with the default style pairs.
void InitFirstInstance(KVContextBlock* block);
// The engine context of the block in the slot; the engine's way back to its
// context after the block moved.
EngineContext* GetEngineContext(uintptr_t slot);

// ---- Area sizes ----

struct AreaSizes {
  uint32_t engine, data, element, name, undo;
};
// Usable bytes of a block: (size - 496) rounded down to 2,048.
uint32_t UsableBlockBytes(uint32_t size);
// The usable bytes shared 3/8, 3/8, 1/32, 1/32 and the rest.
AreaSizes ProportionalAreas(uint32_t usable);

// ---- Growth ----

// Lays the block out anew for newSize bytes after the host moved it there
// (the areas still lie at their old places). Engine codes give the gain to
// the engine, kKvNotEnoughMemForKVFile to the element list, kKvVarTooLargeForUndo to the undo
// buffer, kKvPlotOverflow to the KV data buffer, any other code shares all anew; false, with
// nothing changed, when the new size is not above the old one or an area would shrink.
bool ResizeEngineMemory(KVContextBlock* block, uint32_t newSize, ErrCode code);
// Asks the host to grow the block after an operation failed with code, moves
// the areas and reports "KV memory expanded to ..." on descriptor 2. When the
// host refuses after an engine code, the engine's area is spread anew
// (SpreadAreaAnew), quietly: true when the part of the code got room. False
// without a growth callback or when the host or the layout refuses.
bool ExpandMemory(KVContextBlock** slot, ErrCode code);

// Runs op(block) again while it fails with a memory code and the block can
// grow.
template <typename Op>
ErrCode RunWithGrowth(KVContextBlock** slot, Op op) {
  for (;;) {
    ErrCode e = op(*slot);
    if (!IsMemoryCode(e) || !ExpandMemory(slot, e)) return e;
  }
}

// ---- Setters ----

void SetMemoryGrowCallback(KVContextBlock* block, GrowMemoryFn fn, uintptr_t argument);
ErrCode RegisterEngineLibrary(KVContextBlock* block, const NativeFunctionRecord* table);
void SetEngineTextEncoding(KVContextBlock* block, char letter);
void SetEngineCallbackPair(KVContextBlock* block, AbortFn fn, uintptr_t argument);
void SetGraphicsPortFunctions(KVContextBlock* block, const GraphicsPort* table);
void SetGraphicsPortTarget(KVContextBlock* block, void* target);
void SetAskInputCallback(KVContextBlock* block, AskInputFn fn, uintptr_t argument);
void SetShowBusyCallback(KVContextBlock* block, ShowBusyFn fn, uintptr_t argument);
void SetEngineOutputOptions(KVContextBlock* block, int32_t word, uint8_t flag);
void SetEngineDisplayOptions(KVContextBlock* block, char formatLetter, int32_t digits,
                             char imagLetter, uint8_t loose, int32_t word, uint8_t on);
void GetEngineDisplayOptions(KVContextBlock* block, char* formatLetter, int32_t* digits,
                             char* imagLetter, uint8_t* loose, int32_t* word, uint8_t* on);
// Hands the clock to the engine and keeps the three time records behind the
// engine's three for the application, starting each of them.
void SetEngineTimeCallbacks(KVContextBlock* block, ThreadTimerFn fn, uint8_t* records,
                            uint32_t stride);
ErrCode AddEngineReservedName(KVContextBlock* block, const char* name, intptr_t value);
void MakeEngineContextRelative(KVContextBlock* block);
// Names the instance of the running handler and clears the flags word and
// the last word.
void SetCurrentInstanceContext(NativeCallContext* call, uint32_t instanceId, uint8_t flag);

}  // namespace vke
