// The loop's control-flow operations: for loops over columns, list items
// and ranges, range iterators of every numeric class, the case matching of
// switch.
#include <cmath>

#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

// fornext counts its steps in the loop value's flags above the flag bits.
constexpr uint32_t kFlagBits = 63;
constexpr uint32_t kStepUnit = 64;
constexpr uint32_t kMaxSteps = UINT32_MAX / kStepUnit - 1;
constexpr int32_t kOneByOne[2] = {1, 1};

// The column k (1-based) of the plain double matrix on top.
ErrCode PushColumn(EngineContext* ctx, const ValueDescriptor& d, int32_t k) {
  const int32_t cols = d.word;
  const int32_t rows = PlainRows(d);
  const bool complex = (d.flags & kFlagComplex) != 0;
  double *re, *im = nullptr;
  ErrCode e = PushNewMatrix(ctx, rows, 1, &re, complex ? &im : nullptr);
  if (e) return e;
  const uint8_t* data = DataAt(ctx, 1);
  const int64_t block = int64_t{rows} * cols;
  for (int32_t i = 0; i < rows; i++) {
    re[i] = Load<double>(data + 8 * (int64_t{i} * cols + k - 1));
    if (im) im[i] = Load<double>(data + 8 * (block + int64_t{i} * cols + k - 1));
  }
  return kOk;
}

// Column k of an array or element column k of a structured value:
// value(:, k), with the loop value at the depth under the pushed index.
ErrCode PushIndexedColumn(EngineContext* ctx, const ValueDescriptor& d, int32_t k) {
  ErrCode e = PushRealScalar(ctx, k);
  if (e) return e;
  SubscriptList subs;
  subs.n = 2;
  subs.colonMask = 1;
  e = ConvertIndexArgs(ctx, subs, nullptr, false);
  int32_t selected;
  if (!e && IsStructured(d)) e = SelectStructuredElements(ctx, subs, &selected);
  if (!e && !IsStructured(d)) {
    ArrayOperand x = OperandOfEntry(ctx, 1);
    x.desc = d;
    e = IndexSelect(ctx, x, subs);
  }
  if (e) {
    Drop(ctx);
    return e;
  }
  return DropStackEntries(ctx, 1, 1);
}

// A 1 x n row of the doubles.
ErrCode PushRow(EngineContext* ctx, const double* values, int32_t n) {
  double* re;
  ErrCode e = PushNewMatrix(ctx, 1, n, &re, nullptr);
  if (e) return e;
  std::memcpy(re, values, 8ull * n);
  return kOk;
}

// Replaces the n bounds on top, [start, stop] or [start, step, stop], by
// the iterator of their real range, which may run through more elements
// than a range value can hold, or on without end.
ErrCode ReplaceByRangeIterator(EngineContext* ctx, const double* bounds, int32_t n, bool single) {
  const double start = bounds[0], stop = bounds[n - 1];
  const double step = n == 3 ? bounds[1] : 1;
  double count;
  if (ErrCode e = CountLoopRange(start, stop, step, single, &count)) return e;
  const double iterator[kRangeIteratorSize + 1] = {0, count, start, step, 1};
  ErrCode e = PushRow(ctx, iterator, kRangeIteratorSize + (single ? 1 : 0));
  return e ? e : DropStackEntries(ctx, 1, n);
}

// An integer range iterator: [current, stop], [current, step, stop], or for
// an unsigned class whose step is negative [current, step, stop, 1].
struct IntegerIterator {
  uint8_t* elements = nullptr;
  int32_t bytes = 0;
  bool isUnsigned = false;
  int32_t count = 0;

  uint64_t Get(int32_t i) const {
    return ReadIntegerBits(elements,
                           static_cast<uint32_t>(bytes) + (isUnsigned ? kCodeUnsigned : 0), i);
  }
  void Set(int32_t i, uint64_t bits) { std::memcpy(elements + bytes * i, &bits, bytes); }
  uint64_t Mask() const { return bytes == 8 ? ~0ull : (1ull << (8 * bytes)) - 1; }
  bool Descending() const {
    if (count == 4) return Get(3) != 0;
    return count == 3 && !isUnsigned && static_cast<int64_t>(Get(1)) < 0;
  }
  // The step's size.
  uint64_t Magnitude() const {
    if (count == 2) return 1;
    const uint64_t step = Get(1);
    return Descending() ? (0 - step) & Mask() : step;
  }
  // Whether a is at most b in the iterator's class.
  bool AtMost(uint64_t a, uint64_t b) const {
    return isUnsigned ? a <= b : static_cast<int64_t>(a) <= static_cast<int64_t>(b);
  }
  // The state after the last value: ascending from 1 to 0.
  void Finish() {
    Set(0, 1);
    Set(count == 2 ? 1 : 2, 0);
    if (count >= 3) Set(1, 1);
    if (count == 4) Set(3, 0);
  }
};

