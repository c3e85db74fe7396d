// Implementing functions of builtins that the running system does not serve
// yet: each answers "Not supported" and leaves the stacks as they are. Remove
// a line when its function is built.
#include "builtins/builtin.hpp"
#include "engine/errors.hpp"

namespace vke {

#define VKE_NOT_BUILT(function)                                 \
  ErrCode function(EngineContext*, int32_t, int32_t, int32_t) { \
    return kErrNotSupported;                                    \
  }

VKE_NOT_BUILT(CaseConvertBuiltin)
VKE_NOT_BUILT(CastBuiltin)
VKE_NOT_BUILT(Cell2structBuiltin)
VKE_NOT_BUILT(CharBuiltin)
VKE_NOT_BUILT(CharClassBuiltin)
VKE_NOT_BUILT(ClassBuiltin)
VKE_NOT_BUILT(DoubleBuiltin)
VKE_NOT_BUILT(FieldnamesBuiltin)
VKE_NOT_BUILT(FindstrBuiltin)
VKE_NOT_BUILT(GetfieldBuiltin)
VKE_NOT_BUILT(IsaBuiltin)
VKE_NOT_BUILT(IscharBuiltin)
VKE_NOT_BUILT(IsfieldBuiltin)
VKE_NOT_BUILT(IsfloatBuiltin)
VKE_NOT_BUILT(IsintegerBuiltin)
VKE_NOT_BUILT(IslogicalBuiltin)
VKE_NOT_BUILT(IsnumericBuiltin)
VKE_NOT_BUILT(IsobjectBuiltin)
VKE_NOT_BUILT(IsscalarBuiltin)
VKE_NOT_BUILT(IsstructBuiltin)
VKE_NOT_BUILT(IsvectorBuiltin)
VKE_NOT_BUILT(List2numBuiltin)
VKE_NOT_BUILT(ListCellTest)
VKE_NOT_BUILT(LogicalNotBuiltin)
VKE_NOT_BUILT(MethodsBuiltin)
VKE_NOT_BUILT(Num2cellBuiltin)
VKE_NOT_BUILT(Num2listBuiltin)
VKE_NOT_BUILT(OrderfieldsBuiltin)
VKE_NOT_BUILT(ReplistBuiltin)
VKE_NOT_BUILT(RmfieldBuiltin)
VKE_NOT_BUILT(SameBuiltin)
VKE_NOT_BUILT(SetfieldBuiltin)
VKE_NOT_BUILT(SingleBuiltin)
VKE_NOT_BUILT(StringCompareBuiltin)
VKE_NOT_BUILT(StrmatchBuiltin)
VKE_NOT_BUILT(StrtokBuiltin)
VKE_NOT_BUILT(Struct2cellBuiltin)
VKE_NOT_BUILT(StructBuiltin)
VKE_NOT_BUILT(StructarrayBuiltin)
VKE_NOT_BUILT(SwapbytesBuiltin)
VKE_NOT_BUILT(TrimBuiltin)
VKE_NOT_BUILT(UplusBuiltin)
VKE_NOT_BUILT(VariablesBuiltin)

#undef VKE_NOT_BUILT

}  // namespace vke
