// Indexing quaternion arrays: subsref and subsasgn with "()" subscripts
// (each component indexed as a double array with the same subscripts) or
// a component name after "." (w, x, y, z, and v for the whole vector part
// when read), and the values of beginning and end inside subscripts.
#include "engine/code/opcodes.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables.hpp"
#include "numerics/quaternion/quaternion_value.hpp"

namespace vke {

namespace {

// Of GetQuaternionEndIndex.
constexpr uintptr_t kBeginning = 'b';
constexpr uintptr_t kEnd = 'e';

// The component names after ".", in component order; "v" (read only) is
// the vector part.
constexpr char kComponentNames[] = "wxyz";
constexpr char kVectorName = 'v';

}  // namespace

// clang-format off
// q(s) = value as a function of nine inputs (s; w, x, y, z of q; w, x, y,
// z of the value) and one output: each component of q assigned with the
// core subsasgn and s, the four joined by the constructor through builtin.
const int16_t kQuaternionAssignCode[kQuaternionAssignWords] = {
    kOpRoll, 8, 1, kOpDup, 9, 1, kOpRoll, 6, 1, kOpSubsasgn,                  // w
    kOpRoll, 8, 7, kOpRoll, 6, 1, kOpDup, 7, 1, kOpRoll, 5, 1, kOpSubsasgn,   // x
    kOpRoll, 6, 5, kOpRoll, 4, 1, kOpDup, 5, 1, kOpRoll, 4, 1, kOpSubsasgn,   // y
    kOpRoll, 4, 3, kOpRoll, 2, 1, kOpRoll, 3, 2, kOpSubsasgn,                 // z
    kOpPushStr, 10, 'q', 'u', 'a', 't', 'e', 'r', 'n', 'i', 'o', 'n',        // the constructor
    kOpRoll, 5, 4, kOpBuiltin, 5, 1};
// clang-format on

namespace {

constexpr int32_t kAssignInputs = 9;

enum class SubsKind { kParen, kField, kOther };

// The type of the subscript structure at the depth, and for "." the name.
ErrCode ReadSubs(EngineContext* ctx, int32_t depth, SubsKind* kind, char* name, int32_t size) {
  char type[4];
  int32_t length;
  ErrCode e = GetStructField(ctx, depth, "type", 4);
  if (e) return e;
  e = PopStringToBuffer(ctx, type, sizeof type, &length);
  if (e) return e;
  *kind = length == 2 && type[0] == '(' && type[1] == ')' ? SubsKind::kParen
          : length == 1 && type[0] == '.'                 ? SubsKind::kField
                                                          : SubsKind::kOther;
  if (*kind != SubsKind::kField) return kOk;
  if ((e = GetStructField(ctx, depth, "subs", 4))) return e;
  e = PopStringToBuffer(ctx, name, size, &length);
  return e == kErrObjTooLarge ? kErrUndefField : e;
}

// The component a one-letter name selects, -1 for none.
int32_t ComponentOfName(const char* name) {
  if (!name[0] || name[1]) return -1;
  for (int32_t k = 0; k < 4; k++)
    if (kComponentNames[k] == name[0]) return k;
  return -1;
}

// q(s): each component indexed, the four joined.
ErrCode IndexComponents(EngineContext* ctx) {
  const uint32_t level = ctx->descTop;
  ErrCode e = kOk;
  for (int32_t k = 0; k < 4 && !e; k++) {
    e = PushComponent(ctx, 1 + k, k);
    if (!e) e = DuplicateStackEntries(ctx, k + 1, 1);
    if (!e) e = ObjectSubsref(ctx);
  }
  if (!e) e = JoinComponentArrays(ctx);
  if (e) return DropAboveLevel(ctx, level, e == kErrWrongTypeOverload ? kErrWrongType : e);
  return DropStackEntries(ctx, 1, 2);
}

// q.name = value, in q's own storage.
ErrCode AssignComponent(EngineContext* ctx, int32_t k) {
  QuaternionView q;
  GetQuaternionArg(ctx, 2, &q);
  Shape shape;
  double *re, *im;
  if (GetDoubleArrayArg(ctx, 0, &shape, &re, &im) || im) return kErrWrongType;
  if (shape.count != 1 && !SameDims(shape, q.shape)) return kErrIncompSize;
  for (int32_t i = 0; i < q.Count(); i++) q.c[k][i] = re[shape.count == 1 ? 0 : i];
  return DropStackEntries(ctx, 0, 2);
}

}  // namespace

ErrCode QuaternionSubsref(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 1, &q)) return e;
  SubsKind kind;
  char name[8];
  if (ErrCode e = ReadSubs(ctx, 0, &kind, name, sizeof name)) return e;
  if (kind == SubsKind::kParen) return IndexComponents(ctx);
  if (kind == SubsKind::kOther) return kErrWrongVarType;
  const int32_t k = ComponentOfName(name);
  ErrCode e;
  if (k >= 0)
    e = PushComponent(ctx, 1, k);
  else if (name[0] == kVectorName && !name[1])
    e = PushComponentLayout(ctx, 1, 1);
  else
    return kErrUndefField;
  return e ? e : DropStackEntries(ctx, 1, 2);
}

ErrCode QuaternionSubsasgn(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 2, &q)) return e;
  SubsKind kind;
  char name[8];
  if (ErrCode e = ReadSubs(ctx, 1, &kind, name, sizeof name)) return e;
  if (kind == SubsKind::kOther) return kErrWrongVarType;
  if (kind == SubsKind::kField) {
    const int32_t k = ComponentOfName(name);
    return k < 0 ? kErrUndefField : AssignComponent(ctx, k);
  }
  // s, the components of q and of the value, in place of q, s and the
  // value; the routine's code must fit once they are laid out.
  const uint32_t level = ctx->descTop;
  ErrCode e = DuplicateStackEntries(ctx, 1, 1);
  if (!e) e = PushComponentArrays(ctx, 3);
  if (!e) e = PushComponentArrays(ctx, 5);
  if (!e) e = FunctionCodeRoom(ctx, kQuaternionAssignWords, 0);
  if (e) return DropAboveLevel(ctx, level, e);
  DropStackEntries(ctx, kAssignInputs, 3);
  const RoomRequestsPaused found;
  return RunFunctionCode(ctx, kQuaternionAssignCode, kQuaternionAssignWords, kAssignInputs, 1, 0);
}

ErrCode GetQuaternionEndIndex(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 2, &q)) return e;
  double position, count;
  if (ErrCode e = GetScalarArg(ctx, 1, &position)) return e;
  if (ErrCode e = GetScalarArg(ctx, 0, &count)) return e;
  double value;
  if (option == kBeginning) {
    value = 1;
  } else if (option != kEnd) {
    return kErrIllegal;
  } else if (count == 1) {
    value = q.Count();
  } else if (position < 1) {
    return kErrBadDim;
  } else if (position > q.shape.ndims) {
    value = q.Count() > 0 ? 1 : 0;
  } else {
    value = q.shape.dims[static_cast<int32_t>(position) - 1];
  }
  return PushInPlaceOfTop(ctx, 3, [&] { return PushRealScalar(ctx, value); });
}

}  // namespace vke
