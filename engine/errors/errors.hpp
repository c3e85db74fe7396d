// Error codes of the engine: the constants generated from the error table,
// the status codes that no table lists, and the error-table record through
// which libraries publish their messages.
#pragma once

#include "engine/base.hpp"

namespace vke {

enum ErrorCode : ErrCode {
  kOk = 0,
#define VKE_ERROR(name, code, id, msg) name = code,
#define VKE_ERROR_TEMPLATE(code, id, msg)
#define VKE_ERROR_NOTE(name, note)
#include "engine/errors/error_table.def"
#undef VKE_ERROR
#undef VKE_ERROR_TEMPLATE
#undef VKE_ERROR_NOTE
};

// The notes of the table, each a text constant.
#define VKE_ERROR(name, code, id, msg)
#define VKE_ERROR_TEMPLATE(code, id, msg)
#define VKE_ERROR_NOTE(name, note) inline constexpr char name[] = note;
#include "engine/errors/error_table.def"
#undef VKE_ERROR
#undef VKE_ERROR_TEMPLATE
#undef VKE_ERROR_NOTE

// Status codes shared by the loop, the natives and the host; only kStatusSuspended, kStatusHalted
// and kStatusDebug have table messages.
enum StatusCode : ErrCode {
  kStatusNoPrint = 402,    // ends a run without printing the error
  kStatusSuspended = 500,  // call ExecuteBytecode again
  kStatusHalted = 501,     // the user's break
  kStatusRetry = 502,      // call the native again (semaphore, empty line read)
  kStatusYield = 504,      // let other threads run (threadsleep)
  kStatusDebug = 505,      // stopped for the debugger
  kStatusQuit = 506,       // quit: ends the run wherever it stands, no catch takes it, unprinted
};

// The figure store's shortage ("plotOverflow"), whose message the engine
// publishes (kPlotErrorTable): the plot natives of a host with figures
// answer it when their drawing commands find no room.
inline constexpr ErrCode kErrPlotOverflow = 10001;
// The undo buffer's shortage ("varTooLargeForUndo"): a native of such a host
// that stores a variable's value for undo and finds no room there answers it
// with the stack as it found it; the host grows that buffer.
inline constexpr ErrCode kErrUndoOverflow = 10009;

// Whether the code tells of a full stack, heap, code area, function table,
// figure store or undo buffer: the failures that more memory mends.
bool IsEngineMemoryCode(ErrCode code);

// Published through "+errmsgtable" hook records; a table ends with a record
// whose message is null.
struct ErrorTableRecord {
  int32_t code;
  const char* id;       // camel case, without "VKE:"
  const char* message;  // plain text or template
};

// The engine's own table, in stored order, ending with a null record.
extern const ErrorTableRecord kEngineErrorTable[];
inline constexpr int kEngineErrorPlainCount = 143;
inline constexpr int kEngineErrorTemplateCount = 34;

}  // namespace vke
