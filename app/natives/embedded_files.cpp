// The streams of embedded files. A slot keeps the owning instance and the
// element's place, and finds the data again at every read: the element list
// moves when the block grows.
#include "app/natives/embedded_files.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/element_list.hpp"
#include "app/handler_elements.hpp"
#include "app/natives/host_text.hpp"
#include "app/natives/native_context.hpp"
#include "builtins/base64.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kStreams = 32;
// Descriptors reserved from the engine; the first kStreams are used.
constexpr int32_t kFdRange = 1024;
// Bytes read and dropped at a time by the seeks of base64 streams.
constexpr int32_t kDiscardPiece = 16;

struct Stream {
  bool inUse = false;
  bool base64 = false;
  bool lastWasCr = false;  // text: the last byte delivered was a CR
  bool finished = false;   // base64: a short group was met
  int32_t owner = 0;       // the instance that opened the stream
  int32_t element = 0;     // word position of its kind-43 element
  int64_t position = 0;    // next byte of the stored data
  int64_t length = 0;
  uint8_t pending[3] = {};
  int32_t pendingAt = 0, pendingCount = 0;
  int64_t delivered = 0;
  uint64_t serial = 0;  // the count of opens when it was opened
};

Stream g_streams[kStreams];
int32_t g_fdBase = -1;
uint64_t g_opens = 0;

Stream* StreamOf(int32_t fd) {
  if (g_fdBase < 0 || fd < g_fdBase || fd >= g_fdBase + kStreams) return nullptr;
  Stream* s = &g_streams[fd - g_fdBase];
  return s->inUse ? s : nullptr;
}

// The name and data of an embedded-file element; false for a payload they
// do not fit.
bool FileParts(const ElementListView& list, const ElementRef& e, std::string_view* name,
               std::string_view* data) {
  const uint64_t payload = 4ull * (e.length - 2);
  if (e.kind != kElemEmbeddedFile || payload < 8) return false;
  const uint32_t nameLength = ElementWord(list, e, 0);
  const uint64_t lengthWord = 1 + (uint64_t{nameLength} + 4) / 4;
  if (4 * (lengthWord + 1) > payload) return false;
  const uint32_t dataLength = ElementWord(list, e, static_cast<uint32_t>(lengthWord));
  if (4 * (lengthWord + 1) + dataLength > payload) return false;
  const auto* base =
      reinterpret_cast<const char*>(list.words) + 4ull * (list.instanceStart + e.offset + 2);
  *name = std::string_view(base + 4, nameLength);
  *data = std::string_view(base + 4 * (lengthWord + 1), dataLength);
  return true;
}

// The stream's data where the element lies now.
ErrCode StreamData(uintptr_t user, const Stream& s, std::string_view* data) {
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrBadContext;
  ElementListView list;
  ElementRef e;
  std::string_view name;
  if (!InstanceElementAt(block, s.owner, s.element, &list, &e)) return kKvNonexistentInstance;
  if (!FileParts(list, e, &name, data) || static_cast<int64_t>(data->size()) != s.length)
    return kErrIoErr;
  return kOk;
}

void Rewind(Stream* s) {
  s->position = 0;
  s->pendingAt = s->pendingCount = 0;
  s->delivered = 0;
  s->finished = false;
  s->lastWasCr = false;
}

// Decodes the next group into the pending bytes; false when none comes.
bool DecodeGroup(Stream* s, std::string_view data) {
  if (s->finished || s->position >= s->length) return false;
  int32_t count = 0;
  Base64DecodeCore(data.data(), s->length, &s->position, s->pending, &count);
  if (count < 3) s->finished = true;
  s->pendingAt = 0;
  s->pendingCount = count;
  return count > 0;
}

int32_t ReadText(Stream* s, std::string_view data, char* out, int32_t n) {
  int32_t got = 0;
  while (got < n && s->position < s->length) {
    const char c = data[static_cast<size_t>(s->position++)];
    if (c == '\n' && s->lastWasCr) {
      s->lastWasCr = false;
      continue;
    }
    s->lastWasCr = c == '\r';
    out[got++] = s->lastWasCr ? '\n' : c;
  }
  return got;
}

int32_t ReadDecoded(Stream* s, std::string_view data, char* out, int32_t n) {
  int32_t got = 0;
  while (got < n) {
    if (s->pendingAt == s->pendingCount && !DecodeGroup(s, data)) break;
    const int32_t k = std::min(n - got, s->pendingCount - s->pendingAt);
    std::memcpy(out + got, s->pending + s->pendingAt, static_cast<size_t>(k));
    s->pendingAt += k;
    got += k;
  }
  return got;
}

ErrCode ReadStream(Stream* s, std::string_view data, char* out, int32_t n, int32_t* count) {
  *count = s->base64 ? ReadDecoded(s, data, out, n) : ReadText(s, data, out, n);
  s->delivered += *count;
  return *count == 0 ? kErrEof : kOk;
}

// Reads and drops n decoded bytes; the code of the last read.
ErrCode Discard(Stream* s, std::string_view data, int64_t n) {
  ErrCode e = kOk;
  char piece[kDiscardPiece];
  for (int32_t got = 0; n > 0 && e == kOk; n -= got)
    e = ReadStream(s, data, piece, static_cast<int32_t>(std::min<int64_t>(n, kDiscardPiece)), &got);
  return e;
}

// End of file: nothing left to deliver. A base64 stream decodes its next
// group ahead, and a text stream passes the LF of a CR LF it split, so that
// a loop testing for the end before each read loses and adds nothing.
bool AtEnd(Stream* s, std::string_view data) {
  if (s->base64) return s->pendingAt == s->pendingCount && !DecodeGroup(s, data);
  if (s->lastWasCr && s->position < s->length && data[static_cast<size_t>(s->position)] == '\n') {
    s->position++;
    s->lastWasCr = false;
  }
  return s->position >= s->length;
}

