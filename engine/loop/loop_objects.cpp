// The object path: an instruction that failed with a type error on an
// object calls the method of the object's class instead (operators, display,
// subsref and subsasgn for indexing, beginning/end/matrixrow/matrixcol), a
// typed value of a native library calls that library's native of the same
// name, and integer, char and logical operands are retried as doubles.
#include "engine/builtin_hooks.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/entry_copies.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/loop/loop.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

enum class Form : uint8_t {
  kOperands,  // a builtin's or native's operands on top
  kDisplay,   // the value shown, on top
  kField,     // x.name (by id) or x.(text) with the text on top
  kIndex,     // an index group above the indexed value
  kEnd,       // beginning, end, matrixrow, matrixcol of the value at a depth
};

struct ObjectCall {
  Form form = Form::kOperands;
  char method[33] = {};
  int32_t inputs = 0;
  int32_t outputs = 1;
  int32_t base = 0;       // depth of the indexed or shown value
  int32_t count = 0;      // subscripts of an index group
  uint32_t mask = 0;      // their colons
  int32_t nameId = 0;     // the field (0: its name is the text on top)
  int32_t thenField = 0;  // x(...).name: the field read from the selection
  bool brace = false;     // the index group is x{...}
  bool assign = false;    // subsasgn: the right-hand side lies under the reference
  const int16_t* after = nullptr;
};

// subsasgn(object, s, rhs) through the reference under them, stored back.
constexpr int16_t kAssignByMethod[] = {kOpPushStr, 8,       's', 'u', 'b',          's',
                                       'a',        's',     'g', 'n', kOpCallValue, 4,
                                       1,          kOpRoll, 2,   1,   kOpApplyBrace};

int32_t SubscriptEntries(int32_t count, uint32_t mask) {
  const uint32_t low = count >= 32 ? ~0u : (1u << count) - 1;
  return count - __builtin_popcount(mask & low);
}

void SetMethod(ObjectCall* c, const char* name) {
  CopyCStringBounded(c->method, sizeof c->method, name, -1);
}

ValueDescriptor OperandDescriptor(EngineContext* ctx, int32_t depth) {
  if (3u * uint32_t(depth + 1) > ctx->descTop) return ValueDescriptor{};
  const ValueDescriptor d = *DescAt(ctx, depth);
  if (!(d.flags & kFlagReference)) return d;
  Designated t;
  return ReadReference(ctx, depth, &t) ? ValueDescriptor{} : t.desc;
}

bool Describe(EngineContext* ctx, const int16_t* at, ObjectCall* c) {
  const int32_t op = at[0];
  c->after = at + GetInstructionLength(at);
  switch (op) {
    case kOpShowVar:
    case kOpStoreAnsShow:
    case kOpDisplayVar:
      c->form = Form::kDisplay;
      c->inputs = 1;
      c->outputs = 0;
      SetMethod(c, "disp");
      return true;
    case kOpBeginningValue:
    case kOpEndValue:
    case kOpMatrixRowValue:
    case kOpMatrixColValue: {
      static const char* const kNames[] = {"beginning", "end", "matrixrow", "matrixcol"};
      c->form = Form::kEnd;
      c->base = at[1];
      c->inputs = 3;
      SetMethod(c, kNames[op - kOpBeginningValue]);
      return true;
    }
    case kOpLoadField:
    case kOpLoadFieldByName:
      c->form = Form::kField;
      c->nameId = op == kOpLoadField ? at[1] : 0;
      c->base = op == kOpLoadField ? 0 : 1;
      break;
    case kOpIndexField:
      // x(...).name read from a library's value: its subsref selects, then
      // reads the field of the selection. Assignments keep their error.
      if (*c->after == kOpApplyBrace) return false;
      c->form = Form::kIndex;
      c->count = at[1];
      c->mask = static_cast<uint16_t>(at[2]);
      c->thenField = at[3];
      c->base = SubscriptEntries(c->count, c->mask);
      c->inputs = 2;
      SetMethod(c, "subsref");
      return true;
    case kOpBraceIndexValue:
    case kOpIndexValue:
    case kOpParenAfterIndex:
    case kOpParenAfterBrace:
      c->form = Form::kIndex;
      c->count = at[1];
      c->mask = static_cast<uint16_t>(at[2]);
      c->brace = op == kOpBraceIndexValue;
      c->base = SubscriptEntries(c->count, c->mask);
      if (op == kOpIndexValue || op == kOpParenAfterIndex) c->outputs = at[3];
      c->assign = op == kOpParenAfterBrace;
      break;
    default: {
      int32_t inputs, outputs;
      if (GetOpcodeInfo(at, &inputs, &outputs) || inputs < 0 || inputs > GetFrameEntryCount(ctx))
        return false;
      if (GetOpcodeName(ctx, op, false, c->method) || !c->method[0]) return false;
      c->inputs = inputs;
      c->outputs = outputs;
      return true;
    }
  }
  // Field and brace steps followed by the store through the reference are
  // assignments of a field or element of the object.
  const bool step = op == kOpLoadField || op == kOpLoadFieldByName || op == kOpBraceIndexValue;
  if (step && *c->after == kOpApplyBrace && (DescAt(ctx, c->base)->flags & kFlagReference)) {
    c->assign = true;
    c->after++;
  }
  c->inputs = c->assign ? 3 : 2;
  c->outputs = c->assign ? 1 : c->outputs;
  SetMethod(c, c->assign ? "subsasgn" : "subsref");
  return true;
}

