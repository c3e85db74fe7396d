// Whether a stored value's descriptor and headers agree with its data: what
// the loader of a saved state asks of every value before the engine reads
// it as the values it makes itself.
#pragma once

#include "engine/values/value.hpp"

namespace vke {

// The value of descriptor d whose d.size data units lie at `data`: a plain
// matrix has no negative column count; a numeric, char or logical array's
// header has a known type code and dimensions whose elements lie in the
// data; a structured value's items fill its data exactly, each such a value,
// and its dimension item agrees with them. Values the engine does not read
// as arrays (functions, references, markers, a library's own values) pass.
bool ValueShapeIsSound(const ValueDescriptor& d, const uint8_t* data);

}  // namespace vke
