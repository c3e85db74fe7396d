// The table of the named probability distributions: per name its parameter
// count, whether its parameters have defaults, and its density,
// distribution and inverse distribution functions of one element; and the
// beta and gamma inversions they share.
#pragma once

#include <cstdint>

namespace vke {

// One element: the point (or probability), the parameters, the result.
// false: the value could not be computed (the native answers
// noConvergence).
using DistributionFunction = bool (*)(double x, double a, double b, double* result);

struct DistributionRow {
  const char* name;
  int32_t parameters;  // 1 or 2
  bool defaults;       // missing parameters are 0 and 1
  DistributionFunction pdf;
  DistributionFunction cdf;
  DistributionFunction icdf;  // nullptr: not supported
};

// The rows in lookup order, ended by a row without a name.
extern const DistributionRow kDistributions[];

// The p-quantile of the beta distribution (a, b), and of the gamma
// distribution of shape a and scale b; false when Newton's iteration fails.
bool InverseBetaDistribution(double p, double a, double b, double* result);
// The same quantile x together with 1 - x, each to its own relative
// accuracy (the one nearer its end of [0, 1] is the one found).
bool InverseBetaWithComplement(double p, double a, double b, double* x, double* complement);
bool InverseGammaDistribution(double p, double a, double b, double* result);

}  // namespace vke
