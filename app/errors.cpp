// The application's error table and the error-box text of a code.
#include "app/errors.hpp"

#include "app/error_place.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"

namespace vke {

// The shortages the engine waits out in place are these two of the table.
static_assert(kKvPlotOverflow == kErrPlotOverflow && kKvVarTooLargeForUndo == kErrUndoOverflow);

const ErrorTableRecord kAppErrorTable[] = {
#define VKE_APP_ERROR(name, code, id, msg) {code, id, msg},
#include "app/error_table.def"
#undef VKE_APP_ERROR
    {0, nullptr, nullptr},
};

const ErrorTableRecord* FindAppErrorRecord(ErrCode code) {
  for (const ErrorTableRecord* r = kAppErrorTable; r->message; r++)
    if (r->code == code) return r;
  return nullptr;
}

bool IsMemoryCode(ErrCode code) {
  if (IsEngineMemoryCode(code)) return true;
  switch (code) {
    case kKvExhaustedRsrc:
    case kKvPlotOverflow:
    case kKvNoMoreNameSlot:
    case kKvNotEnoughMemForKVFile:
    case kKvTooManyVarInUndoBuf:
    case kKvVarTooLargeForUndo:
      return true;
    default:
      return false;
  }
}

namespace {

// The engine's own text of a code is cut to this many bytes.
constexpr int32_t kEngineTextBytes = 252;

// "<prefix><code>" into the buffer at *position, keeping room for the NUL.
void AppendCodeText(const char* prefix, ErrCode code, char* buffer, int32_t* position,
                    int32_t size) {
  AppendCString(buffer, position, prefix, size);
  AppendFormattedInt(buffer, position, code, false, 0, false, false, false, 1, size - 1);
}

}  // namespace

int32_t GetErrorMessageText(EngineContext* ctx, ErrCode code, char* buffer, int32_t size) {
  if (!buffer || size <= 0) return 0;
  int32_t position = 0;
  buffer[0] = 0;
  if (code == kErrInit) {
    AppendCString(buffer, &position, "Initialization error", size);
  } else if (code < 10000) {
    if (!ctx) {
      AppendCodeText("VKE error ", code, buffer, &position, size);
    } else {
      const int32_t capacity = size < kEngineTextBytes ? size : kEngineTextBytes;
      GetErrorText(ctx, code, false, buffer, capacity, &position);
    }
  } else {
    const ErrorTableRecord* r = FindAppErrorRecord(code);
    if (r) {
      AppendCString(buffer, &position, r->message, size);
    } else {
      AppendCodeText("Error ", code, buffer, &position, size);
    }
    const int32_t line = ctx ? GetErrorLocationText(ctx, nullptr, 0, nullptr, 0) : 0;
    if (line > 0) {
      AppendCodeText(" (line ", line, buffer, &position, size);
      AppendCString(buffer, &position, ")", size);
    }
  }
  buffer[position] = 0;
  return position;
}

void BeginTopLevelAction(EngineContext* ctx) {
  ForgetFailureText();
  if (ctx) ClearErrorLocation(ctx);
}

}  // namespace vke
