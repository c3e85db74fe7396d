// The engine context: the header at the start of the engine's memory area
// through which every engine operation reaches its state, and the accessors
// that turn its position-independent offsets into pointers.
//
// Everything inside the area is addressed by 32-bit byte offsets from the
// context or by unit and word indices, so moving the area is a plain copy.
// The only native pointers kept here point outside the area (the interface
// table, host callbacks, registered tables, host buffers).
#pragma once

#include "engine/base.hpp"
#include "engine/registry/native_record.hpp"

namespace vke {

struct EngineInterface;
struct CompileHooks;
struct BuiltinHooks;

// Where execution continues: an area kind and a byte offset in that area.
enum CodeAreaKind : uint32_t {
  kCodeNone = 0,
  kCodeArea = 1,       // the compiled code of the code area
  kCodeDataStack = 3,  // inline code below the data-stack base
  kCodeHeap = 4,       // code held in a heap block
  kCodeStatic = 5,     // the program's own generated sequences
};

// One interpreter thread's state; the main thread's record lies in the context, the
// others at the start of their heap blocks. Stored in engine images.
struct InterpThreadRecord {
  uint32_t descBase, descCap, descTop;  // descriptor stack (byte offset, words, words)
  int32_t curFrame;
  uint32_t dataBase, dataCap, dataTop;  // data stack (byte offset, units, units)
  uint32_t rng[4];                      // random generator state
  uint32_t cpKind, cpFlag, cpOffset;    // code pointer
  int32_t errCode, errFunc, errPos;     // error location
  char errName[32];
  uint32_t nextThread;  // block index of the next listed thread, 0 = end
  uint32_t threadId;
  uint32_t reserved1;
  double sliceTime, totalTime;  // seconds
  int32_t credit, priorityStep;
  uint32_t hostAreaOffset;  // byte offset of the host timer area
  uint32_t reserved2;
  double wakeTime, lastSleep;  // -1 = not sleeping
};
static_assert(sizeof(InterpThreadRecord) == 160);
static_assert(offsetof(InterpThreadRecord, sliceTime) == 112);
static_assert(offsetof(InterpThreadRecord, wakeTime) == 144);

// Host callbacks.
using ThreadTimerFn = double (*)(void* area, int32_t which, int32_t restart);
using AbortFn = bool (*)(uintptr_t argument);
using ContextResolverFn = EngineContext* (*)(uintptr_t holder);
using BomSkipFn = int32_t (*)(const uint8_t* text, int32_t length);
// Reads one character from text (at most length bytes): returns the bytes
// consumed (0 = nothing can be consumed) and sets *produced when they made a
// character (bytes that make none are skipped).
using CharDecodeFn = int32_t (*)(const uint8_t* text, int32_t length, uint16_t* out,
                                 bool* produced);
// Appends one character at *pos of a buffer of the given size; false when
// there is no room.
using CharEncodeFn = bool (*)(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* pos);
// Exchanges the contents of two runs of whole pages of the area, apart from
// each other, by moving the pages rather than their bytes; false, both
// unchanged, when it cannot.
using PageSwapFn = bool (*)(void* a, void* b, size_t bytes);

struct PendingCallArg {
  uintptr_t extra;
  uintptr_t value;
};

inline constexpr uint32_t kEngineHeaderBytes = 1192;
// Free blocks below the heap's walk start that the context lists.
inline constexpr uint32_t kHeapListedBlocks = 24;
inline constexpr uint32_t kMinEngineBytes = 7336;
inline constexpr int kPendingCallArgs = 16;
inline constexpr uint8_t kMemoryRetryPending = 2;  // a builtin waits for room

// A native's entry kept to be made again (EngineContext::keptReentry): the
// native, its arguments, and where the stacks and frames stood.
struct KeptReentry {
  int32_t opcode;
  int32_t inputs;
  int32_t outputs;
  uint32_t continuation;
  uint32_t descTop, dataTop;
  int32_t frame;
};

struct EngineContext {
  // 1. The interface table (one static table outside the area).
  const EngineInterface* api;

