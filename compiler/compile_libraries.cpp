// Libraries: the "use" statements of a text kept in a library's use list,
// and the loading of library sources and of every library they use, whose
// definitions become function-table entries compiled on first call.
#include "compiler/compile_calls.hpp"
#include "compiler/compile_internal.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/lexer_helpers.hpp"
#include "compiler/library_source.hpp"
#include "compiler/scan.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"

namespace vke {

namespace {

constexpr char kCommandLineLibrary[] = "_cli";

// The source of a library into the withheld end of the data stack.
ErrCode LoadSource(EngineContext* ctx, WithheldSpace* withheld, const char* name, int32_t length,
                   const char* folder, int32_t folderLength, char** text, int32_t* textLength) {
  uint32_t free = ctx->dataCap > ctx->dataTop ? 8 * (ctx->dataCap - ctx->dataTop) : 0;
  const uint32_t room = free / 2;
  char* buffer = reinterpret_cast<char*>(withheld->Data(room));
  if (!buffer) return kErrDataOverflow;
  // The folder list: the using library's folder, when it has one.
  char folders[1024];
  const char* list = nullptr;
  if (folder && folderLength > 0 && folderLength + 2 < static_cast<int32_t>(sizeof folders)) {
    std::memcpy(folders, folder, folderLength);
    folders[folderLength] = folders[folderLength + 1] = 0;
    list = folders;
  }
  ErrCode e = LoadLibrarySource(ctx, name, length, list, true, buffer, static_cast<int32_t>(room),
                                textLength, kSourceIncludeDepth, true);
  *text = buffer;
  return e;
}

// Removes the compiled code of the functions of a library and marks it
// not loaded, so that its source is read again.
void ForgetLibrary(EngineContext* ctx, int32_t library) {
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    FunctionTableEntry* e = GetFunctionEntry(ctx, static_cast<int32_t>(i));
    if (IsFunctionEntry(*e) && static_cast<int32_t>(e->info & kEntrySourceMask) == library &&
        e->code > 0)
      RemoveFunctionsOfEntry(ctx, static_cast<int32_t>(i));
  }
  GetLibraryEntry(ctx, library)->code = kCodeNotCompiled;
}

// Calls each(name, length, ifExists, line) for every library name of the
// text's "use" and "useifexists" statements, in order, with the line of
// its statement (counted from 1); ends at the first code other than kOk
// that each gives, or with kErrBadLibName at a name that does not begin
// with a letter or "_".
template <class Each>
ErrCode ForEachUsedLibrary(const char* text, int32_t length, Each each) {
  int32_t pos = 0, lines = 1;
  for (;;) {
    SkipSpaceAndComments(text, length, &pos, true, &lines);
    if (pos >= length) return kOk;
    const int32_t line = lines;
    const bool ifExists = MatchKeywordAt(text, length, &pos, "useifexists");
    if (!ifExists && !MatchKeywordAt(text, length, &pos, "use")) {
      SkipStatement(text, length, &pos, &lines);
      continue;
    }
    for (;;) {
      while (pos < length && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',')) pos++;
      if (pos >= length || text[pos] == ';' || IsLineEnd(text[pos]) ||
          IsCommentStart(text, length, pos))
        break;
      const int32_t k = NameSpan(text, length, pos);
      if (k == 0 || !IsNameStart(text[pos])) return kErrBadLibName;
      if (ErrCode e = each(text + pos, k, ifExists, line)) return e;
      pos += k;
    }
    SkipStatement(text, length, &pos, &lines);
  }
}

}  // namespace

ErrCode CommandLineLibrary(EngineContext* ctx, int32_t* entry) {
  return FindLibraryEntry(ctx, kCommandLineLibrary, 4, false, entry);
}

