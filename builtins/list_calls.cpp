// Natives that call a function for the items of lists and cell arrays:
// apply (once, with the items as arguments, gathering its outputs into a
// list), map (once per item, gathering each output into a list) and cellfun
// (once per cell, gathering scalar results into an array).
//
// They hand each call to the execution loop (CallFunctionValue) and return;
// the loop calls them again with nargin = -(k + 1) once the function has
// returned its k results, which lie on top of the function value pushed for
// the call. Between calls map and cellfun keep, above their inputs, a list
// of all results so far and a state row [i, n, m, q, o1..om]: the calls
// made, the calls to make, the inputs after the function, the outputs per
// call and, for each input, the byte offset of its next item from the
// input's data (-1 - offset for an input of one item, used by every call),
// so that no call walks the items before its own.
#include <algorithm>
#include <vector>

#include "builtins/array_support.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/structured.hpp"
#include "engine/entry_copies.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/natives_decl.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxApplyOutputs = 256;
constexpr int32_t kMaxApplyArgument = 65536;

// A name (char row), an inline function or a function reference.
bool IsFunctionValue(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsStructured(*d) || !IsTyped(*d)) return false;
  if (d->word == kKindInline || d->word == kKindFuncRef) return true;
  NumericView v = ViewNumeric(ctx, depth);
  return v.cls == ValueClass::kChar && v.shape.ndims == 2 && v.shape.dims[0] <= 1;
}

// The state row of map and cellfun.
struct MapState {
  int32_t done, calls, inputs, outputs;
  std::vector<int64_t> next;  // per input, where item done + 1 lies (see above)
};

uint32_t ItemOffset(int64_t next) {
  return static_cast<uint32_t>(next < 0 ? -1 - next : next);
}

constexpr int32_t kStateCounts = 4;

ErrCode PushState(EngineContext* ctx, const MapState& s) {
  double* row;
  ErrCode e = PushNewMatrix(ctx, 1, kStateCounts + s.inputs, &row, nullptr);
  if (e) return e;
  row[0] = s.done;
  row[1] = s.calls;
  row[2] = s.inputs;
  row[3] = s.outputs;
  for (int32_t j = 0; j < s.inputs; j++) row[kStateCounts + j] = static_cast<double>(s.next[j]);
  return kOk;
}

MapState ReadState(EngineContext* ctx, int32_t depth) {
  const uint8_t* row = DataAt(ctx, depth);
  auto at = [&](int i) { return Load<double>(row + 8 * i); };
  MapState s{static_cast<int32_t>(at(0)),
             static_cast<int32_t>(at(1)),
             static_cast<int32_t>(at(2)),
             static_cast<int32_t>(at(3)),
             {}};
  for (int32_t j = 0; j < s.inputs; j++)
    s.next.push_back(static_cast<int64_t>(at(kStateCounts + j)));
  return s;
}

// With [f, c1..cm, results, state] on the stack: pushes f and the arguments
// of call i and hands the call to the loop.
ErrCode StartCall(EngineContext* ctx, const MapState& s) {
  const int32_t m = s.inputs;
  ErrCode e = DuplicateStackEntries(ctx, m + 2, 1);
  if (e) return e;
  for (int32_t j = 0; j < m; j++) {
    // Input j + 1 lies at depth m + 2 whatever has been pushed for the call.
    e = PushItemValue(ctx, DataAt(ctx, m + 2) + ItemOffset(s.next[j]));
    if (e) {
      Drop(ctx, j + 1);
      return e;
    }
  }
  e = CallFunctionValue(ctx, m, m, s.outputs, 1);
  if (e) Drop(ctx, m + 1);
  return e;
}

// Moves each input's offset past the item of the call just made; the inputs
// lie from depth m (the first) to depth 1, under the results.
void AdvanceItems(EngineContext* ctx, MapState* s) {
  for (int32_t j = 0; j < s->inputs; j++)
    if (s->next[j] >= 0) s->next[j] += ItemBytes(DataAt(ctx, s->inputs - j) + s->next[j]);
}

// cellfun's result: the array of the first result's class, with the
// dimensions of the first input that has one cell per call.
ErrCode GatherArray(EngineContext* ctx, const MapState& s, uint32_t table) {
  uint8_t* first = AtOffset(ctx, TableAt(ctx, table, 0));
  const NumericView model = ViewNumericData(Load<ValueDescriptor>(first), first + 16);
  const ArrayClass cls = ClassOfView(model);
  Shape shape;
  for (int32_t d = s.inputs; d >= 1; d--) {  // the first input lies deepest
    StructuredParts parts;
    GetStructuredValueOfKind(ctx, d, 'c', &parts);
    if (parts.elements == s.calls) {
      shape = parts.shape;
      break;
    }
  }
  uint32_t reAt;
  ErrCode e = PushArrayWithShape(ctx, cls, model.complex, shape, &reAt);
  if (e) return e;
  const int es = ElementBytesOfCode(cls.code);
  const uint32_t imAt = model.complex ? reAt + es * s.calls : 0;
  for (int32_t i = 0; i < s.calls; i++) {
    const uint8_t* item = AtOffset(ctx, TableAt(ctx, table, i));
    const ValueDescriptor d = Load<ValueDescriptor>(item);
    uint8_t* data;
    e = PushEntry(ctx, d.flags, d.size, d.word, false, &data);
    if (e) {
      Drop(ctx);
      return e;
    }
    std::memcpy(data, AtOffset(ctx, TableAt(ctx, table, i)) + 16, 8ull * d.size);
    e = ConvertToClass(ctx, 0, cls);
    if (!e && ViewNumeric(ctx, 0).complex != model.complex) {
      void* imaginary;
      e = model.complex ? MakeTopComplex(ctx, &imaginary) : MakeTopReal(ctx);
    }
    if (e) {
      Drop(ctx, 2);
      return e;
    }
    NumericView v = ViewNumeric(ctx, 0);
    std::memcpy(AtOffset(ctx, reAt) + int64_t{es} * i, v.elements, es);
    if (imAt) std::memcpy(AtOffset(ctx, imAt) + int64_t{es} * i, v.elements + es, es);
    Drop(ctx);
  }
  return kOk;
}

