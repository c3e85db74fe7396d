// The runtime's process in the window tests, its packed applications and
// its pictures' pixels.
#include "tests/gui/runtime_process.hpp"

#include <cairo.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace vke::test {

using namespace std::chrono_literals;

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Runtime::Runtime(const TempFolder& home, std::string program, std::vector<std::string> args)
    : home_(home.Path()) {
  pid_ = fork();
  if (pid_ == 0) {
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ + "/data").c_str(), 1);
    setenv("VKE_RUNTIME_OUTPUT", "1", 1);
    // Files the program writes without asking where (the printer's
    // output.pdf) land in its home.
    if (chdir(home_.c_str()) != 0) _exit(126);
    const std::string log = home_ + "/output.txt";
    if (!freopen(log.c_str(), "a", stderr)) _exit(126);
    std::vector<char*> argv{program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

Runtime::~Runtime() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string Runtime::Window(const std::string& title) {
  std::string id = ShellOutput("timeout 20 xdotool search --sync --onlyvisible --name " +
                               Quoted("^" + title + "$") + " 2>/dev/null | head -1");
  while (!id.empty() && id.back() == '\n') id.pop_back();
  std::this_thread::sleep_for(500ms);
  return id;
}

void Runtime::Keys(const std::string& keys) {
  Shell("xdotool key --delay 100 " + keys);
  std::this_thread::sleep_for(500ms);
}

std::string Runtime::Shot(const std::string& window, const std::string& name) {
  const std::string path = ScreenDir() + "/" + name + ".png";
  Shell("import -window " + window + " " + Quoted(path));
  return path;
}

void Runtime::Signal(int signal) {
  kill(pid_, signal);
}

int Runtime::Exit() {
  for (int k = 0; k < 100; k++) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(100ms);
  }
  return -1;
}

long Runtime::ProcessorTicks() const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
  std::string field;
  long ticks = 0;
  // utime and stime are fields 14 and 15; the name (field 2) has no blank
  // in these programs.
  for (int k = 1; k <= 15 && in >> field; k++)
    if (k >= 14) ticks += std::atol(field.c_str());
  return ticks;
}

std::string Runtime::Output() const {
  return ReadText(home_ + "/output.txt");
}

std::string Pack(const TempFolder& folder, const std::string& relative, const std::string& name) {
  const char* data = std::getenv("VKE_TEST_DATA");
  const std::string source = std::string(data ? data : ".") + "/../../" + relative;
  const std::string out = folder.Path() + "/" + name;
  EXPECT_EQ(Shell(std::string(VKE_KVPACK) + " --runtime " + VKE_RUNTIME + " -o " + Quoted(out) +
                  " " + Quoted(source) + " >/dev/null"),
            0);
  return out;
}

void Click(const std::string& window, int x, int y, int button) {
  Shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
        " sleep 0.2 click " + std::to_string(button));
  std::this_thread::sleep_for(500ms);
}

Pixels ReadPng(const std::string& path) {
  Pixels p;
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(s);
    p.width = cairo_image_surface_get_width(s);
    p.height = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < p.height; y++) {
      const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
      for (int x = 0; x < p.width; x++) p.rgb.push_back(row[x] & 0xFFFFFF);
    }
  }
  cairo_surface_destroy(s);
  return p;
}

std::pair<int, int> FigureRows(const Pixels& p) {
  constexpr uint32_t kBackground = 0xE5E5E5;
  std::pair<int, int> best{0, 0};
  for (int y = 0, start = 0; y <= p.height; y++) {
    const bool inside =
        y < p.height && p.At(0, y) == kBackground && p.At(p.width - 1, y) == kBackground;
    if (!inside) {
      if (y - start > best.second) best = {start, y - start};
      start = y + 1;
    }
  }
  return best;
}

}  // namespace vke::test
