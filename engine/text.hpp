// Text encodings and the small 8-bit string helpers used across the engine:
// UTF-8 conversion of 16-bit characters, bounded copies, comparisons and the
// appenders that write into a buffer at a moving position.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Line-end modes of host output.
enum LineEndMode : int32_t { kLineEndCR = 0, kLineEndLF = 1, kLineEndCRLF = 2 };

// UTF-8 of one 16-bit character; appends only when 3 bytes are free.
bool AppendUtf8Char(uint8_t* buffer, int32_t* position, uint16_t ch, int32_t size);
// Reads one UTF-8 sequence of 1 to 3 bytes; bytes that form no character
// are consumed with *produced false.
int32_t DecodeUtf8Char(const uint8_t* text, int32_t length, uint16_t* out, bool* produced);
// 3 when the text starts with the UTF-8 byte-order mark, else 0.
int32_t SkipUtf8Bom(const uint8_t* text, int32_t length);
// The two-byte code: a byte of 0x80 or more leads a two-byte character.
int32_t DecodeTwoByteChar(const uint8_t* text, int32_t length, uint16_t* out, bool* produced);
bool AppendTwoByteChar(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* position);
bool AppendUtf8CharCodec(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* position);

bool EncodeOutputText(EngineContext* ctx, int32_t mode, const uint16_t* text, int32_t length,
                      uint8_t* buffer, int32_t size, int32_t* outLength);

void CopyCStringBounded(char* dest, int32_t destSize, const char* src, int32_t srcLength);
bool StringsEqual(const char* a, int32_t lengthA, const char* b, int32_t lengthB, bool ignoreCase);
int32_t CStringLength(const char* text);
int32_t FindSubstring(const char* text, int32_t length, const char* pattern, int32_t patternLength);
const char* AppendCString(char* buffer, int32_t* position, const char* text, int32_t size);
int32_t AppendBytes(char* buffer, int32_t* position, const char* bytes, int32_t n, int32_t size);
int32_t AppendRepeatedByte(char* buffer, int32_t* position, char byte, int32_t n, int32_t size);
int32_t AppendRepeatedChar(uint16_t* buffer, int32_t* position, uint16_t ch, int32_t n,
                           int32_t size);

}  // namespace vke
