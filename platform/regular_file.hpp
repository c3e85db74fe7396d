// Files opened for reading only when they are regular files: a named pipe
// would hold the open, or the reads, until a writer comes; a device may
// never end.
#pragma once

#include <cerrno>

namespace vke {

// errno of OpenRegularFile for a name that is no regular file.
constexpr int kNotRegularFile = ENOTSUP;

// A descriptor of the file for reading (its reads wait as usual), or -1
// with errno telling why: the open's own reason, or kNotRegularFile.
int OpenRegularFile(const char* path);

}  // namespace vke
