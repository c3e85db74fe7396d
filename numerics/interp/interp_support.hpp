// What interp1 and interpn share: the method and extrapolation arguments at
// the end of a call, the search for the interval of a point among monotonic
// coordinates, and the node a point takes under each method.
#pragma once

#include <cstdint>

#include "engine/errors/errors.hpp"

namespace vke {

enum class InterpMethod : uint8_t { kLinear, kNearest, kPrevious, kNext };

// The options taken from the end of a call: a method text, then optionally
// the value of points outside the coordinates (NaN unless given).
struct InterpOptions {
  InterpMethod method = InterpMethod::kLinear;
  double extrapRe = 0;
  double extrapIm = 0;
  int32_t count = 0;  // arguments they took

  bool ComplexExtrap() const { return extrapIm != 0; }
};

// Reads the options among the top nargin entries: the entry below the top a
// char array makes the top the extrapolation value (a real or complex
// scalar; the scalar reader's codes otherwise); a char array on top is the
// method alone. 108 for an unknown method. The arguments below the options
// are converted to doubles.
ErrCode ReadInterpOptions(EngineContext* ctx, int32_t nargin, InterpOptions* options);

// The method the char array at the depth names by its first character
// (empty: linear); 108 for none.
ErrCode ReadInterpMethod(EngineContext* ctx, int32_t depth, InterpMethod* method);

// The interval i with c[i] <= v <= c[i + 1] (c[i] >= v >= c[i + 1] for
// descending coordinates, c[0] > c[m - 1]) among m coordinates, by binary
// search; -1 for fewer than two coordinates, a point outside them or NaN.
// A point on the last coordinate gives m - 2.
int32_t FindInterval(const double* c, int32_t m, double v);

// The node the method picks for v in interval i of c: nearest takes the
// closer end (the lower on a tie), previous the node at or before v in the
// coordinates' order, next the node at or after it.
int32_t PickNode(InterpMethod method, const double* c, int32_t i, double v);

// The weight of node i + 1 for v in interval i (that of node i is one less);
// a zero-width interval gives the node at its end.
double UpperWeight(const double* c, int32_t i, double v);

// Whether c[0..m-1] never decreases; with `either`, never increases also
// counts. False raises "VKE:unsorted" through Unsorted.
bool IsMonotonic(const double* c, int32_t m, bool either);
ErrCode RaiseUnsorted(EngineContext* ctx);

}  // namespace vke
