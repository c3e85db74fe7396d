// Random programs run at the lowest and the highest optimisation level, and
// at the highest with the engine's fast forms switched off, must print the
// same and fail the same. Every other program is a file of many functions
// calling each other, which the fast forms of calls and the tables they keep
// by code position must run as the general paths do. The test runs a fixed
// seed for a few seconds; VKE_DIFF_SECONDS and VKE_DIFF_SEED make longer
// runs by hand:
//   VKE_DIFF_SECONDS=600 VKE_DIFF_SEED=7 build/test/tests/test_differential
// A difference is reported with the program that shows it. Two runs that
// both run out of room in the fixed area are not compared: how far a run
// gets at the edge of memory, and which instruction finds no room, depend
// on the temporaries of each level; nor are a run that ran out of room and
// one that, needing less, ran on to its slice budget. Where only one of two
// runs ran out of room, both run again in a larger area, which a way that
// needs more temporaries than the other fills only later.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <span>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/fast_forms.hpp"
#include "tests/differential/program_generator.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/shortage_texts.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {
namespace {

constexpr int32_t kSlices = 20000;
constexpr uint32_t kAreaBytes = 1u << 20;
constexpr uint32_t kLargerAreaBytes = 8u << 20;

// The ways each program runs; the first is the one the others must match.
struct Way {
  const char* name;
  int32_t level;
  bool fast;
};
constexpr Way kWays[] = {
    {"-O 0", 0, true},
    {"-O 4", 4, true},
    {"-O 4, fast forms off", 4, false},
};

// Output, error output and the code the run ended with.
std::string RunWay(const std::string& program, const Way& way, uint32_t areaBytes = kAreaBytes) {
  SetFastForms(way.fast);
  std::string outcome;
  {
    TestHostOptions options;
    options.areaBytes = areaBytes;
    TestHost host(options);
    SetCompileOptions(host.ctx(), way.level, 0);
    const ErrCode e = RunCommandLine(host.ctx(), program, kSlices);
    outcome = host.Output(1) + "\n--- errors\n" + host.Output(2) + "\n--- ended with " +
              std::to_string(e);
  }
  SetFastForms(true);
  return outcome;
}

// Two runs that both ran out of room, or one that did and one cut off at
// its slice budget (a loop without end that the other's shortage ended).
bool NotComparable(const std::string& a, const std::string& b) {
  const std::string cut = "--- ended with " + std::to_string(kStatusSuspended);
  const bool shortA = CountShortages(a) > 0, shortB = CountShortages(b) > 0;
  return (shortA || shortB) && (shortA || a.ends_with(cut)) && (shortB || b.ends_with(cut));
}

bool OnlyOneRanShort(const std::string& a, const std::string& b) {
  return (CountShortages(a) > 0) != (CountShortages(b) > 0);
}

double Setting(const char* name, double otherwise) {
  const char* text = std::getenv(name);
  return text ? std::atof(text) : otherwise;
}

TEST(Differential, TheLevelsAndTheFastFormsAgreeOnRandomPrograms) {
  const auto seed = static_cast<uint64_t>(Setting("VKE_DIFF_SEED", 20));
  const double seconds = Setting("VKE_DIFF_SECONDS", 3);
  ProgramGenerator generator(seed);
  const auto start = std::chrono::steady_clock::now();
  int programs = 0, shortOfRoom = 0;
  bool differs = false;
  while (!differs &&
         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() <
             seconds) {
    const std::string program = programs % 2 ? generator.CallProgram() : generator.Program();
    programs++;
    const std::string first = RunWay(program, kWays[0]);
    bool ranShort = false;
    for (const Way& way : std::span(kWays).subspan(1)) {
      std::string base = first, other = RunWay(program, way);
      if (other == base) continue;
      if (OnlyOneRanShort(base, other)) {
        base = RunWay(program, kWays[0], kLargerAreaBytes);
        other = RunWay(program, way, kLargerAreaBytes);
        if (other == base) continue;
      }
      if ((ranShort = NotComparable(base, other))) break;
      ADD_FAILURE() << "program " << programs << " of seed " << seed << ":\n"
                    << program << "=== " << kWays[0].name << "\n"
                    << base << "\n=== " << way.name << "\n"
                    << other;
      differs = true;
      break;
    }
    if (ranShort) shortOfRoom++;
  }
  std::printf("%d programs agree, %d ran out of room and were not compared\n",
              programs - shortOfRoom - (differs ? 1 : 0), shortOfRoom);
}

}  // namespace
}  // namespace vke::test