ErrCode TextControl(Stream* s, std::string_view data, int32_t code, intptr_t* word) {
  switch (code) {
    case kIoEndOfFile:
      *word = AtEnd(s, data) ? 1 : 0;
      return kOk;
    case kIoSeekBegin:
      s->position = std::max<int64_t>(*word, 0);
      break;
    case kIoSeekCurrent:
      s->position = std::max<int64_t>(s->position + *word, 0);
      break;
    case kIoSeekEnd:
      s->position = std::max<int64_t>(s->length + *word, 0);
      break;
    case kIoTell:
      *word = static_cast<intptr_t>(s->position);
      return kOk;
    default:
      return kOk;
  }
  s->lastWasCr = false;
  return kOk;
}

ErrCode Base64Control(Stream* s, std::string_view data, int32_t code, intptr_t* word) {
  switch (code) {
    case kIoEndOfFile:
      *word = AtEnd(s, data) ? 1 : 0;
      return kOk;
    case kIoSeekBegin:
      Rewind(s);
      return Discard(s, data, *word);
    case kIoSeekCurrent:
      if (*word >= 0) return Discard(s, data, *word);
      // Back within the group being delivered, or read again from the start.
      if (-*word <= s->pendingAt) {
        s->pendingAt += static_cast<int32_t>(*word);
        s->delivered += *word;
        return kOk;
      }
      {
        const int64_t to = std::max<int64_t>(s->delivered + *word, 0);
        Rewind(s);
        return Discard(s, data, to);
      }
    case kIoSeekEnd: {
      Rewind(s);
      Discard(s, data, INT64_MAX);
      const int64_t size = s->delivered;
      Rewind(s);
      return Discard(s, data, *word + size);
    }
    case kIoTell:
      *word = static_cast<intptr_t>(s->delivered);
      return kOk;
    case kIoFlush:
      return kOk;
    default:
      return kErrIllegal;
  }
}

}  // namespace

void ResetEmbeddedStreamTable() {
  for (Stream& s : g_streams) s = Stream{};
  g_fdBase = -1;
}

uint64_t CountEmbeddedFileOpens() {
  return g_opens;
}

void CloseEmbeddedFilesOpenedAfter(uint64_t opens) {
  for (Stream& s : g_streams)
    if (s.inUse && s.serial > opens) s.inUse = false;
}

ErrCode EmbeddedFileOpen(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t user) {
  if (g_fdBase < 0) g_fdBase = AllocateFdRange(ctx, kFdRange);
  std::string name, encoding;
  if (ErrCode e = WholeTextArg(ctx, nargin - 1, &name)) return e;
  if (ErrCode e = nargin == 2 ? WholeTextArg(ctx, 0, &encoding) : kOk) return e;
  bool base64 = false;
  if (nargin == 2 && encoding != "text") {
    if (encoding != "base64") return kErrUnknownOpt;
    base64 = true;
  }
  if (ErrCode e = Drop(ctx, nargin)) return e;
  // The descriptor takes the room of the arguments just dropped: its push
  // is no request a test could refuse once the file is open.
  const RoomRequestsPaused freed;
  CurrentInstance current;
  if (ErrCode e = FindCurrentInstance(user, &current)) return e;
  int32_t at = -1;
  std::string_view data;
  for (;;) {
    if (FindElement(current.block, current.id, &at, kElemEmbeddedFile) != kOk)
      return kErrFileNotFound;
    ElementListView list;
    ElementRef e;
    std::string_view stored;
    if (InstanceElementAt(current.block, current.id, at, &list, &e) &&
        FileParts(list, e, &stored, &data) && stored == name)
      break;
  }
  int32_t slot = 0;
  while (slot < kStreams && g_streams[slot].inUse) slot++;
  if (slot == kStreams) return kErrTooManyOpenFiles;
  Stream& s = g_streams[slot];
  s = Stream{};
  s.inUse = true;
  s.base64 = base64;
  s.owner = current.id;
  s.element = at;
  s.length = static_cast<int64_t>(data.size());
  s.serial = ++g_opens;
  return PushRealScalar(ctx, g_fdBase + slot);
}

ErrCode EmbeddedFileWrite(EngineContext*, int32_t fd, const char*, int32_t, uintptr_t) {
  return g_fdBase >= 0 && fd >= g_fdBase && fd < g_fdBase + kFdRange ? kErrIoErr : kErrBadFileID;
}

ErrCode EmbeddedFileRead(EngineContext*, int32_t fd, char* buffer, int32_t size, int32_t* count,
                         uintptr_t user) {
  *count = 0;
  Stream* s = StreamOf(fd);
  if (!s) return kErrBadFileID;
  std::string_view data;
  if (ErrCode e = StreamData(user, *s, &data)) return e;
  return ReadStream(s, data, buffer, size, count);
}

ErrCode EmbeddedFileClose(EngineContext*, int32_t fd, uintptr_t) {
  if (fd == kAllFds) {
    for (Stream& s : g_streams) s.inUse = false;
    return kErrBadFileID;  // the other libraries close theirs too
  }
  Stream* s = StreamOf(fd);
  if (!s) return kErrBadFileID;
  s->inUse = false;
  return kOk;
}

ErrCode EmbeddedFileIoControl(EngineContext*, int32_t fd, int32_t code, intptr_t* word,
                              uintptr_t user) {
  Stream* s = StreamOf(fd);
  if (!s) return kErrBadFileID;
  std::string_view data;
  if (ErrCode e = StreamData(user, *s, &data)) return e;
  return s->base64 ? Base64Control(s, data, code, word) : TextControl(s, data, code, word);
}

}  // namespace vke
