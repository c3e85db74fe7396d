// The runtime's process in the window tests, its packed applications and
// its pictures' pixels.
#include "tests/gui/runtime_process.hpp"

#include <cairo.h>
#include <fcntl.h>
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

bool Eventually(const std::function<bool()>& done, std::source_location where) {
  WaitNote note(where);
  while (!done()) {
    note.Round();
    std::this_thread::sleep_for(100ms);
  }
  return true;
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

std::string Runtime::Window(const std::string& title, std::source_location where) {
  std::string id;
  Eventually(
      [&] {
        id = ShellOutput("xdotool search --onlyvisible --name " + Quoted("^" + title + "$") +
                         " 2>/dev/null | head -1");
        while (!id.empty() && id.back() == '\n') id.pop_back();
        return !id.empty() || Ended();
      },
      where);
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

bool Runtime::Ended() {
  if (exited_) return true;
  int status;
  if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return pid_ <= 0;
  exited_ = true;
  status_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status)
            : WIFEXITED(status) ? WEXITSTATUS(status)
                                : -1;
  return true;
}

int Runtime::Exit(std::source_location where) {
  Eventually([&] { return Ended(); }, where);
  return status_;
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

bool Runtime::Busy(std::source_location where) {
  const long start = ProcessorTicks();
  bool busy = false;
  Eventually([&] { return (busy = ProcessorTicks() - start >= 20) || Ended(); }, where);
  return busy;
}

ClipboardText::ClipboardText(const std::string& text) {
  int input[2];
  if (pipe(input) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(input[0], STDIN_FILENO);
    dup2(nowhere, STDOUT_FILENO);
    dup2(nowhere, STDERR_FILENO);
    close(input[0]);
    close(input[1]);
    close(nowhere);
    execlp("xclip", "xclip", "-quiet", "-selection", "clipboard", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(input[0]);
  if (pid_ > 0 && write(input[1], text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
    close(input[1]);
    held_ = Eventually([&] {
      return ShellOutput(UnlessHung("xclip -o -selection clipboard 2>/dev/null")) == text;
    });
  } else {
    close(input[1]);
  }
}

ClipboardText::~ClipboardText() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
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
