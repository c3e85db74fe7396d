// The run-time native table: the runtime's own natives and hooks (the
// standard descriptors' output, the search path, the application object's
// "drawnow" and "quit", files, file dialogs, time, the debugger, threads,
// "!lapack", "launchurl" and serial ports), one process-wide table in the
// order of app/runtime_natives.def. CreateRuntimeContext registers it in
// front of the static tables, so the runtime, the packing tool and the
// runner number natives alike.
#pragma once

#include <cstdint>

#include "engine/registry/native_record.hpp"

namespace vke {

// What "drawnow" and "quit" act on: the runtime's window. Without one (the
// packing tool, the runner) drawnow does nothing and quit ends the run
// wherever it stands (kStatusQuit, which no catch takes).
class RuntimeWindow {
 public:
  virtual ~RuntimeWindow() = default;
  virtual void DrawNow() = 0;
  virtual void Quit() = 0;
};

// Where the text written to descriptors 1 to 3 goes: a function of the host
// or, with none, nowhere. Lines end with CR LF, as the table's first record
// asks.
using StdOutputSink = void (*)(int32_t fd, const char* bytes, int32_t length, uintptr_t user);

// The table, ended by an empty record; it lives for the whole process.
NativeFunctionRecord* RuntimeNativeTable();
// Its records, without the end record.
inline constexpr int32_t kRuntimeRecordCount = 80;

// Binds "drawnow" and "quit" to the window (null: none).
void BindRuntimeWindow(RuntimeWindow* window);
// Sends the standard descriptors' text to the sink (null: discards it).
void SetStdOutputSink(StdOutputSink sink, uintptr_t user);

// Holding the standard descriptors' text back while a handler's attempt
// runs, so that an attempt made again from its start after a memory failure
// leaves nothing of the failed one behind: neither its output nor its
// error. Holds nest; the text stays in order, and the outermost release
// sends it to the sink. A position counts the pieces written since the
// process started.
// Starts a hold.
void HoldStdOutput();
// Ends a hold; the last one sends what is held.
void ReleaseStdOutput();
// The position of the next piece.
uint64_t StdOutputPosition();
// Whether a piece from the position on has been sent to the sink (it can no
// longer be taken back).
bool StdOutputSentSince(uint64_t position);
// Forgets the pieces from `from` to `to` that thread 0 wrote or the threads
// whose ids were given since nextThreadId read `threads` (with
// `nextThread` its value now); pieces already sent stay sent.
void DropStdOutput(uint64_t from, uint64_t to, uint32_t threads, uint32_t nextThread);
// Sends what is held now, as before a dialog that shows what came before it.
void FlushStdOutput();
// While on, what is written is kept by DropStdOutput: the reports of the
// block's growth, which stays when the attempt that asked for it goes.
void KeepStdOutput(bool on);

// The table at the front of the engine's registry (kErrInit when it is there
// already).
ErrCode RegisterRuntimeNativeTable(EngineContext* ctx);

// The hooks of the standard descriptors: output to descriptors 1 to 3 goes
// to the sink and answers 0, as does their flush; requests on 1 and 2 are
// accepted and change nothing; every other descriptor answers kErrBadFileID.
ErrCode StdFileWriteHook(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                         uintptr_t sink);
ErrCode StdFileBufferingHook(EngineContext* ctx, int32_t fd, int32_t mode, uintptr_t sink);
ErrCode StdFileIoControlHook(EngineContext* ctx, int32_t fd, int32_t code, intptr_t* word,
                             uintptr_t user);
// A "+write" that takes no descriptor (kErrBadFileID).
ErrCode NotMyDescriptorHook(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                            uintptr_t user);

}  // namespace vke
