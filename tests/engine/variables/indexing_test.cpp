// Indexing kernels: positions, the working dimension, index conversion,
// reading, assignment with growth, deletion and structured element tables.
#include "engine/variables/indexing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;
using Dims = std::vector<int32_t>;
using Elems = std::vector<double>;

const ArrayClass kDbl{kKindArray, kCodeDouble}, kSgl{kKindArray, kCodeSingle},
    kI8{kKindArray, kCodeInt8}, kI32{kKindArray, kCodeInt32}, kI64{kKindArray, kCodeInt64},
    kChr{kKindChar, kCodeUInt16}, kLog{kKindLogical, kCodeUInt8};

// Pushes an array of the class with its elements in storage order.
void Push(EngineContext* ctx, ArrayClass cls, const Dims& dims, const Elems& re,
          const Elems& im = {}) {
  int32_t nd = static_cast<int32_t>(dims.size());
  if (cls.code == kCodeDouble) {
    double *r, *i;
    ASSERT_EQ(PushNewArray(ctx, nd, dims.data(), &r, im.empty() ? nullptr : &i), kOk);
    std::copy(re.begin(), re.end(), r);
    std::copy(im.begin(), im.end(), im.empty() ? r : i);
    return;
  }
  if (cls.code == kCodeSingle) {
    float *r, *i;
    ASSERT_EQ(PushNewSingleArray(ctx, nd, dims.data(), &r, im.empty() ? nullptr : &i), kOk);
    std::copy(re.begin(), re.end(), r);
    std::copy(im.begin(), im.end(), im.empty() ? r : i);
    return;
  }
  int es = ElementBytesOfCode(cls.code);
  void* data;
  ASSERT_EQ(PushNewTypedArray(ctx, nd, dims.data(), es, cls.code & kCodeUnsigned, &data), kOk);
  DescAt(ctx, 0)->word = cls.kind;
  for (size_t k = 0; k < re.size(); k++) {
    int64_t v = static_cast<int64_t>(re[k]);
    std::memcpy(static_cast<uint8_t*>(data) + es * k, &v, es);
  }
}

void Row(EngineContext* ctx, const Elems& v) {
  Push(ctx, kDbl, {1, static_cast<int32_t>(v.size())}, v);
}

// A value read back as doubles.
struct Read {
  ValueClass cls;
  uint32_t code;
  Dims dims;
  Elems re, im;
};

Read Get(EngineContext* ctx, int32_t depth = 0) {
  NumericView v = ViewNumeric(ctx, depth);
  Read r{v.cls, v.code, Dims(v.shape.dims, v.shape.dims + v.shape.ndims), {}, {}};
  int es = ElementBytesOfCode(v.code);
  for (int32_t k = 0; k < v.shape.count; k++) {
    for (int part = 0; part < (v.complex ? 2 : 1); part++) {
      const uint8_t* p = v.elements + es * (k + part * v.shape.count);
      double x = v.cls == ValueClass::kDouble   ? Load<double>(p)
                 : v.cls == ValueClass::kSingle ? Load<float>(p)
                                                : ReadIntegerElement(v.elements, v.code, k);
      (part ? r.im : r.re).push_back(x);
    }
  }
  return r;
}

// One subscript of an index group: a colon, numbers or a logical mask.
struct Sub {
  int kind = 0;  // 0 colon, 1 numbers, 2 mask
  Dims dims;
  Elems v;
};
Sub Colon() {
  return {};
}
Sub Idx(const Elems& v, Dims dims = {}) {
  return {1, dims.empty() ? Dims{1, static_cast<int32_t>(v.size())} : dims, v};
}
Sub Mask(const Elems& v, Dims dims = {}) {
  return {2, dims.empty() ? Dims{1, static_cast<int32_t>(v.size())} : dims, v};
}

// Pushes the group as the execution loop leaves it.
SubscriptList PushSubs(EngineContext* ctx, const std::vector<Sub>& subs, int32_t top) {
  SubscriptList list;
  list.n = static_cast<int32_t>(subs.size());
  list.top = top;
  for (size_t k = 0; k < subs.size(); k++) {
    if (subs[k].kind == 0) list.colonMask |= 1u << k;
    if (subs[k].kind != 0) Push(ctx, subs[k].kind == 2 ? kLog : kDbl, subs[k].dims, subs[k].v);
  }
  return list;
}

