// info and inmem (ShowEngineInfo): the engine's version, or a listing chosen
// by a letter: variables, user functions, compiled functions, methods,
// libraries, global and persistent variables, the libraries in use,
// builtins, operators, threads, and the sizes of this build.
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "compiler/info_listing.hpp"
#include "compiler/tool_natives.hpp"
#include "compiler/tool_support.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/image/image_walk.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

constexpr int32_t kFunctionNameBytes = 101;
constexpr int32_t kGlobalOwner = -1;
constexpr const char* kFieldNames[] = {"name",  "defined", "loaded",    "library", "module",
                                       "class", "id",      "totaltime", "trusted"};

// The listings over the function table.
enum class FunctionSet { kUserFunctions, kCompiled, kMethods };

int32_t NameLength(const char* text) {
  return text ? CStringLength(text) : 0;
}

ErrCode InternFieldNames(EngineContext* ctx) {
  for (const char* field : kFieldNames) {
    int32_t id;
    if (ErrCode e = InternName(ctx, field, CStringLength(field), kMaxIdentifierLength, &id))
      return e;
  }
  return kOk;
}

// The text of a name id (empty for 0 or an id that is none).
const char* IdText(EngineContext* ctx, int32_t id, int32_t* length) {
  const char* text = id ? NameText(ctx, id, length) : nullptr;
  if (!text) *length = 0;
  return text ? text : "";
}

ErrCode ListFunctions(InfoListing* out, FunctionSet set) {
  EngineContext* ctx = out->ctx();
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    const FunctionTableEntry* e = GetFunctionEntry(ctx, static_cast<int32_t>(i));
    if (!e || !IsFunctionEntry(*e)) continue;
    const bool method = e->libraryId != 0, loaded = e->code > 0;
    if ((set == FunctionSet::kUserFunctions && method) ||
        (set == FunctionSet::kMethods && !method) || (set == FunctionSet::kCompiled && !loaded))
      continue;
    ErrCode err;
    if (out->collect()) {
      const FunctionTableEntry* holder =
          GetLibraryEntry(ctx, static_cast<int32_t>(e->info & kEntrySourceMask));
      int32_t libraryLength, classLength, nameLength;
      const char* library =
          IdText(ctx, holder ? static_cast<int32_t>(holder->info) : 0, &libraryLength);
      const char* cls = IdText(ctx, e->libraryId, &classLength);
      const char* name = IdText(ctx, e->nameId, &nameLength);
      err = out->StringField("library", library, libraryLength);
      if (!err && set != FunctionSet::kUserFunctions)
        err = out->StringField("class", cls, classLength);
      if (!err) err = out->StringField("name", name, nameLength);
      if (!err && set != FunctionSet::kCompiled) err = out->LogicalField("loaded", loaded);
      out->EndStructure();
    } else {
      char text[kFunctionNameBytes];
      int32_t length = 0;
      GetFunctionNameAndLine(ctx, static_cast<int32_t>(i), text, sizeof text, &length);
      err = loaded ? kOk : out->Write("(", 1);
      if (!err) err = out->Write(text, length);
      if (!err && !loaded) err = out->Write(")", 1);
      if (!err) err = out->EndLine();
    }
    if (err) return err;
  }
  return kOk;
}

// One name: a line, or a string item.
ErrCode ListName(InfoListing* out, const char* text, int32_t length) {
  if (out->collect()) return out->AddString(text, length);
  ErrCode e = out->Write(text, length);
  return e ? e : out->EndLine();
}

ErrCode ListLibraries(InfoListing* out) {
  EngineContext* ctx = out->ctx();
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    const FunctionTableEntry* e = GetLibraryEntry(ctx, static_cast<int32_t>(i));
    int32_t length;
    const char* name = e ? IdText(ctx, static_cast<int32_t>(e->info), &length) : nullptr;
    if (name)
      if (ErrCode err = ListName(out, name, length)) return err;
  }
  return kOk;
}

ErrCode ListSharedVariables(InfoListing* out, bool globals) {
  EngineContext* ctx = out->ctx();
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    int32_t nameId, owner, length;
    if (!GetSharedVariable(ctx, i, &nameId, &owner) || (owner == kGlobalOwner) != globals) continue;
    const char* name = IdText(ctx, nameId, &length);
    if (ErrCode e = ListName(out, name, length)) return e;
  }
  return kOk;
}

// The use list of the current function's library, oldest first.
ErrCode ListUsedLibraries(InfoListing* out) {
  EngineContext* ctx = out->ctx();
  int32_t count = 0;
  const uint16_t* list = GetLibraryUseList(ctx, CurrentScope(ctx), &count);
  for (int32_t k = 0; k < count; k++) {
    int32_t length;
    const char* name = IdText(ctx, static_cast<int16_t>(list[k]), &length);
    if (length == 0) continue;  // an unused place
    // The list lives in the code area, which a listing does not change.
    if (ErrCode e = ListName(out, name, length)) return e;
  }
  return kOk;
}

