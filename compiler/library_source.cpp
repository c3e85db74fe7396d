// Loading library and function sources through the source hooks, with
// include expansion, and finding the source of a function-table entry.
#include "compiler/library_source.hpp"

#include <algorithm>

#include "compiler/lexer_helpers.hpp"
#include "compiler/scan.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

// Include chains deeper than this are cut whatever depth a caller asks for,
// so that a source including itself cannot exhaust the process stack.
constexpr int32_t kMaxIncludeDepth = 64;
constexpr int32_t kMaxStoredName = 255;

struct LoadRequest {
  EngineContext* ctx;
  const char* folders;
  bool asLibrary;
  bool convertCharset;
};

ErrCode RaiseWithName(EngineContext* ctx, ErrCode code, const char* name, int32_t length) {
  return RaiseError(ctx, code, -1, 0, length, name);
}

// Asks the hook records named hookName in registry order until one answers
// other than 300 (fileNotFound); 300 when none did.
template <typename Ask>
ErrCode AskHooks(EngineContext* ctx, const char* hookName, Ask ask) {
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = FindLibraryRecord(ctx, hookName, rec, 0, nullptr))) {
    if (!rec->function) continue;
    ErrCode e = ask(rec);
    if (e != kErrFileNotFound) return e;
  }
  return kErrFileNotFound;
}

ErrCode ReadThroughHooks(const LoadRequest& r, const char* name, char* buffer, int32_t capacity,
                         int32_t* length) {
  const char* hook = r.asLibrary ? "+readlib" : "+readfn";
  return AskHooks(r.ctx, hook, [&](const NativeFunctionRecord* rec) {
    auto read = reinterpret_cast<ReadSourceHookFn>(rec->function);
    uintptr_t option = RecordUserData(r.ctx, rec);
    auto readFrom = [&](const char* folder) {
      *length = 0;
      ErrCode e = read(r.ctx, name, folder, option, buffer, capacity, length);
      return !e && (*length < 0 || *length > capacity) ? ErrCode{kErrDataOverflow} : e;
    };
    if (!r.folders) return readFrom(nullptr);
    ErrCode e = kErrFileNotFound;
    for (const char* f = r.folders; *f && e == kErrFileNotFound; f += std::strlen(f) + 1)
      e = readFrom(f);
    return e;
  });
}

ErrCode ConvertCharset(EngineContext* ctx, char* text, int32_t capacity, int32_t* length) {
  ErrCode e = AskHooks(ctx, "+convertcharset", [&](const NativeFunctionRecord* rec) {
    auto convert = reinterpret_cast<ConvertCharsetHookFn>(rec->function);
    int32_t n = *length;
    ErrCode answer = convert(ctx, text, capacity, &n, RecordUserData(ctx, rec));
    if (answer) return answer;
    if (n < 0 || n > capacity) return ErrCode{kErrDataOverflow};
    *length = n;
    return ErrCode{kOk};
  });
  return e == kErrFileNotFound ? kOk : e;
}

// Loads one source; with `missing` given, a source that no hook serves sets
// it and raises nothing.
ErrCode Load(const LoadRequest& r, const char* name, int32_t length, char* buffer, int32_t capacity,
             int32_t* outLength, int32_t depth, bool* missing);

// Reads "name" and an optional ";" behind an include keyword; only blanks
// and a comment may follow on the line. *end is the statement's end.
bool ParseInclude(const char* text, int32_t length, int32_t pos, int32_t* nameStart,
                  int32_t* nameLength, int32_t* end) {
  auto skipBlanks = [&] {
    while (pos < length && (text[pos] == ' ' || text[pos] == '\t')) pos++;
  };
  skipBlanks();
  *nameStart = pos;
  *nameLength = NameSpan(text, length, pos);
  pos += *nameLength;
  skipBlanks();
  if (pos < length && text[pos] == ';') pos++;
  *end = pos;
  skipBlanks();
  return *nameLength > 0 &&
         (pos >= length || IsLineEnd(text[pos]) || IsCommentStart(text, length, pos));
}

// Replaces text[start, end) by the n bytes that follow the text.
void ReplaceWithTail(char* text, int32_t* length, int32_t start, int32_t end, int32_t n) {
  std::memmove(text + start, text + end, *length + n - end);
  int32_t total = *length - (end - start) + n;
  std::rotate(text + start, text + start + (*length - end), text + total);
  *length = total;
}

ErrCode ExpandIncludes(const LoadRequest& r, const char* name, int32_t nameLength, char* buffer,
                       int32_t capacity, int32_t* length, int32_t depth) {
  int32_t pos = 0, lines = 1;
  for (;;) {
    SkipSpaceAndComments(buffer, *length, &pos, true, &lines);
    if (pos >= *length) return kOk;
    int32_t start = pos;
    bool ifExists = MatchKeywordAt(buffer, *length, &pos, "includeifexists");
    if (!ifExists && !MatchKeywordAt(buffer, *length, &pos, "include")) {
      SkipStatement(buffer, *length, &pos, &lines);
      continue;
    }
    int32_t included, includedLength, end;
    if (!ParseInclude(buffer, *length, pos, &included, &includedLength, &end))
      return RaiseWithName(r.ctx, kErrIncludeSyntax, name, nameLength);
    if (depth == 0) return RaiseWithName(r.ctx, kErrIncludeDepth, name, nameLength);
    int32_t n = 0;
    bool missing = false;
    ErrCode e = Load(r, buffer + included, includedLength, buffer + *length, capacity - *length, &n,
                     depth - 1, ifExists ? &missing : nullptr);
    if (e && !missing) return e;
    if (missing) n = 0;
    ReplaceWithTail(buffer, length, start, end, n);
    pos = start + n;
  }
}