// x(subs) with x on top; on success the result lies above x.
ErrCode Select(EngineContext* ctx, const std::vector<Sub>& subs) {
  SubscriptList list = PushSubs(ctx, subs, 0);
  int32_t entries;
  ErrCode e = ConvertIndexArgs(ctx, list, &entries, true);
  if (!e) e = IndexSelect(ctx, OperandOfEntry(ctx, entries), list);
  EXPECT_EQ(DropStackEntries(ctx, e ? 0 : 1, entries), kOk);
  return e;
}

// x(subs) = y with x on top, deleting or assigning as the execution loop
// does; afterwards the new x is on top in place of the old one.
ErrCode Put(EngineContext* ctx, const std::vector<Sub>& subs, const std::function<void()>& y,
            ArrayClass cls = kDbl, bool* inPlace = nullptr, bool convert = true) {
  SubscriptList list = PushSubs(ctx, subs, 1);
  y();
  int32_t entries;
  bool deleted = false, written = false;
  ErrCode e = ConvertIndexArgs(ctx, list, &entries, false);
  ArrayOperand x = OperandOfEntry(ctx, entries + 1);
  if (!e) e = DeleteElements(ctx, x, list, &deleted);
  if (!e && !deleted) e = IndexAssign(ctx, x, list, cls, convert, &written);
  if (inPlace) *inPlace = written;
  bool pushed = !e && !written;
  EXPECT_EQ(DropStackEntries(ctx, pushed ? 1 : 0, entries + (pushed ? 2 : 1)), kOk);
  return e;
}
std::function<void()> Y(EngineContext* ctx, const Elems& v, Dims dims = {}, ArrayClass cls = kDbl,
                        const Elems& im = {}) {
  if (dims.empty()) dims = {1, static_cast<int32_t>(v.size())};
  return [=] { Push(ctx, cls, dims, v, im); };
}

// A 2 x 3 x 4 array whose element (s0, s1, s2) holds 100 s0 + 10 s1 + s2,
// laid out by hand: rows of a page one after the other, pages slowest.
void PushCoded(EngineContext* ctx) {
  Elems v(24);
  for (int s2 = 0; s2 < 4; s2++)
    for (int s0 = 0; s0 < 2; s0++)
      for (int s1 = 0; s1 < 3; s1++) v[(s2 * 2 + s0) * 3 + s1] = 100 * s0 + 10 * s1 + s2;
  Push(ctx, kDbl, {2, 3, 4}, v);
}

