// The Nyquist and Nichols tracers: point 0 (found on the window's edge when
// it starts outside), the main walk over a stack of subdivided steps, and
// the last point at the upper limit.
#include "graphics/frequency_trace.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "control/conversion_kernels.hpp"
#include "control/frequency_response.hpp"
#include "graphics/response_curves.hpp"

namespace vke {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kStep = 0.05;  // of theta in the walk
constexpr double kLeastEntryStep = kStep / 256;
constexpr double kRelativeEps = 2.220446049250313e-15;
constexpr int32_t kLevels = 8;          // subdivision stack
constexpr int32_t kStackRoom = 32;      // doubles the stacks take
constexpr int32_t kSubdivideRoom = 67;  // points kept free for subdividing
constexpr double kTinyMagnitude = 1e-9;

struct Point {
  double x, y;
};

class Tracer {
 public:
  Tracer(const TraceSpec& s, double* area, int64_t size) : s_(s), area_(area) {
    sigma_ = s.negative ? -1 : 1;
    int64_t cap = std::max<int64_t>(0, size - kStackRoom) / (s.keep ? 3 : 2);
    cap_ = std::min(cap, s.budget);
    x_ = area + 1;
    y_ = x_ + cap_;
    w_ = y_ + cap_;
  }

  int64_t cap() const { return cap_; }

  // G at z = cos t + j sin(sigma t).
  Point G(double t, bool signed_) const {
    const double sn = std::sin(signed_ ? sigma_ * t : t);
    Point p;
    EvalRationalAtComplex(s_.num, s_.numDegree, s_.den, s_.denDegree, std::cos(t), sn, &p.x, &p.y);
    return p;
  }
  // The phase the delay takes at t (mapped curves).
  double DelayAngle(double t) const {
    return s_.mapped && s_.delay != 0 ? sigma_ * s_.delay * std::tan(t / 2) : 0;
  }
  // The sign and delay apply inside (0, pi); at the ends they change
  // nothing or are not defined.
  static bool Inner(double t) { return t > 0 && t < kPi; }
  double F(double t) const {
    if (!s_.mapped) return sigma_ * t;
    return t >= kPi ? sigma_ * HUGE_VAL : sigma_ * std::tan(t / 2);
  }

  void Store(int64_t i, double x, double y, double t) {
    x_[i] = x;
    y_[i] = y;
    if (s_.keep) w_[i] = F(t);
  }
  double X(int64_t i) const { return x_[i]; }
  double Y(int64_t i) const { return y_[i]; }

  // Moves y and w down behind the n x values and writes n.
  int64_t Finish(int64_t n) {
    std::memmove(area_ + 1 + n, y_, sizeof(double) * n);
    if (s_.keep) std::memmove(area_ + 1 + 2 * n, w_, sizeof(double) * n);
    area_[0] = static_cast<double>(n);
    return (s_.keep ? 3 : 2) * n + 1;
  }

