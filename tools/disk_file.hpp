// Whole files read from disk, as the tools read sources, descriptions and
// scripts.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace vke {

// The file's bytes in *text. False when it cannot be opened or any read
// fails (a folder, a file the system refuses to read), with errno telling
// why; *text is then left as it was.
inline bool ReadDiskFile(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int cause = errno;
      ::close(fd);
      errno = cause;
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  *text = std::move(bytes);
  return true;
}

}  // namespace vke
