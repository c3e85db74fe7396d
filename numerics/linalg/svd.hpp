// The singular value decomposition with vectors as the natives svd, orth,
// null and eig use it on the matrix on top of the stack.
#pragma once

#include "numerics/linalg/linalg_support.hpp"

namespace vke {

// Adds to the plan the room of DecomposeTop for an m x n matrix whose entry
// holds argumentWords data words.
void PlanDecomposition(int32_t m, int32_t n, bool complex, bool economy, int64_t argumentWords,
                       StackPlan* plan);

// Replaces the double matrix A on top by U (on top), S and V with
// A = U S V' (the full or the economy form); the caller has checked the
// room with PlanDecomposition. 9 (noConvergence) when the complex
// decomposition fails.
ErrCode DecomposeTop(EngineContext* ctx, bool economy);

}  // namespace vke
