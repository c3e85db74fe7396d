// File descriptors: output and input offered to the hook records of the
// registered libraries, redirection of descriptors 1 and 2, and descriptor
// ranges for libraries.
#pragma once

#include "engine/context.hpp"

namespace vke {

enum StdFd : int32_t {
  kFdOut = 1,
  kFdErr = 2,
  kFdConsole3 = 3,
  kFdHelpLinks = 4,
  kFdCapture = 5,
  kFdFirstRange = 1024,
};

// Control requests of the descriptor layer ("+iocontrol" hooks).
enum IoRequest : int32_t {
  kIoEndOfFile = 0,    // the out byte: nonzero at the end
  kIoSeekBegin = 1,    // the word: the offset
  kIoSeekCurrent = 2,  // the word: the offset
  kIoSeekEnd = 3,      // the word: the offset
  kIoTell = 4,         // the out word: the position
  kIoFlush = 5,
  kIoClear = 6,
};

// The control request a reader sends a descriptor before reading from it;
// its answer does not matter.
inline constexpr int32_t kIoBeforeRead = 7;

// The control request that hands bytes just read back to the descriptor's
// library (GiveBackToFd): the word points at a GivenBackBytes, and a library
// that keeps them, to deliver them again as they are before anything else,
// sets it to 0. A word left as it was means that nothing was taken.
inline constexpr int32_t kIoGiveBack = 8;
struct GivenBackBytes {
  const char* bytes;
  int32_t count;
};

// The descriptor of a close of all: each library closes every descriptor of
// its own and passes the request on.
inline constexpr int32_t kAllFds = -1;

// Modes of the output-buffering request (FlushFd, "+iocbuffering" hooks).
enum BufferingMode : int32_t { kBufferingOff = 0, kBufferingOn = 1 };

ErrCode WriteToFd(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length);
ErrCode WriteNumberToFd(EngineContext* ctx, int32_t fd, double value);
ErrCode WriteNewlineToFd(EngineContext* ctx, int32_t fd);
ErrCode FlushFd(EngineContext* ctx, int32_t fd, int32_t mode);
ErrCode IoControlFd(EngineContext* ctx, int32_t fd, int32_t code, intptr_t input, intptr_t* outWord,
                    uint8_t* outByte);
ErrCode ReadFromFd(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, bool lineMode,
                   int32_t* count);
// Whether the read that ReadFromFd now offers to a "+read" hook is a line
// read. A hook whose record says that it reads whole lines itself (a
// nonzero first count byte) then stops after the first line end, a CR or LF
// stored as LF (the LF of a CR LF pair read with it), as the engine stops
// when it assembles a line from one-byte reads; otherwise it reads as much
// as it has.
bool IsLineRead(const EngineContext* ctx);
// Gives the last n bytes read from fd (a read whose result found no room,
// to run again once the area has grown) back to the stream: its library
// keeps them (kIoGiveBack), or else its position steps back over them. A
// stream that does neither (one without a position whose library keeps
// nothing) loses them: kErrIoErr.
ErrCode GiveBackToFd(EngineContext* ctx, int32_t fd, const char* bytes, int32_t n);
ErrCode CloseFd(EngineContext* ctx, int32_t fd);
ErrCode SetRedirect(EngineContext* ctx, int32_t fd, int32_t target, uint8_t copy);
int32_t AllocateFdRange(EngineContext* ctx, int32_t n);

}  // namespace vke
