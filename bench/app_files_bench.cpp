// Writing and reading back a 100 MB file in text mode through fopen, fwrite
// and fread, against GNU Octave doing the same (1 MB lines of 100 bytes at a
// time, so that neither program holds the file whole). Prints the seconds
// of each direction, Octave's, and the ratio.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/runtime_native_table.hpp"
#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"

namespace {

constexpr int kChunks = 100;  // of 1 MB each

// Writes, then reads back, the file; prints "0 seconds" and "1 seconds".
std::string Script(const std::string& path, bool octave) {
  const std::string print = octave ? "printf" : "fprintf";
  return "line = ['0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
         "0123456789abcdefghijklmnopqrstuvwxyzABC' 10]; chunk = repmat(line, 1, 10000); "
         "tic; fd = fopen('" +
         path + "', 'wt'); for k = 1:" + std::to_string(kChunks) +
         ", fwrite(fd, chunk); end; fclose(fd); w = toc; "
         "tic; fd = fopen('" +
         path + "', 'rt'); n = 0; for k = 1:" + std::to_string(kChunks) +
         ", n = n + numel(fread(fd, 1000000, 'uint8')); end; fclose(fd); r = toc; " + print +
         (octave ? "(" : "(1, ") + "'0 %.9g\\n1 %.9g\\n', w, r);";
}

std::string g_printed;

void Collect(int32_t, const char* bytes, int32_t n, uintptr_t) {
  g_printed.append(bytes, static_cast<size_t>(n));
}

}  // namespace

int main() {
  vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (!ctx || vke::RegisterLibrary(ctx, vke::RuntimeNativeTable(), true) != vke::kOk) return 2;
  vke::SetStdOutputSink(&Collect, 0);
  const std::string path = "/tmp/vke-app-files-" + std::to_string(getpid());
  const std::string ours = Script(path, false);
  const vke::ErrCode e = vke::bench::RunScriptText(ctx, ours);
  std::remove(path.c_str());
  double seconds[2] = {0, 0};
  if (e || std::sscanf(g_printed.c_str(), "0 %lf 1 %lf", &seconds[0], &seconds[1]) != 2) {
    std::fprintf(stderr, "the text failed: %d\n", e);
    return 1;
  }
  const auto peer = vke::bench::RunPeerTimes(Script(path + "-octave", true));
  std::remove((path + "-octave").c_str());
  std::printf("%-16s %12s %12s %8s\n", "100 MB, text", "vke (s)", "octave (s)", "ratio");
  for (int i = 0; i < 2; i++) {
    std::printf("%-16s", i == 0 ? "write" : "read back");
    vke::bench::PrintTimes(seconds[i], peer, i);
  }
  return 0;
}
