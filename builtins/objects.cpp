// Class names, objects and methods: class names a value's class or makes an
// object from a structure; isobject and isa test objects and classes;
// methods lists the functions of a class's library.
#include "builtins/objects.hpp"

#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/structured.hpp"
#include "engine/code/function_table.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

// Class names of the other values: typed kinds, then structured kinds.
constexpr const char* kTypedKindNames[] = {
    nullptr,    // 0: no typed kind
    "inline",   // 1: inline function
    "funref",   // 2: function reference
    nullptr,    // 3: numeric array, named by its code
    "char",     // 4
    "logical",  // 5
};
constexpr const char* kLibraryValueName = "binary";  // kinds 6 and above
constexpr const char* kStructuredKindNames[] = {"list", "struct", "cell", "structarray"};
constexpr const char* kNoClassName = "???";

// Parent objects lie in fields named after their class; searching stops at
// this depth.
constexpr int kMaxParentDepth = 64;

// True when an object (its kind and items) is of the class or has a parent
// of it at any depth.
bool ObjectIsA(int32_t kind, const uint8_t* items, uint32_t bytes, int32_t classId, int depth) {
  if (ObjectClassId(kind) == classId) return true;
  if (depth >= kMaxParentDepth) return false;
  for (uint32_t off = 0; off < bytes; off += ItemBytes(items + off)) {
    const ValueDescriptor d = Load<ValueDescriptor>(items + off);
    if (!IsStructured(d) || !IsObjectKind(d.word) || ObjectClassId(d.word) != ItemName(items + off))
      continue;
    if (ObjectIsA(d.word, items + off + 16, 8 * d.size, classId, depth + 1)) return true;
  }
  return false;
}

// class(s, name, parents...): s with the parents as leading fields, its
// kind word the negated name id of the class.
ErrCode MakeObject(EngineContext* ctx, int32_t nargin) {
  const int32_t sAt = nargin - 1;
  const ValueDescriptor* s = DescAt(ctx, sAt);
  if (!IsStructured(*s) || s->word != kKindStruct) return kErrWrongTypeOverload;
  int32_t classId;
  ErrCode e = InternNameArg(ctx, nargin - 2, &classId);
  if (e) return e;
  uint64_t bytes = 8ull * s->size;
  StructuredParts fields;
  DecodeStructuredData(*s, DataAt(ctx, sAt), &fields);
  for (int32_t at = nargin - 3; at >= 0; at--) {
    const ValueDescriptor* p = DescAt(ctx, at);
    if (!IsStructured(*p) || !IsObjectKind(p->word)) return kErrNonObjectArg;
    if (FindFieldItem(fields.first, fields.items, ObjectClassId(p->word))) return kErrUndefField;
    bytes += 16 + 8ull * p->size;
  }
  uint8_t* out;
  e = PushStructuredShell(ctx, -classId, nullptr, 0, bytes, &out);
  if (e) return e;
  for (int32_t at = nargin - 2; at >= 1; at--) {
    const ValueDescriptor p = *DescAt(ctx, at);
    out += WriteItem(out, p, DataAt(ctx, at), ObjectClassId(p.word));
  }
  std::memcpy(out, DataAt(ctx, nargin), 8ull * DescAt(ctx, nargin)->size);
  return DropInputsUnderResult(ctx, nargin);
}

// The class's name id when it was ever interned; 0 otherwise.
ErrCode ClassNameIdArg(EngineContext* ctx, int32_t depth, int32_t* id, char* name,
                       int32_t* length) {
  ErrCode e = ReadNameArg(ctx, depth, name, length);
  if (e == kErrWrongTypeOverload) return e;
  *id = e ? 0 : FindName(ctx, name, *length);
  return kOk;
}

// True when the function-table entry is a visible method of the class: its
// qualifier or the library holding its source bears the class's name.
bool IsMethodOf(EngineContext* ctx, const FunctionTableEntry& entry, int32_t classId) {
  if (!IsFunctionEntry(entry)) return false;
  if ((entry.info & kEntryPrivate) && !ctx->showPrivate) return false;
  if (entry.libraryId == classId) return true;
  const FunctionTableEntry* library =
      GetLibraryEntry(ctx, static_cast<int32_t>(entry.info & kEntrySourceMask));
  return library && static_cast<int32_t>(library->info) == classId;
}

}  // namespace

