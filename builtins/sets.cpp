// unique and the set operations built on it: union, intersect, setdiff,
// setxor and ismember, for arrays of every numeric class and for lists of
// strings. The set operations compose unique, concatenation (the vertcat
// and join builtins) and selection on the value stack; their index outputs
// are double rows.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "builtins/builtin.hpp"
#include "builtins/sorting.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"

namespace vke {

namespace {

// ---- Stack steps ----

ErrCode MoveToTop(EngineContext* ctx, int32_t depth) {
  return RollStackEntries(ctx, depth + 1, 1);
}

ErrCode Swap(EngineContext* ctx) {
  return RollStackEntries(ctx, 2, 1);
}

ErrCode Unique(EngineContext* ctx, int32_t outputs) {
  return UniqueBuiltin(ctx, 1, outputs, 0);
}

int32_t ElementCount(EngineContext* ctx, int32_t depth) {
  Shape s;
  return GetValueShape(ctx, depth, &s) ? 0 : s.count;
}

// An array on top becomes a column (reshape with one argument); lists and
// cell arrays stay as they are.
ErrCode MakeTopColumn(EngineContext* ctx) {
  if (IsListValue(ctx, 0)) return kOk;
  const int32_t dims[2] = {ElementCount(ctx, 0), 1};
  return ReshapeTopValue(ctx, 2, dims);
}

// Joins the top two values into one: two lists or cell arrays into a list,
// anything else as columns one above the other.
ErrCode ConcatenateSetArgs(EngineContext* ctx) {
  if (IsListValue(ctx, 0) && IsListValue(ctx, 1)) return CallBuiltinOf(ctx, kOpJoin, 2, 1);
  ErrCode e = MakeTopColumn(ctx);
  if (!e) e = Swap(ctx);
  if (!e) e = MakeTopColumn(ctx);
  if (!e) e = Swap(ctx);
  return e ? e : CallBuiltinOf(ctx, kOpVertcat, 2, 1);
}

// The elements of the double row or column at the depth, copied into the
// scratch (they must outlive the entry).
ErrCode CopyElements(EngineContext* ctx, int32_t depth, DataScratch* scratch, double** out,
                     int32_t* n) {
  double* re;
  Shape s;
  ErrCode e = GetDoubleArrayArg(ctx, depth, &s, &re, nullptr);
  uint32_t at;
  if (!e) e = scratch->Reserve(8ull * s.count, &at);
  if (e) return e;
  *out = reinterpret_cast<double*>(ctx->Bytes() + at);
  std::memcpy(*out, re, 8ull * s.count);
  *n = s.count;
  return kOk;
}

// Scratch of n doubles.
ErrCode ReserveDoubles(DataScratch* scratch, EngineContext* ctx, int64_t n, double** out) {
  uint32_t at;
  ErrCode e = scratch->Reserve(8ull * n, &at);
  if (!e) *out = reinterpret_cast<double*>(ctx->Bytes() + at);
  return e;
}

// Room for the index outputs of unique over n elements (rows of at most n
// elements each), checked before its operand is changed.
ErrCode CheckRoomForIndexRows(EngineContext* ctx, int32_t outputs, int32_t n) {
  const uint64_t rows = outputs >= 3 ? 2 : outputs - 1;
  if (rows == 0) return kOk;
  if (uint64_t{ctx->descTop} + 3 * rows >= ctx->descCap) return kErrStackOverflow;
  if (uint64_t{ctx->dataTop} + rows * n >= ctx->dataCap) return kErrDataOverflow;
  return kOk;
}

// Pushes the index outputs of unique after the values: the kept positions
// and the group of every element, then puts the first output on top.
ErrCode PushUniqueIndices(EngineContext* ctx, int32_t outputs, const double* kept, int32_t k,
                          const double* groups, int32_t n) {
  // Their room was found before (CheckRoomForIndexRows): no request.
  const RoomRequestsPaused checked;
  ErrCode e = kOk;
  if (outputs >= 2) e = PushDoubleRow(ctx, k, [kept](int32_t i) { return kept[i]; });
  if (!e && outputs >= 3) e = PushDoubleRow(ctx, n, [groups](int32_t i) { return groups[i]; });
  return e ? e : ReverseStackEntries(ctx, outputs < 3 ? outputs : 3);
}

// ---- unique ----

// Element at (a position counting the imaginary block after the real one)
// of a double or single array.
double ElementPart(const NumericView& v, int64_t at) {
  return v.cls == ValueClass::kSingle ? double(Load<float>(v.elements + 4 * at))
                                      : Load<double>(v.elements + 8 * at);
}

// Whether elements a and b of a numeric array differ: doubles and singles
// by !=, so that every NaN differs; complex ones in either part; the other
// classes in their bits.
bool Differs(const NumericView& v, int64_t a, int64_t b) {
  int es = ElementBytesOfCode(v.code);
  switch (v.cls) {
    case ValueClass::kDouble:
    case ValueClass::kSingle:
      return ElementPart(v, a) != ElementPart(v, b) ||
             (v.complex && ElementPart(v, v.shape.count + a) != ElementPart(v, v.shape.count + b));
    default:
      return std::memcmp(v.elements + es * a, v.elements + es * b, es) != 0;
  }
}

// Squared modulus of a complex element, the key it was sorted by.
double SquaredModulus(const NumericView& v, int64_t i) {
  double re = ElementPart(v, i), im = ElementPart(v, v.shape.count + i);
  return re * re + im * im;
}

// Orders complex elements by real, then imaginary part.
template <typename T>
int32_t CompareParts(const SortCompareContext* c, int32_t i, int32_t j) {
  auto part = [c](int64_t at) { return double(Load<T>(c->data + sizeof(T) * at)); };
  for (int64_t offset : {int64_t{0}, c->imag}) {
    double x = part(i + offset), y = part(j + offset);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// For each element of a sorted complex vector, the position of the first
// element equal to it: complex values sort by modulus only, so equal ones
// need not be adjacent within a run of one modulus. Each run is ordered by
// its parts through a permutation to find them.
void FirstEqualPositions(const NumericView& v, int32_t n, int32_t* first, int32_t* perm) {
  SortCompareContext c;
  c.data = v.elements;
  c.imag = v.shape.count;
  SortComparator compare =
      v.cls == ValueClass::kSingle ? CompareParts<float> : CompareParts<double>;
  for (int32_t start = 0, end; start < n; start = end) {
    for (end = start + 1; end < n && SquaredModulus(v, end) == SquaredModulus(v, start);) end++;
    c.data = v.elements + ElementBytesOfCode(v.code) * start;
    ShellSortByComparator(end - start, compare, perm, &c, false);
    for (int32_t k = 0; k < end - start; k++) {
      bool same = k > 0 && !Differs(v, start + perm[k], start + perm[k - 1]);
      first[start + perm[k]] = same ? first[start + perm[k - 1]] : start + perm[k];
    }
  }
}

// Keeps the first element of each value of a sorted vector, moving the kept
// ones to the front with their indices; groups[i - 1] receives, for the
// element that came from position i, the number of its value among the
// kept. Returns the number kept.
// A complex vector takes `first`, scratch of 3n int32 (see
// ReserveDistinctScratch); a real one none.
int32_t KeepDistinct(const NumericView& v, double* index, double* groups, int32_t* first) {
  int es = ElementBytesOfCode(v.code);
  int32_t n = v.shape.count;
  int32_t* number = nullptr;
  if (v.complex) {
    number = first + n;
    FirstEqualPositions(v, n, first, number + n);
  }
  int32_t kept = 0;
  for (int32_t p = 0; p < n; p++) {
    double from = index ? index[p] : 0;
    int32_t group;
    if (v.complex ? first[p] != p : p > 0 && !Differs(v, p, kept - 1)) {
      group = v.complex ? number[first[p]] : kept;
    } else {
      for (int part = 0; part < (v.complex ? 2 : 1); part++)
        std::memmove(v.elements + es * (int64_t(part) * n + kept),
                     v.elements + es * (int64_t(part) * n + p), es);
      if (index) index[kept] = from;
      group = ++kept;
      if (v.complex) number[p] = group;
    }
    if (groups) groups[static_cast<int64_t>(from) - 1] = group;
  }
  return kept;
}

// Shortens the row or column of n elements on top to its first k (k >= 1).
void ShrinkTopVector(EngineContext* ctx, int32_t k, bool row) {
  ValueDescriptor* d = DescAt(ctx, 0);
  NumericView v = ViewNumeric(ctx, 0);
  int es = ElementBytesOfCode(v.code);
  int parts = v.complex ? 2 : 1;
  if (v.complex) std::memmove(v.elements + es * k, v.elements + es * v.shape.count, es * k);
  uint32_t units;
  if (IsPlain(*d)) {
    d->word = row ? k : 1;
    units = static_cast<uint32_t>(k * parts);
  } else {
    uint8_t* header = DataAt(ctx, 0);
    Store<uint32_t>(header + 8, row ? 1 : k);
    Store<uint32_t>(header + 12, row ? k : 1);
    uint64_t used = uint64_t(k) * es * parts;
    units = static_cast<uint32_t>(TypedArrayUnits(2, used));
    std::memset(v.elements + used, 0, 8ull * (units - HeaderUnits(2)) - used);
  }
  ctx->dataTop -= d->size - units;
  d->size = units;
}

ErrCode UniqueStringList(EngineContext* ctx, int32_t outputs) {
  DataScratch scratch(ctx);
  SortCompareContext compare;
  int32_t *perm, n;
  ErrCode e = OrderStringList(ctx, 0, false, &scratch, &compare, &perm, &n);
  double *kept, *groups;
  uint32_t positionsAt;
  if (!e) e = ReserveDoubles(&scratch, ctx, n, &kept);
  if (!e) e = ReserveDoubles(&scratch, ctx, n, &groups);
  if (!e) e = scratch.Reserve(4ull * n, &positionsAt);
  if (!e) e = CheckRoomForIndexRows(ctx, outputs, n);
  if (e) return e;
  // The first string of each run of equal ones is kept.
  auto* positions = reinterpret_cast<int32_t*>(ctx->Bytes() + positionsAt);
  int32_t k = 0;
  for (int32_t p = 0; p < n; p++) {
    if (p > 0 && SortCompareStrings(&compare, perm[p], positions[k - 1] - 1) == 0) {
      groups[perm[p]] = k;
      continue;
    }
    positions[k] = perm[p] + 1;
    kept[k++] = perm[p] + 1;
    groups[perm[p]] = k;
  }
  if ((e = SelectElements(ctx, positions, k))) return e;
  return PushUniqueIndices(ctx, outputs, kept, k, groups, n);
}

// ---- union and intersect ----

// The kept positions of unique over two concatenated values, split at the
// first value's element count: those from the first, and those from the
// second less that count.
ErrCode PushSplitPositions(EngineContext* ctx, const double* positions, int32_t k, int32_t na,
                           bool second) {
  int32_t count = 0;
  for (int32_t i = 0; i < k; i++) count += (positions[i] > na) == second;
  double* row;
  ErrCode e = PushNewMatrix(ctx, count ? 1 : 0, count, &row, nullptr);
  if (e) return e;
  for (int32_t i = 0, w = 0; i < k; i++)
    if ((positions[i] > na) == second) row[w++] = positions[i] - (second ? na : 0);
  return kOk;
}

}  // namespace

// [u, i, j] = unique(x).
ErrCode UniqueBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, 1, nullptr);
  if (e) return e;
  int32_t outputs = nargout < 1 ? 1 : nargout;
  if (IsListValue(ctx, 0)) return UniqueStringList(ctx, outputs);
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  int32_t n = v.shape.count;
  bool row = v.shape.ndims == 2 && v.shape.dims[0] == 1;
  const int32_t column[2] = {n, 1};
  if (!row && (e = ReshapeTopValue(ctx, 2, column))) return e;
  DataScratch scratch(ctx);
  double *index = nullptr, *groups = nullptr;
  int32_t* first = nullptr;
  if (outputs >= 2 && (e = ReserveDoubles(&scratch, ctx, n, &index))) return e;
  if (outputs >= 3 && (e = ReserveDoubles(&scratch, ctx, n, &groups))) return e;
  v = ViewNumeric(ctx, 0);
  if (v.complex && n > 0) {
    uint32_t at;
    if ((e = scratch.Reserve(12ull * n, &at))) return e;
    first = reinterpret_cast<int32_t*>(ctx->Bytes() + at);
  }
  // The values are sorted and cut to the distinct ones in place: every
  // reservation comes first, the index rows' room included, so that a
  // failure for lack of room leaves the operand as given.
  if ((e = CheckRoomForIndexRows(ctx, outputs, n))) return e;
  for (int32_t i = 0; index && i < n; i++) index[i] = i + 1;
  // NaNs sort last in their order, each a value of its own.
  const DimLayout layout{1, 1, n};
  if ((e = SortLines(ctx, v, layout, false, index))) return e;
  int32_t kept = 0;
  if (n > 0) {
    kept = KeepDistinct(v, index, groups, first);
    ShrinkTopVector(ctx, kept, row);
  }
  return PushUniqueIndices(ctx, outputs, index, kept, groups, n);
}

namespace {

// ---- The set operations, composed on the stack ----
//
// Each replaces its two operands with its outputs, through steps that
// rearrange and consume them as they go.

// [c, ia, ib] = union(a, b).
ErrCode Union(EngineContext* ctx, int32_t outputs) {
  ErrCode e;
  int32_t na = ElementCount(ctx, 1);
  if ((e = ConcatenateSetArgs(ctx)) || (e = Unique(ctx, outputs >= 2 ? 2 : 1)) || outputs < 2)
    return e;
  DataScratch scratch(ctx);
  double* positions;
  int32_t k;
  if ((e = CopyElements(ctx, 1, &scratch, &positions, &k))) return e;
  if ((e = DropStackEntries(ctx, 1, 1))) return e;
  for (int32_t part = 0; part < outputs - 1 && part < 2; part++)
    if ((e = PushSplitPositions(ctx, positions, k, na, part == 1))) return e;
  return ReverseStackEntries(ctx, outputs < 3 ? outputs : 3);
}

// [c, ia, ib] = intersect(a, b): the values found in both, ascending. The
// unique values of each are put together and made unique once more; a value
// whose group holds an element of each is in both.
ErrCode Intersect(EngineContext* ctx, int32_t outputs) {
  ErrCode e;
  // a b -> ia ua ib ub -> ia ib ua ub -> ia ib jc ic uc
  if ((e = Swap(ctx)) || (e = Unique(ctx, 2)) || (e = MakeTopColumn(ctx))) return e;
  int32_t na = ElementCount(ctx, 0);
  if ((e = MoveToTop(ctx, 2)) || (e = Unique(ctx, 2)) || (e = MakeTopColumn(ctx)) ||
      (e = MoveToTop(ctx, 2)) || (e = Swap(ctx)) || (e = ConcatenateSetArgs(ctx)) ||
      (e = Unique(ctx, 3)))
    return e;

  DataScratch scratch(ctx);
  double *ia, *ib, *groups, *inA, *inB;
  int32_t nA, nB, total, distinct = ElementCount(ctx, 0);
  uint32_t picksAt;
  if ((e = CopyElements(ctx, 4, &scratch, &ia, &nA)) ||
      (e = CopyElements(ctx, 3, &scratch, &ib, &nB)) ||
      (e = CopyElements(ctx, 2, &scratch, &groups, &total)) ||
      (e = ReserveDoubles(&scratch, ctx, distinct, &inA)) ||
      (e = ReserveDoubles(&scratch, ctx, distinct, &inB)) ||
      (e = scratch.Reserve(4ull * distinct, &picksAt)))
    return e;
  // Each group's element from the first column and from the second, if any.
  for (int32_t g = 0; g < distinct; g++) inA[g] = inB[g] = 0;
  for (int32_t p = 0; p < total; p++) {
    auto g = static_cast<int32_t>(groups[p]) - 1;
    if (g < 0 || g >= distinct) continue;
    if (p < na && p < nA) inA[g] = ia[p];
    if (p >= na && p - na < nB) inB[g] = ib[p - na];
  }
  auto* picks = reinterpret_cast<int32_t*>(ctx->Bytes() + picksAt);
  int32_t k = 0;
  for (int32_t g = 0; g < distinct; g++) {
    if (inA[g] == 0 || inB[g] == 0) continue;
    inA[k] = inA[g];
    inB[k] = inB[g];
    picks[k++] = g + 1;
  }
  if ((e = DropStackEntries(ctx, 1, 4)) || (e = SelectElements(ctx, picks, k))) return e;
  if (outputs >= 2 && (e = PushDoubleRow(ctx, k, [inA](int32_t i) { return inA[i]; }))) return e;
  if (outputs >= 3 && (e = PushDoubleRow(ctx, k, [inB](int32_t i) { return inB[i]; }))) return e;
  return ReverseStackEntries(ctx, outputs < 3 ? outputs : 3);
}

// [c, ia] = setdiff(a, b): the values of a not in b, ascending.
ErrCode Setdiff(EngineContext* ctx, int32_t outputs) {
  ErrCode e;
  // a b -> b ia ua -> ia ua ua b -> ia ua ipos c
  if ((e = Swap(ctx)) || (e = Unique(ctx, 2)) || (e = MoveToTop(ctx, 2)) ||
      (e = DuplicateStackEntries(ctx, 1, 1)) || (e = Swap(ctx)) || (e = Intersect(ctx, 2)))
    return e;
  DataScratch scratch(ctx);
  double *both, *ia, *inA;
  int32_t nBoth, nU;
  uint32_t picksAt;
  if ((e = CopyElements(ctx, 1, &scratch, &both, &nBoth)) ||
      (e = CopyElements(ctx, 3, &scratch, &ia, &nU)) ||
      (e = ReserveDoubles(&scratch, ctx, nU, &inA)) || (e = scratch.Reserve(4ull * nU, &picksAt)))
    return e;
  // A mask over the unique values of a, cleared where b has them too.
  auto* picks = reinterpret_cast<int32_t*>(ctx->Bytes() + picksAt);
  for (int32_t q = 0; q < nU; q++) picks[q] = 1;
  for (int32_t t = 0; t < nBoth; t++) {
    auto q = static_cast<int32_t>(both[t]) - 1;
    if (q >= 0 && q < nU) picks[q] = 0;
  }
  int32_t k = 0;
  for (int32_t q = 0; q < nU; q++) {
    if (!picks[q]) continue;
    inA[k] = ia[q];
    picks[k++] = q + 1;
  }
  if ((e = Drop(ctx, 2)) || (e = SelectElements(ctx, picks, k))) return e;
  if (outputs < 2) return DropStackEntries(ctx, 1, 1);
  if ((e = PushDoubleRow(ctx, k, [inA](int32_t i) { return inA[i]; })) || (e = Swap(ctx))) return e;
  return DropStackEntries(ctx, 2, 1);
}

// [c, ia, ib] = setxor(a, b): the values in one of a and b only.
ErrCode Setxor(EngineContext* ctx, int32_t outputs) {
  ErrCode e;
  // a b -> a b i -> b i ia da -> ia da ib db -> ia ib c
  if ((e = DuplicateStackEntries(ctx, 0, 2)) || (e = Intersect(ctx, 1)) ||
      (e = MoveToTop(ctx, 2)) || (e = DuplicateStackEntries(ctx, 1, 1)) || (e = Setdiff(ctx, 2)) ||
      (e = MoveToTop(ctx, 3)) || (e = MoveToTop(ctx, 3)) || (e = Setdiff(ctx, 2)) ||
      (e = MoveToTop(ctx, 2)) || (e = Swap(ctx)) || (e = Union(ctx, 1)))
    return e;
  if (outputs == 1) return DropStackEntries(ctx, 1, 2);
  if (outputs == 2) return DropStackEntries(ctx, 1, 1);
  e = MoveToTop(ctx, 2);
  return e ? e : Swap(ctx);
}

// ismember(a, s): a logical array of a's shape, true where a's element is
// in s.
ErrCode Ismember(EngineContext* ctx) {
  ErrCode e;
  Shape shape;
  if ((e = GetValueShape(ctx, 1, &shape))) return e;
  // a s -> s j i u -> j u s -> j iu
  if ((e = Swap(ctx)) || (e = Unique(ctx, 3)) || (e = DropStackEntries(ctx, 1, 1))) return e;
  int32_t nU = ElementCount(ctx, 0);
  if ((e = MoveToTop(ctx, 2)) || (e = Intersect(ctx, 2)) || (e = Drop(ctx))) return e;
  DataScratch scratch(ctx);
  double *found, *groups, *flags;
  int32_t nFound, n;
  if ((e = CopyElements(ctx, 0, &scratch, &found, &nFound)) ||
      (e = CopyElements(ctx, 1, &scratch, &groups, &n)) ||
      (e = ReserveDoubles(&scratch, ctx, nU, &flags)))
    return e;
  for (int32_t q = 0; q < nU; q++) flags[q] = 0;
  for (int32_t t = 0; t < nFound; t++) {
    auto q = static_cast<int32_t>(found[t]) - 1;
    if (q >= 0 && q < nU) flags[q] = 1;
  }
  uint8_t* out;
  if ((e = PushLogicalArray(ctx, shape.ndims, shape.dims, &out))) return e;
  for (int32_t p = 0; p < n && p < shape.count; p++) {
    auto q = static_cast<int32_t>(groups[p]) - 1;
    out[p] = q >= 0 && q < nU && flags[q] != 0;
  }
  return DropStackEntries(ctx, 1, 2);
}

// Runs a set operation on copies of the two operands on top: a failure
// drops the copies and whatever the steps left above them, so that the
// operands stay as given (a failure for lack of room runs the builtin again
// once the area has grown); on success the operands under the outputs go.
template <typename Operation>
ErrCode OnCopiesOfOperands(EngineContext* ctx, int32_t outputs, Operation operation) {
  ErrCode e = CheckArgumentTypes(ctx, 2, nullptr);
  if (e) return e;
  const uint32_t level = ctx->descTop;
  if ((e = DuplicateStackEntries(ctx, 0, 2))) return e;
  if ((e = operation())) {
    if (ctx->descTop > level) Drop(ctx, static_cast<int32_t>((ctx->descTop - level) / 3));
    return e;
  }
  return DropStackEntries(ctx, outputs, 2);
}

int32_t OutputsOf(int32_t nargout) {
  return nargout < 1 ? 1 : nargout;
}

}  // namespace

ErrCode UnionBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  const int32_t outputs = OutputsOf(nargout);
  return OnCopiesOfOperands(ctx, outputs, [&] { return Union(ctx, outputs); });
}

ErrCode IntersectBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  const int32_t outputs = OutputsOf(nargout);
  return OnCopiesOfOperands(ctx, outputs, [&] { return Intersect(ctx, outputs); });
}

ErrCode SetdiffBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  const int32_t outputs = OutputsOf(nargout);
  if (outputs > 2) return kErrTooManyArgout;
  return OnCopiesOfOperands(ctx, outputs, [&] { return Setdiff(ctx, outputs); });
}

ErrCode SetxorBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  const int32_t outputs = OutputsOf(nargout);
  return OnCopiesOfOperands(ctx, outputs, [&] { return Setxor(ctx, outputs); });
}

ErrCode IsmemberBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return OnCopiesOfOperands(ctx, 1, [&] { return Ismember(ctx); });
}

}  // namespace vke
