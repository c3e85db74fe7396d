// Strings on the stacks: pushing 8-bit and 16-bit text, scratch text
// buffers, decoding, and reading char arrays back as 8-bit text.
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/memory_retry.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Rewrites the char row on top to n characters (0 x 0 when n is 0),
// shrinking its data; the characters already lie behind the header.
void ShrinkTopCharRow(EngineContext* ctx, int32_t n) {
  ValueDescriptor* d = DescAt(ctx, 0);
  uint8_t* hdr = DataAt(ctx, 0);
  Store<uint32_t>(hdr + 8, n > 0 ? 1u : 0u);
  Store<uint32_t>(hdr + 12, static_cast<uint32_t>(n > 0 ? n : 0));
  uint32_t units = static_cast<uint32_t>(TypedArrayUnits(2, 2ull * (n > 0 ? n : 0)));
  uint8_t* el = hdr + 16;
  const uint64_t used = 2ull * (n > 0 ? n : 0);
  // The padding lies in the last unit, under 8 bytes: that unit keeps its
  // characters and loses the rest.
  if (const uint64_t pad = 8ull * (units - 2) - used) {
    uint8_t* last = el + used - (8 - pad);
    const uint64_t keep = Load<uint64_t>(last) & ((uint64_t{1} << (8 * (8 - pad))) - 1);
    Store<uint64_t>(last, keep);
  }
  ctx->dataTop -= d->size - units;
  d->size = units;
}

// Capacity in characters of the char row on top.
int32_t TopCharCapacity(EngineContext* ctx) {
  return static_cast<int32_t>((DescAt(ctx, 0)->size - 2) * 4);
}

}  // namespace

ErrCode PushCString(EngineContext* ctx, int32_t length, const char* bytes) {
  if (length < 0) length = CStringLength(bytes);
  uint16_t* out;
  ErrCode e = PushNewCharRow(ctx, length, &out);
  if (e) return e;
  for (int32_t i = 0; i < length; i++) out[i] = static_cast<uint8_t>(bytes[i]);
  return kOk;
}

ErrCode PushWideString(EngineContext* ctx, int32_t length, const uint16_t* chars) {
  if (length < 0) {
    length = 0;
    while (chars[length]) length++;
  }
  uint16_t* out;
  ErrCode e = PushNewCharRow(ctx, length, &out);
  if (e) return e;
  std::memcpy(out, chars, 2ull * length);
  return kOk;
}

ErrCode PushStringOfLength(EngineContext* ctx, int32_t* length, uint16_t** buffer) {
  const int64_t freeBytes = 8ll * (ctx->dataCap - ctx->dataTop);
  int64_t n = *length;
  const bool reservation = n == -1 || n == -2;
  if (n == -1)
    n = (freeBytes - 48) / 2;
  else if (n == -2)
    n = freeBytes / 4;
  if (n < 0) n = 0;
  if (reservation && n > kMaxTypedElements) n = kMaxTypedElements;
  if (n > INT32_MAX / 2) n = INT32_MAX / 2;
  const auto chars = static_cast<int32_t>(n);
  ErrCode e =
      reservation ? PushCharRowToWrite(ctx, chars, buffer) : PushNewCharRow(ctx, chars, buffer);
  if (e) return e;
  *length = chars;
  return kOk;
}

ErrCode TextRoomError(int32_t capacity) {
  return capacity >= kMaxTypedElements ? kErrObjTooLarge : kErrDataOverflow;
}

ErrCode ReserveStringBuffer(EngineContext* ctx, int32_t* length, uint16_t** buffer) {
  return PushStringOfLength(ctx, length, buffer);
}

ErrCode ReserveByteBuffer(EngineContext* ctx, int32_t* length, uint8_t** buffer) {
  int32_t chars = *length < 0 ? *length : (*length + 1) / 2;
  uint16_t* p;
  ErrCode e = PushStringOfLength(ctx, &chars, &p);
  if (e) return e;
  if (*length < 0) *length = 2 * chars;
  *buffer = reinterpret_cast<uint8_t*>(p);
  return kOk;
}

