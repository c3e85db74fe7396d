// Convolution builtins: conv (full convolution of vectors, or of the columns
// or rows of two matrices) and conv2 (two-dimensional convolution with the
// full, same and valid shapes).
//
// Complex operands are convolved by real passes over their parts: the real
// part is (re * re) - (im * im) and the imaginary part (re * im) + (im * re),
// each pass summed from zero on its own; parts that are absent are skipped.
#include <algorithm>

#include "builtins/builtin.hpp"
#include "builtins/matrix_ops.hpp"
#include "builtins/option_text.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// pass(x, y, out, sign) adds sign x (the convolution of x and y) to out,
// which starts zeroed; the imaginary output is null for real results.
template <typename Pass>
void ConvolveParts(const MatrixOperand& a, const MatrixOperand& b, double* outRe, double* outIm,
                   Pass pass) {
  pass(a.re, b.re, outRe, 1.0);
  if (a.im && b.im) pass(a.im, b.im, outRe, -1.0);
  if (b.im) pass(a.re, b.im, outIm, 1.0);
  if (a.im) pass(a.im, b.re, outIm, 1.0);
}

// Pushes a zeroed rows x cols result above the nargin arguments (a and b
// first, then the option), complex when either operand is, and fills it by
// ConvolveParts; the operands are read afresh and the arguments go once the
// result stands.
template <typename Pass>
ErrCode PushConvolution(EngineContext* ctx, int32_t nargin, int32_t rows, int32_t cols, Pass pass) {
  bool complex = ReadMatrixOperand(ctx, nargin - 2).im || ReadMatrixOperand(ctx, nargin - 1).im;
  ErrCode e = PushZeroMatrix(ctx, rows, cols, complex);
  if (e) return e;
  MatrixOperand a = ReadMatrixOperand(ctx, nargin), b = ReadMatrixOperand(ctx, nargin - 1);
  MatrixOperand c = ReadMatrixOperand(ctx, 0);
  ConvolveParts(a, b, c.re, c.im, pass);
  return DropStackEntries(ctx, 1, nargin);
}

// One line of a matrix: its first element and the distance between elements.
struct Line {
  int64_t start;
  int64_t step;
};

// out[k] += sign x sum over i of x[i] y[k - i], for the nx + ny - 1 outputs.
void ConvolveLine(const double* x, Line lx, int32_t nx, const double* y, Line ly, int32_t ny,
                  double* out, Line lo, double sign) {
  for (int32_t k = 0; k < nx + ny - 1; k++) {
    double sum = 0;
    for (int32_t i = std::max(0, k - ny + 1); i <= std::min(k, nx - 1); i++)
      sum += x[lx.start + i * lx.step] * y[ly.start + (k - i) * ly.step];
    out[lo.start + k * lo.step] += sign * sum;
  }
}

enum class Conv2Shape : uint8_t { kFull, kSame, kValid };

// The shape word of conv2 on top, read where it lies; 108 for a word it does
// not know.
ErrCode ReadConv2Shape(EngineContext* ctx, Conv2Shape* shape) {
  OptionText word(ctx, 0);
  if (word.IsEmpty() || word.Is("f") || word.Is("full")) {
    *shape = Conv2Shape::kFull;
  } else if (word.Is("s") || word.Is("same")) {
    *shape = Conv2Shape::kSame;
  } else if (word.Is("v") || word.Is("valid")) {
    *shape = Conv2Shape::kValid;
  } else {
    return kErrUnknownOpt;
  }
  return kOk;
}

}  // namespace

// conv(a, b [, dim]).
ErrCode ConvBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, "??[r");
  if (e || !AreDoubleMatrices(ctx, 2, nargin - 2)) return e ? e : kErrWrongTypeOverload;
  int32_t dim = 1;
  if (nargin == 3) {
    if ((e = GetIntegerArg(ctx, 0, &dim))) return e;
    if (dim != 1 && dim != 2) return kErrBadDim;
  }
  MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1), b = ReadMatrixOperand(ctx, nargin - 2);
  if (a.IsEmpty() || b.IsEmpty())
    return PushInPlaceOfTop(ctx, nargin, [&] { return PushEmptyMatrix(ctx); });
  bool alongRows = nargin == 2 ? a.rows == 1 && b.rows == 1 : dim == 2;
  // Lines are the rows (along the rows) or the columns of each operand.
  int32_t linesA = alongRows ? a.rows : a.cols, linesB = alongRows ? b.rows : b.cols;
  int32_t lengthA = alongRows ? a.cols : a.rows, lengthB = alongRows ? b.cols : b.rows;
  if (linesA != linesB && linesA != 1 && linesB != 1) return kErrIncompSize;
  int32_t lines = std::max(linesA, linesB), length = lengthA + lengthB - 1;
  int32_t rows = alongRows ? lines : length, cols = alongRows ? length : lines;
  auto line = [alongRows](int32_t index, int32_t width) {
    return alongRows ? Line{int64_t(index) * width, 1} : Line{index, width};
  };
  return PushConvolution(
      ctx, nargin, rows, cols, [&](const double* x, const double* y, double* out, double sign) {
        for (int32_t l = 0; l < lines; l++)
          ConvolveLine(x, line(linesA == 1 ? 0 : l, a.cols), lengthA, y,
                       line(linesB == 1 ? 0 : l, b.cols), lengthB, out, line(l, cols), sign);
      });
}

// conv2(A, B [, shape]).
ErrCode Conv2Builtin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, "??[S");
  if (e || !AreDoubleMatrices(ctx, 2, nargin - 2)) return e ? e : kErrWrongTypeOverload;
  Conv2Shape shape = Conv2Shape::kFull;
  if (nargin == 3 && (e = ReadConv2Shape(ctx, &shape))) return e;
  MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1), b = ReadMatrixOperand(ctx, nargin - 2);
  if (a.IsEmpty() || b.IsEmpty()) return Drop(ctx, nargin - 1);
  int32_t rows = a.rows + b.rows - 1, cols = a.cols + b.cols - 1;
  int32_t r0 = 1 - b.rows, c0 = 1 - b.cols;
  if (shape == Conv2Shape::kSame) {
    rows = a.rows;
    cols = a.cols;
    r0 = -(b.rows / 2);
    c0 = -(b.cols / 2);
  } else if (shape == Conv2Shape::kValid) {
    rows = a.rows - b.rows + 1;
    cols = a.cols - b.cols + 1;
    r0 = c0 = 0;
    if (rows < 1 || cols < 1)
      return PushInPlaceOfTop(ctx, nargin, [&] { return PushEmptyMatrix(ctx); });
  }
  return PushConvolution(ctx, nargin, rows, cols,
                         [&](const double* x, const double* y, double* out, double sign) {
                           for (int32_t i = 0; i < rows; i++)
                             for (int32_t j = 0; j < cols; j++) {
                               double sum = 0;
                               for (int32_t k = 0; k < b.rows; k++) {
                                 int32_t ai = i + r0 + k;
                                 if (ai < 0 || ai >= a.rows) continue;
                                 for (int32_t l = 0; l < b.cols; l++) {
                                   int32_t aj = j + c0 + l;
                                   if (aj < 0 || aj >= a.cols) continue;
                                   sum += x[int64_t(ai) * a.cols + aj] *
                                          y[int64_t(b.rows - 1 - k) * b.cols + (b.cols - 1 - l)];
                                 }
                               }
                               out[int64_t(i) * cols + j] += sign * sum;
                             }
                         });
}

}  // namespace vke