// The entries whose classes decide: the operands, or the indexed value.
void OperandRange(const ObjectCall& c, int32_t* deepest, int32_t* top) {
  if (c.form == Form::kOperands) {
    *deepest = c.inputs - 1;
    *top = 0;
  } else {
    *deepest = *top = c.base;
  }
}

// The subscript structure of a field access or index group, pushed above
// the name or the subscripts it is made of, which stay where they are.
ErrCode PushSubsStruct(EngineContext* ctx, const ObjectCall& c) {
  ErrCode e = kOk;
  if (c.form == Form::kField && c.nameId) {
    int32_t length = 0;
    const char* name = NameText(ctx, c.nameId, &length);
    e = name ? PushCString(ctx, length, name) : kErrIllegal;
  } else if (c.form == Form::kField) {
    e = DuplicateStackEntries(ctx, 0, 1);  // the name's text
  } else if (c.form == Form::kIndex) {
    SubscriptList subs;
    subs.n = c.count;
    subs.colonMask = c.mask;
    for (int32_t k = 0; k < c.count && !e; k++)
      e = subs.IsColon(k) ? PushCString(ctx, 1, ":")
                          : DuplicateStackEntries(ctx, subs.DepthOf(k) + k, 1);
    if (!e) e = PushListFromEntries(ctx, c.count, false, nullptr, 0);
  }
  const char* type = c.form == Form::kField ? "." : c.brace ? "{}" : "()";
  if (!e) e = PushCString(ctx, -1, type);
  if (!e) e = PushListFromEntries(ctx, 1, false, "type", 4);
  if (!e) e = RollStackEntries(ctx, 2, 1);
  if (!e) e = PushListFromEntries(ctx, 1, true, "subs", 4);
  return e;
}

// value.name for the value on top, by the subsref native of its library's
// type; 44 for a value of another kind.
ErrCode ReadFieldByNative(EngineContext* ctx, int32_t nameId) {
  const ValueDescriptor v = *DescAt(ctx, 0);
  const NativeFunctionRecord* native = IsTyped(v) && !IsStructured(v) && v.word >= kKindLibrary
                                           ? FindTypeNative(ctx, v.word, "subsref", 2, 1)
                                           : nullptr;
  if (!native) return kErrWrongType;
  ObjectCall field;
  field.form = Form::kField;
  field.nameId = nameId;
  ErrCode e = PushSubsStruct(ctx, field);
  return e ? e : CallNativeRecord(ctx, native, 2, 1);
}

// Pushes a copy of the value at the depth, through a reference.
ErrCode PushOperandValue(EngineContext* ctx, int32_t depth) {
  if (!(DescAt(ctx, depth)->flags & kFlagReference)) return DuplicateStackEntries(ctx, depth, 1);
  Designated t;
  ErrCode e = ReadReference(ctx, depth, &t);
  return e ? e : PushDesignated(ctx, t);
}

