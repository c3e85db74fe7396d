// Base64 text of bytes (the standard alphabet, "=" padding), in lines of 60
// characters separated by LF, and its lenient decoding.
#pragma once

#include <cstdint>

#include "engine/errors/errors.hpp"

namespace vke {

// Writes the Base64 text of count bytes into out (size bytes) and its
// length into *length; 3 (data overflow) when it does not fit.
ErrCode Base64Encode(const uint8_t* bytes, int64_t count, char* out, int64_t size, int64_t* length);
// The same written as 16-bit characters.
ErrCode Base64EncodeToChars(const uint8_t* bytes, int64_t count, uint16_t* out, int64_t size,
                            int64_t* length);

// Decodes text into out (size bytes), group by group until the end of the
// text or a group of fewer than 3 bytes; 3 when the bytes do not fit.
ErrCode Base64Decode(const char* text, int64_t length, uint8_t* out, int64_t size,
                     int64_t* decoded);

// Decodes the next group of text from *position on, which it advances, into
// out: 3 bytes, fewer for a padded or cut-off last group, 0 at the end.
// Blanks, line ends and other characters outside the alphabet's range are
// skipped; reading never goes past length.
void Base64DecodeCore(const char* text, int64_t length, int64_t* position, uint8_t out[3],
                      int32_t* count);

}  // namespace vke