ErrCode GetClassName(EngineContext* ctx, const char** name, int32_t* length) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  *length = -1;
  *name = kNoClassName;
  if (IsPlain(*d)) {
    *name = "double";
  } else if (IsStructured(*d)) {
    if (IsObjectKind(d->word)) {
      *name = NameText(ctx, ObjectClassId(d->word), length);
      if (!*name) {
        *name = kNoClassName;
        *length = -1;
      }
    } else if (d->word <= kKindStructArray) {
      *name = kStructuredKindNames[d->word];
    } else {
      return kErrWrongType;  // a comma list
    }
  } else if (!IsTyped(*d) || (d->flags & (kFlagReference | kFlagMarker | kFlagNoValue)) ||
             d->word <= 0) {
    return kErrWrongType;
  } else if (d->word >= kKindLibrary) {
    *name = kLibraryValueName;
  } else if (d->word == kKindArray) {
    const char* known = ClassNameOfCode(HeaderCode(DataAt(ctx, 0)));
    if (known) *name = known;
  } else {
    *name = kTypedKindNames[d->word];
  }
  return kOk;
}

// class(x): the class name; class(s, name, parents...): a new object.
ErrCode ClassBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin >= 2) return MakeObject(ctx, nargin);
  const char* name;
  int32_t length;
  if (GetClassName(ctx, &name, &length)) {
    name = kNoClassName;
    length = -1;
  }
  ErrCode e = PushCString(ctx, length, name);
  return e ? e : DropInputsUnderResult(ctx, 1);
}

ErrCode IsobjectBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ReplaceInputsWithLogical(ctx, 1, IsObjectValue(ctx, 0));
}

// isa(x, name): an object of the class or of a class derived from it, or a
// value whose class name is the name.
ErrCode IsaBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  char wanted[kNameBufferSize];
  int32_t wantedLength = 0;
  int32_t id;
  ErrCode e = ClassNameIdArg(ctx, 0, &id, wanted, &wantedLength);
  if (e) return e;
  bool result;
  if (IsObjectValue(ctx, 1)) {
    const ValueDescriptor* d = DescAt(ctx, 1);
    result = id != 0 && ObjectIsA(d->word, DataAt(ctx, 1), 8 * d->size, id, 0);
  } else {
    e = DuplicateStackEntries(ctx, 1, 1);
    if (e) return e;
    const char* name;
    int32_t length;
    result = GetClassName(ctx, &name, &length) == kOk &&
             StringsEqual(name, length, wanted, wantedLength, false) && wantedLength > 0;
    Drop(ctx);
  }
  return ReplaceInputsWithLogical(ctx, 2, result);
}

// methods(name): the names of the class's functions, as a list or printed
// one per line.
ErrCode MethodsBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  char name[kNameBufferSize];
  int32_t length = 0;
  int32_t id;
  ErrCode e = ClassNameIdArg(ctx, 0, &id, name, &length);
  if (e) return e;
  int32_t count = 0;
  for (uint32_t i = 0; id != 0 && i < ctx->funcCount; i++) {
    const FunctionTableEntry entry = FunctionEntries(ctx)[i];
    if (!IsMethodOf(ctx, entry, id)) continue;
    int32_t methodLength;
    const char* method = NameText(ctx, entry.nameId, &methodLength);
    if (!method) continue;
    if (nargout >= 1) {
      e = PushCString(ctx, methodLength, method);
      if (e) {
        Drop(ctx, count);
        return e;
      }
    } else {
      e = WriteToFd(ctx, kFdOut, method, methodLength);
      if (!e) e = WriteNewlineToFd(ctx, kFdOut);
      if (e) return e;
    }
    count++;
  }
  if (nargout >= 1) {
    e = PushListFromEntries(ctx, count, false, nullptr, 0);
    if (e) {
      Drop(ctx, count);
      return e;
    }
    return DropInputsUnderResult(ctx, 1);
  }
  if (count == 0) {
    e = WriteToFd(ctx, kFdOut, "No method for class ", -1);
    if (!e) e = WriteToFd(ctx, kFdOut, name, length);
    if (!e) e = WriteNewlineToFd(ctx, kFdOut);
    if (e) return e;
  }
  return ReplaceInputsWithNothing(ctx, 1, nargout);
}

}  // namespace vke