ErrCode ListBuiltins(InfoListing* out, bool operators) {
  EngineContext* ctx = out->ctx();
  const char* library = kEngineLibrary;
  bool switchable = false;
  for (int32_t i = 0;; i++) {
    const char* name = EnumBuiltins(ctx, i, operators, &library, &switchable);
    if (!name) return kOk;
    ErrCode e;
    if (out->collect()) {
      e = out->StringField("name", name, NameLength(name));
      if (!e) e = out->StringField("module", library, NameLength(library));
      if (!e) e = out->LogicalField("trusted", switchable);
      out->EndStructure();
    } else {
      e = operators ? kOk : out->WriteText(library);
      if (!e && !operators) e = out->Write("/", 1);
      if (!e) e = out->WriteText(name);
      if (!e && !switchable) e = out->Write(" u", 2);
      if (!e) e = out->EndLine();
    }
    if (e) return e;
  }
}

ErrCode ListThreads(InfoListing* out) {
  EngineContext* ctx = out->ctx();
  ErrCode e = kOk;
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock&) {
    if (e) return;
    if (out->collect()) {
      e = out->NumberField("id", t.threadId);
      if (!e) e = out->NumberField("totaltime", t.totalTime);
      out->EndStructure();
    } else {
      e = out->WriteNumber(t.threadId);
      if (!e) e = out->EndLine();
    }
  });
  return e;
}

// The sizes of this build's integer and pointer: a structure {int, ptr},
// or two lines.
ErrCode ShowSizes(InfoListing* out) {
  constexpr double kIntBytes = sizeof(int32_t), kPointerBytes = sizeof(void*);
  if (out->collect()) {
    ErrCode e = out->NumberField("int", kIntBytes);
    if (!e) e = out->NumberField("ptr", kPointerBytes);
    out->EndStructure();
    return e;
  }
  ErrCode e = out->WriteText("int: ");
  if (!e) e = out->WriteNumber(kIntBytes);
  if (!e) e = out->WriteText(" bytes");
  if (!e) e = out->EndLine();
  if (!e) e = out->WriteText("ptr: ");
  if (!e) e = out->WriteNumber(kPointerBytes);
  if (!e) e = out->WriteText(" bytes");
  if (!e) e = out->EndLine();
  return e;
}

// The listing of a letter; 108 for a letter that names none.
ErrCode List(InfoListing* out, char letter) {
  // An empty function table says so in place of its listings.
  const bool emptyTable = out->ctx()->funcCount <= 1;
  auto orEmpty = [&](const char* none, auto list) -> ErrCode {
    if (!emptyTable) return list();
    if (out->collect()) return kOk;
    ErrCode e = out->WriteText(none);
    return e ? e : out->EndLine();
  };
  switch (letter) {
    case 'v':
      return ListFrameVariables(out);
    case 'f':
      return orEmpty("No user function",
                     [&] { return ListFunctions(out, FunctionSet::kUserFunctions); });
    case 'I':
      return orEmpty("No library", [&] { return ListFunctions(out, FunctionSet::kCompiled); });
    case 'm':
      return orEmpty("No library", [&] { return ListFunctions(out, FunctionSet::kMethods); });
    case 'l':
      return orEmpty("No library", [&] { return ListLibraries(out); });
    case 'g':
      return orEmpty("No library", [&] { return ListSharedVariables(out, true); });
    case 'p':
      return orEmpty("No library", [&] { return ListSharedVariables(out, false); });
    case 'u':
      return orEmpty("No library", [&] { return ListUsedLibraries(out); });
    case 'b':
      return ListBuiltins(out, false);
    case 'o':
      return ListBuiltins(out, true);
    case 't':
      return ListThreads(out);
    case 's':
      return ShowSizes(out);
    default:
      return kErrUnknownOpt;
  }
}

}  // namespace

ErrCode ShowEngineInfo(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  const bool collect = nargout >= 1;
  char letter = 'I';
  if (option == kInfoOption) {
    if (nargin == 0) {
      const char* version = GetEngineVersion();
      if (collect) return PushCString(ctx, -1, version);
      if (ErrCode e = RoomForNothing(ctx, nargin, nargout)) return e;
      ErrCode e = WriteToFd(ctx, kFdOut, version, CStringLength(version));
      if (!e) e = WriteNewlineToFd(ctx, kFdOut);
      return e ? e : ReplaceInputsWithNothing(ctx, nargin, nargout);
    }
    const NumericView v = ViewNumeric(ctx, 0);
    if (v.cls != ValueClass::kChar) return kErrWrongTypeOverload;
    if (v.shape.count == 0) return kErrUnknownOpt;
    const uint16_t first = Load<uint16_t>(v.elements);
    // inmem's letter cannot be asked for by name.
    if (first > 0x7F || first == 'I') return kErrUnknownOpt;
    letter = static_cast<char>(first);
  }
  if (ErrCode e = InternFieldNames(ctx)) return e;
  if (ErrCode e = RoomForNothing(ctx, nargin, nargout)) return e;
  InfoListing out(ctx, collect);
  if (!collect) FlushFd(ctx, kFdOut, kBufferingOn);
  ErrCode e = List(&out, letter);
  if (!collect) FlushFd(ctx, kFdOut, kBufferingOff);
  if (e) {
    out.Abandon();
    return e;
  }
  if (!collect) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  // The sizes are one structure; the other listings gather their items.
  if (letter != 's' && (e = out.Finish())) return e;
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace vke