TEST(IndexPositions, StorageOrderRoundTripAndWorkingDimension) {
  const int32_t d[3] = {2, 3, 4}, s[3] = {1, 2, 3};
  EXPECT_EQ(SubscriptsToIndex(3, d, 3, s), 23);
  EXPECT_EQ(SubscriptsToIndex(2, d, 2, s), 5);  // row by row
  const int32_t beyond[4] = {1, 2, 0, 2};       // dimensions beyond ndims count as 1
  EXPECT_EQ(SubscriptsToIndex(2, d, 4, beyond), 17);
  const int32_t huge[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
  EXPECT_EQ(SubscriptsToIndex(3, huge, 3, huge), INT64_MAX);
  int32_t back[8];
  IndexToSubscripts(3, d, 23, back);
  EXPECT_EQ(Dims(back, back + 3), (Dims{1, 2, 3}));
  const int32_t zero[3] = {0, 0, 2};  // no division by zero
  IndexToSubscripts(3, zero, 7, back);
  EXPECT_EQ(back[2], 7);

  for (const Dims& dims : {Dims{1, 1}, Dims{5, 1}, Dims{1, 5}, Dims{3, 4}, Dims{2, 3, 4},
                           Dims{4, 1, 2, 3}, Dims{1, 3, 1, 2, 2}}) {
    int32_t nd = static_cast<int32_t>(dims.size()), count = 1;
    for (int32_t x : dims) count *= x;
    for (int32_t p = 0; p < count + 3; p++) {
      IndexToSubscripts(nd, dims.data(), p, back);
      EXPECT_EQ(SubscriptsToIndex(nd, dims.data(), nd, back), p);
    }
    // Walking (block, i, run) of every working dimension visits each
    // position once, with subscript i along that dimension.
    for (int32_t w = 0; w <= nd; w++) {
      int32_t dim = w;
      DimLayout l;
      NextNonSingletonDim(nd, dims.data(), &dim, &l);
      ASSERT_EQ(l.count * l.length * l.stride, count);
      std::vector<int> seen(count, 0);
      for (int32_t b = 0; b < l.count; b++)
        for (int32_t i = 0; i < l.length; i++)
          for (int32_t j = 0; j < l.stride; j++) {
            int32_t p = (b * l.length + i) * l.stride + j;
            seen[p]++;
            IndexToSubscripts(nd, dims.data(), p, back);
            EXPECT_EQ(w < nd ? back[w] : 0, i);
          }
      EXPECT_EQ(seen, std::vector<int>(count, 1));
    }
  }
  const int32_t row[2] = {1, 5}, page[3] = {1, 1, 4}, ones[3] = {1, 1, 1};
  DimLayout l;
  for (auto [dims, nd, want] : {std::tuple{row, 2, 1}, {page, 3, 2}, {ones, 3, 0}}) {
    int32_t dim = -1;
    NextNonSingletonDim(nd, dims, &dim, &l);
    EXPECT_EQ(dim, want);
  }
}

TEST(IndexArguments, ConversionCodesAndOwners) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Row(ctx, {10, 20, 30});
  EXPECT_EQ(Select(ctx, {Idx({2.5})}), kErrNonIntegerIndex);
  EXPECT_EQ(Select(ctx, {Idx({NAN})}), kErrNonIntegerIndex);
  EXPECT_EQ(Select(ctx, {Idx({0})}), kErrIndexOutOfRange);
  EXPECT_EQ(Select(ctx, {Idx({4})}), kErrIndexOutOfRange);
  EXPECT_EQ(Select(ctx, {Idx({3e9})}), kErrIndexOutOfRange);
  SubscriptList one;
  one.n = 1;
  int32_t entries;
  const int32_t d[2] = {1, 1};
  ASSERT_EQ(PushNewCellArray(ctx, 2, d), kOk);
  EXPECT_EQ(ConvertIndexArgs(ctx, one, &entries, false), kErrBadIndexType);
  Drop(ctx);
  Push(ctx, kChr, {1, 1}, {2});  // a char indexes by its code
  ASSERT_EQ(ConvertIndexArgs(ctx, one, &entries, false), kOk);
  ASSERT_EQ(IndexSelect(ctx, OperandOfEntry(ctx, 1), one), kOk);
  EXPECT_EQ(Get(ctx).re, Elems{20});
  Drop(ctx, 3);

  // An object behind a reference entry into a variable's block indexes
  // itself: nothing is converted.
  uint8_t* data = nullptr;
  int32_t block;
  ASSERT_EQ(AllocEngineBlock(ctx, 4, &block), kOk);
  uint8_t* b = BlockData(ctx, block);
  Store<ValueDescriptor>(b, {kFlagStructured, 0, 7});
  ASSERT_EQ(PushEntry(ctx, kFlagReference, 4, 0, false, &data), kOk);
  std::memset(data, 0, 32);
  Store<int32_t>(data + 4 * kRefWordBlock, block);
  Row(ctx, {2.5});
  ASSERT_EQ(ConvertIndexArgs(ctx, one, &entries, true), kOk);
  EXPECT_EQ(Get(ctx).cls, ValueClass::kDouble);
  Drop(ctx);
  // The same reference to a double matrix: read through it.
  Store<ValueDescriptor>(b, {0, 2, 2});
  Store<double>(b + 16, 5);
  Store<double>(b + 24, 6);
  ASSERT_EQ(Select(ctx, {Idx({2, 2, 1})}), kOk);
  EXPECT_EQ(Get(ctx).re, (Elems{6, 6, 5}));
}