ErrCode ProcessUseStatements(EngineContext* ctx, int32_t entry, const char* text, int32_t length,
                             const char* folder, int32_t folderLength, bool reload) {
  FunctionTableEntry* self = GetLibraryEntry(ctx, entry);
  if (!self) return kErrBadArg;
  if (self->code <= 0 && folder)
    if (ErrCode e = SetLibraryUseList(ctx, entry, nullptr, 0, folder, folderLength)) return e;
  const ErrCode e = ForEachUsedLibrary(
      text, length, [&](const char* name, int32_t k, bool ifExists, int32_t) -> ErrCode {
        if (ifExists) {
          // A library whose source cannot be found is skipped.
          WithheldSpace withheld(ctx);
          char* source;
          int32_t sourceLength;
          int32_t existing = -1;
          int32_t id = FindName(ctx, name, k);
          if (id) existing = FindLibraryEntryById(ctx, id);
          if (existing < 0 || GetLibraryEntry(ctx, existing)->code < 0) {
            ErrCode e =
                LoadSource(ctx, &withheld, name, k, folder, folderLength, &source, &sourceLength);
            if (e == kErrLibNotFound) return kOk;
          }
        }
        int32_t library;
        if (ErrCode e = FindLibraryEntry(ctx, name, k, true, &library)) return e;
        if (reload && !(k == 4 && !std::memcmp(name, kCommandLineLibrary, 4)))
          ForgetLibrary(ctx, library);
        const auto id = static_cast<int16_t>(GetLibraryEntry(ctx, library)->info);
        return SetLibraryUseList(ctx, entry, &id, 1, folder ? folder : "", folderLength);
      });
  if (e) return e;
  self = GetLibraryEntry(ctx, entry);
  if (self->code == kCodeNotCompiled) self->code = kCodeKnown;
  return kOk;
}

void PlaceUseFailure(EngineContext* ctx, ErrCode code, int32_t library, const char* text,
                     int32_t length) {
  const FunctionTableEntry* entry = GetLibraryEntry(ctx, library);
  if (code != kErrLibNotFound || !entry) return;
  int32_t nameLength;
  const char* name = NameText(ctx, static_cast<int32_t>(entry->info), &nameLength);
  if (!name) return;
  int32_t line = 0;
  ForEachUsedLibrary(text, length, [&](const char* used, int32_t k, bool, int32_t at) {
    if (k != nameLength || std::memcmp(used, name, k) != 0) return kOk;
    line = at;
    return kErrEof;  // found: the first statement that names it
  });
  if (line < 1) return;
  ErrorDetails details;
  details.name = name;
  details.integer = nameLength;
  PlaceTextError(ctx, code, text, line, details);
}

ErrCode LoadLibraryDefinitions(EngineContext* ctx, int32_t entry, const char* text, int32_t length,
                               const char* folder, int32_t folderLength, int32_t* failed) {
  ErrCode remembered = kOk;
  WithheldSpace withheld(ctx);
  char folderCopy[1024];
  for (;;) {
    if (ErrCode e = ProcessUseStatements(ctx, entry, text, length, folder, folderLength, false))
      return e;
    SourceScan scan;
    ScannedDefinition d;
    ErrCode e;
    while ((e = ScanSourceForFunctions(ctx, text, length, &scan, &d, false, false)) == kOk) {
      int32_t index;
      if ((e = DefineFunctionEntry(ctx, d.name, d.nameLength, d.library, d.libraryLength, entry,
                                   d.isPrivate, false, &index)))
        return e;
      FunctionTableEntry* f = GetFunctionEntry(ctx, index);
      if (f->code < 0) f->code = kCodeKnown;
    }
    if (e != kErrEof) return e;
    // The next library used but not loaded yet.
    int32_t next = -1;
    for (uint32_t i = 1; i < ctx->funcCount && next < 0; i++) {
      FunctionTableEntry* l = GetLibraryEntry(ctx, static_cast<int32_t>(i));
      if (l && l->code == kCodeNotCompiled) next = static_cast<int32_t>(i);
    }
    if (next < 0) return remembered;
    int32_t nameLength;
    const char* name =
        NameText(ctx, static_cast<int32_t>(GetLibraryEntry(ctx, next)->info), &nameLength);
    // The folder of the library that uses it is searched too.
    int32_t usingFolder = 0;
    const char* f = GetLibraryFolder(ctx, entry, &usingFolder);
    if (usingFolder > static_cast<int32_t>(sizeof folderCopy)) usingFolder = 0;
    if (usingFolder) std::memcpy(folderCopy, f, usingFolder);
    withheld.Release();
    char* source;
    int32_t sourceLength;
    e = LoadSource(ctx, &withheld, name, nameLength, usingFolder ? folderCopy : nullptr,
                   usingFolder, &source, &sourceLength);
    if (e) {
      GetLibraryEntry(ctx, next)->code = kCodeKnown;
      remembered = e;
      if (failed) *failed = next;
      text = "";
      length = 0;
      entry = next;
      continue;
    }
    entry = next;
    text = source;
    length = sourceLength;
    folder = usingFolder ? folderCopy : nullptr;
    folderLength = usingFolder;
  }
}

}  // namespace vke
