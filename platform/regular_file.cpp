// Opening a file for reading only when it is a regular file.
#include "platform/regular_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vke {

int OpenRegularFile(const char* path) {
  // Opened without waiting: a named pipe would otherwise hold the open.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    errno = kNotRegularFile;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace vke
