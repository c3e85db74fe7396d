// The library search path: the process-wide path store, the candidate
// names of a search, the "path" native and the "+readlib" hook that reads
// library files found along the path.
#include "engine/files/search_path.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/text/text.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "platform/read_files.hpp"
#include "platform/regular_file.hpp"

namespace vke {

namespace {

constexpr char kEntryEnd = ';';
constexpr char kInitialPath[] = ";";
// One argument of "path" keeps at most this many characters, so that a
// final ";" and the end mark still fit.
constexpr int32_t kMaxPathArgument = kSearchPathBytes - 2;

char g_path[kSearchPathBytes] = ";";
char g_separator = '/';

// A candidate file name, cut at kCandidateBytes - 2 characters.
struct Candidate {
  char* text;
  int32_t length = 0;

  void Clear() {
    length = 0;
    text[0] = 0;
  }

  void Add(const char* bytes, int32_t n) {
    AppendBytes(text, &length, bytes, n, kCandidateBytes - 1);
    text[length] = 0;
  }
  void Add(const char* bytes) { Add(bytes, CStringLength(bytes)); }
};

struct FileName {
  const char* name;
  const char* extension;  // never null; empty for none

  void AddFull(Candidate& c) const {
    c.Add(name);
    AddDotExtension(c);
  }
  void AddDotExtension(Candidate& c) const {
    if (!*extension) return;
    c.Add(".", 1);
    c.Add(extension);
  }
};

// Whether the entry holds "%f", "%b" or "%s".
bool HasPlaceholder(const char* entry, int32_t length) {
  for (int32_t i = 0; i + 1 < length; i++) {
    if (entry[i] != '%') continue;
    const char c = entry[++i];
    if (c == 'f' || c == 'b' || c == 's') return true;
  }
  return false;
}

void ExpandEntry(const char* entry, int32_t length, const FileName& file, Candidate& c) {
  if (!HasPlaceholder(entry, length)) {
    c.Add(entry, length);
    if (length > 0 && entry[length - 1] != g_separator) c.Add(&g_separator, 1);
    file.AddFull(c);
    return;
  }
  for (int32_t i = 0; i < length; i++) {
    const char next = i + 1 < length ? entry[i + 1] : 0;
    if (entry[i] != '%' || (next != 'f' && next != 'b' && next != 's' && next != '%')) {
      c.Add(entry + i, 1);
      continue;
    }
    i++;
    if (next == 'f')
      file.AddFull(c);
    else if (next == 'b')
      c.Add(file.name);
    else if (next == 's')
      file.AddDotExtension(c);
    else
      c.Add("%", 1);
  }
}

// Two or more letters and ":" start a scheme; one drive letter does not.
bool StartsWithScheme(const char* text) {
  int32_t letters = 0;
  while ((text[letters] >= 'a' && text[letters] <= 'z') ||
         (text[letters] >= 'A' && text[letters] <= 'Z'))
    letters++;
  return letters >= 2 && text[letters] == ':';
}

bool Offer(const Candidate& c, SearchOpener opener, void* arguments, bool* scheme) {
  const bool hasScheme = StartsWithScheme(c.text);
  if (opener(c.text, hasScheme, arguments) != kOk) return false;
  if (scheme) *scheme = hasScheme;
  return true;
}

// Copies text into the path store: at most kMaxPathArgument characters (and
// the room left), then ";" unless it ends with one.
void AppendEntries(char* path, int32_t* at, const char* text, int32_t length) {
  const int32_t room = kSearchPathBytes - 2 - *at;
  AppendBytes(path, at, text, std::min({length, kMaxPathArgument, room}), kSearchPathBytes);
  if (*at == 0 || path[*at - 1] != kEntryEnd) path[(*at)++] = kEntryEnd;
  path[*at] = 0;
}

// Writes each entry of the path on its own line of descriptor 1.
ErrCode ListSearchPath(EngineContext* ctx) {
  for (const char* entry = g_path; *entry;) {
    int32_t length = 0;
    while (entry[length] && entry[length] != kEntryEnd) length++;
    ErrCode e = WriteToFd(ctx, kFdOut, entry, length);
    if (!e) e = WriteNewlineToFd(ctx, kFdOut);
    if (e) return e;
    entry += length + (entry[length] == kEntryEnd);
  }
  return kOk;
}

// The opener of the "+readlib" hook: reads the whole file into the buffer.
struct SourceRead {
  char* buffer;
  int32_t capacity;
  int32_t* length;
  ErrCode error = kOk;
};

ErrCode ReadSourceFile(const char* candidate, bool, void* arguments) {
  auto* read = static_cast<SourceRead*>(arguments);
  // Only a regular file is a source: a named pipe of the name would wait
  // for a writer, a device never end.
  const int fd = OpenRegularFile(candidate);
  if (fd < 0) return kErrFileNotFound;
  NoteReadFile(fd, candidate);
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    ::close(fd);
    return kErrFileNotFound;
  }
  const size_t n = std::fread(read->buffer, 1, static_cast<size_t>(read->capacity), file);
  const bool failed = std::ferror(file) != 0;
  const bool more = !failed && std::fgetc(file) != EOF;
  std::fclose(file);
  if (failed) return kErrFileNotFound;  // a directory, or unreadable
  *read->length = static_cast<int32_t>(n);
  if (more) read->error = kErrDataOverflow;
  return kOk;
}

}  // namespace

