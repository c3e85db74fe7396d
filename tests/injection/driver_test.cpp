// The driver's own rules, on planted programs that ask for room themselves
// and report a shortage when refused as a program that does not grow there
// would: where a shortage is a fault, how places are named and listed,
// which requests a run takes, and where a run's files go.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/code/opcodes.hpp"
#include "tests/host/tool_commands.hpp"
#include "tests/injection/injection_driver.hpp"

namespace vke {

// Asks for room as the code of a host's store would: a function the program
// names. Kept whole (no part moved out as cold code, which the program does
// not name), so that the refusal is seen inside it in an optimised build too.
[[gnu::noinline, gnu::optimize("no-reorder-blocks-and-partition")]] bool PlantedHostStore(
    RoomKind kind) {
  const bool refused = RoomRefused(kind);
  asm volatile("");
  return refused;
}

namespace test {
namespace {

// A program that asks for room of `kind` once; refused, it notes the
// failure as the loop would (an opcode of -1: none) and reports `shortage`.
Program Planted(RoomKind kind, int32_t opcode, const char* name, const char* shortage) {
  return {"planted", [=] {
            if (RoomRefused(kind)) {
              if (opcode >= 0) NoteFailureNotRunAgain(opcode, name);
              std::printf("%s\n", shortage);
              return 1;
            }
            std::printf("done\n");
            return 0;
          }};
}

// Variables of the environment set (null: unset) while it lives, and put
// back as they were afterwards.
class EnvironmentFor {
 public:
  explicit EnvironmentFor(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name);
      saved_.push_back({name, old != nullptr, old ? old : ""});
      if (value) {
        ::setenv(name, value, 1);
      } else {
        ::unsetenv(name);
      }
    }
  }
  ~EnvironmentFor() {
    for (const Saved& s : saved_) {
      if (s.set) {
        ::setenv(s.name, s.value.c_str(), 1);
      } else {
        ::unsetenv(s.name);
      }
    }
  }
  EnvironmentFor(const EnvironmentFor&) = delete;
  EnvironmentFor& operator=(const EnvironmentFor&) = delete;

 private:
  struct Saved {
    const char* name;
    bool set;
    std::string value;
  };
  std::vector<Saved> saved_;
};

class DriverRules : public ::testing::Test {
 protected:
  // The list holds the places given, each met by the program "planted".
  void List(const std::string& lines) {
    const std::string path = scratch_.Path() + "/places.txt";
    std::ofstream(path) << "# planted\n" << lines;
    std::string message;
    ASSERT_TRUE(places_.Read(path, &message)) << message;
    settings_.places = &places_;
  }
  ProgramReport Run(const Program& program) {
    return InjectIntoProgram(program, settings_, scratch_.Path() + "/run");
  }

