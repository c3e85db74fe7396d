// Times movezero on real polynomials of degree 2 to 50 whose zeros are half
// conjugate pairs on a circle and half real, dragging a real zero off the
// axis (the roots are computed to find its neighbour) and a complex one
// (a factor divided out and multiplied in), against numpy doing the same
// move through its roots: np.roots, the zero replaced, np.poly. Prints the
// time per call in microseconds and the ratio (engine / numpy); a drag in a
// pole-zero plot should cost well under a frame (20 us at degree 20).
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/natives/app_natives.hpp"
#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/values/values.hpp"

namespace {

constexpr int kDegrees[] = {2, 5, 10, 20, 30, 50};
constexpr int kReps = 2000;
constexpr double kPi = 3.14159265358979323846;

// Coefficients of the polynomial whose zeros are n/2 pairs 0.9 e^(+-it)
// and the rest real, spread over [-1.5, 1.5].
std::vector<double> Coefficients(int degree, double* realZero, double* pairRe, double* pairIm) {
  std::vector<double> p{1};
  auto multiply = [&](double b, double c, bool quadratic) {
    std::vector<double> q(p.size() + (quadratic ? 2 : 1), 0);
    for (size_t i = 0; i < p.size(); i++) {
      q[i] += p[i];
      q[i + 1] += b * p[i];
      if (quadratic) q[i + 2] += c * p[i];
    }
    p = q;
  };
  const int pairs = degree / 4;
  int placed = 0;
  for (int k = 0; k < pairs; k++, placed += 2) {
    const double t = kPi * (k + 1) / (pairs + 1);
    const double re = 0.9 * std::cos(t), im = 0.9 * std::sin(t);
    multiply(-2 * re, re * re + im * im, true);
    *pairRe = re, *pairIm = im;
  }
  const int reals = degree - placed;
  for (int k = 0; k < reals; k++) {
    const double r = reals == 1 ? 0.5 : -1.5 + 3.0 * k / (reals - 1);
    multiply(-r, 0, false);
    *realZero = r;
  }
  if (pairs == 0) *pairRe = *pairIm = 0;
  return p;
}

std::string Row(const std::vector<double>& p) {
  std::string s = "[";
  char number[40];
  for (double c : p) {
    std::snprintf(number, sizeof number, "%.17g,", c);
    s += number;
  }
  return s + "]";
}

// numpy's best time per call (microseconds) of the same moves, by case.
std::map<int, double> TimePeer(const std::vector<std::string>& cases) {
  std::string script =
      "import numpy as np, time\n"
      "def move(p, a, b):\n"
      "    r = np.roots(p).astype(complex)\n"
      "    i = np.argmin(abs(r - a))\n"
      "    r[i] = b\n"
      "    if a.imag != 0:\n"
      "        j = np.argmin(abs(r - np.conj(a)))\n"
      "        r[j] = np.conj(b)\n"
      "    elif b.imag != 0:\n"
      "        d = abs(r - a); d[i] = np.inf\n"
      "        r[np.argmin(d)] = np.conj(b)\n"
      "    return np.real(np.poly(r)) * p[0]\n"
      "cases = [" +
      [&] {
        std::string list;
        for (const std::string& c : cases) list += c + ",";
        return list;
      }() +
      "]\n"
      "for n, (p, a, b) in enumerate(cases):\n"
      "    p = np.array(p)\n"
      "    best = 1e30\n"
      "    for k in range(200):\n"
      "        t = time.perf_counter(); move(p, a, b); best = min(best, time.perf_counter() - t)\n"
      "    print(n, best * 1e6)\n";
  FILE* f = std::fopen("/tmp/move_zero_peer.py", "w");
  if (!f) return {};
  std::fputs(script.c_str(), f);
  std::fclose(f);
  // The first interpreter that has numpy: $PYTHON, python3, the system's.
  return vke::bench::ReadPeerTimes(
      "for p in ${PYTHON:-} python3 /usr/bin/python3; do"
      " \"$p\" -c 'import numpy' 2>/dev/null && exec \"$p\" /tmp/move_zero_peer.py 2>/dev/null;"
      " done");
}

}  // namespace

int main() {
  vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (!ctx) return 2;
  struct Timed {
    std::string label;
    double micro;
  };
  std::vector<Timed> rows;
  std::vector<std::string> peerCases;
  for (int degree : kDegrees) {
    double real = 0, re = 0, im = 0;
    const std::vector<double> p = Coefficients(degree, &real, &re, &im);
    struct Move {
      const char* what;
      double fromRe, fromIm, toRe, toIm;
    };
    std::vector<Move> moves = {{"real zero off the axis", real, 0, real + 0.1, 0.2}};
    if (im != 0) moves.push_back({"complex pair", re, im, re + 0.1, im + 0.1});
    for (const Move& m : moves) {
      double* data;
      if (vke::PushNewMatrix(ctx, 1, static_cast<int32_t>(p.size()), &data, nullptr)) return 3;
      for (size_t i = 0; i < p.size(); i++) data[i] = p[i];
      vke::PushComplexScalar(ctx, m.fromRe, m.fromIm);
      vke::PushComplexScalar(ctx, m.toRe, m.toIm);
      const double best = vke::bench::BestNativeTime(ctx, &vke::MoveZeroNative, 3, 1, 0, kReps);
      vke::Drop(ctx, 3);
      rows.push_back({"degree " + std::to_string(degree) + ", " + m.what, best * 1e6});
      char a[80], b[80];
      std::snprintf(a, sizeof a, "complex(%.17g,%.17g)", m.fromRe, m.fromIm);
      std::snprintf(b, sizeof b, "complex(%.17g,%.17g)", m.toRe, m.toIm);
      peerCases.push_back("(" + Row(p) + "," + a + "," + b + ")");
    }
  }
  const std::map<int, double> peer = TimePeer(peerCases);
  std::printf("%-36s %12s %12s %8s\n", "movezero", "vke (us)", "numpy (us)", "ratio");
  for (size_t i = 0; i < rows.size(); i++) {
    std::printf("%-36s %12.3f", rows[i].label.c_str(), rows[i].micro);
    auto it = peer.find(static_cast<int>(i));
    if (it != peer.end()) {
      std::printf(" %12.3f %8.3f\n", it->second, rows[i].micro / it->second);
    } else {
      std::printf("\n");
    }
  }
  return 0;
}
