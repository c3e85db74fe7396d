// launchurl over posix_spawnp: the text is one argument of xdg-open, never
// seen by a shell, whatever characters it holds.
#include "app/natives/launch_url.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>
#include <vector>

#include "app/natives/host_text.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

extern char** environ;

namespace vke {

namespace {

constexpr char kOpener[] = "xdg-open";

bool SpawnDetached(const std::string& program, const std::string& argument) {
  std::vector<char*> argv = {const_cast<char*>(program.c_str()),
                             const_cast<char*>(argument.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    return false;
  // The opener returns quickly; its exit is collected aside.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

UrlSpawner g_spawner = nullptr;

}  // namespace

void SetUrlSpawner(UrlSpawner spawner) {
  g_spawner = spawner;
}

ErrCode LaunchUrlNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  std::string text;
  if (ErrCode e = WholeTextArg(ctx, 0, &text))
    return e == kErrWrongType ? kErrWrongTypeOverload : e;
  // The answer's room comes before the opener starts, so that a call run
  // again after growth does not start it twice.
  if (ErrCode e = MakeRoomForResult(ctx, 1)) return e;
  if (ErrCode e = Drop(ctx)) return e;
  // A NUL would hand on the shorter text before it: such a text opens nothing.
  const bool started = text.find('\0') == std::string::npos &&
                       (g_spawner ? g_spawner : &SpawnDetached)(kOpener, text);
  if (nargout < 0) return PushNoValue(ctx);
  if (nargout == 0) return kOk;
  return PushLogicalScalar(ctx, started ? 1 : 0);
}

}  // namespace vke
