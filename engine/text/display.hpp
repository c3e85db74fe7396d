// Value display: writing a value of any class as the console shows it (the
// disp builtin and the automatic display of a statement's result), and the
// format command that sets how numbers look.
#pragma once

#include "engine/values/value.hpp"

namespace vke {

// Shows the value at depth 0 on the descriptor; the drop flag removes it
// afterwards, unless the display failed (a break during output gives kStatusHalted and
// leaves it in place).
ErrCode DisplayValue(EngineContext* ctx, int32_t fd, bool drop);
// "name =" on its own line, then the value on descriptor 1; kErrWrongTypeOverload without a
// display for an object when objects are not allowed. With nameShown the
// name's line stands already (a display run again after growth).
ErrCode DisplayNamedValue(EngineContext* ctx, int32_t nameId, bool objectsAllowed, bool drop,
                          bool nameShown = false);

// Builtins, called by the dispatch: the inputs are the top nargin entries,
// the first input deepest; they are replaced by the outputs. The option is
// not used.
ErrCode DispBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option);
ErrCode FormatBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option);

// Classes a value summary names.
enum class ShapeClass : uint8_t { kDouble, kSingle, kInteger, kChar, kLogical, kCell, kStruct };

// Appends a one-line summary of an array's size and class ("2x3 int8 array",
// "1x1 struct array (2 fields)"); a field count below 0 adds no field count.
// Nothing is written unless 20 bytes are free.
void DescribeValueShape(char* buffer, int32_t size, int32_t* position, ShapeClass cls,
                        int32_t elementBytes, bool isUnsigned, int32_t ndims, const int32_t* dims,
                        int32_t fieldCount);

}  // namespace vke
