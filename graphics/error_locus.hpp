// The error-locus region: every cell of a subplot's viewport in the complex
// plane is coloured by how likely its point s is a root of a polynomial
// whose coefficients carry an uncertainty (a covariance matrix), measured
// as the squared Mahalanobis distance of P(s) from 0. Cells are evaluated
// once each, row by row, and rows above the real axis are drawn a second
// time mirrored below it.
#pragma once

#include <cstdint>

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The measure at s = sr + i si for P (n + 1 coefficients, highest power
// first, the leading one exact) and the n x n covariance M of the others.
// work: 2n doubles.
double ErrorLocusValue(const double* p, const double* m, int32_t n, double sr, double si,
                       double* work);

// Draws the payload of an error-locus command ({n, P, M, k, k thresholds,
// 3k colour bytes}, `length` doubles) over the viewport through the port's
// image-cell slot, in cells of the port's pixel scale. The row of cell
// colours, the cells' data x and the work vectors come from the scratch;
// nothing is drawn when they do not fit or the payload is malformed.
void DrawErrorLocus(const double* payload, int64_t length, const SubplotRecord& subplot,
                    const GraphicsPort& port, double* scratch, uint32_t capacity, void* target);

}  // namespace vke
