// Files carried inside the compiled KV file (kElemEmbeddedFile elements), read by
// the application as descriptors: "efopen" and its four hooks over 32
// streams, as text (CR and CR LF read as LF) or decoded from base64. A
// stream keeps reading the instance that opened it, whichever handler
// reads.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Frees every stream; while a block is laid out.
void ResetEmbeddedStreamTable();
// The opens so far, and freeing the streams opened after that count (see
// CloseAppFilesOpenedAfter).
uint64_t CountEmbeddedFileOpens();
void CloseEmbeddedFilesOpenedAfter(uint64_t opens);

// efopen(name, 'text' or 'base64'): the descriptor of the current
// instance's embedded file of that name; kErrFileNotFound for none, kErrUnknownOpt for another
// encoding, kErrTooManyOpenFiles with 32 streams open, kErrBadContext without a current instance.
ErrCode EmbeddedFileOpen(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);
// kErrIoErr for the streams' descriptors: they are read-only.
ErrCode EmbeddedFileWrite(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                          uintptr_t user);
ErrCode EmbeddedFileRead(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, int32_t* count,
                         uintptr_t user);
// Frees one stream, or all for descriptor -1.
ErrCode EmbeddedFileClose(EngineContext* ctx, int32_t fd, uintptr_t user);
// End of file, seeks and position (IoRequest) in the decoded bytes.
ErrCode EmbeddedFileIoControl(EngineContext* ctx, int32_t fd, int32_t code, intptr_t* word,
                              uintptr_t user);

}  // namespace vke
