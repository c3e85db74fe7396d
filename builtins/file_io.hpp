// Pieces shared by the file builtins: line reads that resume after "no data
// yet", and the precision names of binary reading and writing.
#pragma once

#include "engine/context.hpp"

namespace vke {

// ---- Descriptors ----

// The descriptor argument at the depth, as GetIntegerArg reads it; a wide
// integer whose value does not fit 32 bits names no descriptor: kErrBadFileID
// ("badFileID").
ErrCode GetFileIdArg(EngineContext* ctx, int32_t depth, int32_t* fd);
// A read of no bytes: 0 when a hook serves fd, else kErrBadFileID. Reads that ask for
// nothing check their descriptor with it.
ErrCode CheckReadableFd(EngineContext* ctx, int32_t fd);

// ---- Text mode ----

// Bytes read in text mode, compacted in place: a CR becomes LF and an LF
// right after a CR (also one that ended the read before, *lastWasCr) goes.
// Gives the count kept.
int32_t CrLfToLineFeeds(char* bytes, int32_t n, bool* lastWasCr);

// ---- Line reads ----

// At the entry of a line-reading builtin: true when a read of an earlier
// call is to be resumed. Its marker is dropped then, and the partial line it
// guarded lies on top of the arguments; *progress is that line's byte count.
bool TakeResumeMarker(EngineContext* ctx, int32_t* progress);

// Reads one line of fd in line mode (at most maxLength bytes; negative for
// no limit besides the buffer: half of the free data stack) and pushes it as
// a char row, its bytes decoded with the context's text decoder; without the
// final LF when dropLineEnd. End of file gives an empty row. With resumed,
// the partial line on top is continued and replaced by the result. A line
// longer than that room is never cut: kErrDataOverflow, with its bytes given
// back to the stream (GiveBackToFd), so that the read can run again once the
// area has grown; kErrIoErr where the stream can take nothing back.
// When no data is there yet (kStatusRetry), the bytes read so far are left on top and
// a marker holding their count above them, and kStatusRetry is returned: the caller
// is called again later with its arguments and these two entries on top.
ErrCode ReadLineFromFd(EngineContext* ctx, int32_t fd, int32_t maxLength, bool resumed,
                       int32_t progress, bool dropLineEnd);
// ReadLineFromFd's read without its decoding: on success the line's n
// bytes, its LF kept, lie at the start of a scratch char row on top (of
// half of the free data stack, to be cut to what it keeps), the partial line
// of a resumed read still under it for the caller to drop; *length is n.
// Failures and "no data yet" leave the stacks as ReadLineFromFd leaves them.
// *line, when asked for, is where the bytes begin.
ErrCode ReadLineBytesFromFd(EngineContext* ctx, int32_t fd, int32_t maxLength, bool resumed,
                            int32_t progress, int32_t* length, const char** line = nullptr);

// ---- Precisions of binary data ----

struct Precision {
  int32_t size = 1;  // bytes per element
  bool isUnsigned = true;
  bool bigEndian = false;
  bool character = false;
  bool floating = false;
  bool keepClass = false;  // "*": elements keep the precision's class
};

// The precision named by the char array at the depth: one of the names of
// the table, optionally behind "*" and followed by ";l" (little-endian) or
// ";b" (big-endian). kErrUnknownOpt for any other text, kErrBadArg for a value
// that is not text. Without a precision argument the default is "uint8".
ErrCode GetPrecisionArg(EngineContext* ctx, int32_t depth, Precision* out);

}  // namespace vke
