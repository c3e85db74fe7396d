// The LAPACK and BLAS libraries opened at the first "!lapack" call that needs
// them: a library or routine that cannot be found fails the natives with
// libNotFound and leaves the rest of the system working; the load happens
// once, also when threads race for it.
#include "numerics/lapack/lapack_loader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/registry/registry.hpp"
#include "numerics/lapack/lapack_binding.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

class LapackLoader : public test::LinalgFixture {
 protected:
  void SetUp() override {
    LinalgFixture::SetUp();
    ASSERT_EQ(RegisterLibrary(ctx, LapackLibraryTable(), true), kOk);
  }
  void TearDown() override { PointLapackLoaderAt(nullptr); }

  // The identifier and message of the error the statement raises.
  std::string Message(const std::string& statement) {
    Run("try, " + statement +
        "; message = ''; catch, e = lasterror;"
        " message = [e.identifier ' ' e.message]; end");
    return Show("message");
  }
};

TEST_F(LapackLoader, AMissingLibraryFailsTheNativesAndNothingElse) {
  PointLapackLoaderAt("libabsent-lapack.so.3");
  EXPECT_EQ(Show("inv(4)"), "error " + std::to_string(kErrLibNotFound));
  EXPECT_EQ(Message("x = det([1 2; 3 4])"),
            "VKE:libNotFound Library not found 'libabsent-lapack.so.3'");
  // Every later call fails the same way, and the rest of the system works.
  EXPECT_EQ(Show("svd([1 2; 3 4])"), "error " + std::to_string(kErrLibNotFound));
  EXPECT_EQ(Show("sum([1 2 3 4])"), "10");
  // Division by a scalar needs no LAPACK; a system does.
  EXPECT_EQ(Show("all([2 4] / 2 == [1 2])"), "true");
  EXPECT_EQ(Show("[4 2; 1 3] \\ [1; 2]"), "error " + std::to_string(kErrLibNotFound));

  PointLapackLoaderAt(nullptr);
  EXPECT_EQ(Show("inv(4) == 0.25"), "true");
}

TEST_F(LapackLoader, ALibraryWithoutARoutineFailsNamingTheRoutine) {
  // The C library opens but exports no routine of the table.
  PointLapackLoaderAt("libc.so.6");
  EXPECT_EQ(Message("x = lu([1 2; 3 4])"), "VKE:libNotFound Library not found 'dgetrf_'");
  // Every library of the list must open, also when the first one has all.
  PointLapackLoaderAt(":libc.so.6:libabsent-blas.so.3");
  EXPECT_EQ(Message("x = inv(4)"), "VKE:libNotFound Library not found 'libabsent-blas.so.3'");
}

TEST_F(LapackLoader, RacingThreadsShareOneLoad) {
  PointLapackLoaderAt(nullptr);
  std::vector<void*> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); i++) {
    threads.emplace_back([&seen, i] { seen[i] = LapackRoutineAddress(LapackRoutine::dgetrf_); });
  }
  for (std::thread& t : threads) t.join();
  ASSERT_NE(seen[0], nullptr);
  for (void* address : seen) EXPECT_EQ(address, seen[0]);
  // The loaded routine is the library's: a 2 x 2 LU through it.
  double a[] = {1, 3, 2, 4};  // column order
  LapackInt n = 2, pivots[2], info = -1;
  dgetrf_(&n, &n, a, &n, pivots, &info);
  EXPECT_EQ(info, 0);
  EXPECT_EQ(pivots[0], 2);
  EXPECT_DOUBLE_EQ(a[3], 2 - 4.0 / 3);
}

}  // namespace
}  // namespace vke