// map's results: output j of every call, in call order, in list j; the
// first list ends on top.
ErrCode GatherLists(EngineContext* ctx, const MapState& s, uint32_t table) {
  const int32_t q = s.outputs;
  for (int32_t j = q; j >= 1; j--) {
    uint64_t bytes = 0;
    for (int32_t i = 0; i < s.calls; i++)
      bytes += ItemBytes(AtOffset(ctx, TableAt(ctx, table, int64_t{i} * q + (q - j))));
    uint8_t* out;
    ErrCode e = PushStructuredShell(ctx, kKindList, nullptr, 0, bytes, &out);
    if (e) {
      Drop(ctx, q - j);
      return e;
    }
    for (int32_t i = 0; i < s.calls; i++)
      out += CopyItem(out, AtOffset(ctx, TableAt(ctx, table, int64_t{i} * q + (q - j))), 0);
  }
  return kOk;
}

// First entry of map and cellfun.
ErrCode StartMap(EngineContext* ctx, int32_t nargin, int32_t nargout, bool lists) {
  const int32_t m = nargin - 1;
  if (m < 1 || !IsFunctionValue(ctx, m)) return kErrWrongTypeOverload;
  int32_t n = -1;
  std::vector<int64_t> next(m);
  for (int32_t d = 0; d < m; d++) {
    StructuredParts parts;
    if (GetStructuredValueOfKind(ctx, d, 'c', &parts)) return kErrWrongTypeOverload;
    const int64_t offset = parts.first - DataAt(ctx, d);
    next[m - 1 - d] = parts.elements == 1 ? -1 - offset : offset;
    if (parts.elements == 1) continue;
    if (n >= 0 && parts.elements != n) return kErrIncompSize;
    n = parts.elements;
  }
  if (n < 0) n = 1;
  const int32_t q = lists ? std::max(1, nargout) : 1;
  if (n == 0) {
    for (int32_t j = 0; j < q; j++) {
      ErrCode e = lists ? PushListFromEntries(ctx, 0, false, nullptr, 0) : PushEmptyMatrix(ctx);
      if (e) {
        Drop(ctx, j);
        return e;
      }
    }
    return DropStackEntries(ctx, q, nargin);
  }
  const MapState s{0, n, m, q, next};
  const uint32_t level = ctx->descTop;
  ErrCode e = PushListFromEntries(ctx, 0, false, nullptr, 0);
  if (!e) e = PushState(ctx, s);
  if (!e) e = StartCall(ctx, s);
  if (e && ctx->curFrame < static_cast<int32_t>(level)) DropAboveLevel(ctx, level);
  return e;
}

// Entry after a call: the k results join the list; then the next call, or
// the gathered outputs.
ErrCode ContinueMapEntry(EngineContext* ctx, int32_t k, bool lists) {
  ErrCode e = DropStackEntries(ctx, k, 1);  // the function value under the results
  if (e) return e;
  MapState s = ReadState(ctx, k);
  if (k < s.outputs) return kErrTooFewArgout;
  if (k > s.outputs) DropStackEntries(ctx, s.outputs, k - s.outputs);
  if (!lists) {
    NumericView v = ViewNumeric(ctx, 0);
    if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
    if (v.shape.count != 1) return kErrBadSize;
  }
  e = RollStackEntries(ctx, s.outputs + 1, 1);
  if (!e) e = Drop(ctx);
  if (!e) e = PushListFromEntries(ctx, s.outputs, true, nullptr, 0);
  if (e) return e;
  s.done++;
  if (s.done < s.calls) {
    AdvanceItems(ctx, &s);
    e = PushState(ctx, s);
    return e ? e : StartCall(ctx, s);
  }
  DataScratch scratch(ctx);
  uint32_t table;
  StructuredParts results;
  GetStructuredValueOfKind(ctx, 0, 'c', &results);
  e = TableItems(ctx, &scratch, OffsetOf(ctx, results.first), results.elements, &table);
  if (e) return e;
  e = lists ? GatherLists(ctx, s, table) : GatherArray(ctx, s, table);
  if (e) return e;
  const int32_t outputs = lists ? s.outputs : 1;
  return DropStackEntries(ctx, outputs, s.inputs + 2);
}

