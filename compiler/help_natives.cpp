// help: the help of a function from the comment block after its definition,
// or of a native, builtin or operator from its library's help file, or of
// what lookfor links to besides: a statement topic, or a native of a
// library not loaded here (the entry says so). Lines
// go to descriptor 1 with their comment markers removed and runs of empty
// lines written once; markup for the help window goes whole to descriptor
// 4.
#include "builtins/builtin_helpers.hpp"
#include "compiler/help_files.hpp"
#include "compiler/help_text.hpp"
#include "compiler/library_source.hpp"
#include "compiler/tool_natives.hpp"
#include "compiler/tool_support.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr char kHelpUsage[] =
    "Type \"help fn\" to get help on function fn or \"help 'op'\" to get help on operator op.";
constexpr char kLookforUsage[] =
    "Type \"lookfor str\" to get a list of functions whose short description contains \"str\".";
constexpr char kNoHelp[] = "Sorry, no help about ";

ErrCode WriteLine(EngineContext* ctx, const char* text, int32_t length) {
  ErrCode e = WriteToFd(ctx, kFdOut, text, length);
  return e ? e : WriteNewlineToFd(ctx, kFdOut);
}

// Shows a help text, or with `write` clear only finds whether it has a line
// to show. *found tells.
ErrCode ShowHelpText(EngineContext* ctx, HelpTextReader reader, bool write, bool* found) {
  HelpLine line;
  bool afterEmpty = false;
  *found = false;
  while (reader.Next(&line)) {
    if (!line.shown) continue;
    *found = true;
    if (!write) return kOk;
    ErrCode e;
    if (line.markup) {
      FlushFd(ctx, kFdHelpLinks, kBufferingOn);
      WriteToFd(ctx, kFdHelpLinks, line.text, line.length);
      FlushFd(ctx, kFdHelpLinks, kBufferingOff);
      continue;
    }
    if (IsBlankHelpLine(line)) {
      if (afterEmpty) continue;
      afterEmpty = true;
      e = WriteNewlineToFd(ctx, kFdOut);
    } else {
      afterEmpty = false;
      e = WriteLine(ctx, line.text, line.length);
    }
    if (e) return e;
  }
  return kOk;
}

// The help block after the definition of user function fn. A function
// whose library's source is missing has none.
ErrCode ShowFunctionHelp(EngineContext* ctx, int32_t fn, bool write, bool* found) {
  *found = false;
  TextRoom room(ctx);
  int32_t length = 0, line = 0;
  TolerantLookup quiet(ctx);
  ErrCode e = room.data()
                  ? FindFunctionSource(ctx, fn, room.data(), room.capacity(), &length, &line)
                  : kErrDataOverflow;
  if (e == kErrLibNotFound) {
    quiet.Forget();
    return kOk;
  }
  if (e) return e;
  const int32_t start = SkipDefinitionLines(room.data(), length, 0);
  return ShowHelpText(
      ctx, HelpTextReader(room.data(), length, start, HelpTextReader::Kind::kSourceBlock), write,
      found);
}

// The help file of the statement topics, which belong to no library.
constexpr char kTopicsFile[] = "other";
constexpr char kNotLoadedHead[] = " is in the library ";
constexpr char kNotLoadedTail[] = "; it is not loaded here.";

// Tells that the entry shown is of a library this engine has not loaded.
ErrCode WriteNotLoaded(EngineContext* ctx, const char* name, int32_t length, const char* library) {
  ErrCode e = WriteToFd(ctx, kFdOut, name, length);
  if (!e) e = WriteToFd(ctx, kFdOut, kNotLoadedHead, sizeof kNotLoadedHead - 1);
  if (!e) e = WriteToFd(ctx, kFdOut, library, CStringLength(library));
  return e ? e : WriteLine(ctx, kNotLoadedTail, sizeof kNotLoadedTail - 1);
}

// What help looks for in a help file: an entry's key, and its library when
// the name was qualified.
struct WantedEntry {
  const char* key;
  int32_t keyLength;
  const char* library;  // null when the name was not qualified
  int32_t libraryLength;
};

