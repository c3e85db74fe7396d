// What the polynomial natives share: coefficient vectors (highest power
// first, a real block and an optional imaginary block), rows pushed for
// results, and the product of two polynomials.
#pragma once

#include <cstdint>

#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

// The number of coefficients of a vector (1 x n or n x 1; none when a
// dimension is 0); false for a matrix.
bool CoefficientCount(const MatrixOperand& p, int32_t* n);

// A result row of `length` values (the empty 0 x 0 array for length <= 0),
// zero-filled, complex when asked; its room in a plan.
[[nodiscard]] ErrCode PushZeroRow(EngineContext* ctx, int32_t length, bool complex, double** re,
                                  double** im);
void PlanRow(StackPlan* plan, int32_t length, bool complex);

// out += a * b for coefficient arrays of the given degrees (a negative one
// for no coefficients); null imaginary parts are zero. out has degree
// da + db and an imaginary part when either factor has one.
void ConvolvePolynomials(const double* aRe, const double* aIm, int32_t da, const double* bRe,
                         const double* bIm, int32_t db, double* outRe, double* outIm);

}  // namespace vke