// apply's own operands, under the copy of the function value it called at
// the depth: the value and the list of arguments, and the count of outputs
// when one was given (a number, where the list lies otherwise).
int32_t ApplyOperandsUnder(EngineContext* ctx, int32_t depth) {
  return IsStructured(*DescAt(ctx, depth + 1)) ? 2 : 3;
}

// The outputs of apply's call, a list in output order in place of the
// copy of the function value under them and of apply's operands. The list
// is made before anything under it goes: without room for it, the outputs
// are put back in their order and the entry is made again after growth.
ErrCode GatherApplyOutputs(EngineContext* ctx, int32_t k, int32_t nargout) {
  const int32_t operands = ApplyOperandsUnder(ctx, k);
  if (nargout == 0) return DropStackEntries(ctx, 0, k + 1 + operands);
  ErrCode e = ReverseStackEntries(ctx, k);  // the first output deepest
  if (e) return e;
  e = PushListFromEntries(ctx, k, false, nullptr, 0);
  if (IsEngineMemoryCode(e) && ReverseStackEntries(ctx, k) == kOk) return ReentryUnchanged(ctx, e);
  return e ? e : DropStackEntries(ctx, 1, 1 + operands);
}

}  // namespace

// apply(f, args [, n]): f called with the items of args, asked for n outputs
// (by default as many as it declares); its outputs come back as one list.
// The call takes copies of f and the items above the operands, which stay
// until its outputs are gathered: a callee that runs at once (a builtin or
// native) and finds no room, or a function without room for its frame,
// leaves them as they came, and apply runs again once the area has grown.
ErrCode ApplyNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 0) return GatherApplyOutputs(ctx, -nargin - 1, nargout);
  int32_t outputs = -1;
  if (nargin == 3) {
    ErrCode e = GetIntegerArg(ctx, 0, &outputs);
    if (e) return AllowOverload(e);
    if (outputs < 0 || outputs > kMaxApplyArgument) return kErrOutOfRangeArg;
  }
  const int32_t argsAt = nargin - 2;
  StructuredParts args;
  if (GetStructuredValueOfKind(ctx, argsAt, 'c', &args) || !IsFunctionValue(ctx, argsAt + 1))
    return kErrWrongTypeOverload;
  if (outputs < 0) {
    int32_t maxIn, maxOut;
    ErrCode e = ResolveFunctionValue(ctx, argsAt + 1, ScopeWord(ctx), &maxIn, &maxOut);
    if (e) return e;
    outputs = std::min(std::max(maxOut, nargout >= 1 ? 1 : 0), kMaxApplyOutputs);
  }
  const uint32_t level = ctx->descTop;
  int32_t items;
  ErrCode e = DuplicateStackEntries(ctx, argsAt + 1, 1);
  if (!e) e = GetStructFields(ctx, &items, argsAt + 1);
  // Asked for fewer outputs while the callee refuses the count: a builtin
  // or native by its counts, a compiled function by its declared outputs.
  for (; !e; outputs--) {
    e = CallFunctionValue(ctx, items, items, outputs, 1);
    if ((e != kErrIncorrectNargin && e != kErrIncorrectNargout && e != kErrTooManyArgout) ||
        outputs == 0)
      break;
    e = kOk;
  }
  if (e) DropAboveLevel(ctx, level);
  return e;
}

// ContinueMapEntry, put back as it found the stacks when it fails for lack
// of room, to be made again once the area has grown: the results, the
// function value and the state as copied before, the list without the
// items it had taken of them.
ErrCode ContinueMap(EngineContext* ctx, int32_t k, bool lists) {
  if (!HostGrowsForRoom(ctx)) return ContinueMapEntry(ctx, k, lists);
  const int32_t frame = ctx->curFrame;
  const uint32_t listTop = ctx->descTop - 3u * static_cast<uint32_t>(k + 2);
  const uint32_t listUnits = DescAt(ctx, k + 2)->size;
  EntryCopies copies(ctx);
  if (ErrCode e = copies.Take(0, k + 2)) return ReentryUnchanged(ctx, e);
  WatchOperandChanges(ctx);
  const ErrCode e = ContinueMapEntry(ctx, k, lists);
  const bool restorable = IsEngineMemoryCode(e) && !OperandsChanged(ctx) &&
                          ctx->curFrame == frame && ctx->descTop >= listTop;
  ctx->instructionLevel = UINT32_MAX;
  if (!restorable) return e;
  DropAboveLevel(ctx, listTop);
  ValueDescriptor* list = DescAt(ctx, 0);
  if (list->size < listUnits) return e;
  ctx->dataTop -= list->size - listUnits;
  list->size = listUnits;
  return copies.PushBack() ? ReentryUnchanged(ctx, e) : e;
}

ErrCode MapNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  const bool lists = option == 'm';
  return nargin < 0 ? ContinueMap(ctx, -nargin - 1, lists) : StartMap(ctx, nargin, nargout, lists);
}

}  // namespace vke
