// The make pass before a handler and the invalidation after one.
#include "app/make_elements.hpp"

#include "app/element_list.hpp"
#include "app/handler_runner.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"

namespace vke {

namespace {

// The codes below this are standard variables, never dependencies.
constexpr int32_t kFirstDependencyCode = 43;

// One version of an instance's undo set as the make operations see it.
class MakeVersion {
 public:
  MakeVersion(KVContextBlock* block, int32_t id, int32_t back)
      : buffer_(block->UndoArea()), id_(id), back_(back) {}

  // A variable of the set: no constant, no standard variable.
  bool IsVariable(int32_t code) const {
    if (IsConstantCode(code) || (code >= 1 && code < kFirstDependencyCode)) return false;
    uint32_t units;
    void* data;
    return GetUndoValue(buffer_, id_, back_, code, &units, &data) == kOk;
  }
  bool HasValue(int32_t code) const { return HasUndoValue(buffer_, id_, back_, code); }
  bool IsStale(int32_t code) const { return IsUndoValueStale(buffer_, id_, back_, code); }

  // Marks a variable stale unless it is already; true when it did. With
  // onlyMissing, a variable that has a value is left alone.
  bool MarkStale(int32_t code, bool onlyMissing) const {
    if (!IsVariable(code) || IsStale(code) || (onlyMissing && HasValue(code))) return false;
    ClearUndoValue(buffer_, id_, back_, code, true);
    return true;
  }
  void ClearStale() const { ClearStaleUndoValues(buffer_, id_, back_); }

 private:
  void* buffer_;
  int32_t id_;
  int32_t back_;
};

// Calls f(codes, descriptor offset) for the make elements of the instance in
// element order until f answers false.
template <typename F>
void ForEachMakeElement(KVContextBlock* block, int32_t id, uint32_t start, F f) {
  int32_t pos = -1;
  while (FindElement(block, id, &pos, kElemMake) == kOk) {
    const int32_t offset = pos + 2 - static_cast<int32_t>(start);
    DescriptorCodes codes;
    if (codes.Read(block, start, offset) && !f(codes, offset)) return;
  }
}

template <typename P>
bool AnyInput(const DescriptorCodes& codes, P p) {
  for (uint32_t i = 0; i < codes.Inputs(); i++)
    if (p(codes.Input(i))) return true;
  return false;
}

template <typename P>
bool AnyOutput(const DescriptorCodes& codes, P p) {
  for (uint32_t i = 0; i < codes.Outputs(); i++)
    if (p(codes.Output(i))) return true;
  return false;
}

// The first make element with a stale output whose variable inputs all have
// values, -1 none.
int32_t FindRunnableMakeElement(KVContextBlock* block, int32_t id, uint32_t start,
                                const MakeVersion& v) {
  int32_t found = -1;
  ForEachMakeElement(block, id, start, [&](const DescriptorCodes& codes, int32_t offset) {
    const bool runnable =
        AnyOutput(codes, [&](int32_t c) { return v.IsStale(c); }) &&
        !AnyInput(codes, [&](int32_t c) { return v.IsVariable(c) && !v.HasValue(c); });
    if (runnable) found = offset;
    return !runnable;
  });
  return found;
}

}  // namespace

bool PrepareMakePass(KVContextBlock* block, int32_t id, int32_t descriptor, bool previous) {
  uint32_t start;
  if (FindInstanceStart(block, id, &start)) return false;
  const MakeVersion v(block, id, previous ? 1 : 0);
  v.ClearStale();
  bool any = false;
  if (descriptor == -1) {
    int32_t variable;
    for (int32_t n = 0; GetUndoSetVariableId(block->UndoArea(), id, n, false, &variable) == kOk;
         n++)
      any |= v.MarkStale(variable, true);
  } else {
    DescriptorCodes codes;
    if (!codes.Read(block, start, descriptor)) return false;
    for (uint32_t i = 0; i < codes.Inputs(); i++) any |= v.MarkStale(codes.Input(i), true);
  }
  if (!any) return false;
  // What a stale output needs is needed too, until nothing more is.
  for (bool more = true; more;) {
    more = false;
    ForEachMakeElement(block, id, start, [&](const DescriptorCodes& codes, int32_t) {
      if (AnyOutput(codes, [&](int32_t c) { return v.IsStale(c); }))
        for (uint32_t i = 0; i < codes.Inputs(); i++) more |= v.MarkStale(codes.Input(i), true);
      return true;
    });
  }
  return true;
}

ErrCode RunPendingMakeHandlers(KVContextBlock** slot, int32_t id, int32_t descriptor, bool previous,
                               bool allowGrowth) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(*slot, id, &start)) return e;
  while (PrepareMakePass(*slot, id, descriptor, previous)) {
    const MakeVersion v(*slot, id, previous ? 1 : 0);
    const int32_t runnable = FindRunnableMakeElement(*slot, id, start, v);
    v.ClearStale();
    // Nothing can run: what is left has inputs that never get values.
    if (runnable < 0) return kOk;
    HandlerRequest r;
    r.instance = id;
    r.descriptor = runnable;
    r.previous = previous;
    r.allowGrowth = allowGrowth;
    r.nested = true;
    r.kind = kElemMake;
    r.fdValue = -1;
    if (ErrCode e = RunHandler(slot, r)) return e;
  }
  return kOk;
}

ErrCode InvalidateMakeOutputs(KVContextBlock* block, int32_t id, int32_t descriptorOrVariable,
                              bool single) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  DescriptorCodes by;
  if (!single && (!by.Read(block, start, descriptorOrVariable) || by.Outputs() == 0)) return kOk;
  auto changed = [&](int32_t c) { return single ? c == descriptorOrVariable : by.HasOutput(c); };
  const MakeVersion v(block, id, 0);
  // Every output reached from a changed variable through make elements loses
  // its value; the changed variables keep their new ones.
  for (bool more = true; more;) {
    more = false;
    ForEachMakeElement(block, id, start, [&](const DescriptorCodes& codes, int32_t) {
      if (!AnyInput(codes, [&](int32_t c) { return changed(c) || v.IsStale(c); })) return true;
      for (uint32_t i = 0; i < codes.Outputs(); i++)
        if (!changed(codes.Output(i))) more |= v.MarkStale(codes.Output(i), false);
      return true;
    });
  }
  v.ClearStale();
  return kOk;
}

}  // namespace vke