bool ReadIntegerIterator(EngineContext* ctx, IntegerIterator* it) {
  const NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kInteger || v.shape.ndims != 2 || v.shape.dims[0] != 1 ||
      v.shape.count < 2 || v.shape.count > 4)
    return false;
  it->elements = v.elements;
  it->bytes = ElementBytesOfCode(v.code);
  it->isUnsigned = (v.code & kCodeUnsigned) != 0;
  it->count = v.shape.count;
  return true;
}

// The iterator for bounds that are not all real double scalars.
ErrCode MakeRangeIterator(EngineContext* ctx, int32_t n) {
  ErrCode e = ConvertArgsToCommonType(ctx, n);
  if (e) return e == kErrWrongType ? kErrWrongTypeOverload : e;
  for (int32_t d = 0; d < n; d++)
    if (ViewNumeric(ctx, d).shape.count != 1) return kErrNonScalarArg;
  const NumericView top = ViewNumeric(ctx, 0);
  if (top.cls == ValueClass::kDouble || top.cls == ValueClass::kSingle) {
    double values[3];
    for (int32_t i = 0; i < n; i++) {
      const NumericView v = ViewNumeric(ctx, n - 1 - i);
      values[i] = v.cls == ValueClass::kDouble ? Load<double>(v.elements) : Load<float>(v.elements);
    }
    return ReplaceByRangeIterator(ctx, values, n, top.cls == ValueClass::kSingle);
  }
  IntegerIterator it;
  it.bytes = ElementBytesOfCode(top.code);
  it.isUnsigned = (top.code & kCodeUnsigned) != 0;
  uint64_t bits[3];
  for (int32_t i = 0; i < n; i++)
    bits[i] = ReadIntegerBits(ViewNumeric(ctx, n - 1 - i).elements, top.code, 0);
  const bool negativeStep = n == 3 && it.isUnsigned && (bits[1] >> (8 * it.bytes - 1)) & 1;
  const int32_t dims[2] = {1, negativeStep ? 4 : n};
  void* out;
  e = PushNewTypedArray(ctx, 2, dims, it.bytes, it.isUnsigned, &out);
  if (e) return e;
  it.elements = static_cast<uint8_t*>(out);
  it.count = dims[1];
  for (int32_t i = 0; i < n; i++) it.Set(i, bits[i]);
  if (negativeStep) it.Set(3, 1);
  return DropStackEntries(ctx, 1, n);
}

// The number a switch value stands for, or its text; nothing for an empty
// switch value.
struct SwitchKey {
  enum class Kind : uint8_t { kNone, kNumber, kText } kind = Kind::kNone;
  double number = 0;
  const uint16_t* text = nullptr;
  int32_t length = 0;
};

ErrCode ReadSwitchKey(EngineContext* ctx, int32_t depth, SwitchKey* key) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  const NumericView v = ViewNumeric(ctx, depth);
  if (IsPlain(*d)) {
    if (v.complex || v.shape.count > 1) return kErrWrongType;
  } else if (v.cls == ValueClass::kChar) {
    key->kind = SwitchKey::Kind::kText;
    key->text = reinterpret_cast<const uint16_t*>(v.elements);
    key->length = v.shape.count;
    return kOk;
  } else if (v.cls == ValueClass::kOther || !IsTyped(*d)) {
    return kErrWrongType;
  } else if (v.shape.count > 1) {
    return kErrBadSize;
  }
  if (v.shape.count == 0) return kOk;
  if (v.complex) return kErrWrongType;
  key->kind = SwitchKey::Kind::kNumber;
  key->number = v.cls == ValueClass::kDouble   ? Load<double>(v.elements)
                : v.cls == ValueClass::kSingle ? Load<float>(v.elements)
                                               : ReadIntegerElement(v.elements, v.code, 0);
  return kOk;
}