ErrCode WidenBytesToString(EngineContext* ctx, int32_t n) {
  uint8_t* el = DataAt(ctx, 0) + 16;
  if (n > TopCharCapacity(ctx)) return kErrDataOverflow;
  // From the end, eight bytes at a time: their characters land on
  // themselves and above, never on the bytes still to be read.
  int32_t i = n;
  for (; i >= 8; i -= 8) {
#ifdef __SSE2__
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(el + i - 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(el + 2 * (i - 8)),
                     _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
#else
    uint8_t bytes[8];
    uint16_t chars[8];
    std::memcpy(bytes, el + i - 8, 8);
    for (int k = 0; k < 8; k++) chars[k] = bytes[k];
    std::memcpy(el + 2 * (i - 8), chars, 16);
#endif
  }
  while (--i >= 0) Store<uint16_t>(el + 2 * i, el[i]);
  ShrinkTopCharRow(ctx, n);
  return kOk;
}

ErrCode FinishByteString(EngineContext* ctx, int32_t n) {
  if (n > TopCharCapacity(ctx)) return kErrDataOverflow;
  ShrinkTopCharRow(ctx, n);
  return kOk;
}

namespace {

// Whether the decoder makes each byte below 0x80 the character of its code.
bool IsAsciiTransparent(CharDecodeFn decode) {
  return decode == DecodeUtf8Char || decode == DecodeTwoByteChar;
}

// Whether n bytes are all below 0x80, tested eight at a time.
bool IsAscii(const uint8_t* bytes, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; i < n; i++)
    if (bytes[i] & 0x80) return false;
  return true;
}

// Decodes n bytes written at the start of the scratch row on top, in place:
// the bytes are moved to the end of the row's space and read from there.
ErrCode DecodeTopBuffer(EngineContext* ctx, int32_t n, CharDecodeFn decode) {
  if (!decode) return WidenBytesToString(ctx, n);
  // Text of bytes below 0x80 alone, which the system's decoders read as
  // themselves, is widened as a block rather than a call per character.
  if (FastFormsOn() && IsAsciiTransparent(decode) && IsAscii(DataAt(ctx, 0) + 16, n))
    return WidenBytesToString(ctx, n);
  uint8_t* el = DataAt(ctx, 0) + 16;
  int32_t capBytes = 2 * TopCharCapacity(ctx);
  if (n > capBytes) return kErrDataOverflow;
  int32_t read = capBytes - n;
  std::memmove(el + read, el, n);
  int32_t written = 0;
  while (read < capBytes) {
    uint16_t ch;
    bool produced;
    int32_t used = decode(el + read, capBytes - read, &ch, &produced);
    if (used <= 0) break;
    read += used;
    if (!produced) continue;
    if (2 * (written + 1) > read) return kErrDataOverflow;
    Store<uint16_t>(el + 2 * written, ch);
    written++;
  }
  ShrinkTopCharRow(ctx, written);
  return kOk;
}

// Counts the characters a decoder makes of a text.
int32_t CountDecoded(const uint8_t* t, int32_t n, CharDecodeFn decode) {
  int32_t count = 0;
  for (int32_t p = 0; p < n;) {
    uint16_t ch;
    bool produced;
    int32_t used = decode(t + p, n - p, &ch, &produced);
    if (used <= 0) break;
    p += used;
    count += produced;
  }
  return count;
}

ErrCode PushDecoded(EngineContext* ctx, int32_t length, const char* bytes, CharDecodeFn decode) {
  if (length < 0) length = CStringLength(bytes);
  if (!decode) return PushCString(ctx, length, bytes);
  auto* t = reinterpret_cast<const uint8_t*>(bytes);
  uint16_t* out;
  ErrCode e = PushNewCharRow(ctx, CountDecoded(t, length, decode), &out);
  if (e) return e;
  int32_t w = 0;
  for (int32_t p = 0; p < length;) {
    uint16_t ch;
    bool produced;
    int32_t used = decode(t + p, length - p, &ch, &produced);
    if (used <= 0) break;
    p += used;
    if (produced) out[w++] = ch;
  }
  return kOk;
}

}  // namespace

ErrCode DecodeUtf8Buffer(EngineContext* ctx, int32_t n) {
  return DecodeTopBuffer(ctx, n, DecodeUtf8Char);
}

ErrCode DecodeTextBuffer(EngineContext* ctx, int32_t n) {
  return DecodeTopBuffer(ctx, n, ctx->decodeChar);
}

ErrCode PushUtf8String(EngineContext* ctx, int32_t length, const char* bytes) {
  return PushDecoded(ctx, length, bytes, DecodeUtf8Char);
}

ErrCode PushEncodedString(EngineContext* ctx, int32_t length, const char* bytes) {
  return PushDecoded(ctx, length, bytes, ctx->decodeChar);
}

ErrCode GetStringArg(EngineContext* ctx, int32_t depth, const char** text, int32_t* length) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return kErrWrongType;
  int32_t n = v.shape.count;
  if (n == 0) {
    *text = "";
    if (length) *length = 0;
    return kOk;
  }
  // Narrowed in place: the low byte of each character, then a NUL.
  MarkOperandsChanged(ctx);
  uint8_t* el = v.elements;
  for (int32_t i = 0; i < n; i++) el[i] = el[2 * i];
  el[n] = 0;
  *text = reinterpret_cast<const char*>(el);
  if (length) *length = n;
  return kOk;
}