 private:
  const TraceSpec& s_;
  double* area_;
  double sigma_;
  int64_t cap_;
  double *x_, *y_, *w_;
};

int32_t NyquistRegion(const TraceSpec& s, Point p) {
  const bool above = p.y > s.yhi, below = p.y < s.ylo;
  if (p.x > s.xhi) return above ? 2 : below ? 8 : 1;
  if (p.x < s.xlo) return above ? 4 : below ? 6 : 5;
  if (above) return 3;
  if (below) return 7;
  return p.x >= s.xlo && p.x <= s.xhi && p.y >= s.ylo && p.y <= s.yhi ? 0 : 7;
}

bool Neighbours(int32_t a, int32_t b) {
  const int32_t d = std::abs(a - b);
  return d <= 1 || d == 7;
}

int32_t NicholsRegion(const TraceSpec& s, double phase, double magnitude) {
  const int32_t across = phase < s.xlo ? 3 : phase >= s.xhi ? 6 : 0;
  return across + (magnitude < s.ylo ? 1 : magnitude > s.yhi ? 2 : 0);
}

// The walk's stack of pending candidates: theta, the start of its interval
// and its point.
struct Stack {
  double t[kLevels], p[kLevels], x[kLevels], y[kLevels];
};

// The walk from point 0 at P: stores accepted points from n = 1 on and
// returns n. eval(t, n) gives the candidate with n points stored; bend(n, x,
// y) tells whether it strays too far from the line of the last two points;
// region(x, y) gives its code.
template <typename Eval, typename Bend, typename Region>
int64_t Walk(Tracer& tr, const TraceSpec& s, double P, double firstT, int32_t firstCode, Eval eval,
             Bend bend, Region region) {
  int64_t n = 1;
  int32_t prevCode = firstCode, lastCode = firstCode;
  Stack st;
  int32_t k = 0;
  st.t[0] = firstT;
  st.p[0] = P;
  bool pending = false;  // the candidate of level k is already evaluated
  while (n < tr.cap() - 3) {
    if (!pending) {
      const Point c = eval(st.t[k], n);
      st.x[k] = c.x;
      st.y[k] = c.y;
    }
    pending = false;
    const double x = st.x[k], y = st.y[k];
    const int32_t code = region(x, y);
    const bool room = k < kLevels - 1 && n < tr.cap() - k - kSubdivideRoom;
    if (room && bend(n, x, y) && (code == 0 || code != lastCode)) {
      k++;
      st.p[k] = st.p[k - 1];
      st.t[k] = (st.p[k - 1] + st.t[k - 1]) / 2;
      continue;
    }
    if (code != 0 && prevCode == code && lastCode == code) {
      tr.Store(n - 1, x, y, st.t[k]);
    } else {
      tr.Store(n++, x, y, st.t[k]);
      prevCode = lastCode;
    }
    lastCode = code;
    if (k > 0) {
      st.p[k - 1] = st.t[k];
      k--;
      pending = true;
      continue;
    }
    st.p[0] = st.t[0];
    if (st.t[0] >= s.hi) break;
    st.t[0] = std::min(st.t[0] + kStep, s.hi);
  }
  return n;
}

// num and den of s mapped into z with the degree of the higher one, at the
// end of the area; the spec then points at them and the size shrinks.
bool MapIntoZ(TraceSpec& spec, double* area, int64_t* size) {
  const int32_t degree = std::max(spec.numDegree, spec.denDegree);
  const int64_t w = degree + 1;
  const int64_t need = 3 * w + BilinearMapWork(degree);
  if (*size < need + 1) return false;
  double* numOut = area + *size - 2 * w;
  double* denOut = numOut + w;
  double* padded = numOut - w;
  double* work = padded - BilinearMapWork(degree);
  // The denominator raised to the common degree by leading zeros: both are
  // multiplied by (z + 1)^degree, which keeps the quotient exact.
  std::fill(padded, padded + (degree - spec.denDegree), 0.0);
  std::copy(spec.den, spec.den + spec.denDegree + 1, padded + (degree - spec.denDegree));
  ApplyBilinearMap(spec.num, spec.numDegree, padded, degree, 1, -1, 1, 1, 0, numOut, denOut, work);
  spec.num = numOut;
  spec.den = denOut;
  spec.numDegree = spec.denDegree = degree;
  *size -= 2 * w;
  spec.mapped = true;
  spec.lo = 2 * std::atan(spec.lo);
  spec.hi = spec.hi == 0 ? kPi : 2 * std::atan(spec.hi);
  return true;
}

}  // namespace

int64_t TraceFrequencyCurve(const TraceSpec& s, double* area, int64_t size) {
  Tracer tr(s, area, size);
  if (tr.cap() < 5) {
    area[0] = 0;
    return 1;
  }
  const auto eval = [&](double t) {
    Point g = tr.G(t, true);
    const double turn = tr.DelayAngle(t);
    if (turn != 0) {
      const double c = std::cos(turn), sn = std::sin(turn);
      g = {g.x * c + g.y * sn, g.y * c - g.x * sn};
    }
    return g;
  };
  const auto end = [&](double t) { return Tracer::Inner(t) ? eval(t) : tr.G(t, false); };
  const auto region = [&](Point p) { return NyquistRegion(s, p); };

  Point first = end(s.lo);
  tr.Store(0, first.x, first.y, s.lo);
  double P = s.lo;
  int32_t code = region(first);
  if (code != 0) {
    // Entry search: step along until the curve is inside, halving the step
    // where it jumps past a neighbouring region.
    double h = kStep, T = s.lo + kStep;
    bool inside = false;
    while (T < s.hi) {
      const Point c = eval(T);
      const int32_t cc = region(c);
      if (cc == 0) {
        inside = true;
        break;
      }
      if (Neighbours(code, cc)) {
        tr.Store(0, c.x, c.y, T);
        P = T;
        code = cc;
        T += h;
        continue;
      }
      T -= h;
      h /= 2;
      if (h < kLeastEntryStep) {
        T += h;
        code = cc;
        h = kStep;
      }
      T += h;
    }
    if (inside) {
      // Close in on the window's edge from outside.
      while (T - P > T * kRelativeEps) {
        const double m = 0.7 * P + 0.3 * T;
        const Point c = eval(m);
        if (region(c) == 0) break;
        P = m;
        tr.Store(0, c.x, c.y, m);
        code = region(c);
      }
      for (double f = 0.5; T * kRelativeEps < f * (T - P); f /= 2) {
        const double m = P + f * (T - P);
        const Point c = eval(m);
        if (region(c) != 0) {
          P = m;
          tr.Store(0, c.x, c.y, m);
          code = region(c);
          break;
        }
      }
    }
  }
  const auto bend = [&](int64_t n, double x, double y) {
    const double xl = tr.X(n - 1), yl = tr.Y(n - 1);
    const double dx = xl - x, dy = yl - y;
    double d = std::fabs(dx) + std::fabs(dy);
    if (d > s.xTolerance && n >= 2) {
      const double xp = tr.X(n - 2), yp = tr.Y(n - 2);
      d = 3 * std::fabs((yp - y) * dx - (xp - x) * dy) / (std::fabs(xl - xp) + std::fabs(yl - yp));
    }
    return d > s.xTolerance;
  };
  int64_t n = Walk(
      tr, s, P, std::min(P + kStep, s.hi), code, [&](double t, int64_t) { return eval(t); }, bend,
      [&](double x, double y) {
        return region({x, y});
      });
  const Point last = end(s.hi);
  tr.Store(n++, last.x, last.y, s.hi);
  return tr.Finish(n);
}

