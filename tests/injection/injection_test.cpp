// Growth injection over the programs: the injection tests' own programs
// (tests/injection/programs: scripts that write files, print, sort, read
// files, and applications whose handlers have large outputs), the script
// tests' VKE scripts and the check scripts of the examples and of the
// packing tool's tests, each with a sample of its requests refused in turn:
// the first requests of each place that asks, at most a fixed number per
// program, so that every machine runs the same sample. The programs that run
// long by themselves are left to the whole run.
// By hand, every request of every program (a few hours; README):
//   VKE_INJECT_ALL=1 build/release/tests/test_injection
// VKE_INJECT_PROGRAMS=FILE:FILE... runs the driver over the scripts (.vke)
// and check scripts (.script) named, every request; VKE_INJECT_ONLY=REGEX
// picks programs by name, VKE_INJECT_PER_SITE, VKE_INJECT_MAX_RUNS and
// VKE_INJECT_SECONDS give each program a budget, VKE_INJECT_STRICT=1 counts
// every reported shortage as a fault, VKE_INJECT_FAST_FORMS=0 runs with the
// engine's fast forms off. The named programs run with the runner options
// of VKE_INJECT_OPTIONS (beside a script's own "%! ..."), the files of the
// folder VKE_INJECT_FOLDER in their working folder, and the check scripts on
// the application VKE_INJECT_APP names. The programs of pending_programs.txt
// (faults being mended elsewhere) are passed over unless
// VKE_INJECT_PENDING=1.
// A shortage below the ceiling is a fault but at the places of
// no_growth_places.txt; a place listed that none of its programs run meets
// any more is named at the end of the test (to be taken off the list).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "engine/fast_forms.hpp"
#include "tests/host/tool_commands.hpp"
#include "tests/injection/injection_driver.hpp"

namespace vke::test {
namespace {

namespace fs = std::filesystem;

const std::string kSource = VKE_SOURCE_DIR;

std::vector<std::string> FilesOf(const std::string& folder, const std::string& extension) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == extension) paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

bool Picked(const std::string& name) {
  const char* only = std::getenv("VKE_INJECT_ONLY");
  return !only || !*only || std::regex_search(name, std::regex(only));
}

// The names of pending_programs.txt: the first word of each line that is
// not a comment.
std::set<std::string> PendingPrograms() {
  std::set<std::string> names;
  std::ifstream in(kSource + "/tests/injection/pending_programs.txt");
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string name;
    if (words >> name && name[0] != '#') names.insert(name);
  }
  return names;
}

// The programs that take seconds each run even without refusals (long
// loops, growth up to the ceiling): the sample passes them over, the whole
// run (VKE_INJECT_ALL=1) takes them.
constexpr const char* kLongPrograms[] = {
    "append_growth.vke",     // appends up to the memory ceiling
    "call_frames.vke",       // recursion to the frame limit
    "large_data.vke",        // arrays of tens of millions of elements, listed at the end
    "large_stores.vke",      // stores of hundreds of megabytes
    "memory_growth.vke",     // grows the block to its ceiling
    "native_callbacks.vke",  // 400,000 callbacks from natives
    "range_loops.vke",       // loops of millions of steps
};

bool LongProgram(const std::string& name) {
  for (const char* p : kLongPrograms)
    if (name == p) return true;
  return false;
}

bool PendingRun() {
  const char* pending = std::getenv("VKE_INJECT_PENDING");
  return pending && std::atoi(pending) != 0;
}

// Runs the driver over the programs, its runs' folders in `scratch`, and
// fails for each that shows a fault.
void InjectInto(const std::vector<Program>& programs, DriverSettings settings,
                const std::string& scratch) {
  // LAPACK's library runs one thread, as the script tests run it.
  ::setenv("OPENBLAS_NUM_THREADS", "1", 0);
  // VKE_INJECT_FAST_FORMS=0: every run with the engine's fast forms off.
  const char* fast = std::getenv("VKE_INJECT_FAST_FORMS");
  SetFastForms(!fast || std::atoi(fast) != 0);
  ASSERT_FALSE(scratch.empty());
  NoGrowthPlaces places;
  std::string message;
  ASSERT_TRUE(places.Read(kSource + "/tests/injection/no_growth_places.txt", &message)) << message;
  settings.places = &places;
  uint64_t runs = 0;
  std::set<std::string> judged, met;
  const std::set<std::string> pending = PendingRun() ? std::set<std::string>{} : PendingPrograms();
  for (const Program& p : programs) {
    if (!Picked(p.name)) continue;
    if (!settings.whole && LongProgram(p.name)) {
      std::printf("%s: long by itself, left to the whole run\n", p.name.c_str());
      continue;
    }
    if (pending.count(p.name)) {
      std::printf("%s: pending (pending_programs.txt), passed over\n", p.name.c_str());
      continue;
    }
    const ProgramReport r = InjectIntoProgram(p, settings, scratch + "/run");
    runs += r.runs;
    std::printf("%s", DescribeReport(r).c_str());
    std::fflush(stdout);
    EXPECT_TRUE(r.faults.empty() && (!r.deterministic || r.firstFailure.empty()))
        << DescribeReport(r);
    if (!r.deterministic || !r.firstFailure.empty()) continue;
    judged.insert(p.name);
    for (const Finding& f : r.notGrown) met.insert(p.name + "\t" + f.place);
  }
  std::printf("%llu runs with a request refused\n", static_cast<unsigned long long>(runs));
  // A message, not a failure: which requests the sample refuses follows the
  // callers' addresses, so that a build other than the list's two (Debug
  // with the sanitizers, Release) may miss a place they meet.
  if (settings.strict) return;
  for (const std::string& line : PlacesNoLongerMet(places, judged, met))
    std::printf("no_growth_places.txt lists a place no longer met: %s\n", line.c_str());
}

