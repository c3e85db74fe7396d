// The sort builtin and the ordering it shares with unique and the set
// operations: numeric arrays sorted in place line by line with the Shell-sort
// kernels, lists of strings ordered through a permutation, and the
// selection of elements by position.
#include <cstring>

#include "builtins/builtin.hpp"
#include "builtins/option_text.hpp"
#include "builtins/radix_sort.hpp"
#include "builtins/sorting.hpp"
#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/value_read.hpp"

namespace vke {

namespace {

// Where line s of an array split by a layout starts, in elements.
int64_t LineStart(const DimLayout& layout, int64_t s) {
  return (s / layout.stride) * layout.length * layout.stride + s % layout.stride;
}

// Sorts one line of an integer, char, logical or single array through the
// class's comparator, then moves its elements (both parts) and its index
// through a scratch copy.
void SortLineByComparator(const NumericView& v, SortComparator compare, int64_t start,
                          const DimLayout& layout, bool descending, int32_t* perm, uint8_t* copy,
                          double* index) {
  int es = ElementBytesOfCode(v.code);
  int64_t step = layout.stride;
  SortCompareContext context;
  context.data = v.elements + es * start;
  context.stride = step;
  context.imag = v.complex ? v.shape.count : 0;
  int32_t n = layout.length;
  ShellSortByComparator(n, compare, perm, &context, descending);
  auto permute = [&](uint8_t* line, int size) {
    for (int32_t i = 0; i < n; i++)
      std::memcpy(copy + size * i, line + size * (perm[i] * step), size);
    for (int32_t i = 0; i < n; i++) std::memcpy(line + size * (i * step), copy + size * i, size);
  };
  for (int part = 0; part < (v.complex ? 2 : 1); part++)
    permute(v.elements + es * (start + part * int64_t(v.shape.count)), es);
  if (index) permute(reinterpret_cast<uint8_t*>(index + start), 8);
}

// Sorts the elements of the list at the depth (a dimension or the mode
// may lie above it) and leaves them on top in place of the entries from the
// list up, with two outputs their positions under them. A failure leaves
// the stack as it was.
ErrCode SortStringList(EngineContext* ctx, int32_t depth, bool descending, int32_t nargout) {
  DataScratch scratch(ctx);
  SortCompareContext compare;
  int32_t *perm, n;
  ErrCode e = OrderStringList(ctx, depth, descending, &scratch, &compare, &perm, &n);
  if (e) return e;
  for (int32_t i = 0; i < n; i++) perm[i]++;
  if ((e = PushSelectedElements(ctx, depth, perm, n))) return e;
  const int32_t results = nargout < 2 ? 1 : 2;
  if (results == 2 && (e = PushDoubleRow(ctx, n, [perm](int32_t k) { return perm[k]; }))) {
    Drop(ctx);
    return e;
  }
  if ((e = DropStackEntries(ctx, results, depth + 1))) return e;
  return RollStackEntries(ctx, results, 1);
}

// Sorts the lines of a real array by radix (radix_sort.hpp) when the fast
// forms are on and the scratch has room for the copies: *done tells whether
// it did. A line at a stride is gathered into the scratch and put back.
// Without room, where the host grows the area and runs the builtin again,
// the lack of room is the answer; elsewhere the Shell sort, which needs
// none, takes the lines.
ErrCode SortRealLinesByRadix(EngineContext* ctx, double* re, const DimLayout& layout, int64_t lines,
                             bool descending, double* index, bool* done) {
  *done = false;
  int32_t n = layout.length;
  int64_t step = layout.stride;
  if (lines == 0 || n < 2 || !FastFormsOn()) return kOk;
  uint64_t copies = step == 1 ? 1 : 2;
  DataScratch scratch(ctx);
  uint32_t valuesAt, indexAt = 0;
  ErrCode e = scratch.Reserve(copies * 8 * n, &valuesAt);
  if (!e && index) e = scratch.Reserve(copies * 8 * n, &indexAt);
  if (e) return HostGrowsForRoom(ctx) ? e : kOk;
  auto* values = reinterpret_cast<double*>(ctx->Bytes() + valuesAt);
  auto* indices = index ? reinterpret_cast<double*>(ctx->Bytes() + indexAt) : nullptr;
  for (int64_t s = 0; s < lines; s++) {
    int64_t start = LineStart(layout, s);
    double* line = re + start;
    double* lineIndex = index ? index + start : nullptr;
    if (step == 1) {
      RadixSortReal(line, lineIndex, n, descending, values, indices);
      continue;
    }
    for (int32_t i = 0; i < n; i++) {
      values[i] = line[i * step];
      if (index) indices[i] = lineIndex[i * step];
    }
    RadixSortReal(values, indices, n, descending, values + n, index ? indices + n : nullptr);
    for (int32_t i = 0; i < n; i++) {
      line[i * step] = values[i];
      if (index) lineIndex[i * step] = indices[i];
    }
  }
  *done = true;
  return kOk;
}

}  // namespace

ErrCode SortLines(EngineContext* ctx, const NumericView& v, const DimLayout& layout,
                  bool descending, double* index) {
  int64_t lines = v.shape.count == 0 ? 0 : int64_t(layout.count) * layout.stride;
  int32_t n = layout.length;
  int64_t step = layout.stride;
  DataScratch scratch(ctx);
  uint32_t at = 0;
  if (v.cls == ValueClass::kDouble) {
    auto* re = reinterpret_cast<double*>(v.elements);
    double* im = v.complex ? re + v.shape.count : nullptr;
    ErrCode e = im ? scratch.Reserve(8ull * n, &at) : kOk;
    if (e) return e;
    auto* keys = reinterpret_cast<double*>(ctx->Bytes() + at);
    bool done = false;
    if (!im && (e = SortRealLinesByRadix(ctx, re, layout, lines, descending, index, &done)))
      return e;
    if (done) return kOk;
    for (int64_t s = 0; s < lines; s++) {
      int64_t start = LineStart(layout, s);
      double* lineIndex = index ? index + start : nullptr;
      if (im) {
        for (int32_t i = 0; i < n; i++) {
          double r = re[start + i * step], m = im[start + i * step];
          keys[i] = r * r + m * m;
        }
        ShellSortComplexWithIndex(keys, re + start, im + start, lineIndex, n, step, descending);
      } else if (index) {
        ShellSortRealWithIndex(re + start, lineIndex, n, step, descending);
      } else {
        ShellSortReal(re + start, n, step, descending);
      }
    }
    return kOk;
  }
  SortComparator compare = ComparatorOfCode(v.code);
  if (!compare) return kErrIllegal;
  uint32_t copyAt;
  ErrCode e = scratch.Reserve(4ull * n, &at);
  if (!e) e = scratch.Reserve(8ull * n, &copyAt);
  if (e) return e;
  auto* perm = reinterpret_cast<int32_t*>(ctx->Bytes() + at);
  for (int64_t s = 0; s < lines; s++)
    SortLineByComparator(v, compare, LineStart(layout, s), layout, descending, perm,
                         ctx->Bytes() + copyAt, index);
  return kOk;
}

ErrCode SortArrayInPlace(EngineContext* ctx, int32_t depth, int32_t dim, bool descending,
                         double* index) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  DimLayout layout;
  NextNonSingletonDim(v.shape.ndims, v.shape.dims, &dim, &layout);
  int64_t lines = v.shape.count == 0 ? 0 : int64_t(layout.count) * layout.stride;
  if (index)
    for (int64_t s = 0; s < lines; s++)
      for (int32_t i = 0; i < layout.length; i++)
        index[LineStart(layout, s) + i * layout.stride] = i + 1;
  return SortLines(ctx, v, layout, descending, index);
}

