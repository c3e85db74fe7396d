#include "tests/host/pty_pair.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/serial_port.hpp"

namespace vke::test {

namespace {

// How long an expected byte may take: long, since it only bounds a failure.
constexpr int kPatienceMs = 60000;
// How long a full line stays without room before it counts as full.
constexpr int kSettleMs = 250;

std::vector<std::string> g_listed;

int32_t ListedPortNames(char* buffer, int32_t size) {
  int32_t used = 0;
  for (const std::string& path : g_listed) {
    const auto bytes = static_cast<int32_t>(path.size()) + 1;
    if (bytes > size - used) return -1;
    std::memcpy(buffer + used, path.c_str(), path.size() + 1);
    used += bytes;
  }
  return static_cast<int32_t>(g_listed.size());
}

}  // namespace

PtyPair::PtyPair() {
  termios raw{};
  cfmakeraw(&raw);
  char name[256] = {};
  if (openpty(&device_, &terminal_, name, &raw, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  path_ = name;
}

PtyPair::~PtyPair() {
  close(device_);
  close(terminal_);
}

void PtyPair::Send(const std::string& bytes) const {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t k = write(device_, bytes.data() + done, bytes.size() - done);
    if (k <= 0) throw std::runtime_error("pty write failed");
    done += static_cast<size_t>(k);
  }
}

std::string PtyPair::Receive(size_t n) const {
  std::string bytes;
  char buffer[4096];
  while (bytes.size() < n) {
    pollfd p{device_, POLLIN, 0};
    if (poll(&p, 1, kPatienceMs) <= 0) break;
    const ssize_t k = read(device_, buffer, std::min(sizeof buffer, n - bytes.size()));
    if (k <= 0) break;
    bytes.append(buffer, static_cast<size_t>(k));
  }
  return bytes;
}

int PtyPair::PendingInput() const {
  int n = 0;
  ioctl(terminal_, FIONREAD, &n);
  return n;
}

bool PtyPair::WaitForInput(int n) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (PendingInput() < n) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void PtyPair::FillOutput() const {
  const int flags = fcntl(terminal_, F_GETFL);
  fcntl(terminal_, F_SETFL, flags | O_NONBLOCK);
  // The kernel moves bytes on towards the device's reader a while after
  // they were written, which makes room again: full is when no room comes.
  const std::string block(4096, 'f');
  for (pollfd p{terminal_, POLLOUT, 0}; poll(&p, 1, kSettleMs) == 1;) {
    if (write(terminal_, block.data(), block.size()) < 0 && errno != EAGAIN) break;
  }
  fcntl(terminal_, F_SETFL, flags);
}

StreamingDevice::StreamingDevice(const PtyPair& pty) : fd_(pty.device()) {
  // Never blocked for long, so that it sees the stop.
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  thread_ = std::thread([this] {
    const std::string bytes(64, 'z');
    while (!stop_) {
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 10) == 1 && write(fd_, bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
        break;
    }
  });
}

StreamingDevice::~StreamingDevice() {
  stop_ = true;
  thread_.join();
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

ListedPorts::ListedPorts(std::vector<std::string> paths) {
  g_listed = std::move(paths);
  SetSerialPortListerForTesting(&ListedPortNames);
}

ListedPorts::~ListedPorts() {
  SetSerialPortListerForTesting(nullptr);
  g_listed.clear();
}

}  // namespace vke::test