TEST(IndexSelect, OneSubscriptShapes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  struct Case {
    Dims x;
    Sub index;
    Dims dims;
    Elems want;
  };
  const Case cases[] = {
      {{1, 3}, Idx({3, 1}, {2, 1}), {1, 2}, {30, 10}},  // a row keeps its orientation
      {{3, 1}, Idx({3, 1}), {2, 1}, {30, 10}},          // so does a column
      {{1, 3}, Mask({1, 0, 1}), {1, 2}, {10, 30}},      // a mask over a row gives a row
      {{3, 1}, Mask({0, 1, 1}, {3, 1}), {2, 1}, {20, 30}},
      {{1, 3}, Colon(), {3, 1}, {10, 20, 30}},
      {{1, 1}, Idx({1, 1, 1}), {3, 1}, {10, 10, 10}},  // a scalar by a row: a column
      {{1, 1}, Idx({1, 1, 1}, {3, 1}), {1, 3}, {10, 10, 10}},
      {{2, 2}, Idx({4, 3, 2, 1}, {2, 2}), {2, 2}, {40, 30, 20, 10}},  // the index's shape
      {{2, 2}, Colon(), {4, 1}, {10, 20, 30, 40}},
      {{2, 2}, Mask({1, 0, 0, 1}, {2, 2}), {2, 1}, {10, 40}},
      {{2, 2}, Mask({1, 0, 0, 1}, {4, 1, 1}), {2, 1}, {10, 40}},
      {{2, 2}, Idx({}, {0, 0}), {0, 0}, {}},
  };
  for (const Case& c : cases) {
    Elems x;
    for (int k = 0; k < c.x[0] * c.x[1]; k++) x.push_back(10 * (k + 1));
    Push(ctx, kDbl, c.x, x);
    ASSERT_EQ(Select(ctx, {c.index}), kOk);
    EXPECT_EQ(Get(ctx).dims, c.dims);
    EXPECT_EQ(Get(ctx).re, c.want);
    Drop(ctx);
    EXPECT_EQ(Select(ctx, {}), kOk);  // no subscript: x itself
    EXPECT_EQ(Get(ctx).re, x);
    Drop(ctx, 2);
  }
  Push(ctx, kDbl, {2, 2}, {1, 2, 3, 4});
  EXPECT_EQ(Select(ctx, {Mask({1, 0, 1})}), kErrIncompSizeSel);
  EXPECT_EQ(Select(ctx, {Mask({1, 0, 0, 1}, {2, 1, 2})}), kErrIncompSizeSel);
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(IndexSelect, SeveralSubscriptsAndNdArrays) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCoded(ctx);
  struct Case {
    std::vector<Sub> subs;
    Dims dims;
    Elems want;
  };
  const Case cases[] = {
      {{Idx({2}), Idx({3, 1}), Idx({4})}, {1, 2}, {123, 103}},
      {{Colon(), Idx({2}), Idx({1, 3})}, {2, 1, 2}, {10, 110, 12, 112}},
      {{Mask({0, 1}), Mask({1, 0, 1}), Idx({2})}, {1, 2}, {101, 121}},
      // Fewer subscripts than dimensions: the last colon covers the rest,
      // so each result row holds that row of every page.
      {{Idx({2}), Colon()}, {1, 12}, {100, 110, 120, 101, 111, 121, 102, 112, 122, 103, 113, 123}},
      {{Idx({1, 4, 7, 24})}, {1, 4}, {0, 100, 1, 123}},  // linear: storage order
      // An empty subscript keeps the other dimensions.
      {{Idx({1}), Idx({}, {0, 0}), Colon()}, {1, 0, 4}, {}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Select(ctx, c.subs), kOk);
    EXPECT_EQ(Get(ctx).dims, c.dims);
    EXPECT_EQ(Get(ctx).re, c.want);
    Drop(ctx);
  }
  ASSERT_EQ(Select(ctx, {Colon(), Colon(), Colon(), Idx({1})}), kOk);
  EXPECT_EQ(Get(ctx).dims, (Dims{2, 3, 4}));
  EXPECT_EQ(Get(ctx).re, Get(ctx, 1).re);
  Drop(ctx);
  EXPECT_EQ(Select(ctx, {Colon(), Colon(), Colon(), Idx({2})}), kErrIndexOutOfRange);
  EXPECT_EQ(Select(ctx, {Colon(), Idx({12})}), kErrWrongNumInd);
  EXPECT_EQ(Select(ctx, {Mask({0, 1, 1}), Colon(), Colon()}), kErrIncompSizeSel);
  EXPECT_EQ(Select(ctx, std::vector<Sub>(17, Idx({1}))), kErrBadDim);
  Elems ones(2000, 1);  // repeats selecting more than any array holds
  EXPECT_EQ(Select(ctx, {Idx(ones), Idx(ones), Idx(ones)}), kErrObjTooLarge);
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(IndexSelect, EveryClassKeepsItsClassAndParts) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (ArrayClass c : {kDbl, kSgl, kI8, kI32, kI64, kChr, kLog}) {
    Elems v = c.kind == kKindLogical ? Elems{1, 0, 1, 1, 0, 0} : Elems{3, 4, 65, 7, 100, 9};
    Push(ctx, c, {2, 3}, v);
    ASSERT_EQ(Select(ctx, {Idx({2, 1}), Idx({1, 3})}), kOk);
    Read r = Get(ctx), x = Get(ctx, 1);
    EXPECT_EQ(r.cls, x.cls);
    EXPECT_EQ(r.code, x.code);
    if (IsTyped(*DescAt(ctx, 1))) {
      EXPECT_EQ(DescAt(ctx, 0)->word, DescAt(ctx, 1)->word);
    }
    EXPECT_EQ(r.re, (Elems{v[3], v[5], v[0], v[2]}));
    Drop(ctx, 2);
  }
  for (ArrayClass c : {kDbl, kSgl}) {
    Push(ctx, c, {1, 1, 3}, {1, 2, 3}, {-1, -2, -3});
    ASSERT_EQ(Select(ctx, {Idx({3, 3, 1})}), kOk);
    EXPECT_EQ(Get(ctx).re, (Elems{3, 3, 1}));
    EXPECT_EQ(Get(ctx).im, (Elems{-3, -3, -1}));
    Drop(ctx, 2);
  }
  PushEntry(ctx, kFlagStructured, 0, kKindList, false, nullptr);
  EXPECT_EQ(IndexSelect(ctx, OperandOfEntry(ctx, 0), SubscriptList{}), kErrWrongType);
}

