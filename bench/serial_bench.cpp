// Times the serial library through a pseudo-terminal pair: 10 MB written
// with fwrite and 10 MB read with fread, in binary and in text mode, while a
// thread plays the device; and, for comparison, cat copying the same bytes
// into a pseudo-terminal. Prints MB/s.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "app/runtime_tables.hpp"
#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"
#include "platform/serial_port.hpp"
#include "serial/serial_devices.hpp"

namespace {

using namespace vke;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kAreaBytes = 512u << 20;
constexpr size_t kBytes = 10'000'000;

std::string g_port;  // the one port the library lists

int32_t ListOnePort(char* buffer, int32_t size) {
  if (static_cast<int32_t>(g_port.size()) >= size) return -1;
  std::memcpy(buffer, g_port.c_str(), g_port.size() + 1);
  return 1;
}

struct Pty {
  int device = -1, terminal = -1;
  std::string path;
  Pty() {
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&device, &terminal, name, &raw, nullptr) != 0) std::abort();
    path = name;
  }
  ~Pty() {
    close(device);
    close(terminal);
  }
};

// The device reads n bytes, or sends n bytes (no CR, so that text mode
// keeps them all).
void Device(int fd, size_t n, bool sends) {
  std::string block(65536, 'v');
  for (size_t done = 0; done < n;) {
    const size_t want = std::min(block.size(), n - done);
    const ssize_t k = sends ? write(fd, block.data(), want) : read(fd, block.data(), want);
    if (k <= 0) return;
    done += static_cast<size_t>(k);
  }
}

void Run(EngineContext* ctx, const std::string& text) {
  ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  while (e == kOk || e == kStatusSuspended) {
    e = ExecuteBytecode(ctx, 1);
    if (e != kStatusSuspended) break;
  }
  if (e != kOk) {
    std::fprintf(stderr, "failed with %d: %s\n", e, text.c_str());
    std::exit(1);
  }
}

double Rate(Clock::time_point start) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return kBytes / 1e6 / seconds;
}

void Library(EngineContext* ctx, const char* mode) {
  Pty pty;
  g_port = pty.path;
  Run(ctx, "fd = serialdevopen('" + pty.path + "', '" + mode +
               "'); x = repmat(uint8('abcdefghij'), 1, " + std::to_string(kBytes / 10) + ");");
  std::thread reader(Device, pty.device, kBytes, false);
  auto start = Clock::now();
  Run(ctx, "fwrite(fd, x);");
  reader.join();
  const double written = Rate(start);
  std::thread sender(Device, pty.device, kBytes, true);
  start = Clock::now();
  Run(ctx, "y = fread(fd, " + std::to_string(kBytes) + ", '*uint8'); fclose(fd); clear x y");
  const double read = Rate(start);
  sender.join();
  std::printf("library, %-6s mode: fwrite %8.1f MB/s, fread %8.1f MB/s\n",
              mode[0] == 't' ? "text" : "binary", written, read);
}

void Cat() {
  Pty pty;
  char file[] = "/tmp/serial_bench_XXXXXX";
  const int fd = mkstemp(file);
  const std::string block(65536, 'v');
  for (size_t done = 0; done < kBytes; done += block.size())
    if (write(fd, block.data(), std::min(block.size(), kBytes - done)) < 0) std::abort();
  close(fd);
  std::thread reader(Device, pty.device, kBytes, false);
  const auto start = Clock::now();
  const std::string command = std::string("cat ") + file + " > " + pty.path;
  if (std::system(command.c_str()) != 0) std::abort();
  reader.join();
  std::printf("cat into the terminal:       %8.1f MB/s\n", Rate(start));
  unlink(file);
}

}  // namespace

int main() {
  std::unique_ptr<void, decltype(&std::free)> area(std::aligned_alloc(16, kAreaBytes), &std::free);
  EngineContext* ctx = nullptr;
  static const NativeFunctionRecord table[] = {
#define VKE_SERIAL_RECORD(name, fn, minIn, maxIn, minOut, maxOut) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut),
#include "serial/serial_records.def"
#undef VKE_SERIAL_RECORD
      MakeRecord(""),
  };
  if (CreateEngine(area.get(), kAreaBytes, &ctx) || PrepareRuntimeEngine(ctx) || ResetEngine(ctx) ||
      RegisterLibrary(ctx, table, true))
    return 1;
  SetSerialPortListerForTesting(&ListOnePort);
  Library(ctx, "b115200");
  Library(ctx, "t b115200");
  Cat();
  return 0;
}
