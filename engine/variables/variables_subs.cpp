// The work of the builtins subsref(value, s) and subsasgn(value, s, rhs) for values that
// are not objects: the subscript structure s read into a field name or
// subscript entries, the reference done by the indexing operations, the
// assignment by a short instruction sequence run as a function of its own.
#include <initializer_list>

#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/loop/loop.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

enum class SubsType : uint8_t { kField, kParen, kBrace };

// Values subsref and subsasgn index: arrays, lists, structures and cells.
bool Indexable(const ValueDescriptor& d) {
  if (IsPlain(d)) return true;
  if (d.flags == kFlagTyped) return d.word >= kKindArray && d.word <= kKindLogical;
  return d.flags == kFlagStructured && d.word >= kKindList && d.word <= kKindCell;
}

// Pushes a copy of field `name` of the structure at the depth.
ErrCode PushField(EngineContext* ctx, int32_t depth, const char* name) {
  ErrCode e = GetStructField(ctx, depth, name, -1);
  return e == kErrWrongType ? kErrWrongTypeOverload : e;
}

// Reads the subscript structure at the depth. A field access gives the
// field's name id; an index group pushes its subscripts that are not colons
// (the text ":"), marked in *mask, and gives their number in *count.
ErrCode ReadSubs(EngineContext* ctx, int32_t depth, SubsType* type, int32_t* nameId, int32_t* count,
                 uint32_t* mask) {
  ErrCode e = PushField(ctx, depth, "type");
  if (e) return e;
  char text[4];
  int32_t length = 0;
  e = GetStringArgToBuffer(ctx, 0, text, sizeof text, &length);
  Drop(ctx);
  if (e || length < 1 || length > 2) return kErrUnknownOpt;
  if (length == 1 && text[0] == '.') {
    *type = SubsType::kField;
  } else if (length == 2 && text[0] == '(' && text[1] == ')') {
    *type = SubsType::kParen;
  } else if (length == 2 && text[0] == '{' && text[1] == '}') {
    *type = SubsType::kBrace;
  } else {
    return kErrUnknownOpt;
  }
  e = PushField(ctx, depth, "subs");
  if (e) return e;
  if (*type == SubsType::kField) {
    char name[kMaxIdentifierLength + 1];
    e = GetStringArgToBuffer(ctx, 0, name, sizeof name, &length);
    if (!e) e = InternName(ctx, name, length, kMaxIdentifierLength, nameId);
    Drop(ctx);
    return e == kErrWrongType ? kErrWrongTypeOverload : e;
  }
  StructuredLayout l;
  if (!ReadStructuredLayout(*DescAt(ctx, 0), DataAt(ctx, 0), &l) ||
      (l.kind != kKindList && l.kind != kKindCell)) {
    Drop(ctx);
    return kErrWrongTypeOverload;
  }
  if (l.elements > kMaxSubscripts) {
    Drop(ctx);
    return kErrBadDim;
  }
  *count = l.elements;
  *mask = 0;
  int32_t pushed = 0;
  for (int32_t i = 0; i < l.elements && !e; i++) {
    const uint8_t* item = DataAt(ctx, pushed) + ElementOffset(DataAt(ctx, pushed), l, i);
    e = PushItem(ctx, item);
    if (e) break;
    if (IsCharArray(ctx, 0)) {
      e = GetStringArgToBuffer(ctx, 0, text, sizeof text, &length);
      Drop(ctx);
      if (e || length != 1 || text[0] != ':') e = kErrBadIndexType;
      *mask |= 1u << i;
    } else {
      pushed++;
    }
  }
  if (!e) e = DropStackEntries(ctx, pushed, 1);  // the list of subscripts
  if (e) Drop(ctx, pushed + 1);
  return e;
}

struct SubsRequest {
  SubsType type = SubsType::kField;
  int32_t nameId = 0;
  int32_t count = 0;
  uint32_t mask = 0;
  int32_t entries = 0;  // subscripts pushed: those that are not colons
};

// Checks the value (the deepest of the builtin's inputs) and reads s (the
// next one), pushing its subscripts on top.
ErrCode ReadRequest(EngineContext* ctx, int32_t inputs, SubsRequest* r) {
  if (GetFrameEntryCount(ctx) < inputs) return kErrIllegal;
  if (!Indexable(*DescAt(ctx, inputs - 1))) return kErrWrongTypeOverload;
  ErrCode e = ReadSubs(ctx, inputs - 2, &r->type, &r->nameId, &r->count, &r->mask);
  r->entries = r->count - __builtin_popcount(r->mask);
  return e;
}

}  // namespace

ErrCode ObjectSubsref(EngineContext* ctx) {
  SubsRequest r;
  ErrCode e = ReadRequest(ctx, 2, &r);
  if (!e) e = DropStackEntries(ctx, r.entries, 1);  // s
  if (e) return e;
  switch (r.type) {
    case SubsType::kField:
      return GetField(ctx, r.nameId, 0);
    case SubsType::kParen:
      return IndexOrCallValue(ctx, r.count, r.mask, false, 1);
    default:
      return IndexStructured(ctx, IndexForm::kBrace, r.count, r.mask, 0);
  }
}

ErrCode ObjectSubsasgn(EngineContext* ctx) {
  SubsRequest r;
  ErrCode e = ReadRequest(ctx, 3, &r);
  if (e) return e;
  const SubsType type = r.type;
  const int32_t nameId = r.nameId, count = r.count, n = r.entries;
  const uint32_t mask = r.mask;
  // The assignment a statement would make to a variable holding the value:
  // storevar 0, loadindexedfirst 0, the steps of the type, loadvar 0.
  int16_t code[16] = {kOpStoreVar, 0, kOpLoadIndexedFirst, 0};
  int32_t words = 4;
  auto emit = [&](std::initializer_list<int32_t> ws) {
    for (int32_t x : ws) code[words++] = static_cast<int16_t>(x);
  };
  if (type == SubsType::kField) {
    emit({kOpLoadField, nameId, kOpApplyBrace});
  } else {
    emit({kOpRoll, n + 1, n});
    if (type == SubsType::kParen)
      emit({kOpParenAfterBrace, count, static_cast<int32_t>(mask)});
    else
      emit({kOpBraceIndexValue, count, static_cast<int32_t>(mask), kOpApplyBrace});
  }
  emit({kOpLoadVar, 0});
  // Its room is found before the operands are laid out: without room the
  // subscripts read from s go, the operands stand as they came, and the
  // call runs again after growth.
  if ((e = FunctionCodeRoom(ctx, words, 1))) {
    Drop(ctx, n);
    return e;
  }
  // value, s, rhs, subscripts -> rhs, subscripts, value
  e = DropStackEntries(ctx, n + 1, 1);
  if (!e) e = RollStackEntries(ctx, n + 2, 1);
  if (e) return e;
  const RoomRequestsPaused found;
  return RunFunctionCode(ctx, code, words, type == SubsType::kField ? 2 : n + 2, 1, 1);
}

}  // namespace vke
