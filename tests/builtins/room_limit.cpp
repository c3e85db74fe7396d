// The room-limiting wrapper: the wrapped function and the limit live in one
// state of the test program, as a function pointer carries no state of its own.
#include "tests/builtins/room_limit.hpp"

#include <algorithm>
#include <cstring>

#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"

namespace vke::test {

namespace {

// Records of one name in different libraries (the engine's and "!lapack").
constexpr int32_t kLimitedNatives = 4;

struct LimitState {
  BuiltinFn builtin = nullptr;
  NativeFn natives[kLimitedNatives] = {};
  bool armed = false;
  RoomPart part = RoomPart::kData;
  uint32_t spare = 0;
  int32_t calls = 0;
  bool failed = false;
};
LimitState state;

template <typename Call>
ErrCode Limited(EngineContext* ctx, Call call) {
  state.calls++;
  if (!state.armed) return call();
  const uint32_t dataCap = ctx->dataCap, descCap = ctx->descCap, codeEnd = ctx->codeEnd;
  if (state.part == RoomPart::kData)
    ctx->dataCap =
        static_cast<uint32_t>(std::min<uint64_t>(dataCap, uint64_t{ctx->dataTop} + state.spare));
  else if (state.part == RoomPart::kDescriptors)
    ctx->descCap =
        static_cast<uint32_t>(std::min<uint64_t>(descCap, uint64_t{ctx->descTop} + state.spare));
  else if (FreeCodeBytes(ctx) > state.spare)
    ctx->codeEnd = static_cast<uint32_t>((FreeCodeBytes(ctx) - state.spare) / 2 + codeEnd);
  const ErrCode e = call();
  ctx->dataCap = dataCap;
  ctx->descCap = descCap;
  ctx->codeEnd = codeEnd;
  if (IsEngineMemoryCode(e)) {
    state.armed = false;
    state.failed = true;
  }
  return e;
}

ErrCode LimitedBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option) {
  return Limited(ctx, [&] { return state.builtin(ctx, nargin, nargout, option); });
}

template <int32_t k>
ErrCode LimitedNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return Limited(ctx, [&] { return state.natives[k](ctx, nargin, nargout, option); });
}
constexpr NativeFn kLimitedNativeFns[kLimitedNatives] = {&LimitedNative<0>, &LimitedNative<1>,
                                                         &LimitedNative<2>, &LimitedNative<3>};

}  // namespace

RoomLimit::RoomLimit(EngineContext* ctx, const std::string& name) : ctx_(ctx) {
  state = {};
  hooks_ = ctx->builtinHooks;
  if (hooks_) {
    rows_.assign(hooks_->rows, hooks_->rows + kOpcodeCount);
    for (BuiltinDispatch& row : rows_) {
      if (!row.fn || !row.name || name != row.name) continue;
      state.builtin = row.fn;
      row.fn = &LimitedBuiltin;
      wrappedHooks_ = *hooks_;
      wrappedHooks_.rows = rows_.data();
      SetBuiltinHooks(ctx, &wrappedHooks_);
      found_ = true;
      break;
    }
  }
  // Every plain record of the name: a library of its own may take the call
  // before the engine's builtin or native.
  LibraryRegistryEntry* registry = ctx->Registry();
  int32_t wrapped = 0;
  for (uint32_t i = 0; registry && i < ctx->registryCount; i++) {
    const NativeFunctionRecord* table = registry[i].table;
    std::vector<NativeFunctionRecord> copy;
    for (uint32_t k = 0; k < registry[i].count && !table[k].IsEnd(); k++) {
      const NativeFunctionRecord& r = table[k];
      if (r.IsHeader() || r.IsHook() || r.kind != 0 || !r.function || name != r.name) continue;
      if (wrapped == kLimitedNatives) break;
      if (copy.empty()) {
        copy.assign(table, table + registry[i].count);
        copy.push_back(NativeFunctionRecord{});  // the end
      }
      state.natives[wrapped] = reinterpret_cast<NativeFn>(r.function);
      copy[k].function = reinterpret_cast<void*>(kLimitedNativeFns[wrapped++]);
    }
    if (copy.empty()) continue;
    tables_.push_back({i, table, std::move(copy)});
    registry[i].table = tables_.back().records.data();
    found_ = true;
  }
}

RoomLimit::~RoomLimit() {
  for (const WrappedTable& t : tables_) ctx_->Registry()[t.entry].table = t.table;
  if (state.builtin) SetBuiltinHooks(ctx_, hooks_);
  state = {};
}

void RoomLimit::Arm(RoomPart part, uint32_t spare) {
  state.armed = true;
  state.part = part;
  state.spare = spare;
  state.calls = 0;
  state.failed = false;
}

void RoomLimit::Disarm() {
  state.armed = false;
  state.calls = 0;
  state.failed = false;
}

int32_t RoomLimit::calls() const {
  return state.calls;
}

bool RoomLimit::failed() const {
  return state.failed;
}

}  // namespace vke::test
