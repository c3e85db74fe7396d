// help: the help of a function from the comment block after its definition,
// or of a native, builtin or operator from its library's help file. Lines
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

// The entry of a native, builtin or operator in its library's help file.
ErrCode ShowLibraryHelp(EngineContext* ctx, const char* name, int32_t length, bool write,
                        bool* found) {
  *found = false;
  const char *wanted = nullptr, *base = name;
  int32_t wantedLength = 0, baseLength = length;
  for (int32_t i = 0; i + 1 < length; i++)
    if (name[i] == ':' && name[i + 1] == ':') {
      wanted = name;
      wantedLength = i;
      base = name + i + 2;
      baseLength = length - i - 2;
      break;
    }
  const char* library = LibraryOfNative(ctx, base, baseLength, wanted, wantedLength);
  if (!library) return kOk;
  // A help file that does not fit asks for room: nothing is written yet.
  TextRoom room(ctx);
  if (!room.data()) return kErrDataOverflow;
  int32_t textLength = 0;
  const ErrCode e = LoadLibraryText(ctx, library, CStringLength(library), -1, true, room.data(),
                                    room.capacity(), &textLength);
  if (e) return e == kErrDataOverflow ? e : kOk;
  const char* text = room.data();
  HelpEntry entry;
  for (int32_t pos = 0; NextHelpEntry(text, textLength, &pos, &entry);) {
    if (!StringsEqual(entry.key, entry.keyLength, base, baseLength, false)) continue;
    if (wanted && entry.library &&
        !StringsEqual(entry.library, entry.libraryLength, wanted, wantedLength, false))
      continue;
    return ShowHelpText(
        ctx, HelpTextReader(text, textLength, entry.textStart, HelpTextReader::Kind::kFileEntry),
        write, found);
  }
  return kOk;
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
