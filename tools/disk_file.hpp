// Whole files read from disk, as the tools read sources, descriptions and
// scripts.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/read_files.hpp"
#include "platform/regular_file.hpp"

namespace vke {

// The most a tool reads of one file: an endless device (/dev/zero) or a pipe
// that never ends stops here instead of exhausting the memory.
constexpr size_t kDiskFileLimit = size_t{256} << 20;

// The file's bytes in *text. False when it cannot be opened, any read fails
// (a folder, a file the system refuses to read) or it holds more than
// kDiskFileLimit bytes, with errno telling why (EFBIG for the last); *text is
// then left as it was.
inline bool ReadOpenedFile(int fd, std::string* text);

inline bool ReadDiskFile(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  NoteReadFile(fd, path.c_str());
  return ReadOpenedFile(fd, text);
}

// As ReadDiskFile, for the files a packed application takes in: only a
// regular file is read, so that a named pipe or a device is refused at once
// (errno kNotRegularFile) instead of waiting for a writer or reading
// without end.
inline bool ReadRegularDiskFile(const std::string& path, std::string* text) {
  const int fd = OpenRegularFile(path.c_str());
  if (fd < 0) return false;
  NoteReadFile(fd, path.c_str());
  return ReadOpenedFile(fd, text);
}

// Reads an open file to its end and closes it, as ReadDiskFile describes.
inline bool ReadOpenedFile(int fd, std::string* text) {
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
    if (bytes.size() + static_cast<size_t>(n) > kDiskFileLimit) {
      ::close(fd);
      errno = EFBIG;
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  *text = std::move(bytes);
  return true;
}

// Why ReadDiskFile failed, from its errno, for the tools' messages.
inline std::string DiskFileReason(int cause) {
  if (cause == EFBIG) return "larger than " + std::to_string(kDiskFileLimit >> 20) + " MiB";
  if (cause == kNotRegularFile) return "not a regular file";
  return std::strerror(cause);
}

}  // namespace vke
