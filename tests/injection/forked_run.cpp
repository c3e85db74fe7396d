// Runs in child processes: the capture of their output, files and requests.
#include "tests/injection/forked_run.hpp"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unordered_map>

namespace vke::test {

namespace {

namespace fs = std::filesystem;

uint64_t Fnv(const std::string& bytes, uint64_t h = 14695981039346656037ull) {
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The counting run's record of the code that asks: the addresses of the
// callers above the request, hashed, and the first requests of each.
struct SiteRecorder {
  uint32_t kept = 0;
  std::unordered_map<uint64_t, uint32_t> seen;
  std::vector<RequestSite> sites;
};

void RecordSite(RoomKind kind, uint64_t number, uintptr_t argument) {
  auto* r = reinterpret_cast<SiteRecorder*>(argument);
  // This function, TakeRoomRequest, then the code that asked and its callers.
  constexpr int kSkipped = 2, kCallers = 6;
  void* frames[kSkipped + kCallers];
  const int n = backtrace(frames, kSkipped + kCallers);
  uint64_t h = 14695981039346656037ull ^ static_cast<uint64_t>(kind);
  for (int i = kSkipped; i < n; i++)
    h = (h ^ reinterpret_cast<uintptr_t>(frames[i])) * 1099511628211ull;
  const uint32_t occurrence = ++r->seen[h];
  if (occurrence <= r->kept) r->sites.push_back({number, kind, h, occurrence});
}

// With the refused request's callers traced: their names, on standard
// error as the refusal is answered.
void TraceRefused(RoomKind, uint64_t number, uintptr_t refused) {
  if (number != refused) return;
  void* frames[24];
  backtrace_symbols_fd(frames, backtrace(frames, 24), STDERR_FILENO);
}

// The refused request's caller: the first function above the requests'
// own code whose name the program exports, without its parameters and
// namespace, so that it reads the same in every build.
struct RefusedCaller {
  uint64_t refused;
  char name[160] = "-";
};

bool RequestMachinery(const std::string& name) {
  for (const char* part : {"RoomRefused", "RoomRequest", "RefusedCaller"})
    if (name.find(part) != std::string::npos) return true;
  return false;
}

void RecordRefusedCaller(RoomKind, uint64_t number, uintptr_t argument) {
  auto* caller = reinterpret_cast<RefusedCaller*>(argument);
  if (number != caller->refused) return;
  void* frames[32];
  const int n = backtrace(frames, 32);
  for (int i = 1; i < n; i++) {
    Dl_info info;
    if (!dladdr(frames[i], &info) || !info.dli_sname) continue;
    int status = 0;
    char* demangled = abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : info.dli_sname;
    std::free(demangled);
    if (RequestMachinery(name)) continue;
    // The driver's own code: the program named none.
    if (name.find("vke::test::") != std::string::npos) return;
    name = name.substr(0, name.find('('));
    if (name.compare(0, 5, "vke::") == 0) name = name.substr(5);
    if (name.empty() || name.find(' ') != std::string::npos) continue;
    std::snprintf(caller->name, sizeof caller->name, "%s", name.c_str());
    return;
  }
}

// The refused run's watch: the observer it was given, and the stop of a run
// that goes on asking past its cap (a retry that starts over for ever).
struct RoomRequestCap {
  uint64_t cap;
  RoomRequestObserver observer;
  uintptr_t argument;
};

constexpr int kEndlessStatus = 124;
constexpr char kEndlessNote[] = "the run went on past its cap of requests for room\n";

void RoomRequestCapped(RoomKind kind, uint64_t number, uintptr_t argument) {
  const auto* watch = reinterpret_cast<const RoomRequestCap*>(argument);
  watch->observer(kind, number, watch->argument);
  if (watch->cap == 0 || number <= watch->cap) return;
  std::fflush(stdout);
  std::fflush(stderr);
  (void)!::write(STDERR_FILENO, kEndlessNote, sizeof kEndlessNote - 1);
  _exit(kEndlessStatus);
}

void WriteReport(std::FILE* f, const SiteRecorder& recorder, const RefusedCaller& caller) {
  RoomKind kind;
  const bool refused = RoomRequestRefused(&kind);
  std::fprintf(f, "%llu %d %d", static_cast<unsigned long long>(RoomRequestCount()),
               refused ? 1 : 0, static_cast<int>(kind));
  for (int k = 0; k < kRoomKindCount; k++)
    std::fprintf(f, " %llu",
                 static_cast<unsigned long long>(RoomRequestCount(static_cast<RoomKind>(k))));
  int32_t opcode;
  const char* name;
  if (!FailureNotRunAgain(&opcode, &name)) opcode = -1;
  std::fprintf(f, " %d %s %s\n", opcode, *name ? name : "-", caller.name);
  for (const RequestSite& s : recorder.sites)
    std::fprintf(f, "%llu %d %llu %u\n", static_cast<unsigned long long>(s.number),
                 static_cast<int>(s.kind), static_cast<unsigned long long>(s.site), s.occurrence);
  std::fclose(f);
}

void ReadReport(const std::string& path, RunOutcome* o) {
  std::ifstream in(path);
  int refused = 0, kind = 0;
  unsigned long long requests = 0;
  if (!(in >> requests >> refused >> kind)) return;
  o->requests = requests;
  o->refused = refused != 0;
  o->refusedKind = static_cast<RoomKind>(kind);
  for (uint64_t& n : o->perKind) in >> n;
  in >> o->failedOpcode >> o->failedName >> o->refusedCaller;
  if (o->failedName == "-") o->failedName.clear();
  if (o->refusedCaller == "-") o->refusedCaller.clear();
  unsigned long long number, site;
  unsigned occurrence;
  while (in >> number >> kind >> site >> occurrence)
    o->sites.push_back({number, static_cast<RoomKind>(kind), site, occurrence});
}

std::string ListFiles(const std::string& folder) {
  std::vector<std::string> lines;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string bytes = ReadWhole(it->path().string());
    std::ostringstream line;
    line << fs::relative(it->path(), folder).string() << " " << bytes.size() << " " << std::hex
         << Fnv(bytes);
    lines.push_back(line.str());
  }
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

bool WriteSmallFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

// The child's own /tmp (RunForked): in a user and mount namespace of its
// own, an overlay on /tmp that reads what /tmp holds and writes into the
// folder's "tmp" (its work folder beside `folder`). False when a step
// fails.
bool OwnTemporaryFolder(const std::string& folder) {
  const std::string upper = folder + "/tmp", work = folder + ".work";
  std::error_code ec;
  fs::create_directories(upper, ec);
  fs::create_directories(work, ec);
  if (ec) return false;
  const std::string uid = std::to_string(::getuid()), gid = std::to_string(::getgid());
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  WriteSmallFile("/proc/self/setgroups", "deny");
  const std::string layers = "lowerdir=/tmp,upperdir=" + upper + ",workdir=" + work;
  return WriteSmallFile("/proc/self/uid_map", uid + " " + uid + " 1\n") &&
         WriteSmallFile("/proc/self/gid_map", gid + " " + gid + " 1\n") &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("overlay", "/tmp", "overlay", 0, layers.c_str()) == 0;
}

}  // namespace

bool RunsHaveTheirOwnTmp(const std::string& folder) {
  static const bool possible = [&folder] {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const pid_t pid = ::fork();
    // Written through the overlay, a file lands in the folder's "tmp".
    const std::string probe = "/tmp/" + fs::path(folder).filename().string() + ".probe";
    if (pid == 0) _exit(OwnTemporaryFolder(folder) && std::ofstream(probe) << "probe" ? 0 : 1);
    int status = 0;
    const bool done = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                      WEXITSTATUS(status) == 0 &&
                      fs::exists(folder + "/tmp/" + fs::path(probe).filename().string()) &&
                      !fs::exists(probe);
    fs::remove_all(folder, ec);
    fs::remove_all(folder + ".work", ec);
    return done;
  }();
  return possible;
}

namespace {

[[noreturn]] void RunChild(const RunSpec& spec, const std::string& folder, bool ownTmp) {
  if (::chdir(folder.c_str()) != 0) _exit(125);
  const int out = ::open((folder + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open((folder + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // Opened here: behind its own /tmp the child writes nothing to /tmp by path.
  std::FILE* report = std::fopen((folder + ".report").c_str(), "w");
  if (out < 0 || err < 0 || !report || ::dup2(out, STDOUT_FILENO) < 0 ||
      ::dup2(err, STDERR_FILENO) < 0)
    _exit(125);
  if (ownTmp && !OwnTemporaryFolder(folder)) {
    std::fprintf(stderr, "the run's own /tmp could not be made\n");
    _exit(125);
  }
  SiteRecorder recorder;
  recorder.kept = spec.refuse == 0 ? spec.sitesKept : 0;
  if (recorder.kept) {
    void* warm[1];
    backtrace(warm, 1);  // loads the unwinder before anything is counted
  }
  RefusedCaller caller{spec.refuse};
  RoomRequestCap capped{spec.requestCap, &RecordRefusedCaller,
                        reinterpret_cast<uintptr_t>(&caller)};
  if (spec.traceRefused) {
    capped.observer = &TraceRefused;
    capped.argument = spec.refuse;
  }
  if (spec.refuse)
    WatchRoomRequests(spec.refuse, &RoomRequestCapped, reinterpret_cast<uintptr_t>(&capped));
  else
    WatchRoomRequests(0, recorder.kept ? &RecordSite : nullptr,
                      reinterpret_cast<uintptr_t>(&recorder));
  const int status = spec.body();
  StopWatchingRoomRequests();
  std::fflush(stdout);
  std::fflush(stderr);
  WriteReport(report, recorder, caller);
  _exit(status & 0xFF);
}

}  // namespace

void RemoveFolder(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  fs::remove_all(path + ".work", ec);
}

namespace {

// A child on its way.
struct Child {
  pid_t pid = -1;
  size_t index = 0;  // of its spec
  std::string folder;
  std::chrono::steady_clock::time_point start;
};

Child StartChild(const RunSpec& spec, size_t index, const std::string& folder, bool ownTmp) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
  for (const char* tail : {".out", ".err", ".report"}) fs::remove(folder + tail, ec);
  fs::remove_all(folder + ".work", ec);
  std::fflush(stdout);
  std::fflush(stderr);
  Child c{-1, index, folder, std::chrono::steady_clock::now()};
  c.pid = ::fork();
  if (c.pid == 0) RunChild(spec, folder, ownTmp);
  return c;
}

// The child's outcome once it has ended (killed when it ran too long); false
// while it runs.
bool Finished(const Child& c, const RunSpec& spec, RunOutcome* o) {
  int wstatus = 0;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - c.start).count();
  pid_t done = c.pid > 0 ? ::waitpid(c.pid, &wstatus, WNOHANG) : -1;
  if (done == 0 && spec.timeoutSeconds > 0 && seconds > spec.timeoutSeconds) {
    ::kill(c.pid, SIGKILL);
    ::waitpid(c.pid, &wstatus, 0);
    o->timedOut = true;
    done = c.pid;
  }
  if (done == 0) return false;
  o->seconds = seconds;
  o->status = c.pid <= 0             ? -1
              : WIFEXITED(wstatus)   ? WEXITSTATUS(wstatus)
              : WIFSIGNALED(wstatus) ? 128 + WTERMSIG(wstatus)
                                     : -1;
  o->out = ReadWhole(c.folder + ".out");
  o->err = ReadWhole(c.folder + ".err");
  const std::string note = kEndlessNote;
  o->endless = o->status == kEndlessStatus && o->err.size() >= note.size() &&
               o->err.compare(o->err.size() - note.size(), note.size(), note) == 0;
  o->files = ListFiles(c.folder);
  ReadReport(c.folder + ".report", o);
  return true;
}

}  // namespace

std::vector<RunOutcome> RunForkedTogether(const std::vector<RunSpec>& specs,
                                          const std::vector<std::string>& folders) {
  std::vector<RunOutcome> outcomes(specs.size());
  const bool ownTmp = !folders.empty() && RunsHaveTheirOwnTmp(folders.front());
  std::vector<Child> running;
  std::vector<std::string> idle(folders.rbegin(), folders.rend());
  size_t next = 0;
  auto pause = std::chrono::microseconds(50);
  while (next < specs.size() || !running.empty()) {
    for (; next < specs.size() && !idle.empty(); next++) {
      running.push_back(StartChild(specs[next], next, idle.back(), ownTmp));
      idle.pop_back();
    }
    bool ended = false;
    for (size_t i = 0; i < running.size();) {
      if (!Finished(running[i], specs[running[i].index], &outcomes[running[i].index])) {
        i++;
        continue;
      }
      idle.push_back(running[i].folder);
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
      ended = true;
    }
    if (ended) {
      pause = std::chrono::microseconds(50);
      continue;
    }
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(1)) pause *= 2;
  }
  return outcomes;
}

RunOutcome RunForked(const RunSpec& spec, const std::string& folder) {
  return RunForkedTogether({spec}, {folder}).front();
}

}  // namespace vke::test
