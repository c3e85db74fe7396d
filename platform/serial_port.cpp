// The serial-port layer over termios: ports are opened non-blocking and
// exclusively, set to raw 8-bit lines, and every read and write first waits
// for the port with poll(), in slices, so that the break poll is asked while
// a transfer waits and the timeout may be as long as the caller wishes.
#include "platform/serial_port.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace vke {

namespace {

// The accepted speeds with their termios constants; 0: no constant, the
// speed goes through the driver's request for other speeds.
struct SerialSpeed {
  int32_t bps;
  speed_t code;
};
constexpr SerialSpeed kSerialSpeeds[] = {
    {75, B75},         {110, B110},     {150, B150},       {300, B300},       {450, 0},
    {600, B600},       {1200, B1200},   {1800, B1800},     {2400, B2400},     {4800, B4800},
    {7200, 0},         {9600, B9600},   {14400, 0},        {19200, B19200},   {28800, 0},
    {38400, B38400},   {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
    {921600, B921600},
};

// A driver may round the speed it sets; further off than this it is refused.
constexpr double kSpeedTolerance = 0.03;

// A long wait asks the break poll at least this often.
constexpr int kWaitSliceMs = 100;

// Pauses up to this long that are not whole milliseconds are waited out on
// the clock: a sleep would overshoot them.
constexpr int32_t kLongestPolledPauseUs = 2000;

int64_t NowMicroseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
}

bool BreakRequested(const SerialBreakPoll& poll) {
  return poll.requested && poll.requested(poll.argument);
}

int32_t ResultOfOpenError(int error) {
  switch (error) {
    case ENOENT:
      return kSerialNoSuchPath;
    case EACCES:
    case EPERM:
    case EBUSY:
      return kSerialAccessDenied;
    case EISDIR:
      return kSerialIsDirectory;
    default:
      return kSerialCannotOpen;
  }
}

// Waits until the port is ready for the events, for up to timeoutMs.
int32_t WaitForPort(int handle, short events, int32_t timeoutMs, const SerialBreakPoll& poll) {
  const int64_t deadline = NowMicroseconds() + int64_t{timeoutMs} * 1000;
  for (;;) {
    const int64_t left = deadline - NowMicroseconds();
    const int slice =
        left <= 0 ? 0 : static_cast<int>(std::min<int64_t>((left + 999) / 1000, kWaitSliceMs));
    pollfd p{handle, events, 0};
    const int ready = ::poll(&p, 1, slice);
    if (ready > 0) return (p.revents & events) ? kSerialOk : kSerialIoFailed;
    if (ready < 0 && errno != EINTR) return kSerialIoFailed;
    if (NowMicroseconds() >= deadline) return kSerialTimeout;
    if (BreakRequested(poll)) return kSerialBreak;
  }
}

void PauseMicroseconds(int32_t us) {
  if (us <= kLongestPolledPauseUs && us % 1000 != 0) {
    const int64_t end = NowMicroseconds() + us;
    while (NowMicroseconds() < end) {
    }
    return;
  }
  timespec ts{us / 1000000, (us % 1000000) * 1000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

speed_t SpeedCode(int32_t bps) {
  for (const SerialSpeed& s : kSerialSpeeds)
    if (s.bps == bps) return s.code;
  return 0;
}

int32_t ConfigureLine(int handle, const SerialLineSettings& settings) {
  termios t{};
  if (tcgetattr(handle, &t) != 0) return kSerialCannotOpen;
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  if (settings.stopBitsTimes10 != 10) t.c_cflag |= CSTOPB;  // 1.5 has no form with 8 bits
  if (settings.handshake) t.c_cflag |= CRTSCTS;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  const speed_t code = SpeedCode(settings.bps);
  if (code && cfsetspeed(&t, code) != 0) return kSerialBadSpeed;
  if (tcsetattr(handle, TCSANOW, &t) != 0)
    return errno == EINVAL ? kSerialBadSpeed : kSerialCannotOpen;
  if (!code && !SetOtherSerialSpeed(handle, settings.bps)) return kSerialBadSpeed;
  const int32_t actual = SerialPortSpeed(handle);
  if (std::fabs(actual - settings.bps) > kSpeedTolerance * settings.bps) return kSerialBadSpeed;
  return kSerialOk;
}

}  // namespace

bool IsAcceptedSerialSpeed(double bps) {
  for (const SerialSpeed& s : kSerialSpeeds)
    if (s.bps == bps) return true;
  return false;
}

int32_t OpenSerialPort(const char* path, const SerialLineSettings& settings, int* handle) {
  const int fd = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return ResultOfOpenError(errno);
  const int32_t result =
      ::ioctl(fd, TIOCEXCL) == 0 ? ConfigureLine(fd, settings) : kSerialCannotOpen;
  if (result != kSerialOk) {
    CloseSerialPort(fd);
    return result;
  }
  *handle = fd;
  return kSerialOk;
}

int32_t WriteSerialPort(int handle, const uint8_t* bytes, int32_t n, int32_t timeoutMs,
                        int32_t delayMicroseconds, SerialBreakPoll poll) {
  for (int32_t done = 0; done < n;) {
    if (int32_t r = WaitForPort(handle, POLLOUT, timeoutMs, poll)) return r;
    const int32_t piece = delayMicroseconds > 0 ? 1 : n - done;
    const ssize_t k = ::write(handle, bytes + done, static_cast<size_t>(piece));
    if (k < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return kSerialIoFailed;
    }
    done += static_cast<int32_t>(k);
    if (delayMicroseconds > 0) PauseMicroseconds(delayMicroseconds);
    if (BreakRequested(poll)) return kSerialBreak;
  }
  return kSerialOk;
}

int32_t ReadSerialPort(int handle, uint8_t* buffer, int32_t n, int32_t timeoutMs,
                       SerialBreakPoll poll, int32_t* got) {
  *got = 0;
  if (n <= 0) return kSerialOk;
  for (;;) {
    if (int32_t r = WaitForPort(handle, POLLIN, timeoutMs, poll)) return r;
    const ssize_t k = ::read(handle, buffer, static_cast<size_t>(n));
    if (k > 0) {
      *got = static_cast<int32_t>(k);
      return BreakRequested(poll) ? kSerialBreak : kSerialOk;
    }
    if (k < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    return kSerialIoFailed;  // 0: the line hung up
  }
}

int32_t DrainSerialInput(int handle, int32_t quietMs, int32_t limitMs, SerialBreakPoll poll) {
  FlushSerialInput(handle);
  const int64_t end = NowMicroseconds() + int64_t{limitMs} * 1000;
  uint8_t scrap[512];
  for (;;) {
    const int64_t leftMs = (end - NowMicroseconds()) / 1000;
    if (leftMs <= 0) return kSerialOk;
    int32_t got = 0;
    const int32_t r =
        ReadSerialPort(handle, scrap, sizeof scrap,
                       static_cast<int32_t>(std::min<int64_t>(quietMs, leftMs)), poll, &got);
    if (r == kSerialTimeout) return kSerialOk;
    if (r) return r;
  }
}

void FlushSerialInput(int handle) {
  tcflush(handle, TCIFLUSH);
}

void CloseSerialPort(int handle) {
  // Others may hold the line open too: they must be able to open it again.
  ::ioctl(handle, TIOCNXCL);
  ::close(handle);
}

}  // namespace vke
