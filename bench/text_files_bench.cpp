// Text files of a numeric table, against GNU Octave doing the same: fprintf
// of a table of 10^6 rows (an integer and two numbers of six decimals) to a
// file in one call, fgetl over its lines, and fread of it whole, the first
// time and again into the same variable (the first read's memory is new to
// the process, the second's in use already). Each is timed in the program
// itself (tic/toc), the engine with the runtime's UTF-8 text encoder and
// files, in an area mapped as the runner maps its own; prints the seconds
// of each, Octave's, and the ratio (the target: each at most 1), then the
// line loop against Lua 5.4 reading the same lines.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/runtime_native_table.hpp"
#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"

namespace {

constexpr int kRows = 1000000;
// Room for the table's text, its bytes and the doubles fread makes of them.
constexpr uint32_t kArea = 3u << 30;

// Writes the table, reads its lines, then reads it whole twice; prints
// "0 s" to "3 s". Rows are stored one after another in the engine, one
// per column in Octave, hence its transpose.
std::string Script(const std::string& path, bool octave) {
  const std::string print = octave ? "printf(" : "fprintf(1, ";
  return "n = " + std::to_string(kRows) + "; k = (1:n)'; x = k / 7; y = sin(k); M = [k x y]" +
         (octave ? "'" : "") + "; tic; fd = fopen('" + path +
         "', 'w'); fprintf(fd, '%d %.6f %.6f\\n', M); fclose(fd); w = toc; "
         "tic; fd = fopen('" +
         path +
         "', 'r'); for i = 1:n, l = fgetl(fd); end; fclose(fd); r = toc; "
         "tic; fd = fopen('" +
         path + "', 'r'); d = fread(fd); fclose(fd); f = toc; tic; fd = fopen('" + path +
         "', 'r'); d = fread(fd); fclose(fd); g = toc; " + print +
         "'0 %.9g\\n1 %.9g\\n2 %.9g\\n3 %.9g\\n', w, r, f, g);";
}

// Seconds Lua 5.4 takes to read the file's lines one by one; 0 when it
// cannot be run.
double LuaLineSeconds(const std::string& path) {
  const std::string command = "lua5.4 -e \"local f = io.open('" + path +
                              "'); local t = os.clock(); for i = 1, " + std::to_string(kRows) +
                              " do local l = f:read('l') end; print(os.clock() - t)\" 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  double seconds = 0;
  if (!pipe) return 0;
  if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = 0;
  pclose(pipe);
  return seconds;
}

std::string g_printed;

void Collect(int32_t, const char* bytes, int32_t n, uintptr_t) {
  g_printed.append(bytes, static_cast<size_t>(n));
}

}  // namespace

int main() {
  vke::bench::BenchEngine engine(kArea, vke::bench::BenchArea::kMapped);
  vke::EngineContext* ctx = engine.ctx();
  if (!ctx || vke::RegisterLibrary(ctx, vke::RuntimeNativeTable(), true) != vke::kOk) return 2;
  vke::SetTextEncoding(ctx, 'u');
  vke::SetStdOutputSink(&Collect, 0);
  const std::string path = "/tmp/vke-text-files-" + std::to_string(getpid());
  const std::string ours = Script(path, false);
  const vke::ErrCode e = vke::bench::RunScriptText(ctx, ours);
  const double lua = LuaLineSeconds(path);
  std::remove(path.c_str());
  double seconds[4] = {0, 0, 0, 0};
  if (e || std::sscanf(g_printed.c_str(), "0 %lf 1 %lf 2 %lf 3 %lf", &seconds[0], &seconds[1],
                       &seconds[2], &seconds[3]) != 4) {
    std::fprintf(stderr, "the text failed: %d\n%s", e, g_printed.c_str());
    return 1;
  }
  const auto peer = vke::bench::RunPeerTimes(Script(path + "-octave", true));
  std::remove((path + "-octave").c_str());
  std::printf("%-16s %12s %12s %8s\n", "1e6 rows", "vke (s)", "octave (s)", "ratio");
  const char* rows[] = {"fprintf", "fgetl lines", "fread whole", "fread again"};
  for (int i = 0; i < 4; i++) {
    std::printf("%-16s", rows[i]);
    vke::bench::PrintTimes(seconds[i], peer, i);
  }
  // The interpreted peer of the line loop (target: at most twice its time).
  if (lua > 0)
    std::printf("%-16s %12.6f %12.6f %8.2f  (lua5.4; target <= 2)\n", "fgetl vs Lua", seconds[1],
                lua, seconds[1] / lua);
  return 0;
}
