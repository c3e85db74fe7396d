// Raising errors: message tables published by hook records, building the
// message of a pending error, and reading and printing it.
#pragma once

#include "engine/errors.hpp"

namespace vke {

const ErrorTableRecord* FindErrorMessage(EngineContext* ctx, ErrCode code, bool wantTemplate);
ErrCode RaiseError(EngineContext* ctx, ErrCode code, int32_t variable, int32_t fieldId,
                   int32_t integer, const char* name);
int32_t FormatErrorMessage(EngineContext* ctx, ErrCode code, const char* text, int32_t length,
                           bool withLocation);
void ClearPendingError(EngineContext* ctx);
int32_t GetErrorText(EngineContext* ctx, ErrCode code, bool fromPending, char* buffer, int32_t size,
                     int32_t* length);
ErrCode PrintError(EngineContext* ctx, ErrCode code, bool keep);
ErrCode GetErrorIdentifier(EngineContext* ctx, ErrCode code);
ErrCode FindErrorIdInTables(EngineContext* ctx, const char* id, int32_t length);
ErrCode RaiseErrorById(EngineContext* ctx, const char* id, int32_t idLength, const char* message,
                       int32_t messageLength);

}  // namespace vke
