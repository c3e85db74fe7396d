// Image files: finding the image at the end of a file through its trailer,
// reading its title and handing its records to the loader, and writing an
// image behind a copy of the runtime or alone. Files held in memory go
// through the same code as streams over their bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/image.hpp"
#include "engine/errors/errors.hpp"
#include "platform/read_files.hpp"

namespace vke {

namespace {

constexpr uint32_t kTrailerBytes = 4;
// The title's length word and its NUL.
constexpr uint64_t kTitleFrameBytes = 5;
constexpr size_t kCopyChunk = 1 << 16;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The file at the path opened to read, noted as read.
File OpenToRead(const char* path) {
  File f(fopen(path, "rb"));
  if (f) NoteReadFile(fileno(f.get()), path);
  return f;
}

bool ReadWordAt(FILE* f, uint64_t offset, uint32_t* value) {
  uint8_t word[4];
  if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) || fread(word, 1, 4, f) != 4) return false;
  *value = Load<uint32_t>(word);
  return true;
}

// Where the trailer says the image lies: the trailer's offset, the image's
// start and its title's length; false when they do not lie inside the file.
// The stream stands behind the title's length.
bool ReadTrailer(FILE* f, uint64_t* end, uint32_t* start, uint32_t* length) {
  if (fseeko(f, 0, SEEK_END)) return false;
  const off_t size = ftello(f);
  if (size < static_cast<off_t>(kTrailerBytes)) return false;
  *end = static_cast<uint64_t>(size) - kTrailerBytes;
  return ReadWordAt(f, *end, start) && *start <= *end && *end - *start >= kTitleFrameBytes &&
         ReadWordAt(f, *start, length) && *length <= *end - *start - kTitleFrameBytes;
}

ErrCode LoadFromStream(KVContextBlock** slot, FILE* f, const char* executable, std::string* title) {
  uint64_t end;
  uint32_t start, length;
  if (!ReadTrailer(f, &end, &start, &length)) return kErrEof;
  std::string text(length + uint64_t{1}, '\0');
  if (fread(text.data(), 1, text.size(), f) != text.size()) return kErrEof;
  text.pop_back();
  if (title) *title = std::move(text);

  const uint64_t records = start + kTitleFrameBytes + length;
  ImageStream stream{f, end};
  const ImageInput input{&ReadCompressedRecord, &TellOrSeekImage,
                         reinterpret_cast<uintptr_t>(&stream), end - records};
  return LoadImageSections(slot, input, &AddRuntimeExtensionFolder,
                           reinterpret_cast<uintptr_t>(executable));
}

// The title, the records and the trailer, from the stream's position start.
ErrCode WriteToStream(KVContextBlock* block, std::string_view title, FILE* f, uint64_t start) {
  ImageStream stream{f, 0};
  uint8_t word[4];
  Store<uint32_t>(word, static_cast<uint32_t>(title.size()));
  if (fwrite(word, 1, 4, f) != 4 || fwrite(title.data(), 1, title.size(), f) != title.size() ||
      fputc(0, f) == EOF)
    return kErrIoErr;
  if (ErrCode e =
          SaveImageSections(block, &WriteCompressedRecord, reinterpret_cast<uintptr_t>(&stream)))
    return e;
  Store<uint32_t>(word, static_cast<uint32_t>(start));
  return fwrite(word, 1, 4, f) == 4 ? kOk : kErrIoErr;
}

// Copies the whole runtime file to the output and gives the output its
// permissions.
ErrCode CopyRuntime(FILE* from, FILE* to, uint64_t* size) {
  std::vector<char> chunk(kCopyChunk);
  *size = 0;
  for (size_t n; (n = fread(chunk.data(), 1, chunk.size(), from)) > 0; *size += n)
    if (fwrite(chunk.data(), 1, n, to) != n) return kErrIoErr;
  if (ferror(from)) return kErrIoErr;
  struct stat st;
  if (fstat(fileno(from), &st) == 0) fchmod(fileno(to), st.st_mode & 07777);
  return kOk;
}

