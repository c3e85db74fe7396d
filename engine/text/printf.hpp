// printf-style formatting: one formatter turns a template and the values
// behind it on the stack into text, for sprintf, fprintf and the error and
// warning builtins.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Formats the top n entries: the template (a char array) deepest, the values
// above it. translateNewlines turns each LF of the template, of "%c" and of
// "%s" data into the line end of descriptor 1's "+write" hook.
// Without text the result is left on top as a char row; with it, the text is
// converted to 8-bit (the context's encoder, else the low bytes) and left on
// top as a uint8 row whose bytes and length are handed out (valid until the
// next push or drop). The n arguments stay below; the caller drops them.
// Errors: kErrTooFewArgin no template, kErrBadArg a template that is not a char array,
// kErrWrongType a value that is neither a double nor a typed array, 3 no room for the text.
ErrCode FormatWithTemplate(EngineContext* ctx, int32_t n, bool translateNewlines, const char** text,
                           int32_t* length);

// The line-end mode of output to descriptor 1: the count bytes of the first
// "+write" hook record that accepts an empty write to it, read as one number
// (1 LF, 2 CR LF, else CR); 1 when none does.
int32_t OutputLineEndMode(EngineContext* ctx);

}  // namespace vke