TEST(IndexSelect, FullDataStackFailsCleanly) {
  TestHost host({.areaBytes = 64 * 1024});
  EngineContext* ctx = host.ctx();
  uint32_t free;
  GetDataStackFree(ctx, &free, nullptr);
  int32_t n = static_cast<int32_t>(free / 16) - 4;
  Row(ctx, Elems(n, 1));
  uint32_t cap = ctx->dataCap;
  ASSERT_EQ(Select(ctx, {Colon()}), kOk);  // fits beside x
  Drop(ctx);
  // A full mask needs its table beside the result: no room for both.
  Push(ctx, kLog, {1, n}, Elems(n, 1));
  SubscriptList one;
  one.n = 1;
  EXPECT_EQ(IndexSelect(ctx, OperandOfEntry(ctx, 1), one), kErrDataOverflow);
  EXPECT_EQ(ctx->dataCap, cap);
  EXPECT_EQ(test::EntryCount(ctx), 2);
}

TEST(IndexAssign, InPlaceMatchingAndFailures) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Push(ctx, kDbl, {2, 3}, {1, 2, 3, 4, 5, 6});
  bool inPlace = false;
  ASSERT_EQ(Put(ctx, {Idx({2}), Idx({3, 1})}, Y(ctx, {60, 40}), kDbl, &inPlace), kOk);
  EXPECT_TRUE(inPlace);
  EXPECT_EQ(Get(ctx).re, (Elems{1, 2, 3, 40, 5, 60}));
  ASSERT_EQ(Put(ctx, {Colon(), Mask({1, 0, 1})}, Y(ctx, {0})), kOk);  // a scalar spreads
  EXPECT_EQ(Get(ctx).re, (Elems{0, 2, 0, 0, 5, 0}));
  ASSERT_EQ(Put(ctx, {Idx({6, 1})}, Y(ctx, {9, 8}, {2, 1})), kOk);  // linear: in order
  EXPECT_EQ(Get(ctx).re, (Elems{8, 2, 0, 0, 5, 9}));
  ASSERT_EQ(Put(ctx, {Idx({1}), Colon()}, Y(ctx, {7, 8, 9}, {3, 1})), kOk);  // dims other than 1
  EXPECT_EQ(Get(ctx).re, (Elems{7, 8, 9, 0, 5, 9}));
  Read before = Get(ctx);
  EXPECT_EQ(Put(ctx, {Idx({1, 2})}, Y(ctx, {1, 2, 3})), kErrIncompAsgnSize);
  EXPECT_EQ(Put(ctx, {Colon(), Idx({1, 2})}, Y(ctx, {1, 2, 3, 4}, {4, 1})), kErrIncompAsgnSize);
  EXPECT_EQ(Put(ctx, {Idx({7})}, Y(ctx, {1})), kErrIndexOutOfRange);  // a matrix does not grow
  EXPECT_EQ(Put(ctx, {Idx({1.5})}, Y(ctx, {1})), kErrNonIntegerIndex);
  EXPECT_EQ(Put(ctx, {Mask({1, 1})}, Y(ctx, {1})), kErrIncompSizeSel);
  EXPECT_EQ(Put(ctx, {}, Y(ctx, {1})), kErrWrongNumInd);
  EXPECT_EQ(Put(ctx, std::vector<Sub>(17, Idx({1})), Y(ctx, {1})), kErrOutOfRangeArg);
  EXPECT_EQ(Get(ctx).re, before.re);
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(IndexAssign, GrowthRules) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  struct Case {
    Dims x;
    Elems xv;
    std::vector<Sub> subs;
    Elems y;
    Dims dims;
    Elems want;
  };
  const Case cases[] = {
      {{1, 2}, {1, 2}, {Idx({4})}, {4}, {1, 4}, {1, 2, 0, 4}},  // a row along the row
      {{2, 1}, {1, 2}, {Idx({3})}, {3}, {3, 1}, {1, 2, 3}},     // a column downward
      {{1, 1}, {5}, {Idx({3})}, {7}, {1, 3}, {5, 0, 7}},
      {{0, 0}, {}, {Idx({2, 3})}, {8, 9}, {1, 3}, {0, 8, 9}},
      {{2, 2},
       {1, 2, 3, 4},
       {Idx({3}), Idx({4})},
       {5},
       {3, 4},
       {1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 0, 5}},
      {{1, 2, 2},
       {1, 2, 3, 4},
       {Idx({2}), Idx({1}), Idx({3})},
       {7},
       {2, 2, 3},
       {1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 7, 0}},
      // Colons over an empty value take their size from the right-hand side.
      {{0, 0}, {}, {Colon(), Idx({2})}, {1, 2, 3}, {3, 2}, {0, 1, 0, 2, 0, 3}},
      {{0, 0}, {}, {Idx({2}), Colon()}, {1, 2}, {2, 2}, {0, 0, 1, 2}},
  };
  for (const Case& c : cases) {
    Push(ctx, kDbl, c.x, c.xv);
    ASSERT_EQ(Put(ctx, c.subs, Y(ctx, c.y)), kOk);
    EXPECT_EQ(Get(ctx).dims, c.dims);
    EXPECT_EQ(Get(ctx).re, c.want);
    Drop(ctx);
  }
  Push(ctx, kDbl, {1, 2, 2}, {1, 2, 3, 4});
  EXPECT_EQ(Put(ctx, {Idx({5})}, Y(ctx, {1})), kErrIndexOutOfRange);  // N-D: no linear growth
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(IndexAssign, ClassesAndConversion) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Row(ctx, {1, 300});  // the result named int8: x is converted too (wrapping)
  ASSERT_EQ(Put(ctx, {Idx({3})}, Y(ctx, {-5}, {}, kI8), kI8), kOk);
  EXPECT_EQ(Get(ctx).code, kCodeInt8);
  EXPECT_EQ(Get(ctx).re, (Elems{1, 44, -5}));
  Drop(ctx);
  Push(ctx, kChr, {1, 3}, {'a', 'b', 'c'});
  bool inPlace = false;
  ASSERT_EQ(Put(ctx, {Idx({2})}, Y(ctx, {'X'}), kChr, &inPlace), kOk);
  EXPECT_TRUE(inPlace);
  ASSERT_EQ(Put(ctx, {Idx({5})}, Y(ctx, {'!'}), kChr), kOk);
  EXPECT_EQ(Get(ctx).cls, ValueClass::kChar);
  EXPECT_EQ(Get(ctx).re, (Elems{'a', 'X', 'c', 0, '!'}));
  Drop(ctx);
  Push(ctx, kLog, {1, 2}, {0, 0});
  ASSERT_EQ(Put(ctx, {Idx({2})}, Y(ctx, {5}), kLog), kOk);
  EXPECT_EQ(Get(ctx).re, (Elems{0, 1}));  // logicals hold 0 and 1
  EXPECT_EQ(Put(ctx, {Idx({1})}, Y(ctx, {1}), kLog, nullptr, false), kErrWrongType);
  Drop(ctx);
  // A complex y makes x complex; a real y clears the parts it writes.
  Row(ctx, {1, 2, 3});
  ASSERT_EQ(Put(ctx, {Idx({2})}, Y(ctx, {5}, {}, kDbl, {6})), kOk);
  EXPECT_EQ(Get(ctx).im, (Elems{0, 6, 0}));
  ASSERT_EQ(Put(ctx, {Idx({2, 4})}, Y(ctx, {7, 8})), kOk);
  EXPECT_EQ(Get(ctx).re, (Elems{1, 7, 3, 8}));
  EXPECT_EQ(Get(ctx).im, (Elems{0, 0, 0, 0}));
  Drop(ctx);
  Push(ctx, kSgl, {1, 1, 2}, {1, 2}, {3, 4});
  ASSERT_EQ(Put(ctx, {Idx({1}), Idx({1}), Idx({3})}, Y(ctx, {9}), kSgl), kOk);
  EXPECT_EQ(Get(ctx).dims, (Dims{1, 1, 3}));
  EXPECT_EQ(Get(ctx).re, (Elems{1, 2, 9}));
  EXPECT_EQ(Get(ctx).im, (Elems{3, 4, 0}));
  Drop(ctx);
  PushEntry(ctx, kFlagStructured, 0, kKindList, false, nullptr);
  EXPECT_EQ(Put(ctx, {Idx({1})}, Y(ctx, {1})), kErrWrongType);
}