// Whether any element of an array equals the number (imaginary parts 0).
bool AnyElementEquals(const NumericView& v, double x) {
  for (int32_t i = 0; i < v.shape.count; i++) {
    double re, im = 0;
    if (v.cls == ValueClass::kDouble) {
      re = Load<double>(v.elements + 8ll * i);
      if (v.complex) im = Load<double>(v.elements + 8ll * (v.shape.count + i));
    } else if (v.cls == ValueClass::kSingle) {
      re = Load<float>(v.elements + 4ll * i);
      if (v.complex) im = Load<float>(v.elements + 4ll * (v.shape.count + i));
    } else {
      re = ReadIntegerElement(v.elements, v.code, i);
    }
    if (re == x && im == 0) return true;
  }
  return false;
}

bool TextEquals(const SwitchKey& key, const NumericView& v) {
  return v.shape.count == key.length &&
         std::memcmp(v.elements, key.text, 2ull * static_cast<uint32_t>(key.length)) == 0;
}

bool IsCharRow(const NumericView& v) {
  return v.cls == ValueClass::kChar && v.shape.ndims == 2 && v.shape.dims[0] <= 1;
}

// One candidate of a list against the key.
ErrCode MatchItem(const SwitchKey& key, const uint8_t* item, bool* match) {
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  const NumericView v = ViewNumericData(d, const_cast<uint8_t*>(item) + 16);
  if (key.kind == SwitchKey::Kind::kText) {
    if (!IsCharRow(v)) return kErrWrongType;
    *match = TextEquals(key, v);
    return kOk;
  }
  if (IsTyped(d) && (v.cls == ValueClass::kInteger || v.cls == ValueClass::kLogical ||
                     v.cls == ValueClass::kDouble || v.cls == ValueClass::kSingle))
    return kErrNotSupported;
  if (!IsPlain(d) || v.complex) return kErrWrongType;
  if (v.shape.count != 1) return kErrBadSize;
  *match = Load<double>(v.elements) == key.number;
  return kOk;
}

ErrCode MatchCase(EngineContext* ctx, const SwitchKey& key, bool* match) {
  const ValueDescriptor d = *DescAt(ctx, 0);
  uint8_t* data = DataAt(ctx, 0);
  StructuredLayout l;
  if (ReadStructuredLayout(d, data, &l)) {
    if (l.kind != kKindList && l.kind != kKindCell) return kErrWrongType;
    uint32_t at = l.first;
    for (int32_t i = 0; i < l.elements && !*match; i++, at += ItemBytes(data + at)) {
      ErrCode e = MatchItem(key, data + at, match);
      if (e) return e;
    }
    return kOk;
  }
  const NumericView v = ViewNumericData(d, data);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  if (key.kind == SwitchKey::Kind::kText)
    *match = v.cls == ValueClass::kChar && TextEquals(key, v);
  else
    *match = v.cls != ValueClass::kChar && AnyElementEquals(v, key.number);
  return kOk;
}

}  // namespace

ErrCode PushIntegerLiteral(EngineContext* ctx, int32_t bytes, bool isUnsigned, uint64_t bits) {
  void* out;
  ErrCode e = PushNewTypedArray(ctx, 2, kOneByOne, bytes, isUnsigned, &out);
  if (e) return e;
  std::memcpy(out, &bits, bytes);
  return kOk;
}

ErrCode ForNext(EngineContext* ctx) {
  const uint32_t counted = DescAt(ctx, 0)->flags;
  const uint32_t step = (counted >> 6) + 1;
  if (step > kMaxSteps) return kErrIndexOutOfRange;
  const ValueDescriptor value{counted & kFlagBits, DescAt(ctx, 0)->size, DescAt(ctx, 0)->word};
  const auto k = static_cast<int32_t>(step);
  // The loop value counts the step once the round's value stands: a value
  // without room leaves the count as it was, and the round runs again once
  // the area has grown.
  ErrCode e;
  StructuredLayout l;
  if (IsPlain(value)) {
    if (k > value.word) return kErrIndexOutOfRange;
    e = PushColumn(ctx, value, k);
  } else if (ReadStructuredLayout(value, DataAt(ctx, 0), &l) && l.kind == kKindList) {
    if (k > l.elements) return kErrIndexOutOfRange;
    e = PushItem(ctx, DataAt(ctx, 0) + ElementOffset(DataAt(ctx, 0), l, k - 1));
  } else {
    const bool indexable =
        (IsTyped(value) && value.word >= kKindArray && value.word <= kKindLogical) ||
        IsStructured(value);
    if (!indexable) return kErrWrongTypeOverload;
    // The kernels read the loop value with its own flags while they work.
    DescAt(ctx, 0)->flags = value.flags;
    e = PushIndexedColumn(ctx, value, k);
    if (e) DescAt(ctx, 0)->flags = counted;
  }
  if (e) return e;
  DescAt(ctx, 1)->flags = counted + kStepUnit;
  return kOk;
}

