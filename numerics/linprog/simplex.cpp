// The revised simplex method behind linprog. Variables: 0 .. n-1 the
// structural ones, n .. n+M-1 one slack per row, n+M .. the artificials of
// phase 1, one per row whose right-hand side was negative. Only the basis
// inverse is updated by a pivot; the columns of T are multiplied with it
// when they are needed.
#include "numerics/linprog/simplex.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vke {

namespace {

// An artificial at or above this level at the end of phase 1 leaves the
// constraints unmet.
constexpr double kInfeasibleLevel = 2.220446049250313e-15;
// The perturbation of the right-hand side after a run of degenerate pivots:
// r[i] += (S + i * kSeedStep) * kPerturbationScale (32-bit wrapping), with
// S starting at kSeedStart and growing by kSeedStep every iteration.
constexpr uint32_t kSeedStart = 1013904223u;
constexpr uint32_t kSeedStep = 1664525u;
constexpr double kPerturbationScale = 2.3283064365386962e-17;
// A pivot that drives an artificial out of the basis after phase 1 must be
// larger than this share of the sum it was computed from; a smaller one is
// rounding left over from a zero.
constexpr double kCleanupPivotShare = 1e-9;
// The iterations each phase may take: a multiple of the rows, plus one in
// phase 2 so that a problem without rows still prices once.
constexpr int64_t kPivotsPerRow = 100;

enum class Step : uint8_t { kPivoted, kOptimal, kDegenerate, kUnbounded };

class Simplex {
 public:
  Simplex(const SimplexTableau& tab, double* work) : tab_(tab), m_(tab.rows), n_(tab.cols) {
    inverse_ = work;
    column_ = inverse_ + int64_t(m_) * m_;
    auto* ints = reinterpret_cast<int32_t*>(column_ + m_);
    rowMap_ = ints;
    basic_ = rowMap_ + 2 * int64_t(m_);
    nonbasic_ = basic_ + m_;
  }

  SimplexOutcome Run(double* x, OriginalRightHandSide original, const void* source);

 private:
  bool IsArtificial(int32_t j) const { return j >= n_ + m_; }
  bool IsFreeStructural(int32_t j) const { return j < n_ && tab_.isFree[j]; }
  double Cost(int32_t j) const {
    if (phaseOne_) return IsArtificial(j) ? -1.0 : 0.0;
    return j < n_ ? tab_.cost[j] : 0.0;
  }
  // The row and sign of the unit column of a slack or artificial.
  void UnitColumn(int32_t j, int32_t* row, double* sign) const {
    if (IsArtificial(j)) {
      *row = rowMap_[m_ + j - n_ - m_];
      *sign = 1;
      return;
    }
    const int32_t entry = rowMap_[j - n_];
    *row = entry < 0 ? -1 - entry : entry;
    *sign = entry < 0 ? -1 : 1;
  }
  double* InverseRow(int32_t i) const { return inverse_ + int64_t(i) * m_; }
  // v . column j, and the sum of the moduli of its terms.
  double Dot(const double* v, int32_t j, double* magnitude = nullptr) const;
  // out = B^-1 column j.
  void SolveColumn(int32_t j, double* out) const;
  double RowTimes(int32_t i, const double* v) const {
    const double* row = InverseRow(i);
    double sum = 0;
    for (int32_t k = 0; k < m_; k++) sum += row[k] * v[k];
    return sum;
  }
  Step SelectPivotRow();
  void Pivot(int32_t q, int32_t p, double* y);
  void Perturb();
  // The right-hand side before perturbation (negated rows negated) in the
  // column vector.
  void OriginalIntoColumn(OriginalRightHandSide original, const void* source);
  bool DriveOutArtificials(OriginalRightHandSide original, const void* source);
  void Fill(double* x, double value) const { std::fill(x, x + n_, value); }