// The scripts of a folder: its VKE sources but for those of its
// applications (NAME.vke beside NAME.kvd).
std::vector<Program> Scripts(const std::string& folder) {
  std::vector<Program> programs;
  for (const std::string& path : FilesOf(folder, ".vke"))
    if (!fs::exists(fs::path(path).replace_extension(".kvd")))
      programs.push_back(ScriptProgram(path));
  return programs;
}

// The check scripts of a folder's applications, packed into the scratch
// folder first.
std::vector<Program> CheckScripts(const std::vector<std::string>& scripts,
                                  const std::string& scratch, const ProgramSetting& setting = {},
                                  const std::string& application = "") {
  std::vector<Program> programs;
  for (const std::string& script : scripts) {
    const std::string name = fs::path(script).stem().string();
    if (!Picked(name + ".script")) continue;
    const std::string image = scratch + "/" + name + ".img";
    std::string message;
    if (!PackCheckApplication(VKE_KVPACK, script, image, &message, application)) {
      ADD_FAILURE() << script << " cannot be packed: " << message;
      continue;
    }
    programs.push_back(CheckProgram(name + ".script", image, script, setting));
  }
  return programs;
}

TEST(GrowthInjection, OwnProgramsGiveTheSameWithRequestsRefused) {
  DriverSettings sample;
  sample.perSite = 3;
  sample.maxRuns = 100;
  const std::string folder = kSource + "/tests/injection/programs";
  std::vector<Program> programs = Scripts(folder);
  TempFolder scratch;
  for (Program& p : CheckScripts(FilesOf(folder, ".script"), scratch.Path()))
    programs.push_back(std::move(p));
  InjectInto(programs, SettingsFromEnvironment(sample), scratch.Path());
}

TEST(GrowthInjection, ScriptTestsGiveTheSameWithRequestsRefused) {
  DriverSettings sample;
  sample.perSite = 1;
  sample.maxRuns = 12;
  TempFolder scratch;
  InjectInto(Scripts(kSource + "/tests/scripts"), SettingsFromEnvironment(sample), scratch.Path());
}

TEST(GrowthInjection, CheckScriptsGiveTheSameWithRequestsRefused) {
  DriverSettings sample;
  sample.perSite = 1;
  sample.maxRuns = 12;
  std::vector<std::string> scripts;
  for (const auto& entry : fs::directory_iterator(kSource + "/examples"))
    if (entry.is_directory())
      for (const std::string& s : FilesOf(entry.path().string(), ".script")) scripts.push_back(s);
  for (const std::string& s : FilesOf(kSource + "/tests/kvpack", ".script")) scripts.push_back(s);
  std::sort(scripts.begin(), scripts.end());
  TempFolder scratch;
  InjectInto(CheckScripts(scripts, scratch.Path()), SettingsFromEnvironment(sample),
             scratch.Path());
}

TEST(GrowthInjection, ProgramsNamedInTheEnvironment) {
  const char* named = std::getenv("VKE_INJECT_PROGRAMS");
  if (!named || !*named) GTEST_SKIP() << "VKE_INJECT_PROGRAMS names none";
  std::vector<Program> programs;
  std::vector<std::string> scripts;
  std::stringstream list(named);
  auto environment = [](const char* name) {
    const char* text = std::getenv(name);
    return std::string(text ? text : "");
  };
  ProgramSetting setting{environment("VKE_INJECT_OPTIONS"), environment("VKE_INJECT_FOLDER")};
  for (std::string path; std::getline(list, path, ':');) {
    if (path.empty()) continue;
    path = fs::absolute(path).string();
    if (fs::path(path).extension() == ".script")
      scripts.push_back(path);
    else
      programs.push_back(ScriptProgram(path, setting));
  }
  TempFolder scratch;
  std::string app = environment("VKE_INJECT_APP");
  if (!app.empty()) app = fs::absolute(app).string();
  for (Program& p : CheckScripts(scripts, scratch.Path(), setting, app))
    programs.push_back(std::move(p));
  DriverSettings whole;
  whole.whole = true;
  InjectInto(programs, SettingsFromEnvironment(whole), scratch.Path());
}

}  // namespace
}  // namespace vke::test