TEST(DeleteElements, ShapesLeftAndErrors) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto none = Y(ctx, {}, {0, 0});
  struct Case {
    Dims x;
    std::vector<Sub> subs;
    Dims dims;
    Elems want;
  };
  const Case cases[] = {
      {{1, 4}, {Idx({3, 1, 3})}, {1, 2}, {2, 4}},  // sorted, repeats once
      {{4, 1}, {Mask({0, 1, 0, 0}, {4, 1})}, {3, 1}, {1, 3, 4}},
      {{2, 2}, {Idx({2})}, {1, 3}, {1, 3, 4}},  // a matrix leaves a row
      {{1, 1}, {Idx({1})}, {0, 0}, {}},
      {{2, 2}, {Idx({}, {0, 0})}, {2, 2}, {1, 2, 3, 4}},  // nothing selected
      {{2, 2}, {Colon()}, {0, 0}, {}},
      {{3, 4}, {Colon(), Idx({4, 2, 4})}, {3, 2}, {1, 3, 5, 7, 9, 11}},
      {{3, 4}, {Idx({2}), Idx({4, 1, 3, 2})}, {2, 4}, {1, 2, 3, 4, 9, 10, 11, 12}},
      // Every row deleted: the columns stay, and so on along each dimension.
      {{3, 4}, {Idx({1, 2, 3}), Colon()}, {0, 4}, {}},
      {{3, 4}, {Colon(), Idx({1, 2, 3, 4})}, {3, 0}, {}},
      {{3, 4}, {Colon(), Colon()}, {0, 4}, {}},
      {{2, 2, 3}, {Colon(), Colon(), Idx({1, 2, 3})}, {2, 2, 0}, {}},
      {{2, 2, 3}, {Colon(), Colon()}, {0, 2, 3}, {}},
      {{2, 2, 3}, {Colon(), Colon(), Idx({2})}, {2, 2, 2}, {1, 2, 3, 4, 9, 10, 11, 12}},
      {{2, 2, 3}, {Idx({1}), Colon()}, {1, 6}, {3, 4, 7, 8, 11, 12}},
  };
  for (const Case& c : cases) {
    Elems x;
    int32_t count = 1;
    for (int32_t d : c.x) count *= d;
    for (int32_t k = 1; k <= count; k++) x.push_back(k);
    Push(ctx, kI8, c.x, x);
    ASSERT_EQ(Put(ctx, c.subs, none), kOk);
    EXPECT_EQ(Get(ctx).dims, c.dims);
    EXPECT_EQ(Get(ctx).re, c.want);
    EXPECT_EQ(Get(ctx).code, kCodeInt8);
    Drop(ctx);
  }
  Push(ctx, kSgl, {2, 2}, {1, 2, 3, 4}, {5, 6, 7, 8});
  EXPECT_EQ(Put(ctx, {Idx({1}), Idx({2})}, none), kErrDelMultipleDim);
  EXPECT_EQ(Put(ctx, {Idx({3}), Colon()}, none), kErrIndexOutOfRange);
  ASSERT_EQ(Put(ctx, {Colon(), Idx({1})}, Y(ctx, {}, {0, 0}, kChr)), kOk);
  EXPECT_EQ(Get(ctx).re, (Elems{2, 4}));
  EXPECT_EQ(Get(ctx).im, (Elems{6, 8}));
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(IndexListSelect, PicksItemsWithTheirHeaders) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  PushCString(ctx, -1, "two");
  Row(ctx, {3, 3});
  ASSERT_EQ(PushListFromEntries(ctx, 3, false, nullptr, 0), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx, 0, &parts), kOk);
  uint32_t items = static_cast<uint32_t>(parts.first - ctx->Bytes());
  Push(ctx, kI32, {1, 4}, {3, 2, 3, 1});
  ASSERT_EQ(IndexListSelect(ctx, items, 3, false), kOk);
  EXPECT_EQ(test::EntryCount(ctx), 2);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  EXPECT_EQ(test::TopString(ctx), "two");
  ASSERT_EQ(GetListElement(ctx, 1, 4), kOk);
  EXPECT_EQ(Get(ctx).re, Elems{1});
  Drop(ctx, 3);
  Push(ctx, kI32, {1, 2}, {1, 4});
  EXPECT_EQ(IndexListSelect(ctx, items, 3, false), kErrIndexOutOfRange);
  Push(ctx, kI8, {1, 1}, {1});
  EXPECT_EQ(IndexListSelect(ctx, items, 3, false), kErrIllegal);
}