ErrCode GetStringArgToBuffer(EngineContext* ctx, int32_t depth, char* buffer, int32_t size,
                             int32_t* length) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar || v.shape.ndims != 2) return kErrWrongType;
  int32_t n = v.shape.count;
  const int32_t room = length ? size : size - 1;
  // A text longer than the room still leaves its start in the buffer (and
  // the NUL when one is asked for): a caller that names what it was given
  // never reads bytes this call did not write.
  const bool tooLarge = n > room;
  if (tooLarge) n = room > 0 ? room : 0;
  for (int32_t i = 0; i < n; i++) buffer[i] = static_cast<char>(v.elements[2 * i]);
  if (n < size) buffer[n] = 0;
  if (length) *length = n;
  return tooLarge ? kErrObjTooLarge : kOk;
}

ErrCode PopStringToBuffer(EngineContext* ctx, char* buffer, int32_t size, int32_t* length) {
  ErrCode e = GetStringArgToBuffer(ctx, 0, buffer, size, length);
  if (e) return e;
  return Drop(ctx);
}

ErrCode GetStringArgCopy(EngineContext* ctx, int32_t depth) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return kErrWrongType;
  int32_t n = v.shape.count;
  const uint8_t* chars = v.elements;
  if (!ctx->encodeChar) {
    uint8_t* out;
    const int32_t dims[2] = {1, n};
    void* p;
    ErrCode e = PushNewTypedArray(ctx, 2, dims, 1, true, &p);
    if (e) return e;
    out = static_cast<uint8_t*>(p);
    for (int32_t i = 0; i < n; i++) out[i] = chars[2 * i];
    return kOk;
  }
  // Encode into scratch behind the free top, then push the bytes.
  uint32_t freeBytes;
  void* scratch;
  GetDataStackFree(ctx, &freeBytes, &scratch);
  // Half of the free space, less room for the result's header and padding.
  int32_t cap = static_cast<int32_t>(freeBytes / 2) - 64;
  if (cap < 0) return kErrDataOverflow;
  uint8_t* buf;
  if (ReserveDataStack(ctx, static_cast<uint32_t>(cap / 8), reinterpret_cast<void**>(&buf)))
    return kErrDataOverflow;
  cap = cap / 8 * 8;
  int32_t pos = 0;
  for (int32_t i = 0; i < n; i++) {
    if (!ctx->encodeChar(Load<uint16_t>(chars + 2 * i), buf, cap, &pos)) return kErrDataOverflow;
  }
  const int32_t dims[2] = {1, pos};
  void* p;
  ErrCode e = PushNewTypedArray(ctx, 2, dims, 1, true, &p);
  if (e) return e;
  std::memmove(p, buf, pos);
  return kOk;
}

ErrCode DecodeInlineFunctionData(const ValueDescriptor& d, const uint8_t* data,
                                 const uint16_t** first, int32_t* firstLength,
                                 const uint8_t** second, int32_t* secondLength,
                                 const uint8_t** rest, int32_t* restUnits) {
  if (!IsTypedKind(d, kKindInline) || IsStructured(d)) return kErrWrongType;
  uint32_t bytes = 8 * d.size;
  if (bytes < 2) return kErrWrongType;
  uint32_t l1 = Load<uint16_t>(data);
  uint32_t l2Offset = 2 + 2 * l1;
  if (l2Offset + 2 > bytes) return kErrWrongType;
  uint32_t l2 = Load<uint16_t>(data + l2Offset);
  if (first) *first = reinterpret_cast<const uint16_t*>(data + 2);
  if (firstLength) *firstLength = static_cast<int32_t>(l1);
  if (second) *second = data + l2Offset + 2;
  if (secondLength) *secondLength = static_cast<int32_t>(l2);
  uint32_t restAt = (l2Offset + l2 + 9) & ~7u;
  if (rest) *rest = restAt < bytes ? data + restAt : nullptr;
  if (restUnits) *restUnits = restAt < bytes ? static_cast<int32_t>((bytes - restAt) / 8) : 0;
  return kOk;
}

ErrCode GetInlineFunctionParts(EngineContext* ctx, int32_t depth, const uint16_t** first,
                               int32_t* firstLength, const uint8_t** second, int32_t* secondLength,
                               const uint8_t** rest, int32_t* restUnits) {
  return DecodeInlineFunctionData(*DescAt(ctx, depth), DataAt(ctx, depth), first, firstLength,
                                  second, secondLength, rest, restUnits);
}

}  // namespace vke