  TempFolder scratch_;
  NoGrowthPlaces places_;
  DriverSettings settings_;
};

TEST_F(DriverRules, AShortageBelowTheCeilingIsAFaultUnlessItsPlaceIsListed) {
  List(
      "stacks | instruction ForNext | planted | to be mended: planted\n"
      "code area | message Not enough memory for compilation | planted | planted\n");
  ProgramReport r = Run(Planted(RoomKind::kStacks, kOpForNext, "", "Data stack overflow (4)"));
  ASSERT_EQ(r.notGrown.size(), 1u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.notGrown[0].place, "stacks | instruction ForNext");
  // Another room at the same instruction, and a builtin's call, are other places.
  r = Run(Planted(RoomKind::kHeap, kOpForNext, "", "Variable overflow"));
  ASSERT_EQ(r.faults.size(), 1u) << DescribeReport(r);
  EXPECT_EQ(r.faults[0].place, "heap | instruction ForNext");
  r = Run(Planted(RoomKind::kStacks, kOpSort, "sort", "Data stack overflow (9) 'sort'"));
  ASSERT_EQ(r.faults.size(), 1u) << DescribeReport(r);
  EXPECT_EQ(r.faults[0].place, "stacks | call sort");
  EXPECT_NE(DescribeReport(r).find("not grown at a place not listed [stacks | call sort]"),
            std::string::npos);
  // A failure outside the loop is named by the shortage it reports.
  r = Run(Planted(RoomKind::kCode, -1, "", "x: Not enough memory for compilation"));
  ASSERT_EQ(r.notGrown.size(), 1u) << DescribeReport(r);
  EXPECT_EQ(r.notGrown[0].place, "code area | message Not enough memory for compilation");
  // One that passed no instruction is named by the function that asked.
  r = Run({"planted", [] {
             if (PlantedHostStore(RoomKind::kUndo)) return std::printf("Data stack overflow\n"), 1;
             return std::printf("done\n"), 0;
           }});
  ASSERT_EQ(r.faults.size(), 1u) << DescribeReport(r);
  EXPECT_EQ(r.faults[0].place, "undo buffer | caller PlantedHostStore");
  // Strict: listed or not, a shortage is a fault.
  settings_.strict = true;
  r = Run(Planted(RoomKind::kStacks, kOpForNext, "", "Data stack overflow (4)"));
  EXPECT_EQ(r.faults.size(), 1u) << DescribeReport(r);
}

TEST_F(DriverRules, WithoutAListAShortageIsListedApart) {
  const ProgramReport r =
      Run(Planted(RoomKind::kStacks, kOpSort, "sort", "Data stack overflow (9) 'sort'"));
  EXPECT_TRUE(r.faults.empty()) << DescribeReport(r);
  EXPECT_EQ(r.notGrown.size(), 1u);
}

TEST_F(DriverRules, AShortageAtTheCeilingIsNoFault) {
  List("");
  const ProgramReport r = Run(Planted(RoomKind::kHeap, -1, "",
                                      "Variable overflow\nvke: memory ceiling of 4096 MB reached"));
  EXPECT_TRUE(r.faults.empty()) << DescribeReport(r);
  EXPECT_EQ(r.atCeiling.size(), 1u);
}

// A run that differs without a shortage stays a fault, whatever is listed.
TEST_F(DriverRules, AWrongValueIsAFaultWhateverIsListed) {
  List("stacks | message Data stack overflow | planted | planted\n");
  const ProgramReport r = Run({"planted", [] {
                                 std::printf("%d\n", RoomRefused(RoomKind::kStacks) ? 2 : 1);
                                 return 0;
                               }});
  EXPECT_EQ(r.faults.size(), 1u) << DescribeReport(r);
}

// A run after a refusal is judged by what it asks, never by how long it
// takes: one that starts its work over for ever is a fault once it has made
// many times the requests of the first, and one that is only slow (here far
// slower than the first run) passes.
TEST_F(DriverRules, ARetryWithoutEndIsAFaultAndASlowRunIsNot) {
  const Program endless{"endless", [] {
                          if (RoomRefused(RoomKind::kHeap))
                            for (;;) RoomRefused(RoomKind::kHeap);
                          std::printf("done\n");
                          return 0;
                        }};
  ProgramReport r = Run(endless);
  ASSERT_EQ(r.faults.size(), 1u) << DescribeReport(r);
  EXPECT_EQ(r.faults[0].what.rfind("did not end: it made more than", 0), 0u) << r.faults[0].what;
  const Program slow{"slow", [] {
                       if (RoomRefused(RoomKind::kHeap)) ::usleep(6000000);
                       std::printf("done\n");
                       return 0;
                     }};
  r = Run(slow);
  EXPECT_EQ(r.runs, 1u);
  EXPECT_TRUE(r.faults.empty()) << DescribeReport(r);
}

TEST_F(DriverRules, TheRequestsRefusedFollowTheCapsGiven) {
  // Twenty requests from one place that asks.
  const Program twenty{"twenty", [] {
                         int refused = 0;
                         for (int i = 0; i < 20; i++) refused += RoomRefused(RoomKind::kHeap);
                         std::printf("asked\n");
                         return refused > 1;
                       }};
  settings_.whole = true;
  EXPECT_EQ(Run(twenty).runs, 20u);
  settings_.maxRuns = 5;
  EXPECT_EQ(Run(twenty).runs, 5u);
  settings_.maxRuns = 0;
  settings_.perSite = 3;
  EXPECT_EQ(Run(twenty).runs, 3u);
  // Asked for every request, the environment's caps still hold; a run by
  // hand that set its own keeps them for the tests that follow.
  const EnvironmentFor byHand({{"VKE_INJECT_ALL", "1"}, {"VKE_INJECT_MAX_RUNS", "40"}});
  DriverSettings all;
  {
    const EnvironmentFor caps({{"VKE_INJECT_MAX_RUNS", "4"}, {"VKE_INJECT_PER_SITE", nullptr}});
    DriverSettings sample;
    sample.perSite = 3;
    sample.maxRuns = 100;
    all = SettingsFromEnvironment(sample);
  }
  EXPECT_TRUE(all.whole);
  EXPECT_EQ(all.perSite, 0u);
  EXPECT_EQ(all.maxRuns, 4u);
  EXPECT_STREQ(std::getenv("VKE_INJECT_ALL"), "1");
  EXPECT_STREQ(std::getenv("VKE_INJECT_MAX_RUNS"), "40");
}

TEST(NoGrowthPlaces, TheListIsReadWhole) {
  TempFolder scratch;
  const std::string path = scratch.Path() + "/places.txt";
  NoGrowthPlaces places;
  std::string message;
  std::ofstream(path) << "# comment\n\nheap | call find | a.vke, b.script | to be mended: x\n";
  ASSERT_TRUE(places.Read(path, &message)) << message;
  ASSERT_EQ(places.places().size(), 1u);
  EXPECT_EQ(places.places()[0].programs, (std::vector<std::string>{"a.vke", "b.script"}));
  ASSERT_NE(places.Find("heap | call find"), nullptr);
  EXPECT_EQ(places.Find("heap | call find")->why, "to be mended: x");
  // The why on the lines below.
  std::ofstream(path) << "heap | call find | a.vke |\n  fails\n\tthere\nstacks | call cat | | x\n";
  ASSERT_TRUE(places.Read(path, &message)) << message;
  ASSERT_EQ(places.places().size(), 2u);
  EXPECT_EQ(places.places()[0].why, "fails there");
  // A room listed as a whole covers its every place, and only its own.
  std::ofstream(path) << "thread stacks | any | | fixed\nheap | call find | | x\n";
  ASSERT_TRUE(places.Read(path, &message)) << message;
  EXPECT_NE(places.Covering("thread stacks | instruction PushSmallInt"), nullptr);
  EXPECT_NE(places.Covering("heap | call find"), nullptr);
  EXPECT_EQ(places.Covering("heap | call cat"), nullptr);
  EXPECT_EQ(places.Covering("stacks | instruction PushSmallInt"), nullptr);
  // A room it does not know, a place without why, a place listed twice.
  for (const char* bad : {"stack | call find | a.vke | why\n", "heap | call find | a.vke |\n",
                          "heap | call find | a.vke |\nheap | call cat | a.vke | x\n",
                          "heap | call find | a.vke | x\nheap | call find | b.vke | y\n"}) {
    std::ofstream(path) << bad;
    EXPECT_FALSE(places.Read(path, &message)) << bad;
  }
}

TEST(NoGrowthPlaces, APlaceItsProgramsRunMeetNoLongerIsNamed) {
  TempFolder scratch;
  const std::string path = scratch.Path() + "/places.txt";
  std::ofstream(path) << "heap | call find | a.vke, b.vke | x\nstacks | call cat | c.vke | y\n";
  NoGrowthPlaces places;
  std::string message;
  ASSERT_TRUE(places.Read(path, &message)) << message;
  // Met by one of its programs that ran: kept; c.vke not run: nothing said.
  EXPECT_TRUE(PlacesNoLongerMet(places, {"a.vke", "b.vke"}, {"b.vke\theap | call find"}).empty());
  const std::vector<std::string> gone = PlacesNoLongerMet(places, {"a.vke", "c.vke"}, {});
  ASSERT_EQ(gone.size(), 2u);
  EXPECT_EQ(gone[0], "heap | call find: met by none of a.vke");
  // A program that only the other build's sample meets it in says nothing.
#ifdef NDEBUG
  const char* other = "a.vke (debug)";
#else
  const char* other = "a.vke (release)";
#endif
  std::ofstream(path) << "heap | call find | " << other << " | x\n";
  ASSERT_TRUE(places.Read(path, &message)) << message;
  EXPECT_TRUE(PlacesNoLongerMet(places, {"a.vke"}, {}).empty());
  std::string name;
  EXPECT_FALSE(ProgramOfThisBuild(other, &name));
  EXPECT_EQ(name, "a.vke");
}

// A program that writes to a fixed path under /tmp writes into its own
// run's folder: two runs side by side each read back what they wrote.
// A script runs with the options of its first line and the setting's, and
// finds the data folder's files in its working folder; options the runner
// would refuse fail the program.
TEST(InjectedPrograms, AScriptRunsWithItsOptionsAndDataFiles) {
  TempFolder scratch;
  const std::string data = scratch.Path() + "/data", script = scratch.Path() + "/s.vke";
  std::filesystem::create_directories(data);
  std::ofstream(data + "/rows.txt") << "12 34\n";
  std::ofstream(script) << "%! -m 8M --no-lapack\nfd = fopen('rows.txt', 'r'); disp(fgetl(fd));\n"
                           "fclose(fd);\ntry, x = zeros(1, 1e7); catch, disp(lasterr), end\n";
  RunSpec spec;
  spec.body = ScriptProgram(script, {"-O 0", data}).body;
  RunOutcome o = RunForked(spec, scratch.Path() + "/run");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, o.out.find(kStateMark)), "12 34\nData stack overflow (4) 'zeros'\n");
  EXPECT_EQ(o.err, "vke: memory ceiling of 8 MB reached (-m)\n");
  spec.body = ScriptProgram(script, {"-O 99", data}).body;
  EXPECT_EQ(RunForked(spec, scratch.Path() + "/run").status, 2);
}

