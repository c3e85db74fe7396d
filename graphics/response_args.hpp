// Internal to the control-design plot natives: the readers of their
// matrices, polynomial rows and sampling periods, the scratch they take
// from the free data stack, and the ends of a call.
#pragma once

#include <cstdint>

#include "graphics/lti_system.hpp"

namespace vke {

// A real double matrix argument, row by row; valid until the next push.
struct RealMatrix {
  double* re = nullptr;
  int32_t rows = 0;
  int32_t cols = 0;

  int64_t Count() const { return int64_t{rows} * cols; }
  bool Empty() const { return rows == 0 || cols == 0; }
  const double* Row(int32_t i) const { return re + int64_t{i} * cols; }
};

// kErrWrongType for anything but a double matrix, kErrBadArg for a complex one.
ErrCode ReadRealMatrix(EngineContext* ctx, int32_t depth, RealMatrix* out);

// A sampling period or interval: a real scalar (kErrWrongType, kErrNonScalarArg as GetScalarArg),
// positive and finite (else kErrBadArg).
ErrCode ReadPeriod(EngineContext* ctx, int32_t depth, double* ts);

// A polynomial row without its leading zeros (at most degree-many: the
// last coefficient stays).
struct PolyRow {
  const double* c;
  int32_t degree;
};
PolyRow StrippedRow(const double* row, int32_t cols);

// The records of a stripped transfer function and of a state-space system
// (d null for zeros).
LtiSystemRecord TransferFunctionSystem(PolyRow num, PolyRow den);
LtiSystemRecord StateSpaceSystem(const double* a, const double* b, const double* c, const double* d,
                                 int32_t n, int32_t m, int32_t p);

// A char array or a structure: the optional arguments that end the numeric
// ones.
bool IsTextOrStruct(EngineContext* ctx, int32_t depth);

// The free data stack as scratch, in whole doubles, valid until the next
// push. With `commandHalf` the upper half becomes a temporary command area
// with its own count, for a call without a figure (its subplot is null); the
// values a curve routine pushes then fill the lower half first.
class ResponseScratch {
 public:
  ResponseScratch(EngineContext* ctx, bool commandHalf);
  ResponseScratch(const ResponseScratch&) = delete;
  ResponseScratch& operator=(const ResponseScratch&) = delete;

  double* at = nullptr;
  uint32_t doubles = 0;
  PlotTarget temporary{};

 private:
  uint32_t used_ = 0;
};

// count style records from the scratch (kErrPlotOverflow when they do not fit),
// record i parsed as series i over the default style word.
ErrCode ScratchStyles(ResponseScratch& scratch, const StyleArg& style, int32_t count,
                      PlotStyle** out);

// Ends a call whose curve routines ran: the arguments go, the outputs
// pushed above them stay; a statement call leaves the no-value marker.
ErrCode FinishResponseCall(EngineContext* ctx, int32_t nargin, int32_t nargout);
// Ends a call with nothing to draw: the arguments go and [] stands for each
// output asked for (the no-value marker for a statement call).
ErrCode FinishEmptyResponse(EngineContext* ctx, int32_t nargin, int32_t nargout);

// The default style word of the systems and their curves: the renderer's
// data style.
inline constexpr uint32_t kSystemStyleWord = kStyleDefaultRecord;

}  // namespace vke