  const SimplexTableau& tab_;
  int32_t m_, n_;
  double* inverse_;
  double* column_;
  int32_t* rowMap_;    // 2M: the row of each slack (-1-i: negated), then of each artificial
  int32_t* basic_;     // M: the variable basic in each row
  int32_t* nonbasic_;  // n + M at most
  int32_t nonbasicCount_ = 0;
  int32_t artificials_ = 0;
  bool phaseOne_ = false;
  uint32_t seed_ = kSeedStart;
  int64_t degenerateRun_ = 0;
};

double Simplex::Dot(const double* v, int32_t j, double* magnitude) const {
  if (j < n_) {
    double sum = 0, size = 0;
    for (int32_t k = 0; k < m_; k++) {
      const double term = v[k] * tab_.t[int64_t(k) * n_ + j];
      sum += term;
      size += std::fabs(term);
    }
    if (magnitude) *magnitude = size;
    return sum;
  }
  int32_t row;
  double sign;
  UnitColumn(j, &row, &sign);
  if (magnitude) *magnitude = std::fabs(v[row]);
  return sign * v[row];
}

void Simplex::SolveColumn(int32_t j, double* out) const {
  if (j < n_) {
    for (int32_t i = 0; i < m_; i++) out[i] = Dot(InverseRow(i), j);
    return;
  }
  int32_t row;
  double sign;
  UnitColumn(j, &row, &sign);
  for (int32_t i = 0; i < m_; i++) out[i] = sign * InverseRow(i)[row];
}

Step Simplex::SelectPivotRow() {
  // Prices: d_j = c_j - (c_B' B^-1) column j, the row vector in the column
  // vector's place until the entering variable is chosen.
  double* prices = column_;
  std::fill(prices, prices + m_, 0.0);
  for (int32_t i = 0; i < m_; i++) {
    const double c = Cost(basic_[i]);
    if (c == 0) continue;
    const double* row = InverseRow(i);
    for (int32_t k = 0; k < m_; k++) prices[k] += c * row[k];
  }
  double best = 0;
  int32_t q = -1;
  bool down = false;
  for (int32_t k = 0; k < nonbasicCount_; k++) {
    const int32_t j = nonbasic_[k];
    const double d = Cost(j) - Dot(prices, j);
    if (d > best) {
      best = d;
      q = k;
      down = false;
    } else if (IsFreeStructural(j) && -d > best) {
      best = -d;
      q = k;
      down = true;
    }
  }
  if (q < 0) return Step::kOptimal;

  // Ratio test over the rows whose basic variable is bounded.
  double* alpha = column_;
  SolveColumn(nonbasic_[q], alpha);
  int32_t p = -1;
  double ratio = 0;
  for (int32_t i = 0; i < m_; i++) {
    const int32_t j = basic_[i];
    if (IsFreeStructural(j) || (!phaseOne_ && IsArtificial(j))) continue;
    if (down ? !(alpha[i] < 0) : !(alpha[i] > 0)) continue;
    const double r = RowTimes(i, tab_.r) / alpha[i];
    if (p < 0 || (down ? r > ratio : r < ratio)) {
      p = i;
      ratio = r;
    }
  }
  if (p < 0) return Step::kUnbounded;
  Pivot(q, p, alpha);
  return ratio <= 0 ? Step::kDegenerate : Step::kPivoted;
}

// The variable at non-basic position q enters row p; y is B^-1 times its
// column, and is scaled here.
void Simplex::Pivot(int32_t q, int32_t p, double* y) {
  std::swap(nonbasic_[q], basic_[p]);
  const double f = -1 / y[p];
  for (int32_t k = 0; k < m_; k++) y[k] *= f;
  y[p] = -f;
  const double* pivotRow = InverseRow(p);
  for (int32_t k = 0; k < m_; k++) {
    if (k == p || y[k] == 0) continue;
    double* row = InverseRow(k);
    for (int32_t l = 0; l < m_; l++) row[l] += y[k] * pivotRow[l];
  }
  double* row = InverseRow(p);
  for (int32_t l = 0; l < m_; l++) row[l] *= y[p];
}

void Simplex::Perturb() {
  for (int32_t i = 0; i < m_; i++) {
    const auto s = static_cast<int32_t>(seed_ + uint32_t(i) * kSeedStep);
    tab_.r[i] += s * kPerturbationScale;
  }
}

void Simplex::OriginalIntoColumn(OriginalRightHandSide original, const void* source) {
  original(source, column_);
  for (int32_t i = 0; i < m_; i++) {
    if (rowMap_[i] < 0) column_[i] = -column_[i];
  }
}

// At the end of phase 1: false (infeasible) when an artificial still
// carries a value; else each basic artificial is replaced by the first
// non-basic variable with a true pivot in its row. A row without one is
// redundant: its artificial stays basic at zero and phase 2 leaves that row
// out.
bool Simplex::DriveOutArtificials(OriginalRightHandSide original, const void* source) {
  OriginalIntoColumn(original, source);
  for (int32_t i = 0; i < m_; i++) {
    if (IsArtificial(basic_[i]) && RowTimes(i, column_) >= kInfeasibleLevel) return false;
  }
  for (int32_t i = 0; i < m_; i++) {
    if (!IsArtificial(basic_[i])) continue;
    for (int32_t k = 0; k < nonbasicCount_; k++) {
      const int32_t j = nonbasic_[k];
      if (IsArtificial(j)) continue;
      double magnitude;
      const double alpha = Dot(InverseRow(i), j, &magnitude);
      if (alpha == 0 || std::fabs(alpha) <= kCleanupPivotShare * magnitude) continue;
      SolveColumn(j, column_);
      Pivot(k, i, column_);
      break;
    }
  }
  // The artificials left the non-basic list; the order of the rest stays.
  int32_t kept = 0;
  for (int32_t k = 0; k < nonbasicCount_; k++) {
    if (!IsArtificial(nonbasic_[k])) nonbasic_[kept++] = nonbasic_[k];
  }
  nonbasicCount_ = kept;
  return true;
}

SimplexOutcome Simplex::Run(double* x, OriginalRightHandSide original, const void* source) {
  for (int32_t i = 0; i < m_; i++) {
    rowMap_[i] = i;
    basic_[i] = n_ + i;
  }
  for (int32_t j = 0; j < n_; j++) nonbasic_[j] = j;
  nonbasicCount_ = n_;
  // Rows with a negative right-hand side are negated and start with an
  // artificial; their slacks are non-basic.
  for (int32_t i = 0; i < m_; i++) {
    if (!(tab_.r[i] < 0)) continue;
    double* row = tab_.t + int64_t(i) * n_;
    for (int32_t j = 0; j < n_; j++) row[j] = -row[j];
    tab_.r[i] = -tab_.r[i];
    rowMap_[i] = -1 - i;
    rowMap_[m_ + artificials_] = i;
    nonbasic_[nonbasicCount_++] = n_ + i;
    basic_[i] = n_ + m_ + artificials_++;
  }
  std::fill(inverse_, inverse_ + int64_t(m_) * m_, 0.0);
  for (int32_t i = 0; i < m_; i++) inverse_[int64_t(i) * m_ + i] = 1;

  phaseOne_ = artificials_ > 0;
  for (int phase = phaseOne_ ? 1 : 2; phase <= 2; phase++) {
    const int64_t budget = kPivotsPerRow * m_ + (phase == 2 ? 1 : 0);
    bool ended = false;
    for (int64_t it = 0; it < budget && !ended; it++) {
      if (tab_.poll()) return SimplexOutcome::kHalted;
      const Step step = SelectPivotRow();
      switch (step) {
        case Step::kOptimal:
          ended = true;
          break;
        case Step::kUnbounded:
          Fill(x, std::numeric_limits<double>::infinity());
          return SimplexOutcome::kUnbounded;
        case Step::kPivoted:
          degenerateRun_ = 0;
          break;
        case Step::kDegenerate:
          if (degenerateRun_ > int64_t(m_) + n_) {
            Perturb();
            degenerateRun_ = 0;
          } else {
            degenerateRun_++;
          }
          break;
      }
      seed_ += kSeedStep;
    }
    if (!ended) return SimplexOutcome::kBudgetSpent;
    if (phase == 1) {
      if (!DriveOutArtificials(original, source)) {
        Fill(x, std::numeric_limits<double>::quiet_NaN());
        return SimplexOutcome::kInfeasible;
      }
      phaseOne_ = false;
    }
  }
  // The basic solution of the unperturbed right-hand side.
  OriginalIntoColumn(original, source);
  Fill(x, 0.0);
  for (int32_t i = 0; i < m_; i++) {
    if (basic_[i] < n_) x[basic_[i]] = RowTimes(i, column_);
  }
  return SimplexOutcome::kOptimal;
}

}  // namespace

int64_t SimplexWorkspace(int32_t rows, int32_t cols) {
  const int64_t m = rows, n = cols;
  // The inverse and a column; then 2M + M + (n + M) 32-bit entries.
  return m * m + m + (4 * m + n + 1) / 2;
}

SimplexOutcome RunSimplexPivots(const SimplexTableau& tab, double* x, double* work,
                                OriginalRightHandSide original, const void* source) {
  Simplex simplex(tab, work);
  return simplex.Run(x, original, source);
}

}  // namespace vke
