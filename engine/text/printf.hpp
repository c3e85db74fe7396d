// printf-style formatting: one formatter turns a template and the values
// behind it on the stack into text, for sprintf, fprintf and the error and
// warning builtins; fprintf's text may go to its descriptor piece by piece.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Takes formatted text piece by piece, in order: 16-bit characters whose
// line ends are already translated. A code other than kOk stops the
// formatting with it.
class TextPieceSink {
 public:
  virtual ErrCode Take(const uint16_t* chars, int32_t n) = 0;

 protected:
  ~TextPieceSink() = default;
};

// Formats the top n entries: the template (a char array) deepest, the values
// above it. translateNewlines turns each LF of the template, of "%c" and of
// "%s" data into the line end of descriptor 1's "+write" hook.
// Without text the result is left on top as a char row; with it, the text is
// converted to 8-bit (the context's encoder, else the low bytes) and left on
// top as a uint8 row whose bytes and length are handed out (valid until the
// next push or drop). The n arguments stay below; the caller drops them.
// With pieces, the text is handed to it instead, in pieces of a bounded
// size (never splitting a field), and nothing is left on top; the pieces
// already taken stand when a later value fails.
// Errors: kErrTooFewArgin no template, kErrBadArg a template that is not a char array,
// kErrWrongType a value that is neither a double nor a typed array, 3 no room for the text
// (with pieces: for one field).
ErrCode FormatWithTemplate(EngineContext* ctx, int32_t n, bool translateNewlines, const char** text,
                           int32_t* length, TextPieceSink* pieces = nullptr);

// fprintf's writing: formats the top n entries (the template deepest) with
// translated line ends, converts the text to 8-bit and writes it to fd;
// *bytes is the number of bytes. The text goes out in pieces as it is
// formed when no value can fail part-way (each is a double or typed
// array); otherwise, and with the fast forms off, it is formed whole first,
// so that a value that fails leaves nothing written. Out of room after
// pieces went out, it keeps their bytes as its progress, and its run after
// growth writes only what follows them (engine/memory_retry.hpp); *bytes
// counts the whole text. The n arguments stay.
ErrCode WriteFormattedText(EngineContext* ctx, int32_t n, int32_t fd, int64_t* bytes);

// The line-end mode of output to descriptor 1: the count bytes of the first
// "+write" hook record that accepts an empty write to it, read as one number
// (1 LF, 2 CR LF, else CR); 1 when none does.
int32_t OutputLineEndMode(EngineContext* ctx);

}  // namespace vke
