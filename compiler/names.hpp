// The name table: names stored once, downward from the end of the code area,
// and referred to by small negative ids that survive any move of the area.
#pragma once

#include "engine/context.hpp"

namespace vke {

inline constexpr int32_t kMaxNameTableBytes = 32767;
inline constexpr int32_t kMaxIdentifierLength = 32;

// The id of a stored name, 0 when absent.
int32_t FindName(EngineContext* ctx, const char* text, int32_t length);
ErrCode InternName(EngineContext* ctx, const char* text, int32_t length, int32_t maxLength,
                   int32_t* id);
// The bytes and length of a stored name; null for an id that is not one.
const char* NameText(EngineContext* ctx, int32_t id, int32_t* length);
// Function-table lookup by qualified name ("lib::name"); -1 when absent.
int32_t FindFunctionQualified(EngineContext* ctx, const char* name, int32_t length, int32_t scope);

}  // namespace vke
