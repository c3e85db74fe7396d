// Searching in text: findstr (every position of a pattern), strmatch (the
// first row or item that starts with a text) and strtok (the first token).
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/strings.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// True when the first n characters of a and b agree.
bool SamePrefix(const uint16_t* a, const uint16_t* b, int32_t n) {
  return std::memcmp(a, b, 2ull * n) == 0;
}

// strmatch over the rows of a char matrix: 1-based row or 0.
int32_t MatchRow(const uint16_t* str, int32_t length, const NumericView& list, bool exact) {
  const int32_t width = list.shape.dims[1];
  const int32_t rows = width > 0 ? list.shape.count / width : 0;
  if (exact ? length != width : length > width) return 0;
  const auto* chars = reinterpret_cast<const uint16_t*>(list.elements);
  for (int32_t r = 0; r < rows; r++)
    if (SamePrefix(chars + int64_t{r} * width, str, length)) return r + 1;
  return 0;
}

// strmatch over a list of strings: 1-based item or 0; 43 for an item that is
// not char.
ErrCode MatchItem(EngineContext* ctx, int32_t depth, const uint16_t* str, int32_t length,
                  bool exact, int32_t* found) {
  StructuredParts parts;
  GetStructuredValueOfKind(ctx, depth, 'c', &parts);
  const uint8_t* item = parts.first;
  for (int32_t i = 0; i < parts.elements; i++, item += ItemBytes(item)) {
    NumericView v = ViewNumericData(Load<ValueDescriptor>(item), const_cast<uint8_t*>(item) + 16);
    if (v.cls != ValueClass::kChar) return kErrWrongType;
    if (exact ? v.shape.count != length : v.shape.count < length) continue;
    if (SamePrefix(reinterpret_cast<const uint16_t*>(v.elements), str, length)) {
      *found = i + 1;
      return kOk;
    }
  }
  *found = 0;
  return kOk;
}

}  // namespace

// findstr(text, pattern): the 1-based positions of every occurrence, as a
// row, or [] when there is none. The positions are written into a scratch
// row of the text's length, which then becomes the result.
ErrCode FindstrBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, 2, "SS");
  if (e) return e;
  const uint16_t *text, *pattern;
  int32_t n, k;
  ViewChars(ctx, 1, &text, &n);
  ViewChars(ctx, 0, &pattern, &k);
  if (n == 0 || k == 0 || k > n) {
    e = PushEmptyMatrix(ctx);
    return e ? e : DropInputsUnderResult(ctx, 2);
  }
  const uint32_t textAt =
      static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(text) - ctx->DataBytes());
  const uint32_t patternAt =
      static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(pattern) - ctx->DataBytes());
  double* positions;
  e = PushNewMatrix(ctx, 1, n, &positions, nullptr);
  if (e) return e;
  text = reinterpret_cast<const uint16_t*>(ctx->DataBytes() + textAt);
  pattern = reinterpret_cast<const uint16_t*>(ctx->DataBytes() + patternAt);
  int32_t found = 0;
  for (int32_t i = 0; i + k <= n; i++)
    if (SamePrefix(text + i, pattern, k)) positions[found++] = i + 1;
  // The new row starts where the scratch row started: its data is in place.
  e = PushInPlaceOfTop(ctx, 1, [&] {
    return found ? PushNewMatrix(ctx, 1, found, &positions, nullptr) : PushEmptyMatrix(ctx);
  });
  if (e) {
    Drop(ctx);
    return e;
  }
  return DropInputsUnderResult(ctx, 2);
}

// strmatch(str, list [, 'exact']): list is a char matrix or a list of
// strings; the index of the first match, 0 when none.
ErrCode StrmatchBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  const int32_t listAt = nargin - 2;
  bool exact = false;
  if (nargin == 3) {
    const uint16_t* option;
    int32_t length;
    if (!ViewChars(ctx, 0, &option, &length)) return kErrWrongTypeOverload;
    if (length > 0) {
      if (option[0] != 'e') return kErrUnknownOpt;
      exact = true;
    }
  }
  const uint16_t* str;
  int32_t length;
  if (!ViewChars(ctx, listAt + 1, &str, &length)) return kErrWrongTypeOverload;
  int32_t found = 0;
  NumericView list = ViewNumeric(ctx, listAt);
  const ValueDescriptor* d = DescAt(ctx, listAt);
  if (list.cls == ValueClass::kChar) {
    found = MatchRow(str, length, list, exact);
  } else if (IsStructured(*d) && d->word == kKindList) {
    ErrCode e = MatchItem(ctx, listAt, str, length, exact, &found);
    if (e) return e;
  } else {
    return kErrWrongTypeOverload;
  }
  ErrCode e = PushRealScalar(ctx, found);
  return e ? e : DropInputsUnderResult(ctx, nargin);
}

// [token, remainder] = strtok(str [, delimiters]): leading delimiters are
// skipped; the token runs to the next delimiter; the remainder starts there.
ErrCode StrtokBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, "S[S");
  if (e) return e;
  const uint16_t* str;
  int32_t n;
  ViewChars(ctx, nargin - 1, &str, &n);
  const uint16_t* set = kTokenDelimiters;
  int32_t setLength = kTokenDelimiterCount;
  if (nargin == 2) ViewChars(ctx, 0, &set, &setLength);
  int32_t start = SpanCharacters(str, n, set, setLength, 0);
  int32_t end = start;
  if (start < n) {
    end = start + SpanCharacters(str + start, n - start, set, setLength, 1);
  } else {
    start = end = 0;  // nothing but delimiters: an empty token, the whole text remains
  }
  const uint32_t strAt =
      static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(str) - ctx->DataBytes());
  const int32_t outputs = nargout >= 2 ? 2 : 1;
  if (outputs == 2) {
    e = PushWideString(ctx, n - end,
                       reinterpret_cast<const uint16_t*>(ctx->DataBytes() + strAt) + end);
    if (e) return e;
  }
  e = PushWideString(ctx, end - start,
                     reinterpret_cast<const uint16_t*>(ctx->DataBytes() + strAt) + start);
  if (e) {
    Drop(ctx, outputs - 1);
    return e;
  }
  return DropStackEntries(ctx, outputs, nargin);
}

}  // namespace vke
