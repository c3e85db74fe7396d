// Function-reference values: typed values of kKindFuncRef whose data is a 16-bit
// name length n, a 16-bit word of their creator (the scope in which the name
// is resolved), the n bytes of the name and a terminating 0.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Pushes a reference to the name; kErrBadArg for a length outside 0 to
// 65,535, stack errors as every push.
ErrCode PushFunctionReference(EngineContext* ctx, const char* bytes, int32_t n, int32_t word,
                              uint8_t** data);
// The name bytes and length held in a reference's data.
void GetStringData(const uint8_t* data, const char** bytes, int32_t* length);

}  // namespace vke
