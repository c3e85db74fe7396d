// Texts that the application's natives hand to the host's windows: char
// arrays of the engine encoded as the host reads them (UTF-8 when the
// engine encodes so, else one byte a character).
#pragma once

#include <string>

#include "engine/context.hpp"

namespace vke {

// The char array at the depth as host text in out (size bytes with its
// NUL; a longer text is cut), its length in *length. kErrWrongTypeOverload for any other
// value.
ErrCode EncodeTextArg(EngineContext* ctx, int32_t depth, char* out, int32_t size, int32_t* length);

// The char array at the depth as host text, whole however long it is: names
// and options, which a cut would turn into other names. kErrWrongType for any
// other value, kErrObjTooLarge for a text whose bytes no buffer holds.
ErrCode WholeTextArg(EngineContext* ctx, int32_t depth, std::string* out);

}  // namespace vke
