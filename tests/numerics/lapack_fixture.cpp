// The checks the "!lapack" tests share.
#include "tests/numerics/lapack_fixture.hpp"

#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"

namespace vke::test {

namespace {

void PushTestMatrix(EngineContext* ctx, const TestMatrix& m) {
  double *re, *im = nullptr;
  ASSERT_EQ(PushNewMatrix(ctx, m.rows, m.cols, &re, m.complex ? &im : nullptr), kOk);
  for (int32_t i = 0; i < m.rows; i++) {
    for (int32_t j = 0; j < m.cols; j++) {
      re[i * m.cols + j] = i == j ? 10 : 1.0 / (1 + i + 2 * j);
      if (im) im[i * m.cols + j] = 1.0 / (2 + i * j);
    }
  }
}

}  // namespace

void LapackFixture::CheckTooLittleRoom(const std::string& name, int32_t nargout,
                                       const std::vector<TestMatrix>& args) {
  SCOPED_TRACE(name + " with " + std::to_string(nargout) + " outputs");
  const int32_t entries = GetFrameEntryCount(ctx), nargin = static_cast<int32_t>(args.size());
  uint32_t free;
  void* first;
  ASSERT_EQ(GetDataStackFree(ctx, &free, &first), kOk);
  int32_t words = 0;
  for (const TestMatrix& m : args) words += m.rows * m.cols * (m.complex ? 2 : 1);
  double* filler;
  ASSERT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(free / 8) - words - 40, &filler, nullptr),
            kOk);
  for (const TestMatrix& m : args) PushTestMatrix(ctx, m);
  std::vector<ArrayValue> before;
  for (int32_t k = 0; k < nargin; k++) before.push_back(ReadArray(ctx, k));

  EXPECT_EQ(CallNative(name, nargin, nargout), kErrDataOverflow);
  ASSERT_EQ(GetFrameEntryCount(ctx), entries + 1 + nargin);
  for (int32_t k = 0; k < nargin; k++) {
    const ArrayValue after = ReadArray(ctx, k);
    EXPECT_EQ(after.dims, before[k].dims) << "argument at depth " << k;
    EXPECT_EQ(after.re, before[k].re) << "argument at depth " << k;
    EXPECT_EQ(after.im, before[k].im) << "argument at depth " << k;
  }
  ASSERT_EQ(DropStackEntries(ctx, nargin, 1), kOk);
  EXPECT_EQ(CallNative(name, nargin, nargout), kOk);
  Drop(ctx, GetFrameEntryCount(ctx) - entries);
}

}  // namespace vke::test
