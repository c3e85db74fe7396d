// The application's files over POSIX descriptors: names are UTF-8 paths,
// and every failure of the system is 302 "ioErr" with the file left open.
#include "app/natives/app_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "app/natives/host_text.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "platform/read_files.hpp"

namespace vke {

namespace {

constexpr int32_t kSlots = 32;
// Descriptors reserved from the engine; the first kSlots are used.
constexpr int32_t kFdRange = 1024;
constexpr int32_t kNameBytes = 4096;
// Bytes converted for the disk at a time in text mode.
constexpr int32_t kTextChunk = 1 << 16;
// Bytes read ahead of the program: lines are read a byte at a time.
constexpr int32_t kReadAhead = 1 << 16;

struct AppFile {
  int handle = -1;  // -1: free
  bool text = false;
  bool lastWasCr = false;  // text reads: the last byte read was a CR
  bool ended = false;      // the system's last read gave nothing
  // Bytes read from the system that the program has not had yet, as they
  // are on disk: ahead[at, end). The system's position is past them. Bytes
  // the program gave back stand in front of them (GiveBack).
  std::vector<char> ahead;
  int32_t at = 0, end = 0;
  uint64_t serial = 0;  // the count of opens when it was opened

  int32_t Buffered() const { return end - at; }
};

AppFile g_files[kSlots];
int32_t g_fdBase = -1;
uint64_t g_opens = 0;
uint64_t g_writes = 0;

AppFile* OpenFileOf(int32_t fd) {
  if (g_fdBase < 0 || fd < g_fdBase || fd >= g_fdBase + kSlots) return nullptr;
  AppFile* f = &g_files[fd - g_fdBase];
  return f->handle >= 0 ? f : nullptr;
}

void CloseFile(AppFile* f) {
  ::close(f->handle);
  *f = AppFile{};
}

// Gives the bytes read ahead back to the system, so that its position is
// the program's; false, with the bytes kept, when the system refuses (a
// stream without a position).
bool DropReadAhead(AppFile* f) {
  const int32_t n = f->Buffered();
  if (n > 0 && ::lseek(f->handle, -static_cast<off_t>(n), SEEK_CUR) < 0) return false;
  f->at = f->end = 0;
  return true;
}

bool IsFolder(int handle) {
  struct stat st;
  return ::fstat(handle, &st) == 0 && S_ISDIR(st.st_mode);
}

// The program's position: the system's, less the bytes read ahead.
off_t ProgramPosition(const AppFile* f) {
  const off_t at = ::lseek(f->handle, 0, SEEK_CUR);
  return at < 0 ? at : at - f->Buffered();
}

bool WriteAll(int handle, const char* bytes, size_t n) {
  while (n > 0) {
    const ssize_t k = ::write(handle, bytes, n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    bytes += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

// A read of up to n bytes. Some of the system's own files (those of
// /proc/sys) refuse a read larger than the kernel will hold at once
// (ENOMEM) however few bytes they have: such a read is made again for as
// many bytes as are read ahead.
ssize_t ReadSome(int handle, char* buffer, size_t n) {
  ssize_t k;
  do {
    k = ::read(handle, buffer, n);
    if (k < 0 && errno == ENOMEM && n > size_t{kReadAhead}) {
      n = kReadAhead;
      errno = EINTR;
    }
  } while (k < 0 && errno == EINTR);
  return k;
}

// Up to n bytes as they are on disk: from the bytes read ahead, else a read
// of the system, straight into out when n is large; 0 at the end, -1 when
// the system fails.
ssize_t ReadRaw(AppFile* f, char* out, int32_t n) {
  if (f->Buffered() == 0) {
    if (n >= kReadAhead) {
      const ssize_t k = ReadSome(f->handle, out, static_cast<size_t>(n));
      f->ended = k == 0;
      return k;
    }
    // Bytes given back may have made the buffer large: it shrinks again.
    if (f->ahead.size() != static_cast<size_t>(kReadAhead)) {
      f->ahead.assign(kReadAhead, 0);
      f->ahead.shrink_to_fit();
    }
    const ssize_t k = ReadSome(f->handle, f->ahead.data(), kReadAhead);
    f->ended = k == 0;
    if (k <= 0) return k;
    f->at = 0;
    f->end = static_cast<int32_t>(k);
  }
  const int32_t k = std::min(n, f->Buffered());
  std::memcpy(out, f->ahead.data() + f->at, static_cast<size_t>(k));
  f->at += k;
  return k;
}

// In text mode, the LF of a CR LF whose CR ended a read is passed at once,
// so that the position (and the end-of-file test) is after the line end.
void PassLineFeedOfCrLf(AppFile* f) {
  if (!f->lastWasCr) return;
  char next;
  if (f->Buffered() == 0 && ReadRaw(f, &next, 0) < 0) return;
  if (f->Buffered() > 0 && f->ahead[f->at] == '\n') {
    f->at++;
    f->lastWasCr = false;
  }
}

// One line into the buffer, as the engine assembles one from one-byte
// reads: up to and including the first CR or LF, stored as LF; the LF of a
// CR LF pair is passed with it. Taken from the bytes read ahead, a run at a
// time. A full buffer ends the read (the rest of the line comes next).
ErrCode ReadLine(AppFile* f, char* buffer, int32_t size, int32_t* count) {
  int32_t n = 0;
  bool cr = false;
  while (n < size) {
    if (f->Buffered() == 0) {
      char none;
      const ssize_t k = ReadRaw(f, &none, 0);
      if (k < 0) {
        *count = n;
        return kErrIoErr;
      }
      if (f->Buffered() == 0) break;
    }
    const char* from = f->ahead.data() + f->at;
    // In text mode the LF of a CR LF whose CR ended the last read is dropped.
    if (f->text && f->lastWasCr && n == 0 && *from == '\n') {
      f->at++;
      f->lastWasCr = false;
      continue;
    }
    f->lastWasCr = false;
    const int32_t run = std::min(size - n, f->Buffered());
    // The run up to the first LF, and within it up to the first CR.
    const void* lf = std::memchr(from, '\n', static_cast<size_t>(run));
    int32_t i = lf ? static_cast<int32_t>(static_cast<const char*>(lf) - from) : run;
    if (const void* cr = std::memchr(from, '\r', static_cast<size_t>(i)))
      i = static_cast<int32_t>(static_cast<const char*>(cr) - from);
    std::memcpy(buffer + n, from, static_cast<size_t>(i));
    n += i;
    f->at += i;
    if (i < run) {
      cr = from[i] == '\r';
      buffer[n++] = '\n';
      f->at++;
      break;
    }
  }
  if (cr) {
    f->lastWasCr = f->text;
    char none;
    if (f->Buffered() > 0 || ReadRaw(f, &none, 0) >= 0) {
      if (f->Buffered() > 0 && f->ahead[f->at] == '\n') {
        f->at++;
        f->lastWasCr = false;
      }
    }
  }
  *count = n;
  return n == 0 ? kErrEof : kOk;
}

// Bytes the program read and gives back (kIoGiveBack) are read again first,
// as they were read: in front of the bytes read ahead. In text mode they
// hold no CR (each became LF) and the state after them is that of their
// last byte: the LF of a CR LF was passed with it.
void GiveBack(AppFile* f, const char* bytes, int32_t n) {
  std::vector<char> joined(bytes, bytes + n);
  joined.insert(joined.end(), f->ahead.begin() + f->at, f->ahead.begin() + f->end);
  f->ahead = std::move(joined);
  f->at = 0;
  f->end = static_cast<int32_t>(f->ahead.size());
  f->lastWasCr = false;
  f->ended = false;
}

// Whether the program has read all of the file. A regular file that has a
// length is at its end at or past it. A stream without one (a pipe, a
// terminal, a device, or one of the system's own files such as those of
// /proc, which report a length of 0) is at its end once a read has given
// nothing: with no bytes read ahead, a read ahead tells.
ErrCode AtEndOfFile(AppFile* f, bool* atEnd) {
  struct stat s;
  if (::fstat(f->handle, &s) != 0) return kErrIoErr;
  if (S_ISREG(s.st_mode) && s.st_size > 0) {
    const off_t at = ProgramPosition(f);
    if (at < 0) return kErrIoErr;
    *atEnd = at >= s.st_size;
    return kOk;
  }
  char none;
  if (f->Buffered() == 0 && !f->ended && ReadRaw(f, &none, 0) < 0) return kErrIoErr;
  *atEnd = f->Buffered() == 0;
  return kOk;
}

// Every line break (CR, LF, CR LF or LF CR) of the bytes as CR LF.
bool WriteText(int handle, const char* bytes, int32_t n) {
  std::string out;
  out.reserve(static_cast<size_t>(n < kTextChunk ? n : kTextChunk) + 2);
  for (int32_t i = 0; i < n; i++) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (i + 1 < n && (bytes[i + 1] == '\r' || bytes[i + 1] == '\n') && bytes[i + 1] != c) i++;
    } else {
      out += c;
    }
    if (out.size() >= static_cast<size_t>(kTextChunk)) {
      if (!WriteAll(handle, out.data(), out.size())) return false;
      out.clear();
    }
  }
  return WriteAll(handle, out.data(), out.size());
}

}  // namespace

void ClearAppFileTable() {
  CloseAllAppFiles();
  g_fdBase = -1;
}

void CloseAllAppFiles() {
  for (AppFile& f : g_files)
    if (f.handle >= 0) CloseFile(&f);
}

uint64_t CountAppFileOpens() {
  return g_opens;
}

uint64_t CountAppFileWrites() {
  return g_writes;
}

void CloseAppFilesOpenedAfter(uint64_t opens) {
  for (AppFile& f : g_files)
    if (f.handle >= 0 && f.serial > opens) CloseFile(&f);
}

int32_t CountOpenAppFiles() {
  int32_t n = 0;
  for (const AppFile& f : g_files) n += f.handle >= 0;
  return n;
}

ErrCode AppFileOpen(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (g_fdBase < 0) g_fdBase = AllocateFdRange(ctx, kFdRange);
  std::string name, mode;
  if (ErrCode e = WholeTextArg(ctx, nargin - 1, &name)) return e;
  if (ErrCode e = nargin == 2 ? WholeTextArg(ctx, 0, &mode) : kOk) return e;
  if (ErrCode e = Drop(ctx, nargin)) return e;
  // The descriptor takes the room of the arguments just dropped: its push
  // is no request a test could refuse once the file is open.
  const RoomRequestsPaused freed;
  // The system takes paths of fewer than kNameBytes bytes: a longer name is
  // refused, never cut (the cut one would name another file).
  if (name.size() >= static_cast<size_t>(kNameBytes)) return kErrNameTooLong;
  int32_t slot = 0;
  while (slot < kSlots && g_files[slot].handle >= 0) slot++;
  if (slot == kSlots) return kErrTooManyOpenFiles;
  int flags;
  switch (mode.empty() ? 'r' : mode[0]) {
    case 'r':
      flags = O_RDONLY;
      break;
    case 'a':
      flags = O_RDWR;
      break;
    case 'w':
      flags = O_RDWR | O_CREAT | O_TRUNC;
      break;
    default:
      return kErrUnknownOpt;
  }
  // A name holding a NUL names no file: the system would read a shorter one.
  const bool whole = name.find('\0') == std::string::npos;
  // A file the tool that keeps the record of read files read (the
  // application and script "kvpack check" runs) is not written over: -1,
  // and the refusal on the error output.
  if (const std::string* read = whole && flags != O_RDONLY ? FindReadFile(name) : nullptr) {
    const std::string refusal = ReadFileRefusal(name, *read);
    ErrCode e = WriteToFd(ctx, kFdErr, refusal.data(), static_cast<int32_t>(refusal.size()));
    if (!e) e = WriteNewlineToFd(ctx, kFdErr);
    return e ? e : PushRealScalar(ctx, -1);
  }
  const int handle = whole ? ::open(name.c_str(), flags | O_CLOEXEC, 0666) : -1;
  if (handle >= 0 && !mode.empty() && mode[0] == 'a' && ::lseek(handle, 0, SEEK_END) < 0) {
    ::close(handle);
    return PushRealScalar(ctx, -1);
  }
  if (handle < 0) return PushRealScalar(ctx, -1);
  if ((flags & O_TRUNC) == 0) NoteReadFile(handle, name.c_str());
  g_files[slot] = AppFile{};
  g_files[slot].handle = handle;
  g_files[slot].text = mode.size() > 1 && mode[1] == 't';
  g_files[slot].serial = ++g_opens;
  return PushRealScalar(ctx, g_fdBase + slot);
}

ErrCode AppFileWrite(EngineContext*, int32_t fd, const char* bytes, int32_t length, uintptr_t) {
  AppFile* f = OpenFileOf(fd);
  if (!f) return kErrBadFileID;
  if (!DropReadAhead(f)) return kErrIoErr;
  if (length > 0) ++g_writes;
  const bool ok = f->text ? WriteText(f->handle, bytes, length)
                          : WriteAll(f->handle, bytes, static_cast<size_t>(length));
  return ok ? kOk : kErrIoErr;
}

ErrCode AppFileRead(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, int32_t* count,
                    uintptr_t) {
  *count = 0;
  AppFile* f = OpenFileOf(fd);
  if (!f) return kErrBadFileID;
  if (IsLineRead(ctx)) return ReadLine(f, buffer, size, count);
  int32_t kept = 0;
  while (kept < size) {
    const ssize_t k = ReadRaw(f, buffer + kept, size - kept);
    if (k < 0) return kErrIoErr;
    if (k == 0) break;
    const int32_t n = static_cast<int32_t>(k);
    kept += f->text ? CrLfToLineFeeds(buffer + kept, n, &f->lastWasCr) : n;
    if (!f->text) break;
  }
  if (f->text) PassLineFeedOfCrLf(f);
  *count = kept;
  return kept == 0 ? kErrEof : kOk;
}

ErrCode AppFileClose(EngineContext*, int32_t fd, uintptr_t) {
  if (fd == kAllFds) {
    CloseAllAppFiles();
    return kErrBadFileID;  // the other libraries close theirs too
  }
  AppFile* f = OpenFileOf(fd);
  if (!f) return kErrBadFileID;
  CloseFile(f);
  return kOk;
}

ErrCode AppFileIoControl(EngineContext*, int32_t fd, int32_t code, intptr_t* word, uintptr_t) {
  AppFile* f = OpenFileOf(fd);
  if (!f) return kErrBadFileID;
  off_t at;
  switch (code) {
    case kIoEndOfFile: {
      bool atEnd = false;
      if (ErrCode e = AtEndOfFile(f, &atEnd)) return e;
      *word = atEnd ? 1 : 0;
      return kOk;
    }
    case kIoSeekCurrent:
      // A step within the bytes read ahead stays there.
      if (*word <= f->Buffered() && -*word <= f->at) {
        f->at += static_cast<int32_t>(*word);
        f->lastWasCr = false;
        return kOk;
      }
      [[fallthrough]];
    case kIoSeekBegin:
    case kIoSeekEnd: {
      // A folder holds no bytes: the end the system gives it is no length.
      if (code == kIoSeekEnd && IsFolder(f->handle)) return kErrIoErr;
      const int whence = code == kIoSeekBegin     ? SEEK_SET
                         : code == kIoSeekCurrent ? SEEK_CUR
                                                  : SEEK_END;
      if (!DropReadAhead(f) || ::lseek(f->handle, static_cast<off_t>(*word), whence) < 0)
        return kErrIoErr;
      f->lastWasCr = false;
      f->ended = false;
      return kOk;
    }
    case kIoTell:
      at = ProgramPosition(f);
      if (at < 0) return kErrIoErr;
      *word = static_cast<intptr_t>(at);
      return kOk;
    case kIoFlush:
      // Writes go straight to the system: nothing is held back here.
      return kOk;
    case kIoGiveBack: {
      const auto* given = reinterpret_cast<const GivenBackBytes*>(*word);
      GiveBack(f, given->bytes, given->count);
      *word = 0;
      return kOk;
    }
    default:
      return kErrIllegal;
  }
}

}  // namespace vke