ErrCode ForRangeNext(EngineContext* ctx) {
  // The iterator advances once the value stands: a value without room
  // leaves it as it was, and the round runs again once the area has grown.
  RealRangeStep step;
  if (PeekRealRange(ctx, &step)) {
    if (!step.more) return kErrIndexOutOfRange;
    if (ErrCode e = PushRealScalar(ctx, step.value)) return e;
    step.Take();
    return kOk;
  }
  IntegerIterator it;
  if (!ReadIntegerIterator(ctx, &it)) return kErrWrongTypeOverload;
  const uint64_t current = it.Get(0);
  const uint64_t stop = it.Get(it.count == 2 ? 1 : 2);
  const uint64_t size = it.Magnitude();
  const bool descending = it.Descending();
  const bool more = size != 0 && (descending ? it.AtMost(stop, current) : it.AtMost(current, stop));
  if (!more) return kErrIndexOutOfRange;
  // The push leaves the iterator's data where it lies.
  if (ErrCode e = PushIntegerLiteral(ctx, it.bytes, it.isUnsigned, current)) return e;
  // Past the stop, or wrapping around, the iterator finishes.
  const uint64_t distance = descending ? current - stop : stop - current;
  if (distance < size)
    it.Finish();
  else
    it.Set(0, descending ? current - size : current + size);
  return kOk;
}

ErrCode ForRangeInit(EngineContext* ctx, int32_t n) {
  if ((n != 2 && n != 3) || n > GetFrameEntryCount(ctx)) return kErrIllegal;
  double values[3];
  bool scalars = true;
  for (int32_t i = 0; i < n && scalars; i++) {
    const ValueDescriptor* d = DescAt(ctx, n - 1 - i);
    const bool real = d->flags == 0 && d->size == 1;
    const bool complexTop = i == n - 1 && d->flags == kFlagComplex && d->size == 2;
    scalars = d->word == 1 && (real || complexTop);
    values[i] = Load<double>(DataAt(ctx, n - 1 - i));
  }
  if (!scalars) return MakeRangeIterator(ctx, n);
  return ReplaceByRangeIterator(ctx, values, n, false);
}

ErrCode ForRangeLast(EngineContext* ctx) {
  const ValueDescriptor d = *DescAt(ctx, 0);
  IntegerIterator it;
  double last;
  bool empty;
  if (IsRealRangeIterator(d)) {
    const uint8_t* data = DataAt(ctx, 0);
    const double count = Load<double>(data + 8);
    empty = !(count > 0);
    last = empty ? 0
                 : LastRangeElement(Load<double>(data + 16), Load<double>(data + 24), count,
                                    d.size != kRangeIteratorSize);
  } else if (ReadIntegerIterator(ctx, &it)) {
    double v[3];
    const int32_t n = it.count == 4 ? 3 : it.count;
    for (int32_t i = 0; i < n; i++)
      v[i] =
          it.isUnsigned ? static_cast<double>(it.Get(i)) : static_cast<double>(int64_t(it.Get(i)));
    if (it.Descending()) v[1] = -static_cast<double>(it.Magnitude());
    const double start = v[0], stop = v[n - 1];
    const double step = n == 3 ? v[1] : 1;
    empty = !(step > 0 ? start <= stop : step < 0 && start >= stop);
    last = start + std::floor((stop - start) / step) * step;
  } else {
    return kErrWrongTypeOverload;
  }
  // An empty range leaves its variable as it was: the no-value marker is
  // dropped by the store that follows.
  ErrCode e = empty ? PushNoValue(ctx)
              : IsRealRangeIterator(d)
                  ? PushRealScalar(ctx, last)
                  : PushIntegerLiteral(ctx, it.bytes, it.isUnsigned,
                                       static_cast<uint64_t>(TruncToInt64(last)));
  return e ? e : DropStackEntries(ctx, 1, 1);
}

ErrCode SwitchCaseMatch(EngineContext* ctx, bool* match) {
  *match = false;
  if (GetFrameEntryCount(ctx) < 2) return kErrIllegal;
  SwitchKey key;
  ErrCode e = ReadSwitchKey(ctx, 1, &key);
  if (!e && key.kind != SwitchKey::Kind::kNone) e = MatchCase(ctx, key, match);
  if (e) return e;
  return Drop(ctx);
}

}  // namespace vke
