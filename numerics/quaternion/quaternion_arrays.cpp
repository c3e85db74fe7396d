// The array functions of quaternions, run by the core builtins one
// component at a time: transpose and ctranspose, reshape and squeeze,
// permute and ipermute, repmat, rot90, the flips, diff, cumsum, sum and
// mean, and the concatenations cat, horzcat and vertcat (whose arrays may
// be quaternions or doubles). The four results are joined again as the
// constructor's four-argument form joins them.
#include "builtins/builtin.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/quaternion/quaternion_value.hpp"

namespace vke {

namespace {

// The builtin that runs each component, by option letter.
struct ArrayFunctionRow {
  char letter;
  int32_t opcode;
};
constexpr ArrayFunctionRow kArrayFunctions[] = {
    {'9', kOpRot90},      // rot90
    {'F', kOpFlipdim},    // flipdim
    {'f', kOpFlipud},     // flipud
    {'g', kOpFliplr},     // fliplr
    {'P', kOpIpermute},   // ipermute
    {'p', kOpPermute},    // permute
    {'R', kOpRepmat},     // repmat
    {'T', kOpTranspose},  // ctranspose: the transpose, then the conjugate
    {'t', kOpTranspose},  // transpose
    {'U', kOpCumsum},     // cumsum
    {'d', kOpDiff},       // diff
    {'m', kOpMean},       // mean
    {'u', kOpSum},        // sum
    {'r', kOpReshape},    // reshape
    {'s', kOpSqueeze},    // squeeze
};
constexpr uintptr_t kConjugateTranspose = 'T';

// Of ConcatenateQuaternions.
constexpr uintptr_t kCat = 'c';
constexpr uintptr_t kHorzcat = 'h';

// Runs a builtin on the top `inputs` entries for one result; a refused type
// is the caller's wrong type (43), which the loop does not retry.
ErrCode RunBuiltin(EngineContext* ctx, int32_t opcode, int32_t inputs) {
  const BuiltinDispatch& d = GetBuiltinDispatch(ctx, opcode);
  ErrCode e = d.fn(ctx, inputs, 1, d.option);
  return e == kErrWrongTypeOverload ? kErrWrongType : e;
}

}  // namespace

ErrCode ApplyQuaternionArrayFunction(EngineContext* ctx, int32_t nargin, int32_t,
                                     uintptr_t option) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, nargin - 1, &q)) return e;
  const ArrayFunctionRow* row = nullptr;
  for (const ArrayFunctionRow& r : kArrayFunctions)
    if (static_cast<uintptr_t>(r.letter) == option) row = &r;
  if (!row) return kErrIllegal;
  const uint32_t level = ctx->descTop;
  for (int32_t k = 0; k < 4; k++) {
    // The component above the results so far, then the other arguments.
    ErrCode e = PushComponent(ctx, nargin - 1 + k, k);
    if (!e && nargin > 1) e = DuplicateStackEntries(ctx, k + 1, nargin - 1);
    if (!e) e = RunBuiltin(ctx, row->opcode, nargin);
    if (e) return DropAboveLevel(ctx, level, e);
  }
  if (ErrCode e = JoinComponentArrays(ctx)) return DropAboveLevel(ctx, level, e);
  if (option == kConjugateTranspose) {
    GetQuaternionArg(ctx, 0, &q);
    for (int k = 1; k < 4; k++)
      for (int32_t i = 0; i < q.Count(); i++) q.c[k][i] = -q.c[k][i];
  }
  return DropStackEntries(ctx, 1, nargin);
}

ErrCode ConcatenateQuaternions(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  const int32_t lead = option == kCat ? 1 : 0;  // the dimension argument
  const int32_t arrays = nargin - lead;
  const int32_t opcode = option == kCat ? kOpCat : option == kHorzcat ? kOpHorzcat : kOpVertcat;
  const uint32_t level = ctx->descTop;
  for (int32_t k = 0; k < 4; k++) {
    ErrCode e = lead ? DuplicateStackEntries(ctx, nargin - 1 + k, 1) : kOk;
    // Each array lies as deep as the first once the arrays before it are
    // pushed.
    for (int32_t j = 0; j < arrays && !e; j++) e = PushComponent(ctx, arrays - 1 + k + lead, k);
    if (!e) e = RunBuiltin(ctx, opcode, nargin);
    if (e) return DropAboveLevel(ctx, level, e);
  }
  if (ErrCode e = JoinComponentArrays(ctx)) return DropAboveLevel(ctx, level, e);
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