// The file a path names through its symbolic links, also one the last link
// leads to that does not exist yet; a link's relative target counts from
// its own folder. False with errno ELOOP for links that lead round.
bool FollowLinks(std::string* path) {
  constexpr int kMostLinks = 40;  // as the system follows them
  for (int hops = 0; hops < kMostLinks; hops++) {
    struct stat st;
    if (lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = readlink(path->c_str(), target.data(), target.size());
    if (n < 0) return false;
    if (static_cast<size_t>(n) >= target.size()) {  // the link grew while it was read
      errno = ENAMETOOLONG;
      return false;
    }
    target.resize(static_cast<size_t>(n));
    const size_t slash = path->rfind('/');
    if (!target.starts_with('/') && slash != std::string::npos)
      target.insert(0, *path, 0, slash + 1);
    *path = std::move(target);
  }
  errno = ELOOP;
  return false;
}

// Why an existing file at `path` may not be replaced by a new one: errno
// EISDIR for a folder, ENOTSUP for any other file that is not a regular
// one (a named pipe, a device, a socket), 0 when it may or when there is
// none yet. A special file keeps its kind and its place: an image is only
// ever a regular file.
int NotReplaceable(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
}

// A new file beside `path` for writing, under a name of its own that the
// caller gets: ".NAME.PID-N" in the same folder, so that a rename puts it in
// place. Created as the system creates new files (its mask applies).
// Null with errno when it cannot be made.
FILE* CreateBeside(const std::string& path, std::string* name) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = path.substr(folder.size());
  for (int attempt = 0; attempt < 100; attempt++) {
    *name = folder + "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      FILE* f = fdopen(fd, "wb");
      if (!f) {
        const int cause = errno;
        close(fd);
        unlink(name->c_str());
        errno = cause;
      }
      return f;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

ErrCode LoadImageFile(KVContextBlock** slot, const char* path, std::string* title) {
  File f(OpenToRead(path));
  if (!f) return kErrFileNotFound;
  return LoadFromStream(slot, f.get(), path, title);
}

bool FileCarriesImage(const char* path) {
  File f(OpenToRead(path));
  uint64_t end;
  uint32_t start, length;
  return f && ReadTrailer(f.get(), &end, &start, &length);
}

ErrCode LoadImageBytes(KVContextBlock** slot, const void* bytes, size_t size,
                       const char* executable, std::string* title) {
  if (size < kTrailerBytes) return kErrEof;
  File f(fmemopen(const_cast<void*>(bytes), size, "rb"));
  if (!f) return kErrFileNotFound;
  return LoadFromStream(slot, f.get(), executable, title);
}

ErrCode WriteImageFile(KVContextBlock* block, std::string_view title, const char* runtime,
                       const char* path, int* cause) {
  int unused;
  if (!cause) cause = &unused;
  *cause = 0;
  File from(runtime ? OpenToRead(runtime) : nullptr);
  if (runtime && !from) {
    *cause = errno;
    return kErrFileNotFound;
  }
  // A link keeps its place: the file it leads to is the one replaced.
  std::string target = path;
  if (!FollowLinks(&target)) {
    *cause = errno;
    return kErrIoErr;
  }
  if ((*cause = NotReplaceable(target)) != 0) return kErrIoErr;
  std::string temporary;
  File out(CreateBeside(target, &temporary));
  if (!out) {
    *cause = errno;
    return kErrIoErr;
  }
  errno = 0;
  uint64_t start = 0;
  ErrCode e = kOk;
  if (from) {
    e = CopyRuntime(from.get(), out.get(), &start);
    // The trailer holds the image's start in 32 bits.
    if (!e && start > UINT32_MAX) {
      e = kErrIoErr;
      errno = EFBIG;
    }
  }
  if (!e) e = WriteToStream(block, title, out.get(), start);
  if (fclose(out.release()) != 0 && !e) e = kErrIoErr;
  if (!e && rename(temporary.c_str(), target.c_str()) != 0) e = kErrIoErr;
  if (e) {
    *cause = errno != 0 ? errno : EIO;
    unlink(temporary.c_str());
  }
  return e;
}

ErrCode SaveImageBytes(KVContextBlock* block, std::string_view title, std::vector<uint8_t>* out) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buffer, &size);
  if (!f) return kErrIoErr;
  ErrCode e = WriteToStream(block, title, f, 0);
  if (fclose(f) && !e) e = kErrIoErr;
  if (!e) out->assign(buffer, buffer + size);
  free(buffer);
  return e;
}

}  // namespace vke
