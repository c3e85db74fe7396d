// String builtins that work character by character: the character-class
// tests isletter, isdigit and isspace, the case conversions upper and lower,
// and blank removal by deblank and strtrim.
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/strings.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

bool IsLetterChar(uint16_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigitChar(uint16_t c) {
  return c >= '0' && c <= '9';
}
bool IsSpaceChar(uint16_t c) {
  return SpanCharacters(&c, 1, kSpaceChars, kSpaceCharCount, 0) == 1;
}

}  // namespace

int32_t SpanCharacters(const uint16_t* text, int32_t length, const uint16_t* set, int32_t setLength,
                       int32_t mode) {
  int32_t i = 0;
  for (; i < length; i++) {
    bool member = false;
    for (int32_t k = 0; k < setLength && !member; k++) member = text[i] == set[k];
    if (member != (mode == 0)) break;
  }
  return i;
}

// isletter ('l'), isdigit ('d') and isspace ('s'): a logical array of the
// argument's dimensions.
ErrCode CharClassBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kChar) return kErrWrongTypeOverload;
  bool (*test)(uint16_t) = option == 'l' ? IsLetterChar : option == 'd' ? IsDigitChar : IsSpaceChar;
  const uint32_t source = static_cast<uint32_t>(v.elements - ctx->DataBytes());
  uint8_t* out;
  ErrCode e = PushLogicalArray(ctx, v.shape.ndims, v.shape.dims, &out);
  if (e) return e;
  const auto* chars = reinterpret_cast<const uint16_t*>(ctx->DataBytes() + source);
  for (int32_t i = 0; i < v.shape.count; i++) out[i] = test(Load<uint16_t>(chars + i)) ? 1 : 0;
  return DropInputsUnderResult(ctx, 1);
}

// upper ('u') and lower ('l'), in place; only A-Z and a-z change.
ErrCode CaseConvertBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kChar) return kErrWrongTypeOverload;
  const uint16_t from = option == 'u' ? 'a' : 'A';
  const int delta = option == 'u' ? -32 : 32;
  for (int32_t i = 0; i < v.shape.count; i++) {
    auto c = Load<uint16_t>(v.elements + 2 * i);
    if (c >= from && c <= from + 25)
      Store<uint16_t>(v.elements + 2 * i, static_cast<uint16_t>(c + delta));
  }
  return kOk;
}

// deblank (0) removes the trailing blanks of the whole character sequence,
// strtrim (1) the leading ones too; the kept characters become a row.
ErrCode TrimBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  const uint16_t* chars;
  int32_t n;
  if (!ViewChars(ctx, 0, &chars, &n)) return kErrWrongTypeOverload;
  int32_t end = n;
  while (end > 0 && SpanCharacters(chars + end - 1, 1, kBlankChars, kBlankCharCount, 0) == 1) end--;
  int32_t start = option ? SpanCharacters(chars, end, kBlankChars, kBlankCharCount, 0) : 0;
  return ShrinkTopCharRow(ctx, start, end - start);
}

}  // namespace vke