ErrCode SplitSearchPath(const char* name, const char* extension, const char* baseFile, char* buffer,
                        SearchOpener opener, void* arguments, bool* scheme) {
  if (!opener) return kErrFileNotFound;
  char own[kCandidateBytes];
  Candidate c{buffer ? buffer : own};
  c.Clear();
  const FileName file{name, extension ? extension : ""};
  if (baseFile) {
    int32_t directory = CStringLength(baseFile);
    while (directory > 0 && baseFile[directory - 1] != g_separator) directory--;
    c.Add(baseFile, directory);
    file.AddFull(c);
    if (Offer(c, opener, arguments, scheme)) return kOk;
  }
  for (const char* entry = g_path; *entry;) {
    int32_t length = 0;
    while (entry[length] && entry[length] != kEntryEnd) length++;
    c.Clear();
    ExpandEntry(entry, length, file, c);
    if (Offer(c, opener, arguments, scheme)) return kOk;
    entry += length + (entry[length] == kEntryEnd);
  }
  return kErrFileNotFound;
}

void SetPathSeparator(char separator) {
  g_separator = separator;
}

const char* GetSearchPath() {
  return g_path;
}

void ResetSearchPathForTest() {
  CopyCStringBounded(g_path, kSearchPathBytes, kInitialPath, -1);
  g_separator = '/';
}

// path: no argument gives the path (listed, one entry a line, when called
// without output); one text sets it; two texts set it to the first followed
// by the second. After a change, one output gives the new path.
ErrCode PathNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin > 2) return kErrTooManyArgin;
  if (nargin == 0 && nargout <= 0) {
    // A statement gives no value, pushed before the list is written: the
    // call that finds no room for it runs again having written nothing.
    if (nargout < 0)
      if (ErrCode e = PushNoValue(ctx)) return e;
    ErrCode e = ListSearchPath(ctx);
    if (e && nargout < 0) Drop(ctx);
    return e;
  }
  if (nargin == 0) return PushCString(ctx, -1, g_path);
  // The texts are read where they lie (no more of each than the path
  // holds), so that a call run again after growth finds them as given.
  char texts[2][kSearchPathBytes];
  int32_t lengths[2];
  for (int32_t i = 0; i < nargin; i++) {
    const NumericView v = ViewNumeric(ctx, nargin - 1 - i);
    if (v.cls != ValueClass::kChar) return kErrWrongType;
    lengths[i] = std::min(v.shape.count, kSearchPathBytes);
    for (int32_t k = 0; k < lengths[i]; k++) texts[i][k] = static_cast<char>(v.elements[2 * k]);
  }
  char path[kSearchPathBytes] = {};
  int32_t at = 0;
  for (int32_t i = 0; i < nargin; i++) AppendEntries(path, &at, texts[i], lengths[i]);
  CopyCStringBounded(g_path, kSearchPathBytes, path, at);
  if (nargout <= 0) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  return PushInPlaceOfTop(ctx, nargin, [&] { return PushCString(ctx, -1, g_path); });
}

// "+readlib": the source of a library read from the first file found along
// the path (inside folder first when one is given). A name without an
// extension gets the engine's source extension.
ErrCode FindLibraryFileHook(EngineContext* ctx, const char* name, const char* folder, uintptr_t,
                            char* buffer, int32_t capacity, int32_t* length) {
  char bare[kCandidateBytes];
  CopyCStringBounded(bare, kCandidateBytes, name, -1);
  const char* extension = ctx->sourceExt;
  for (int32_t i = CStringLength(bare) - 1; i > 0; i--) {
    if (bare[i] == g_separator) break;
    if (bare[i] != '.') continue;
    bare[i] = 0;
    extension = bare + i + 1;
    break;
  }
  char base[kCandidateBytes];
  if (folder) {
    int32_t at = 0;
    AppendCString(base, &at, folder, kCandidateBytes - 1);
    if (at > 0 && base[at - 1] != g_separator) base[at++] = g_separator;
    base[at] = 0;
  }
  SourceRead read{buffer, capacity, length};
  ErrCode e = SplitSearchPath(bare, extension, folder ? base : nullptr, nullptr, &ReadSourceFile,
                              &read, nullptr);
  return e ? e : read.error;
}

}  // namespace vke
