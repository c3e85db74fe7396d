// lookfor over a generated tree: 100 libraries of 20 functions each, every
// function with a help block in its source and an entry in its library's
// help file, all libraries in use; the search should take under 200 ms.
// GNU Octave's lookfor over its own function path is timed beside it, for
// scale only (another tree, other files). Prints seconds (best of a few
// runs), the links written, and the peer's seconds with the ratio.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/registry.hpp"

namespace {

using namespace vke;

constexpr int kLibraries = 100;
constexpr int kFunctions = 20;
constexpr int kRuns = 5;

int g_links = 0;

// Descriptor 4: links counted, nothing kept.
ErrCode CountLinks(EngineContext*, int32_t fd, const char*, int32_t, uintptr_t) {
  if (fd != kFdHelpLinks) return kErrBadFileID;
  g_links++;
  return kOk;
}

const NativeFunctionRecord kHost[] = {
    MakeRecord("@bench"),
    MakeRecord("+write", &CountLinks, 1),
    MakeRecord(""),
};

// Writes lib<i>.vkl and lib<i>.hlp; every seventh description holds "zero".
void WriteTree(const std::string& folder) {
  for (int l = 0; l < kLibraries; l++) {
    std::ofstream source(folder + "/lib" + std::to_string(l) + ".vkl");
    std::ofstream help(folder + "/lib" + std::to_string(l) + ".hlp");
    for (int f = 0; f < kFunctions; f++) {
      const std::string name = "f" + std::to_string(l) + "_" + std::to_string(f);
      const std::string what = (l * kFunctions + f) % 7 == 0 ? "Rounds values towards zero."
                                                             : "Scales a value by a factor.";
      source << "function y = " << name << "(x)\n% y = " << name << "(x)\n% " << what
             << "\n%\n% Longer text of the help.\n  y = x;\nendfunction\n\n";
      help << name << "  % y = " << name << "(x)\n% " << what << " (help file)\n%\n% More.\n\n";
    }
  }
}

}  // namespace

int main() {
  char folderTemplate[] = "/tmp/vke-lookfor-XXXXXX";
  if (!mkdtemp(folderTemplate)) return 1;
  const std::string folder = folderTemplate;
  WriteTree(folder);
  bench::BenchEngine engine;
  EngineContext* ctx = engine.ctx();
  if (!ctx || RegisterLibrary(ctx, kHost, true)) return 1;
  // The path first: a line's "use" statements are read before it runs.
  if (bench::RunCommandText(ctx, "path('" + folder + "');\n")) return 2;
  std::string use = "use lib0";
  for (int l = 1; l < kLibraries; l++) use += ", lib" + std::to_string(l);
  if (ErrCode e = bench::RunCommandText(ctx, use + "\n")) {
    std::fprintf(stderr, "loading the libraries failed with %u\n", e);
    return 2;
  }
  double best = 1e30;
  int links = 0;
  for (int r = 0; r < kRuns; r++) {
    g_links = 0;
    const auto start = std::chrono::steady_clock::now();
    if (LookforScanAll(ctx, "zero", 4)) return 3;
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
    links = g_links;
  }
  std::filesystem::remove_all(folder);
  const auto peer = bench::RunPeerTimes(bench::PeerTiming(0, 2, "evalc('lookfor zero')"));
  std::printf("%-40s %12s %12s %8s\n", "lookfor", "vke (s)", "octave (s)", "ratio");
  std::printf("%-40s",
              ("2000 functions in 100 libraries, " + std::to_string(links / 2) + " links").c_str());
  bench::PrintTimes(best, peer, 0);
  return 0;
}