int64_t TraceNicholsWorker(const TraceSpec& s, double* area, int64_t size) {
  Tracer tr(s, area, size);
  if (tr.cap() < 5) {
    area[0] = 0;
    return 1;
  }
  // Phase and magnitude at t with n points stored, the phase unwrapped
  // against the last of them (copied from it where the magnitude vanishes).
  const auto eval = [&](double t, int64_t n) {
    const Point g = tr.G(t, true);
    const double m = std::hypot(g.x, g.y);
    const double last = tr.X(n - 1);
    if (m <= kTinyMagnitude) return Point{last, m};
    return Point{UnwrapPhase(std::atan2(g.y, g.x) - tr.DelayAngle(t), last), m};
  };
  {
    const bool inner = Tracer::Inner(s.lo);
    const Point g = tr.G(s.lo, inner);
    const double m = std::hypot(g.x, g.y);
    double phase;
    if (s.lo == 0) {
      phase = g.x < 0 ? kPi : 0;
    } else {
      phase = std::atan2(g.y, g.x) - (inner ? tr.DelayAngle(s.lo) : 0);
    }
    tr.Store(0, phase, m, s.lo);
  }
  const auto ratio = [&](double a, double b) { return s.logY ? std::log(a / b) : a - b; };
  const auto bend = [&](int64_t n, double phi, double m) {
    const double xl = tr.X(n - 1), yl = tr.Y(n - 1);
    double dA = std::fabs(xl - phi), dM = std::fabs(ratio(yl, m));
    if ((dA > s.xTolerance || dM > s.yTolerance) && dA < 10 * s.xTolerance &&
        dM < 10 * s.yTolerance && n >= 2) {
      const double xp = tr.X(n - 2), yp = tr.Y(n - 2);
      const double d1 = ratio(yp, m), d3 = ratio(yl, m), d2 = ratio(yl, yp);
      dA = 3 * std::fabs(d1 * (xl - phi) - (xp - phi) * d3) /
           (std::fabs(d2) + std::fabs(xl - xp) * s.yTolerance / s.xTolerance);
      dM = 0;
    }
    return dA > s.xTolerance || dM > s.yTolerance;
  };
  const auto region = [&](double phi, double m) { return NicholsRegion(s, phi, m); };
  const int32_t code = region(tr.X(0), tr.Y(0));
  int64_t n = Walk(tr, s, s.lo, s.lo + kStep, code, eval, bend, region);
  const bool inner = Tracer::Inner(s.hi);
  const Point g = tr.G(s.hi, inner);
  const double m = std::hypot(g.x, g.y);
  double phase = tr.X(n - 1);
  if (m > kTinyMagnitude && (inner || !(s.mapped && s.delay != 0))) {
    phase = UnwrapPhase(std::atan2(g.y, g.x) - (inner ? tr.DelayAngle(s.hi) : 0), phase);
  }
  tr.Store(n++, phase, m, s.hi);
  return tr.Finish(n);
}

int64_t TraceNyquistCurveMapped(TraceSpec spec, double* area, int64_t size) {
  if (!MapIntoZ(spec, area, &size)) {
    area[0] = 0;
    return 1;
  }
  return TraceFrequencyCurve(spec, area, size);
}

int64_t TraceNicholsCurveMapped(TraceSpec spec, double* area, int64_t size) {
  if (!MapIntoZ(spec, area, &size)) {
    area[0] = 0;
    return 1;
  }
  return TraceNicholsWorker(spec, area, size);
}

}  // namespace vke
