// Times md5, sha1 and base64encode on a file of 100 MB (or of the size in MB
// given as the first argument) read through a descriptor, against the
// coreutils md5sum, sha1sum and base64 on the same file, and prints the
// ratios (ours / theirs; the best of three runs each).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/runtime_tables.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"

namespace {

using namespace vke;

constexpr int32_t kFileFd = kFdFirstRange;  // the one descriptor of the bench's "+read" hook
constexpr int kRuns = 3;
constexpr int64_t kBase64Piece = 45 << 20;  // whole lines of 45 bytes

int g_osFile = -1;

ErrCode ReadHook(EngineContext*, int32_t fd, char* buffer, int32_t size, int32_t* count,
                 uintptr_t) {
  if (fd != kFileFd || g_osFile < 0) return kErrBadFileID;
  const ssize_t n = ::read(g_osFile, buffer, static_cast<size_t>(size));
  if (n < 0) return kErrIoErr;
  *count = static_cast<int32_t>(n);
  return n == 0 ? ErrCode{kErrEof} : ErrCode{kOk};
}

void Check(ErrCode e, const char* what) {
  if (!e) return;
  std::fprintf(stderr, "%s failed with %d\n", what, e);
  std::exit(1);
}

struct Engine {
  uint32_t bytes;
  std::unique_ptr<void, decltype(&std::free)> area;
  EngineContext* ctx = nullptr;
  NativeFunctionRecord table[3] = {MakeRecord("@bench"), MakeRecord("+read", &ReadHook),
                                   MakeRecord("")};
  explicit Engine(uint32_t areaBytes)
      : bytes(areaBytes), area(std::aligned_alloc(16, areaBytes), &std::free) {
    if (!area) std::abort();
    Check(CreateEngine(area.get(), bytes, &ctx), "engine");
    Check(PrepareRuntimeEngine(ctx), "static table");
    Check(ResetEngine(ctx), "reset");
    Check(RegisterLibrary(ctx, table, true), "bench table");
  }
};

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void OpenFile(const std::string& path) {
  if (g_osFile >= 0) ::close(g_osFile);
  g_osFile = ::open(path.c_str(), O_RDONLY);
  if (g_osFile < 0) std::abort();
}

// A digest native on the descriptor.
double TimeDigest(Engine& engine, const std::string& path, uintptr_t option) {
  OpenFile(path);
  const auto start = std::chrono::steady_clock::now();
  PushRealScalar(engine.ctx, kFileFd);
  Check(DigestNative(engine.ctx, 1, 1, option), "digest");
  const double t = Seconds(start);
  Drop(engine.ctx);
  return t;
}

// The file read through the descriptor in pieces of whole lines of Base64
// text (an array holds at most kMaxTypedElements elements), each piece
// encoded by the native.
double TimeBase64(Engine& engine, const std::string& path, int64_t size) {
  OpenFile(path);
  const auto start = std::chrono::steady_clock::now();
  for (int64_t done = 0; done < size;) {
    const auto piece = static_cast<int32_t>(std::min(kBase64Piece, size - done));
    const int32_t dims[2] = {1, piece};
    void* data;
    Check(PushNewTypedArray(engine.ctx, 2, dims, 1, true, &data), "byte array");
    for (int32_t got = 0; got < piece;) {
      int32_t n = 0;
      Check(ReadFromFd(engine.ctx, kFileFd, static_cast<char*>(data) + got, piece - got, false, &n),
            "read");
      got += n;
    }
    Check(Base64Native(engine.ctx, 1, 1, 'e'), "base64encode");
    Drop(engine.ctx);
    done += piece;
  }
  return Seconds(start);
}

double TimeCommand(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::abort();
  return Seconds(start);
}

template <typename F>
double Best(F f) {
  double best = 1e300;
  for (int i = 0; i < kRuns; i++) best = std::min(best, f());
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 100;
  const int64_t size = megabytes << 20;
  const std::string path = "/tmp/vke_digest_bench_" + std::to_string(::getpid());
  {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    uint64_t x = 0x9e3779b97f4a7c15;
    for (auto& b : bytes) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      b = static_cast<uint8_t>(x);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
  }
  // The data stack (an eighth of the area) holds a piece and its Base64 text
  // as characters.
  Engine engine(static_cast<uint32_t>(8 * (4 * kBase64Piece + (1 << 20))));
  struct Row {
    const char* name;
    double ours, theirs;
  } rows[] = {
      {"md5", Best([&] { return TimeDigest(engine, path, 'm'); }),
       Best([&] { return TimeCommand("md5sum " + path + " > /dev/null"); })},
      {"sha1", Best([&] { return TimeDigest(engine, path, 's'); }),
       Best([&] { return TimeCommand("sha1sum " + path + " > /dev/null"); })},
      {"base64encode", Best([&] { return TimeBase64(engine, path, size); }),
       Best([&] { return TimeCommand("base64 " + path + " > /dev/null"); })},
  };
  std::printf("%lld MB through a descriptor, best of %d\n", static_cast<long long>(megabytes),
              kRuns);
  for (const Row& r : rows)
    std::printf("%-13s %8.3f s  coreutils %8.3f s  ratio %5.2f\n", r.name, r.ours, r.theirs,
                r.ours / r.theirs);
  ::close(g_osFile);
  std::remove(path.c_str());
  return 0;
}