ErrCode OrderStringList(EngineContext* ctx, int32_t depth, bool descending, DataScratch* scratch,
                        SortCompareContext* compare, int32_t** perm, int32_t* count) {
  StructuredParts parts;
  ErrCode e = GetListParts(ctx, depth, &parts);
  if (e) return e;
  int32_t n = parts.elements;
  uint32_t tableAt, permAt;
  if ((e = scratch->Reserve(8ull * n, &tableAt)) || (e = scratch->Reserve(4ull * n, &permAt)))
    return e;
  auto* table = reinterpret_cast<uint32_t*>(ctx->Bytes() + tableAt);
  const uint8_t* item = parts.first;
  for (int32_t i = 0; i < n; i++, item += ItemBytes(item)) {
    auto desc = Load<ValueDescriptor>(item);
    if (!IsTypedKind(desc, kKindChar) || IsStructured(desc)) return kErrWrongType;
    NumericView s = ViewNumericData(desc, const_cast<uint8_t*>(item) + sizeof(ListItemHeader));
    table[2 * i] = static_cast<uint32_t>(s.elements - ctx->Bytes());
    table[2 * i + 1] = static_cast<uint32_t>(s.shape.count);
  }
  *compare = SortCompareContext{};
  compare->base = ctx->Bytes();
  compare->strings = table;
  *perm = reinterpret_cast<int32_t*>(ctx->Bytes() + permAt);
  *count = n;
  ShellSortByComparator(n, SortCompareStrings, *perm, compare, descending);
  return kOk;
}

