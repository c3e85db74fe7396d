// The bytes a value stands for, as the natives that work on byte strings
// (base64, digests) read them.
#pragma once

#include "engine/values/value.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// The low byte of each character of a char array (copied into the scratch,
// so that the value stays as it is), the elements of a logical or 1-byte
// integer array, or as many bytes from the start of a wider integer array's
// data as it has elements. kErrWrongTypeOverload for any other value,
// kErrDataOverflow when the scratch has no room for the copy.
ErrCode GetValueBytes(EngineContext* ctx, int32_t depth, DataScratch* scratch,
                      const uint8_t** bytes, int32_t* count);

}  // namespace vke
