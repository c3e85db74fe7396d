// Random programs run at the lowest and the highest optimisation level must
// print the same and fail the same. The test runs a fixed seed for a few
// seconds; VKE_DIFF_SECONDS and VKE_DIFF_SEED make longer runs by hand:
//   VKE_DIFF_SECONDS=600 VKE_DIFF_SEED=7 build/test/tests/test_differential
// A difference is reported with the program that shows it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "tests/differential/program_generator.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {
namespace {

constexpr int32_t kSlices = 20000;

// Output, error output and the code the run ended with.
std::string RunAtLevel(const std::string& program, int32_t level) {
  TestHost host;
  SetCompileOptions(host.ctx(), level, 0);
  const ErrCode e = RunCommandLine(host.ctx(), program, kSlices);
  return host.Output(1) + "\n--- errors\n" + host.Output(2) + "\n--- ended with " +
         std::to_string(e);
}

double Setting(const char* name, double otherwise) {
  const char* text = std::getenv(name);
  return text ? std::atof(text) : otherwise;
}

TEST(Differential, TheLevelsAgreeOnRandomPrograms) {
  const auto seed = static_cast<uint64_t>(Setting("VKE_DIFF_SEED", 20));
  const double seconds = Setting("VKE_DIFF_SECONDS", 3);
  ProgramGenerator generator(seed);
  const auto start = std::chrono::steady_clock::now();
  int programs = 0;
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() <
         seconds) {
    const std::string program = generator.Program();
    const std::string plain = RunAtLevel(program, 0), optimised = RunAtLevel(program, 4);
    programs++;
    if (plain != optimised) {
      ADD_FAILURE() << "program " << programs << " of seed " << seed << ":\n"
                    << program << "=== -O 0\n"
                    << plain << "\n=== -O 4\n"
                    << optimised;
      break;
    }
  }
  std::printf("%d programs agree\n", programs);
}

}  // namespace
}  // namespace vke::test