ErrCode PushSelectedElements(EngineContext* ctx, int32_t depth, const int32_t* positions,
                             int32_t count) {
  const uint32_t level = ctx->descTop;
  bool list = IsListValue(ctx, depth);
  StructuredParts parts;
  ErrCode e = list ? GetListParts(ctx, depth, &parts) : kOk;
  if (e) return e;
  uint32_t items = list ? static_cast<uint32_t>(parts.first - ctx->Bytes()) : 0;
  void* index;
  const int32_t dims[2] = {1, count};
  if ((e = PushNewTypedArray(ctx, 2, dims, 4, false, &index))) return e;
  std::memcpy(index, positions, 4ull * count);
  if (list) {
    e = IndexListSelect(ctx, items, parts.elements, false);
  } else {
    SubscriptList subs;
    subs.n = 1;
    e = IndexSelect(ctx, OperandOfEntry(ctx, depth + 1), subs);
    if (!e) e = DropStackEntries(ctx, 1, 1);
  }
  if (e) DropAboveLevel(ctx, level);
  return e;
}

ErrCode SelectElements(EngineContext* ctx, const int32_t* positions, int32_t count) {
  ErrCode e = PushSelectedElements(ctx, 0, positions, count);
  return e ? e : DropStackEntries(ctx, 1, 1);
}

// sort(x [, dim] [, mode]) with the sorted values on top and, with two
// outputs, the positions they came from under them. The arguments stay as
// they are until everything that may want room has it (the positions pushed
// above them, the scratch reserved), so that a failure for lack of room
// leaves them as given for the run after growth.
ErrCode SortBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  if (nargout == 0) return Drop(ctx, nargin);
  bool descending = false;
  int32_t modes = 0;  // the mode's entry on top, if any
  if (nargin >= 2 && IsCharArray(ctx, 0)) {
    uint16_t mode = OptionText(ctx, 0).Initial();
    if (mode != 0 && mode != 'a' && mode != 'd') return kErrUnknownOpt;
    descending = mode == 'd';
    modes = 1;
  }
  const int32_t depth = nargin - 1;  // x's
  if (IsListValue(ctx, depth)) {
    if (nargin > 2) return kErrTooManyArgin;
    return SortStringList(ctx, depth, descending, nargout);
  }
  if (nargin - modes > 2) return kErrUnknownOpt;  // a third argument that is no mode
  int32_t dim = -1;
  if (nargin - modes == 2) {
    if ((e = GetIntegerArg(ctx, modes, &dim))) return e;
    if (dim < 1) return kErrBadDim;
    dim--;
  }
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  double* index = nullptr;
  if (nargout >= 2) {
    // The positions have x's size, empty ones too (1 x 0, 0 x 3).
    uint32_t at;
    int32_t count;
    if ((e = PushArrayOfClass(ctx, ArrayClass{}, false, v.shape, &at, &count, false))) return e;
    index = reinterpret_cast<double*>(ctx->Bytes() + at);
  }
  if ((e = SortArrayInPlace(ctx, depth + (index ? 1 : 0), dim, descending, index))) {
    if (index) Drop(ctx);
    return e;
  }
  if (!index) return Drop(ctx, depth);
  if ((e = DropStackEntries(ctx, 1, depth))) return e;
  return RollStackEntries(ctx, 2, 1);
}

}  // namespace vke