ErrCode Load(const LoadRequest& r, const char* name, int32_t length, char* buffer, int32_t capacity,
             int32_t* outLength, int32_t depth, bool* missing) {
  EngineContext* ctx = r.ctx;
  if (length < 1) return kErrNullName;
  if (length > kMaxIdentifierLength) return RaiseWithName(ctx, kErrNameTooLong, name, length);
  char copy[kMaxIdentifierLength + 1];
  std::memcpy(copy, name, length);
  copy[length] = 0;
  int32_t n = 0;
  ErrCode e = ReadThroughHooks(r, copy, buffer, capacity, &n);
  if (e == kErrFileNotFound) {
    e = r.asLibrary ? kErrLibNotFound : kErrSrcNotFound;
    if (missing) *missing = true;
    return missing ? e : RaiseWithName(ctx, e, copy, length);
  }
  if (e) return e;
  if (n == 0 || !IsLineEnd(buffer[n - 1])) {
    if (n >= capacity) return kErrDataOverflow;
    buffer[n++] = '\n';
  }
  if (ctx->bomSkip) {
    int32_t skip = ctx->bomSkip(reinterpret_cast<const uint8_t*>(buffer), n);
    if (skip > 0 && skip <= n) {
      std::memmove(buffer, buffer + skip, n - skip);
      n -= skip;
    }
  }
  if (r.convertCharset && (e = ConvertCharset(ctx, buffer, capacity, &n))) return e;
  if (depth >= 0 && (e = ExpandIncludes(r, copy, length, buffer, capacity, &n, depth))) return e;
  *outLength = n;
  return kOk;
}

// Copies a stored name into a terminated buffer of kMaxStoredName + 1 bytes.
int32_t CopyName(EngineContext* ctx, int32_t id, char* out) {
  int32_t n = 0;
  const char* text = id ? NameText(ctx, id, &n) : nullptr;
  if (text) std::memcpy(out, text, n);
  out[n] = 0;
  return n;
}

}  // namespace

ErrCode LoadLibrarySource(EngineContext* ctx, const char* name, int32_t length,
                          const char* searchFolders, bool asLibrary, char* buffer, int32_t capacity,
                          int32_t* outLength, int32_t depth, bool convertCharset) {
  LoadRequest r{ctx, searchFolders, asLibrary, convertCharset};
  return Load(r, name, length, buffer, capacity, outLength, std::min(depth, kMaxIncludeDepth),
              nullptr);
}

ErrCode PlaceLibraryFolder(EngineContext* ctx, int32_t entry, char* buffer, int32_t* capacity,
                           const char** folders) {
  int32_t folderLength;
  const char* folder = GetLibraryFolder(ctx, entry, &folderLength);
  *folders = nullptr;
  if (!folder) return kOk;
  if (folderLength + 2 > *capacity) return kErrDataOverflow;
  *capacity -= folderLength + 2;
  std::memmove(buffer + *capacity, folder, folderLength);
  buffer[*capacity + folderLength] = buffer[*capacity + folderLength + 1] = 0;
  *folders = buffer + *capacity;
  return kOk;
}

ErrCode FindFunctionSource(EngineContext* ctx, int32_t index, char* buffer, int32_t capacity,
                           int32_t* outLength, int32_t* outLine) {
  FunctionTableEntry* entry = GetFunctionEntry(ctx, index);
  if (!entry || !IsFunctionEntry(*entry)) return kErrUndefFunOrVar;
  char name[kMaxStoredName + 1], qualifier[kMaxStoredName + 1], library[kMaxStoredName + 1];
  int32_t nameLength = CopyName(ctx, entry->nameId, name);
  int32_t qualifierLength = CopyName(ctx, entry->libraryId, qualifier);
  int32_t source = static_cast<int32_t>(entry->info & kEntrySourceMask);
  if (source == 0) {
    ErrCode e = LoadLibrarySource(ctx, name, nameLength, nullptr, false, buffer, capacity,
                                  outLength, kSourceIncludeDepth, true);
    if (!e) *outLine = 1;
    return e;
  }
  FunctionTableEntry* holder = GetLibraryEntry(ctx, source);
  int32_t libraryLength = holder ? CopyName(ctx, static_cast<int32_t>(holder->info), library) : 0;
  if (!libraryLength) return RaiseWithName(ctx, kErrSrcNotFound, name, nameLength);
  const char* folders;
  if (ErrCode e = PlaceLibraryFolder(ctx, source, buffer, &capacity, &folders)) return e;
  int32_t length;
  ErrCode e = LoadLibrarySource(ctx, library, libraryLength, folders, true, buffer, capacity,
                                &length, kSourceIncludeDepth, true);
  if (e) return e;
  SourceScan scan;
  ScannedDefinition d;
  while ((e = ScanSourceForFunctions(ctx, buffer, length, &scan, &d, false, true)) == kOk) {
    if (!StringsEqual(d.name, d.nameLength, name, nameLength, false) ||
        !StringsEqual(d.library, d.libraryLength, qualifier, qualifierLength, false))
      continue;
    std::memmove(buffer, buffer + d.start, length - d.start);
    *outLength = length - d.start;
    *outLine = d.line;
    return kOk;
  }
  return e == kErrEof ? RaiseWithName(ctx, kErrSrcNotFound, name, nameLength) : e;
}

}  // namespace vke
