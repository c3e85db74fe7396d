// Files on disk for KV applications: "fopen" and the four descriptor hooks
// of the run-time table over 32 slots, whose descriptors are the first 32
// numbers of a range reserved from the engine on the first open. In text
// mode ("rt", "at", "wt") line breaks are CR LF on disk and LF in the
// program.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Closes every open file and forgets the descriptor range; at start-up.
void ClearAppFileTable();
// Closes every open file; at exit.
void CloseAllAppFiles();
// Files open now.
int32_t CountOpenAppFiles();
// The opens so far, and closing the files opened after that count: a
// handler run again from its start closes what its failed attempt opened.
uint64_t CountAppFileOpens();
void CloseAppFilesOpenedAfter(uint64_t opens);
// The writes of bytes to files so far: a handler that wrote is not run again.
uint64_t CountAppFileWrites();

// fopen(name, mode): the descriptor, or -1 when the file cannot be opened
// (also for a name holding a NUL); kErrTooManyOpenFiles with 32 files open,
// kErrUnknownOpt for an unknown mode, kErrWrongType for non-texts,
// kErrNameTooLong for a name of more bytes than the system takes (never
// cut). "r" reads, "a" reads and writes an existing file from its end, "w"
// creates or truncates. Reads go through a buffer read ahead, which
// positions, the end-of-file test and writes take into account.
ErrCode AppFileOpen(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);
ErrCode AppFileWrite(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                     uintptr_t user);
ErrCode AppFileRead(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, int32_t* count,
                    uintptr_t user);
// Closes one file, or all of them for descriptor -1.
ErrCode AppFileClose(EngineContext* ctx, int32_t fd, uintptr_t user);
// End of file, seeks, position and flush (IoRequest); kErrIllegal for others.
ErrCode AppFileIoControl(EngineContext* ctx, int32_t fd, int32_t code, intptr_t* word,
                         uintptr_t user);

}  // namespace vke