  // 2. Descriptor stack: 32-bit words.
  uint32_t descBase;  // byte offset from the context
  uint32_t descCap;   // words
  uint32_t descTop;   // words in use
  // 3. Innermost call frame, a word index; -1 = none.
  int32_t curFrame;
  // 4. Data stack: 8-byte units.
  uint32_t dataBase;
  uint32_t dataCap;
  uint32_t dataTop;
  // 5. Block heap: 8-byte units.
  uint32_t heapBase;
  uint32_t heapSize;
  // 6. Code area.
  uint32_t codeBase;
  uint32_t codeSize;  // 16-bit units
  uint32_t funcCap;   // function-table entries
  uint32_t funcCount;
  uint32_t codeEnd;       // 16-bit units from the code base
  int32_t nameStart;      // negative byte offset of the lowest name from the area's end
  uint32_t codeSpare[2];  // not used
  // 7. Library registry.
  uint32_t registryOff;  // byte offset of the entry array; 0 = none yet
  uint32_t registryCount;
  int32_t currentNativeId;  // index x 128 + |kind| + 6
  uintptr_t defaultUserData;
  // 8. Reserved-name list.
  uint32_t reserved0;
  uint32_t reservedNamesOff;
  uint32_t reservedNameCount;
  // 9. Thread host callback.
  ThreadTimerFn threadTimer;
  uintptr_t threadTimerArg;
  uint32_t threadHostAreaSize;
  // 10. Context resolver.
  ContextResolverFn resolver;
  uintptr_t resolverArg;
  // 11. Pending call arguments.
  PendingCallArg pendingArgs[kPendingCallArgs];
  uint32_t pendingArgCount;
  uint32_t pendingArgWord;
  // 12. Threads and loop timing.
  InterpThreadRecord mainThread;
  uint32_t currentThread;  // block index, 0 = the main thread
  uint32_t firstThread;    // first listed thread, 0 = none
  uint32_t nextThreadId;
  uint32_t sliceSpare[2];   // not used
  double sliceLength;       // 0.05 s
  uint32_t sliceSpare2;     // not used
  uint32_t yieldRequested;  // nonzero: the running thread yields at the next slice test
  int32_t semTable;         // heap index, -1 = none
  uint32_t semCap;
  uint32_t lastSemaphoreId;  // the id handed out last; 0 marks a free table entry
  // 13. Compiler bytes and the random generator state.
  uint8_t compiling;  // 1 while a compilation writes at the code fill position
  uint8_t compilerSpare[2];
  uint32_t rng[4];
  // 14. Code pointer.
  uint32_t cpKind;
  uint8_t cpFlag;
  uint32_t cpOffset;
  uint8_t cpByte;
  // 15. Error location.
  int32_t errLocCode;
  int32_t errLocFunc;  // -1 none, -2 inline code
  int32_t errLocPos;
  char errLocName[33];
  // 16. Last and pending error: heap indices of message blocks, -1 = none.
  int32_t lastError;
  int32_t pendingError;
  // 17. Compiler switches.
  uint8_t lineMarkers;  // nonzero: compiled code carries line markers and may declare persistent
                        // variables
  uint8_t wideText;     // nonzero: text constants are compiled with 16-bit characters
  int32_t optLevel;
  uint8_t optByte;
  uint8_t showPrivate;
  // 18. Abort callback.
  AbortFn abortFn;
  uintptr_t abortArg;
  // 19. Text codec; all null = plain widening and narrowing.
  BomSkipFn bomSkip;
  CharDecodeFn decodeChar;
  CharEncodeFn encodeChar;
  // 20. Display options.
  int32_t displayDigits;
  uint8_t formatLetter;
  uint8_t imagLetter;
  uint8_t looseSpacing;  // nonzero: an empty line before and after each display
  int32_t displayWord;
  int32_t displayOnOff;  // 0 when on, -1 when off
  // 21. File-descriptor state.
  int32_t nextFd;
  int32_t redirectTarget[2];
  uint8_t redirectCopy[2];
  char* captureBuf;
  uint32_t captureCap;
  uint32_t* captureLen;
  // 22. File extensions.
  const char* sourceExt;
  const char* helpExt;
  // 23. Debugger state.
  int32_t bpTable;
  uint32_t bpCount;
  uint8_t interruptDebug;
  uint8_t abortToggle;
  int32_t stepWords[4];
  int32_t echoMode;  // -1 off, -2 every function, n >= 0 function n
  int32_t echoLevel;
  // Execution-loop state that belongs to the context (owned by the loop).
  uint8_t running;
  uint8_t nestedRun;
  uint8_t halted;
  int32_t profileTable;      // heap index, -1 = none
  uint32_t profileWords[8];  // the profiler's fields (LoopWord)
  // Block heap: no free block starts below this unit, so that the first-fit
  // walk may start there (kept by heap.cpp; 0 after anything else rewrites
  // block headers).
  uint32_t heapFreeFrom;
  // The running native's call-backs (owned by InvokeNative): the results
  // (+ 1) of a function value that gave them at once, for the native to be
  // called back with; and the frame word that names the native to call
  // back after a function it started returns.
  int32_t nativeResults;
  uint32_t nativeContinuation;
  // Set by a host that grows the area: an instruction that fails for lack
  // of room ends the run instead, to run again when the run is resumed, if
  // it left the stack at the level it started from (instructionLevel).
  uint8_t memoryRetry;  // 0 off, 1 on, kMemoryRetryPending
  uint32_t instructionLevel;
  // The compiler's entry points set by the host (engine/compile_hooks.hpp);
  // null until then.
  const CompileHooks* compileHooks;
  // The builtins' dispatch rows set by the host (engine/builtin_hooks.hpp);
  // null until then.
  const BuiltinHooks* builtinHooks;
  // Block heap (kept by heap.cpp): every free block that starts below
  // heapListedTo is among the first heapListedCount units of heapListed, in
  // address order, so that a walk visits those and goes on from there
  // instead of passing every block in use. All 0 after anything else
  // rewrites block headers.
  uint32_t heapListedTo;
  uint32_t heapListedCount;
  uint32_t heapListed[kHeapListedBlocks];
  // The descriptor level where the running native's entries begin (set by
  // InvokeNative): DropStackEntries takes nothing below it. 0 outside
  // natives.
  uint32_t nativeFloor;
  // Set by a host whose area is private anonymous memory
  // (engine/heap_pages.hpp): large values then move between the data stack
  // and heap blocks by exchanging pages. Null: they are copied.
  PageSwapFn pageSwap;
  // What a builtin that ran out of room part-way had done outside the
  // engine, kept for its run after growth, and the stack levels it left
  // (engine/memory_retry.hpp); 0 when nothing is kept.
  int64_t rerunProgress;
  uint32_t rerunDescTop, rerunDataTop;
  // The native the loop calls by its instruction, or after a function that
  // native called has returned (its opcode; 0 for any other call), and such
  // a native's entry with the results of a call it made that failed for
  // lack of room with the stacks as it found them, kept to be made again
  // once the area has grown (engine/memory_retry.hpp; opcode 0: none).
  int32_t reentryOpcode;
  KeptReentry keptReentry;
  // The file a host read a text from (a script it runs), set by the host
  // for the places of compile errors: code compiled from within those
  // bytes is placed in that file. Null: none.
  const char* sourceFileName;
  const char* sourceFileText;
  int32_t sourceFileLength;
  // The file's line where the text starts (the console's line where its
  // command starts); 0 counts as 1.
  int32_t sourceFileFirstLine;
  // Set: errors of code run from that file are placed there too.
  uint8_t sourceFilePlacesRuns;
  // Set by a host that reports itself the failure that ends a run of
  // thread 0 (a handler's, in its error box and log): the loop does not
  // print that failure.
  uint8_t hostReportsFailures;
  // The area's size when the engine was created: spread anew at its
  // ceiling, the area leaves each part at least its share of that size
  // (SpreadAreaAnew).
  uint32_t createdBytes;
  // Where the engine stood when the area was last spread anew (a digest of
  // its code pointer, frame and stack tops), and the parts given room
  // there, which keep it while the engine stands there (SpreadAreaAnew).
  uint8_t spreadParts;
  uint64_t spreadPoint;
  // Set by a compilation that stopped at a limit of the code's form
  // (CodeFormLimitReached): its code overflow is no want of room. Hosts
  // clear it before a compilation they would grow the area for.
  uint8_t codeFormLimit;

  // Pointer accessors; valid until memory moves.
  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this); }
  uint32_t* DescWords() { return reinterpret_cast<uint32_t*>(Bytes() + descBase); }
  uint8_t* DataBytes() { return Bytes() + dataBase; }
  double* DataUnits() { return reinterpret_cast<double*>(Bytes() + dataBase); }
  uint8_t* HeapBytes() { return Bytes() + heapBase; }
  uint8_t* CodeBytes() { return Bytes() + codeBase; }
  uint8_t* CodeEndBytes() { return Bytes() + codeBase + codeSize * 2; }
  LibraryRegistryEntry* Registry() {
    return registryOff ? reinterpret_cast<LibraryRegistryEntry*>(Bytes() + registryOff) : nullptr;
  }
  ReservedNamePair* ReservedNames() {
    return reservedNamesOff ? reinterpret_cast<ReservedNamePair*>(Bytes() + reservedNamesOff)
                            : nullptr;
  }
};
static_assert(sizeof(EngineContext) <= kEngineHeaderBytes);

}  // namespace vke