TEST(ForkedRuns, AFixedPathUnderTmpIsTheRunsOwn) {
  TempFolder scratch;
  if (!RunsHaveTheirOwnTmp(scratch.Path() + "/probe"))
    GTEST_SKIP() << "the system gives a process no mount namespace of its own";
  const std::string name = "vke-injection-fixed-" + std::to_string(::getpid()) + ".txt";
  std::vector<RunSpec> specs;
  for (int k = 1; k <= 2; k++)
    specs.push_back({[name, k] {
                       std::ofstream("/tmp/" + name) << k;
                       ::usleep(200000);
                       std::ifstream in("/tmp/" + name);
                       int read = 0;
                       in >> read;
                       std::printf("%d\n", read);
                       return 0;
                     },
                     0, 0, 30});
  const std::vector<RunOutcome> runs =
      RunForkedTogether(specs, {scratch.Path() + "/a", scratch.Path() + "/b"});
  EXPECT_EQ(runs[0].out, "1\n");
  EXPECT_EQ(runs[1].out, "2\n");
  EXPECT_EQ(runs[0].files.rfind("tmp/" + name + " 1 ", 0), 0u) << runs[0].files;
  EXPECT_FALSE(std::filesystem::exists("/tmp/" + name));
}

}  // namespace
}  // namespace test
}  // namespace vke
