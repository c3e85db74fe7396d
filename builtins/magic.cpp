#include "builtins/magic.hpp"

#include <utility>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"

namespace vke {

void MagicSquareOdd(double* matrix, int32_t m, int32_t stride) {
  int64_t row = 0, col = (m - 1) / 2;
  const int64_t total = int64_t(m) * m;
  for (int64_t k = 1; k <= total; k++) {
    matrix[row * stride + col] = static_cast<double>(k);
    if (k % m == 0) {
      row = (row + 1) % m;
    } else {
      row = (row + m - 1) % m;
      col = (col + 1) % m;
    }
  }
}

namespace {

// Exchanges the top and bottom halves of column c of an n x n matrix.
void SwapColumnHalves(double* a, int64_t n, int64_t c) {
  const int64_t m = n / 2;
  for (int64_t i = 0; i < m; i++) std::swap(a[i * n + c], a[(i + m) * n + c]);
}

}  // namespace

void MakeMagicSquare(double* a, int32_t n) {
  if (n < 1) return;
  if (n % 2 == 1) {
    MagicSquareOdd(a, n, n);
    return;
  }
  const int64_t nn = n;
  if (n % 4 == 0) {
    const double last = double(nn * nn) + 1;
    for (int64_t i = 0; i < nn; i++) {
      for (int64_t j = 0; j < nn; j++) {
        const double k = double(i * nn + j + 1);
        const bool rowEdge = i % 4 == 0 || i % 4 == 3, colEdge = j % 4 == 0 || j % 4 == 3;
        a[i * nn + j] = rowEdge == colEdge ? last - k : k;
      }
    }
    return;
  }
  const int64_t m = nn / 2, h = (m - 1) / 2;
  MagicSquareOdd(a, static_cast<int32_t>(m), n);
  const double mm = double(m * m);
  for (int64_t i = 0; i < m; i++) {
    for (int64_t j = 0; j < m; j++) {
      const double x = a[i * nn + j];
      a[i * nn + j + m] = x + 2 * mm;
      a[(i + m) * nn + j] = x + 3 * mm;
      a[(i + m) * nn + j + m] = x + mm;
    }
  }
  if (m >= 3)
    for (int64_t c = 0; c < h; c++) SwapColumnHalves(a, nn, c);
  std::swap(a[h * nn], a[(h + m) * nn]);
  std::swap(a[h * nn + h], a[(h + m) * nn + h]);
  for (int64_t c = nn - (m - 3) / 2; c < nn; c++) SwapColumnHalves(a, nn, c);
}

// magic(n): an n x n magic square of doubles.
ErrCode MagicBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsPlain(*d) || d->word != 1 || PlainRows(*d) != 1) return kErrWrongTypeOverload;
  const double x = Load<double>(DataAt(ctx, 0));  // the real part
  if (!(x > 0)) return PushInPlaceOfTop(ctx, 1, [&] { return PushEmptyMatrix(ctx); });
  if (x > 16383) return kErrObjTooLarge;
  const int32_t n = static_cast<int32_t>(x);
  double* a;
  ErrCode e = PushInPlaceOfTop(ctx, 1, [&] { return PushNewMatrix(ctx, n, n, &a, nullptr); });
  if (e) return e;
  MakeMagicSquare(a, n);
  return kOk;
}

}  // namespace vke
