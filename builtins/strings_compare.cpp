// Comparisons: strcmp and strcmpi with an optional character count, and the
// identity tests same and unsame, which compare class, size and stored bits.
#include <algorithm>

#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

uint16_t FoldCase(uint16_t c) {
  return c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : c;
}

}  // namespace

// strcmp (option 0) and strcmpi (option 1): strcmp(a, b [, n]).
ErrCode StringCompareBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, "SS[i");
  if (e) return e;
  int64_t n = -1;  // no count: whole strings
  const int32_t bAt = nargin - 2;
  if (nargin == 3) {
    double count;
    e = GetScalarArg(ctx, 0, &count);
    if (e) return AllowOverload(e);
    if (count < 1) return ReplaceInputsWithLogical(ctx, nargin, true);
    n = static_cast<int64_t>(count);
  }
  const uint16_t *a, *b;
  int32_t p, m;
  ViewChars(ctx, bAt + 1, &a, &p);
  ViewChars(ctx, bAt, &b, &m);
  bool equal = true;
  int64_t compared = m;
  if (n < 0 || p < n || m < n) {
    equal = m == p;
  } else {
    compared = std::min<int64_t>(n, m);
  }
  for (int64_t i = 0; equal && i < compared; i++)
    equal = option ? FoldCase(a[i]) == FoldCase(b[i]) : a[i] == b[i];
  return ReplaceInputsWithLogical(ctx, nargin, equal);
}

// same (option 0) and unsame (option 1): equal descriptors and equal data
// bits make two values identical.
ErrCode SameBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  const ValueDescriptor a = *DescAt(ctx, 1), b = *DescAt(ctx, 0);
  bool same = a.flags == b.flags && a.size == b.size && a.word == b.word &&
              std::memcmp(DataAt(ctx, 1), DataAt(ctx, 0), 8ull * a.size) == 0;
  return ReplaceInputsWithLogical(ctx, 2, same != (option != 0));
}

}  // namespace vke