// Lays the method's inputs on top: an assignment leaves the reference, the
// object, s and the right-hand side for the generated sequence. What needs
// room is pushed above the instruction's operands, which are rearranged only
// once it all stands: without room they are left as they were.
ErrCode ArrangeInputs(EngineContext* ctx, const ObjectCall& c, const int16_t* at) {
  if (c.form == Form::kOperands || c.form == Form::kDisplay) return kOk;
  const uint32_t level = ctx->descTop;
  ErrCode e = kOk;
  if (c.form == Form::kEnd) {
    e = PushOperandValue(ctx, c.base);
    if (!e) e = PushRealScalar(ctx, at[2]);
    if (!e) e = PushRealScalar(ctx, at[3]);
  } else {
    // value or reference, subscripts, s, and the object read through the
    // reference
    e = PushSubsStruct(ctx, c);
    const bool read = !e && (c.assign || (DescAt(ctx, c.base + 1)->flags & kFlagReference));
    if (read) e = PushOperandValue(ctx, c.base + 1);
    if (!e && c.assign) {
      // rhs, ref, subscripts, s, object -> ref, object, s, rhs
      e = RollStackEntries(ctx, 2, 1);
      if (!e) e = DropStackEntries(ctx, 2, c.base);
      if (!e) e = RollStackEntries(ctx, 4, 1);
    } else if (!e) {
      if (read) e = ReplaceEntryWithTop(ctx, c.base + 1);
      if (!e) e = DropStackEntries(ctx, 1, c.base);
    }
  }
  if (e && ctx->descTop > level) DropStackEntries(ctx, 0, int32_t(ctx->descTop - level) / 3);
  return e;
}

// The operands an index or field form takes into its method's inputs,
// copied aside while the method is called: a method without room that has
// left its inputs as they were (or, for x(...).name, the field read from a
// selection) gives them back as the instruction found them, for it to run
// again once the area has grown. The value indexed is copied only where
// it does not stay under the inputs: read through a reference, or given
// to the selection whose field is read.
class KeptOperands {
 public:
  explicit KeptOperands(EngineContext* ctx) : ctx_(ctx), copies_(ctx) {}

  ErrCode Take(const ObjectCall& c) {
    if (c.form != Form::kField && c.form != Form::kIndex) return kOk;
    whole_ = !c.assign && (c.thenField || (DescAt(ctx_, c.base)->flags & kFlagReference));
    count_ = c.base + (whole_ ? 1 : 0);
    start_ = ctx_->descTop - 3 * static_cast<uint32_t>(count_);
    taken_ = true;
    return count_ > 0 ? copies_.Take(0, count_) : kOk;
  }

  // Puts the operands back, the inputs laid out at the level `arranged`;
  // false when they cannot be.
  bool Restore(const ObjectCall& c, uint32_t arranged) {
    if (!taken_) return false;
    if (c.assign) {
      // ref, object, s, rhs -> rhs, ref, and the subscripts again
      if (ctx_->descTop != arranged || RollStackEntries(ctx_, 4, 3) || Drop(ctx_, 2)) return false;
    } else if (whole_) {
      if (ctx_->descTop < start_ || (!c.thenField && ctx_->descTop != arranged)) return false;
      DropAboveLevel(ctx_, start_);
    } else if (ctx_->descTop != arranged || Drop(ctx_)) {
      return false;  // s goes; the value stays under it
    }
    return count_ == 0 || copies_.PushBack();
  }

 private:
  EngineContext* ctx_;
  EntryCopies copies_;
  bool taken_ = false;
  bool whole_ = false;  // the value is among the copies
  int32_t count_ = 0;
  uint32_t start_ = 0;  // the level under the copied operands
};

}  // namespace