// Shows the entry of a help file, with the note that its library is not
// loaded when `notLoaded`. A help file that does not fit asks for room:
// nothing is written yet.
ErrCode ShowFileEntry(EngineContext* ctx, const char* library, const WantedEntry& wanted,
                      bool notLoaded, bool write, bool* found) {
  *found = false;
  TextRoom room(ctx);
  if (!room.data()) return kErrDataOverflow;
  int32_t textLength = 0;
  const ErrCode e = LoadLibraryText(ctx, library, CStringLength(library), -1, true, room.data(),
                                    room.capacity(), &textLength);
  if (e) return e == kErrDataOverflow ? e : kOk;
  const char* text = room.data();
  HelpEntry entry;
  for (int32_t pos = 0; NextHelpEntry(text, textLength, &pos, &entry);) {
    if (!StringsEqual(entry.key, entry.keyLength, wanted.key, wanted.keyLength, false)) continue;
    const char* holder = entry.library ? entry.library : library;
    const int32_t holderLength = entry.library ? entry.libraryLength : CStringLength(library);
    if (wanted.library &&
        !StringsEqual(holder, holderLength, wanted.library, wanted.libraryLength, false))
      continue;
    const HelpTextReader reader(text, textLength, entry.textStart,
                                HelpTextReader::Kind::kFileEntry);
    if (ErrCode shown = ShowHelpText(ctx, reader, false, found)) return shown;
    if (!*found || !write) return kOk;
    if (notLoaded) {
      if (ErrCode noted = WriteNotLoaded(ctx, wanted.key, wanted.keyLength, library)) return noted;
    }
    return ShowHelpText(ctx, reader, true, found);
  }
  return kOk;
}

// The entry of a name no table here holds: a statement topic, or a native
// of a library that is not loaded, as lookfor links them. A qualified name
// is looked for in its library's help file; a bare one first among the
// statement topics, which lookfor links bare (end is the statement, not a
// library's end method), then in the native libraries' help files and
// last in the engine's own.
ErrCode ShowUnloadedHelp(EngineContext* ctx, const WantedEntry& wanted, bool write, bool* found) {
  char library[kToolNameBytes];
  if (wanted.library) {
    CopyCStringBounded(library, sizeof library, wanted.library, wanted.libraryLength);
    const bool topic = StringsEqual(library, -1, kTopicsFile, -1, false);
    return ShowFileEntry(ctx, library, wanted, !topic, write, found);
  }
  if (ErrCode e = ShowFileEntry(ctx, kTopicsFile, wanted, false, write, found)) return e;
  if (*found) return kOk;
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t t = 0; t < ctx->registryCount; t++)
    for (uint32_t k = 0; k < reg[t].count; k++) {
      const NativeFunctionRecord& r = reg[t].table[k];
      if (!r.IsHeader() || StringsEqual(r.name + 1, -1, kEngineLibrary, -1, false)) continue;
      if (ErrCode e = ShowFileEntry(ctx, r.name + 1, wanted, true, write, found)) return e;
      if (*found) return kOk;
    }
  return ShowFileEntry(ctx, kEngineLibrary, wanted, true, write, found);
}

// The entry of a native, builtin or operator in its library's help file;
// for a name no table here holds, that of a statement topic or of a native
// not loaded here.
ErrCode ShowLibraryHelp(EngineContext* ctx, const char* name, int32_t length, bool write,
                        bool* found) {
  *found = false;
  WantedEntry wanted{name, length, nullptr, 0};
  for (int32_t i = 0; i + 1 < length; i++)
    if (name[i] == ':' && name[i + 1] == ':') {
      wanted = {name + i + 2, length - i - 2, name, i};
      break;
    }
  for (const LinkKeyWord& k : kLinkKeyWords)
    if (StringsEqual(wanted.key, wanted.keyLength, k.word, -1, false)) {
      wanted.key = k.name;
      wanted.keyLength = CStringLength(k.name);
    }
  const char* library =
      LibraryOfNative(ctx, wanted.key, wanted.keyLength, wanted.library, wanted.libraryLength);
  if (library) return ShowFileEntry(ctx, library, wanted, false, write, found);
  return ShowUnloadedHelp(ctx, wanted, write, found);
}

}  // namespace

ErrCode HelpNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  const bool write = nargout < 1;
  bool found = true;
  if (nargin == 0) {
    if (write) {
      ErrCode e = WriteLine(ctx, kHelpUsage, sizeof kHelpUsage - 1);
      if (!e) e = WriteLine(ctx, kLookforUsage, sizeof kLookforUsage - 1);
      if (e) return e;
    }
  } else {
    char name[kToolNameBytes];
    int32_t length;
    bool tooLong;
    ErrCode e = ReadToolName(ctx, 0, name, &length, &tooLong);
    if (e) return e;
    found = false;
    if (!tooLong) {
      ErrCode lookup = kOk;
      const int32_t fn = FindNamedFunction(ctx, name, length, CurrentScope(ctx), &lookup);
      if (fn >= 0 && (e = ShowFunctionHelp(ctx, fn, write, &found))) return e;
      if (!found && (e = ShowLibraryHelp(ctx, name, length, write, &found))) return e;
    }
    if (!found && write) {
      e = WriteToFd(ctx, kFdOut, kNoHelp, sizeof kNoHelp - 1);
      if (!e) e = WriteLine(ctx, name, length);
      if (e) return e;
    }
  }
  if (write) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  if (ErrCode e = PushLogicalScalar(ctx, found ? 1 : 0)) return e;
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace vke
