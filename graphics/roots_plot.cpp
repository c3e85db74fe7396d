// plotroots: each row of a real or complex coefficient matrix is stored as
// a polynomial command and its roots are drawn as one polyline (markers by
// default).
#include <algorithm>
#include <limits>

#include "engine/values/values.hpp"
#include "graphics/response_args.hpp"
#include "graphics/response_natives.hpp"
#include "graphics/scale.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// Crosses over the data default style.
constexpr uint32_t kRootsStyleWord = kKindCross | kStyleDefaultRecord;

}  // namespace

int64_t RootsPlotWork(int32_t degree, bool complex) {
  const int64_t d = degree;
  const int64_t coefficients = (d + 1) * (complex ? 2 : 1);
  const int64_t kernel = complex ? 2 * d * d + 2 * d : d * d + d;
  return coefficients + 2 * d + kernel;
}

ErrCode RootsPlotCurve(PlotTarget& target, const double* re, const double* im, int32_t degree,
                       const PlotStyle& style, int32_t id, int32_t series, double* work) {
  if (ErrCode e = ReservePlotRoom(target, kCommandHeaderDoubles + 1 + 2 * uint64_t(degree))) {
    return e;
  }
  // The kernels normalise and deflate their coefficients: they get copies.
  const int32_t n = degree + 1;
  double* cRe = work;
  double* cIm = cRe + n;
  double* rootsRe = cIm + (im != nullptr ? n : 0);
  double* rootsIm = rootsRe + degree;
  double* kernelWork = rootsIm + degree;
  std::copy_n(re, n, cRe);
  bool found = true;
  if (degree > 0) {
    if (im == nullptr) {
      found =
          ComputeRealPolynomialRoots(cRe, degree, rootsRe, rootsIm, kernelWork) != kKernelFailed;
    } else {
      std::copy_n(im, n, cIm);
      found = ComputeComplexPolynomialRoots(cRe, cIm, degree, rootsRe, rootsIm, kernelWork);
    }
  }
  if (!found) {
    std::fill_n(rootsRe, 2 * degree, std::numeric_limits<double>::quiet_NaN());
  }
  CommandWriter w(target, kCmdPolyline, id, series, style.flags, StyleColour(style));
  w.Put(degree);
  for (int32_t k = 0; k < 2 * degree; k++) w.Put(rootsRe[k]);
  if (ErrCode e = w.Commit()) return e;
  UpdateAutoLimits(target.subplot, rootsRe, rootsIm, nullptr, degree);
  return kOk;
}

ErrCode AddRootsPlot(EngineContext* ctx, int32_t nargin, PlotTarget& target) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  if (nargin < 1 || nargin > 3) return kErrBadArg;
  StyleArg style;
  int32_t id = kNoPlotId;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 1, kErrBadArg, &style, &id)) return e;
  int32_t rows = 0, cols = 0;
  double *re = nullptr, *im = nullptr;
  if (ErrCode e = GetNumericArg(ctx, ArgDepth(nargin, 0), &rows, &cols, &re, &im)) return e;
  if (rows == 0 || cols < 2) return FinishPlotCall(ctx, nargin);
  if (ErrCode e = ReservePlotRoom(target, 0)) return e;
  const bool complex = im != nullptr;
  ResponseScratch scratch(ctx, false);
  if (RootsPlotWork(cols - 1, complex) > scratch.doubles) return kErrDataOverflow;
  for (int32_t r = 0; r < rows; r++) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, r, kRootsStyleWord, &ps)) return e;
    const double* rowRe = re + int64_t{r} * cols;
    const double* rowIm = complex ? im + int64_t{r} * cols : nullptr;
    int32_t lead = 0;
    while (lead + 1 < cols && rowRe[lead] == 0 && (!complex || rowIm[lead] == 0)) lead++;
    const int32_t degree = cols - 1 - lead;
    const uint64_t coefficients = uint64_t(degree + 1) * (complex ? 2 : 1);
    if (ErrCode e = ReservePlotRoom(target, kCommandHeaderDoubles + 1 + coefficients)) return e;
    CommandWriter w(target, complex ? kCmdComplexRoots : kCmdRealRoots, id, r + 1, ps.flags,
                    StyleColour(ps));
    w.Put(degree);
    for (int32_t k = lead; k < cols; k++) w.Put(rowRe[k]);
    for (int32_t k = lead; complex && k < cols; k++) w.Put(rowIm[k]);
    if (ErrCode e = w.Commit()) return e;
    if (ErrCode e = RootsPlotCurve(target, rowRe + lead, complex ? rowIm + lead : nullptr, degree,
                                   ps, id, r + 1, scratch.at)) {
      return e;
    }
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