TEST(StructuredElements, TablesRebuildCellsAndStructureArrays) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const int32_t d22[2] = {2, 2}, d13[2] = {1, 3}, d31[2] = {3, 1}, d12[2] = {1, 2};
  // A new cell's elements: empty 2-unit items behind a 5-unit dimension item.
  ASSERT_EQ(PushNewCellArray(ctx, 2, d22), kOk);
  ASSERT_EQ(IndexStructuredElements(ctx, 0, 4, false), kOk);
  EXPECT_EQ(Get(ctx).re, (Elems{5, 7, 9, 11}));
  Drop(ctx, 2);
  // A list 1, 'b', [2 3], 4 picked through absolute offsets with repeats.
  PushRealScalar(ctx, 1);
  PushCString(ctx, -1, "b");
  Row(ctx, {2, 3});
  PushRealScalar(ctx, 4);
  ASSERT_EQ(PushListFromEntries(ctx, 4, false, nullptr, 0), kOk);
  ASSERT_EQ(IndexStructuredElements(ctx, 0, 4, true), kOk);
  Push(ctx, kI32, {1, 3}, {3, 3, 2});
  SubscriptList one;
  one.n = 1;
  ASSERT_EQ(IndexSelect(ctx, OperandOfEntry(ctx, 1), one), kOk);
  ASSERT_EQ(BuildStructuredFromIndex(ctx, 3, 2, d13, -1, true), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.shape.dims[1], 3);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  EXPECT_EQ(Get(ctx).re, (Elems{2, 3}));
  ASSERT_EQ(GetListElement(ctx, 1, 3), kOk);
  EXPECT_EQ(test::TopString(ctx), "b");
  Drop(ctx, 6);
  // Tables that do not fit the value or the dimensions; no element at all.
  Push(ctx, kI32, {1, 2}, {-1, 1000});
  EXPECT_EQ(BuildStructuredFromIndex(ctx, 1, 2, d12, -1, false), kErrIllegal);
  EXPECT_EQ(BuildStructuredFromIndex(ctx, 1, 2, d22, -1, false), kErrBadSize);
  Push(ctx, kI32, {0, 0}, {});
  const int32_t d03[2] = {0, 3};
  ASSERT_EQ(BuildStructuredFromIndex(ctx, 2, 2, d03, 2, false), kOk);
  EXPECT_EQ(DescAt(ctx, 0)->word, kKindStruct);
  EXPECT_EQ(DescAt(ctx, 0)->size, 0u);
  Drop(ctx, 4);

  // Three structures {a, b} as a 1 x 3 structure array, rearranged to 3 x 1.
  for (int i = 1; i <= 3; i++) {
    PushRealScalar(ctx, i);
    ASSERT_EQ(PushListFromEntries(ctx, 1, false, "a", -1), kOk);
    Row(ctx, {10.0 * i});
    ASSERT_EQ(PushListFromEntries(ctx, 1, true, "b", -1), kOk);
  }
  ASSERT_EQ(PushListFromEntries(ctx, 3, false, nullptr, 0), kOk);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  ASSERT_EQ(IndexStructuredElements(ctx, 0, 3, false), kOk);
  Read table = Get(ctx);
  Push(ctx, kI32, {3, 1}, {table.re[2], table.re[0], table.re[2]});
  ASSERT_EQ(BuildStructuredFromIndex(ctx, 2, 2, d31, 2, false), kOk);
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, 's', &parts), kOk);
  EXPECT_EQ(parts.fields, 2);
  EXPECT_EQ(parts.shape.dims[0], 3);
  for (int32_t i = 1; i <= 3; i++) {
    ASSERT_EQ(GetListElement(ctx, 0, i), kOk);
    ASSERT_EQ(GetStructField(ctx, 0, "b", -1), kOk);
    EXPECT_EQ(Get(ctx).re, Elems{i == 2 ? 10.0 : 30.0});
    Drop(ctx, 2);
  }
  PushRealScalar(ctx, 1);
  EXPECT_EQ(IndexStructuredElements(ctx, 0, 1, false), kErrWrongType);
}

}  // namespace
}  // namespace vke