bool TryObjectPath(LoopRun& run, const int16_t* at, ErrCode* code) {
  EngineContext* ctx = run.ctx;
  ObjectCall c;
  if (!Describe(ctx, at, &c)) return false;
  int32_t deepest, top;
  OperandRange(c, &deepest, &top);
  int32_t objectKind = 0, typedKind = 0, libraryKind = 0;
  for (int32_t d = deepest; d >= top && !objectKind; d--) {
    const ValueDescriptor v = OperandDescriptor(ctx, d);
    if (IsStructured(v) && IsObjectKind(v.word)) objectKind = v.word;
    if (IsTyped(v) && !typedKind) typedKind = v.word;
    if (IsTyped(v) && !IsStructured(v) && v.word >= kKindLibrary && !libraryKind)
      libraryKind = v.word;
  }
  const NativeFunctionRecord* native = nullptr;
  int32_t library = -1;
  const auto length = CStringLength(c.method);
  if (!objectKind) {
    const bool plain = typedKind >= kKindArray && typedKind <= kKindLogical;
    if ((plain || libraryKind) && c.form == Form::kOperands) {
      bool converted;
      if (ErrCode e = ConvertPlainOperandsToDouble(ctx, c.inputs, &converted)) {
        *code = e;  // without room: the shortage, not the instruction's error
        return false;
      }
      if (converted) {
        run.ip = at;  // the instruction again, with doubles
        return true;
      }
      if (!libraryKind) return false;
    }
    if (libraryKind) native = FindTypeNative(ctx, libraryKind, c.method, c.inputs, c.outputs);
    if (!native) {
      // A value type's own function reached without a value of its type:
      // no function of that name takes the call.
      const NativeFunctionRecord* r = at[0] >= kFirstNativeOpcode
                                          ? GetNativeRecordByIndex(ctx, at[0] - kFirstNativeOpcode)
                                          : nullptr;
      if (r && r->kind > 0) *code = kErrUndefFun;
      return false;
    }
  } else if (c.thenField) {
    return false;  // a class's subsref takes one step at a time
  } else {
    library = FindLibraryEntryById(ctx, ObjectClassId(objectKind));
    if (library < 0 ||
        FindFunction(ctx, c.method, length, nullptr, 0, library, false, nullptr) < 0) {
      // Without the method, indexing keeps its own error; display shows the
      // fields; an operator names the method it lacks.
      if (c.form == Form::kField || c.form == Form::kIndex || c.form == Form::kEnd) return false;
      if (c.form == Form::kDisplay || std::strcmp(c.method, "disp") == 0) {
        // No display method: the object shows as the structure it is.
        DescAt(ctx, 0)->word = kKindStruct;
        ErrCode e = CallBuiltinOf(ctx, kOpDisp, 1, 0);
        if (e) {
          // The object shown again once the area has grown is the object.
          if (ctx->descTop == ctx->instructionLevel) DescAt(ctx, 0)->word = objectKind;
          *code = e;
          return false;
        }
        run.ip = c.after;
        return true;
      }
      int32_t classLength = 0;
      const char* className = NameText(ctx, ObjectClassId(objectKind), &classLength);
      char name[33];
      int32_t position = 0;
      AppendBytes(name, &position, className ? className : "", classLength < 28 ? classLength : 28,
                  sizeof name);
      AppendBytes(name, &position, "::", 2, sizeof name);
      AppendCString(name, &position, c.method, sizeof name);
      name[position] = 0;
      std::memcpy(ctx->errLocName, name, position + 1);
      *code = kErrUndefFun;
      return false;
    }
  }
  // The instruction's own error is no longer the one to report.
  if (ctx->pendingError != -1) ClearPendingError(ctx);
  KeptOperands kept(ctx);
  ErrCode e = kept.Take(c);
  if (!e) e = ArrangeInputs(ctx, c, at);
  SetCodePointer(ctx, c.after);
  if (e) {
    *code = e;  // the operands as they were: without room, run again
    return false;
  }
  const uint32_t arranged = ctx->descTop;
  if (c.assign)
    e = RunFunctionCode(ctx, kAssignByMethod, sizeof kAssignByMethod / 2, 4, 0, 0);
  else if (native)
    e = CallNativeRecord(ctx, native, c.inputs, c.outputs);
  else
    e = CallFunctionByName(ctx, c.method, length, library, c.inputs, c.outputs);
  // A display method without room for its call, its object left on top as
  // its input: the statement's display runs again once the area has grown,
  // its name shown already. showvar and displayvar loaded the object, which
  // goes; storeansshow has it as its operand.
  if (IsEngineMemoryCode(e) && c.form == Form::kDisplay && ctx->descTop == arranged) {
    if (ctx->descTop == ctx->instructionLevel + 3) Drop(ctx);
    if (ctx->descTop == ctx->instructionLevel) KeepRerunProgress(ctx, kNameShown);
  }
  // The selection, given at once, has its field read.
  if (!e && c.thenField && GetCodePointer(ctx) == c.after) e = ReadFieldByNative(ctx, c.thenField);
  if (IsEngineMemoryCode(e) && c.form != Form::kOperands && c.form != Form::kDisplay) {
    // The bounds pushed above the value go, and the operands taken into
    // the method's inputs come back, which leaves them as they were.
    if (c.form == Form::kEnd && ctx->descTop == arranged)
      DropStackEntries(ctx, 0, c.inputs);
    else if (c.form == Form::kEnd || !kept.Restore(c, arranged))
      MarkOperandsChanged(ctx);
  }
  // A call that started code, or suspended, goes on from the code pointer.
  if (GoesOnFromCodePointer(e)) run.ip = GetCodePointer(ctx);
  *code = e ? e : *code;
  return !e;
}

}  // namespace vke
