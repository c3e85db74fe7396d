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

// The measure's bound past which nothing is coloured: the largest squared
// gain of the marks, else the last default band's.
double ErrorLocusBound(const double* squaredGains, int32_t marks);

// The extent is searched up to this degree (its cost grows as degree^3).
inline constexpr int32_t kErrorLocusExtentDegree = 64;

// For each of the roots (re, im; count of them) the points left, right,
// below and above it where the measure first exceeds the bound: four
// points a root into xs and ys (4 count doubles each), the extent of the
// region drawn around the roots. work: 2n doubles.
void ErrorLocusExtent(const double* p, const double* m, int32_t n, const double* re,
                      const double* im, int32_t count, double bound, double* xs, double* ys,
                      double* work);

// Draws the payload of an error-locus command ({n, P, M, k, k thresholds,
// 3k colour bytes}, `length` doubles) over the viewport through the port's
// image-cell slot, in cells of the port's pixel scale. The row of cell
// colours, the cells' data x and the work vectors come from the scratch;
// nothing is drawn when they do not fit or the payload is malformed.
void DrawErrorLocus(const double* payload, int64_t length, const SubplotRecord& subplot,
                    const GraphicsPort& port, double* scratch, uint32_t capacity, void* target);

}  // namespace vke
