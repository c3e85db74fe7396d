// The application's natives that the runner registers: the rows of
// app/natives.def that need no figure, instance or window, and the response
// natives, which compute their outputs without a figure. Without outputs a
// response native would draw: there it answers as the natives that only
// draw, which the runner does not have, as an unknown function. The hook
// rows come in their headless forms (the carried help files). Apart from
// the rest of the table so that the runner links no drawing code.
#include <algorithm>
#include <cstddef>

#include "app/carried_help.hpp"
#include "app/errors.hpp"
#include "app/natives/app_natives.hpp"
#include "app/runtime_tables.hpp"
#include "control/system_natives.hpp"
#include "engine/errors/raise.hpp"
#include "engine/registry/natives_decl.hpp"
#include "graphics/panel_natives.hpp"
#include "graphics/response_natives.hpp"
#include "graphics/response_options.hpp"

namespace vke {

namespace {

using ComputingNative = ErrCode (*)(EngineContext*, int32_t, int32_t, uintptr_t);

// A native's name as a template argument.
template <size_t N>
struct NativeName {
  constexpr NativeName(const char (&name)[N]) { std::copy_n(name, N, text); }
  char text[N];
};

template <ComputingNative Native, NativeName Name>
ErrCode OutputsOnlyNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  if (nargout >= 1) return Native(ctx, nargin, nargout, option);
  ErrorDetails unknown;
  unknown.name = Name.text;
  unknown.integer = static_cast<int32_t>(sizeof Name.text - 1);
  return RaiseErrorWithDetails(ctx, kErrUnknownFun, unknown);
}

}  // namespace

const NativeFunctionRecord* HeadlessAppTable() {
  static const NativeFunctionRecord table[] = {
#define VKE_APP_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind)
#define VKE_APP_HEADLESS_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind),
#define VKE_APP_RESPONSE_RECORD(name, fn, outputsFn, minIn, maxIn, minOut, maxOut, option, kind) \
  MakeRecord(name, &OutputsOnlyNative<outputsFn, name>, minIn, maxIn, minOut, maxOut, option, kind),
#define VKE_APP_HEADLESS_HOOK(name, fn, headlessFn, minIn, maxIn, minOut, maxOut, option, kind) \
  MakeRecord(name, headlessFn, minIn, maxIn, minOut, maxOut, option, kind),
#include "app/natives.def"
#undef VKE_APP_HEADLESS_HOOK
#undef VKE_APP_RESPONSE_RECORD
#undef VKE_APP_HEADLESS_RECORD
#undef VKE_APP_RECORD
      MakeRecord(""),
  };
  return table;
}

}  // namespace vke
