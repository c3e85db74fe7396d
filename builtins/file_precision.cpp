// The precision names of binary reading and writing.
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

struct PrecisionRecord {
  char name[12];
  int32_t size;
  uint8_t isUnsigned, character, floating;
};

// Each name may also be followed by ";l" (little-endian, as without) or
// ";b" (big-endian for sizes 2, 4 and 8).
// Room for the longest text of a precision: '*', a name, ";b".
constexpr int32_t kPrecisionTextBytes = 32;

constexpr PrecisionRecord kPrecisions[] = {
    {"int8", 1, 0, 0, 0},    // signed 8-bit integer
    {"int16", 2, 0, 0, 0},   // signed 16-bit integer
    {"int32", 4, 0, 0, 0},   // signed 32-bit integer
    {"int64", 8, 0, 0, 0},   // signed 64-bit integer
    {"uint8", 1, 1, 0, 0},   // unsigned 8-bit integer
    {"uint16", 2, 1, 0, 0},  // unsigned 16-bit integer
    {"uint32", 4, 1, 0, 0},  // unsigned 32-bit integer
    {"uint64", 8, 1, 0, 0},  // unsigned 64-bit integer
    {"char", 1, 0, 1, 0},    // signed byte; "*char" reads characters
    {"uchar", 1, 1, 1, 0},   // unsigned byte; "*uchar" reads characters
    {"single", 4, 0, 0, 1},  // 32-bit floating point
    {"double", 8, 0, 0, 1},  // 64-bit floating point
};

}  // namespace

ErrCode GetPrecisionArg(EngineContext* ctx, int32_t depth, Precision* out) {
  // Copied out, so that the argument stays as given: a read or write that
  // fails for lack of room runs again once the area has grown.
  char buffer[kPrecisionTextBytes];
  const char* text = buffer;
  int32_t length;
  const ErrCode e = GetStringArgToBuffer(ctx, depth, buffer, sizeof buffer, &length);
  if (e == kErrObjTooLarge) return kErrUnknownOpt;  // longer than any precision
  if (e) return kErrBadArg;
  *out = Precision();
  if (length > 0 && text[0] == '*') {
    out->keepClass = true;
    text++;
    length--;
  }
  int32_t nameLength = 0;
  while (nameLength < length && text[nameLength] != ';') nameLength++;
  const char* suffix = text + nameLength;
  const int32_t suffixLength = length - nameLength;
  const bool big = StringsEqual(suffix, suffixLength, ";b", 2, false);
  if (suffixLength != 0 && !big && !StringsEqual(suffix, suffixLength, ";l", 2, false))
    return kErrUnknownOpt;
  for (const PrecisionRecord& r : kPrecisions) {
    if (!StringsEqual(text, nameLength, r.name, -1, false)) continue;
    out->size = r.size;
    out->isUnsigned = r.isUnsigned;
    out->character = r.character;
    out->floating = r.floating;
    out->bigEndian = big && r.size > 1;
    return kOk;
  }
  return kErrUnknownOpt;
}

}  // namespace vke
