// Text encodings and the small 8-bit string helpers used across the engine:
// UTF-8 conversion of 16-bit characters, engine text turned into host text,
// bounded copies, comparisons and the appenders that write into a buffer at
// a moving position (never at or beyond its size).
#pragma once

#include "engine/context.hpp"

namespace vke {

// Line-end modes of host output.
enum LineEndMode : int32_t { kLineEndCR = 0, kLineEndLF = 1, kLineEndCRLF = 2 };
// The bytes of a mode's line end (any mode other than LF and CR LF gives CR).
const char* LineEndBytes(int32_t mode, int32_t* length);

// UTF-8 of one 16-bit character (surrogates encoded like any other code):
// its byte count, and the bytes written at out.
int32_t Utf8Length(uint16_t ch);
int32_t EncodeUtf8Char(uint16_t ch, uint8_t* out);
// Appends the UTF-8 of a character, only when 3 bytes are free.
bool AppendUtf8Char(uint8_t* buffer, int32_t* position, uint16_t ch, int32_t size);
// Reads one UTF-8 sequence of 1 to 3 bytes; bytes that form no character
// are consumed with *produced false.
int32_t DecodeUtf8Char(const uint8_t* text, int32_t length, uint16_t* out, bool* produced);
// 3 when the text starts with the UTF-8 byte-order mark, else 0.
int32_t SkipUtf8Bom(const uint8_t* text, int32_t length);
// Moves *text past a leading byte-order mark of the engine's 8-bit encoding
// (none unless one is selected), as sources read from libraries are.
void SkipByteOrderMark(const EngineContext* ctx, const char** text, int32_t* length);
// The two-byte code: a byte of 0x80 or more leads a two-byte character.
int32_t DecodeTwoByteChar(const uint8_t* text, int32_t length, uint16_t* out, bool* produced);
bool AppendTwoByteChar(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* position);
bool AppendUtf8CharCodec(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* position);

// Engine text to host text: each LF becomes the mode's line end, other
// characters go through the context's encoder (or are narrowed to their low
// byte). The output is NUL-terminated; text and buffer may be the same
// memory. False when the text did not fit.
bool EncodeOutputText(EngineContext* ctx, int32_t mode, const uint16_t* text, int32_t length,
                      uint8_t* buffer, int32_t size, int32_t* outLength);

// Lengths of -1 mean NUL-terminated text.
// Copies (areas may overlap) and adds a NUL when room remains.
void CopyCStringBounded(char* dest, int32_t destSize, const char* src, int32_t srcLength);
// Equal texts; ignoreCase folds only A-Z. Two given lengths that differ
// give false at once.
bool StringsEqual(const char* a, int32_t lengthA, const char* b, int32_t lengthB, bool ignoreCase);
int32_t CStringLength(const char* text);
// Offset of the first occurrence, -1 when there is none (an empty pattern is
// found at 0).
int32_t FindSubstring(const char* text, int32_t length, const char* pattern, int32_t patternLength);
// Appends up to the NUL keeping one byte free; returns where the source
// stopped.
const char* AppendCString(char* buffer, int32_t* position, const char* text, int32_t size);
// Appends n bytes keeping one byte free; returns the number appended.
int32_t AppendBytes(char* buffer, int32_t* position, const char* bytes, int32_t n, int32_t size);
// Append n copies, stopping when the buffer is full; return the number
// appended.
int32_t AppendRepeatedByte(char* buffer, int32_t* position, char byte, int32_t n, int32_t size);
int32_t AppendRepeatedChar(uint16_t* buffer, int32_t* position, uint16_t ch, int32_t n,
                           int32_t size);

}  // namespace vke
