// The application layer's error codes (10000-10059), the table that gives
// them identifiers and messages, the codes after which an operation may run
// again in a larger memory block, and the text an error box shows for a code.
#pragma once

#include "engine/errors/errors.hpp"

namespace vke {

enum AppErrorCode : ErrCode {
#define VKE_APP_ERROR(name, code, id, msg) name = code,
#include "app/error_table.def"
#undef VKE_APP_ERROR
};

// The table in stored order, ending with a null record; published through the
// "+errmsgtable" record of the application's native table.
extern const ErrorTableRecord kAppErrorTable[];
inline constexpr int kAppErrorCount = 60;

// The record of a code in the application's table (from its first record to
// its end), or null.
const ErrorTableRecord* FindAppErrorRecord(ErrCode code);

// True for the codes after which an operation may be retried once the memory
// block has grown: the engine's memory codes and the application's own.
bool IsMemoryCode(ErrCode code);

// The text an error box shows for a code, NUL-terminated and cut at size - 1;
// returns its length. ctx may be null when no engine exists.
//   kErrInit: "Initialization error";
//   below 10000: "VKE error N" without an engine, else the engine's message;
//   10000 and above: the application table's message, or "Error N";
//   for 10000 and above only, " (line N)" when the engine knows the line.
int32_t GetErrorMessageText(EngineContext* ctx, ErrCode code, char* buffer, int32_t size);

// A new top-level action starts (a menu item, a key, a handler run, an undo
// step, a paste ...): the source line of an earlier action's error is
// forgotten, so that an error of this action carries a line only when it
// raised one itself, and the text kept of an earlier handler's failure
// (ForgetFailureText) no longer stands for this action's.
void BeginTopLevelAction(EngineContext* ctx);

}  // namespace vke
