// Times the frequency-response, discretisation and margin kernels that a
// control figure runs on every redraw, in microseconds per call, against
// GNU Octave with its control package (freqresp, c2d, margin) timed with
// tic/toc, and prints the ratios (engine time / peer time). Without the
// peer only the engine's times print.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/peer_times.hpp"
#include "control/conversion_kernels.hpp"
#include "control/frequency_response.hpp"
#include "control/stability_margins.hpp"

namespace {

using Poly = std::vector<double>;

constexpr int kFrequencies = 200;
constexpr int kOrder = 10;
constexpr int kLoopOrder = 6;

// Keeps the results alive so that the timed calls are not optimised away.
volatile double gSink;

// The product of (s + r) for r = 1 .. n.
Poly PolesAtIntegers(int n) {
  Poly p{1};
  for (int r = 1; r <= n; r++) {
    Poly q(p.size() + 1, 0.0);
    for (size_t k = 0; k < p.size(); k++) {
      q[k] += p[k];
      q[k + 1] += r * p[k];
    }
    p = q;
  }
  return p;
}

struct Setup {
  Poly den = PolesAtIntegers(kOrder);
  Poly num{1};
  std::vector<double> a, b, c, w;
  double d = 0;
  Poly loopNum{2};
  Poly loopDen{1, 6, 15, 20, 15, 6, 1};
  Setup() {
    a.resize(kOrder * kOrder);
    b.resize(kOrder);
    c.resize(kOrder);
    vke::TfToStateSpace(num.data(), 0, den.data(), kOrder, a.data(), b.data(), c.data(), &d);
    for (int k = 0; k < kFrequencies; k++) w.push_back(std::pow(10.0, -1 + 3.0 * k / 199));
  }
};

struct Operation {
  const char* name;
  const char* peer;  // the Octave statement timed
  std::function<void(const Setup&, std::vector<double>& work)> run;
};

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> ops = {
      {"tf10 x200", "h = freqresp(G, w);",
       [](const Setup& s, std::vector<double>&) {
         double re, im;
         for (double w : s.w) {
           vke::EvalRationalAtComplex(s.num.data(), 0, s.den.data(), kOrder, 0, w, &re, &im);
           gSink = re + im;
         }
       }},
      {"ss10 x200", "h = freqresp(S, w);",
       [](const Setup& s, std::vector<double>& work) {
         double re, im;
         for (double w : s.w) {
           vke::SsResponseSingleInput(s.a.data(), s.b.data(), s.c.data(), &s.d, kOrder, 1, 0, w,
                                      &re, &im, work.data());
           gSink = re + im;
         }
       }},
      {"zoh ss10", "D = c2d(S, 0.1, 'zoh');",
       [](const Setup& s, std::vector<double>& work) {
         double ad[kOrder * kOrder], bd[kOrder];
         vke::ZohStateSpace(s.a.data(), s.b.data(), kOrder, 1, 0.1, ad, bd, work.data());
         gSink = ad[0] + bd[0];
       }},
      {"foh ss10", "D = c2d(S, 0.1, 'foh');",
       [](const Setup& s, std::vector<double>& work) {
         double ad[kOrder * kOrder], bd[kOrder], cd[kOrder], dd;
         vke::DiscretizeSsByExpm(s.a.data(), s.b.data(), s.c.data(), &s.d, kOrder, 1, 1, 0.1, ad,
                                 bd, cd, &dd, work.data());
         gSink = ad[0] + dd;
       }},
      {"margin 6", "[gm, pm, wg, wp] = margin(L);",
       [](const Setup& s, std::vector<double>& work) {
         double num[kLoopOrder + 1], den[kLoopOrder + 1];
         vke::ApplyBilinearMap(s.loopNum.data(), 0, s.loopDen.data(), kLoopOrder, 1, -1, 1, 1, 0,
                               num, den, work.data());
         vke::StabilityMargins m;
         vke::FindGainPhaseCrossovers(num, kLoopOrder, den, kLoopOrder, work.data(), &m);
         gSink = m.phase;
       }},
  };
  return ops;
}

double MicrosecondsPerCall(const Operation& op, const Setup& s) {
  std::vector<double> work(8192);
  double best = 1e30;
  for (int round = 0; round < 5; round++) {
    const int calls = 200;
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < calls; k++) op.run(s, work);
    auto end = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::micro>(end - start).count() / calls);
  }
  return best;
}

// The peer's best times in microseconds, by operation index, read from
// lines "index microseconds".
std::map<int, double> TimePeer() {
  std::string script =
      "pkg load control; w = logspace(-1, 2, 200); G = tf(1, poly(-(1:10))); S = ss(G); "
      "L = tf(2, [1 6 15 20 15 6 1]); ";
  const auto& ops = Operations();
  for (size_t i = 0; i < ops.size(); i++) {
    script += "b = inf; for k = 1:20, tic; " + std::string(ops[i].peer) +
              " b = min(b, toc); end; printf('%d %.9g\\n', " + std::to_string(i) + ", 1e6 * b); ";
  }
  return vke::bench::RunPeerTimes(script);
}

}  // namespace

int main() {
  const Setup setup;
  auto peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave with its control package) not available\n");
  std::printf("%-12s %14s %14s %8s\n", "operation", "engine [us]", "peer [us]", "ratio");
  const auto& ops = Operations();
  for (size_t i = 0; i < ops.size(); i++) {
    const double ours = MicrosecondsPerCall(ops[i], setup);
    auto it = peer.find(int(i));
    if (it == peer.end()) {
      std::printf("%-12s %14.2f\n", ops[i].name, ours);
    } else {
      std::printf("%-12s %14.2f %14.2f %8.4f\n", ops[i].name, ours, it->second, ours / it->second);
    }
  }
  return 0;
}
