// The response plots a control figure redraws, each in a subplot of an
// 800 x 600 figure, in milliseconds per redraw (the draw handlers and one
// paint; target 16 ms, so that dragging a pole moves the curves at 60 frames
// per second): the Bode magnitude, Bode phase and Nyquist curves of a
// tenth-order transfer function; its step and impulse responses, an lsim
// of 10,000 input samples and the root locus of a sixth-order loop (target
// 50 ms). Then the numerics alone, in microseconds, against
// GNU Octave with its control package (tic/toc; bode and nyquist at 200
// given frequencies, step, impulse and lsim at the times the curves use),
// with the ratio ours / Octave's. Without the peer only our times print.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/packed_figure.hpp"
#include "bench/peer_times.hpp"
#include "control/frequency_response.hpp"
#include "graphics/frequency_trace.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr int32_t kFrequencies = 200;

// Poles -0.3 .. -3 in pairs with light damping, a zero pair.
constexpr const char* kNum = "[1 0.8 2.5]";
constexpr const char* kDen =
    "conv(conv(conv([1 0.3 1], [1 0.5 2]), conv([1 0.8 4], [1 1 6])), [1 3 9])";

constexpr const char* kDescription = R"(title "Frequency bench"
source "frequency.vke"
var n d
init (n, d) = start()
figure "Magnitude"
  draw magnitude(n, d)
figure "Phase"
  draw phase(n, d)
figure "Nyquist"
  draw plane(n, d)
)";

constexpr const char* kTimeDescription = R"(title "Time bench"
source "time.vke"
var n d u t
init (n, d, u, t) = start()
figure "Step"
  draw steps(n, d)
figure "Impulse"
  draw impulses(n, d)
figure "Simulation"
  draw simulation(n, d, u, t)
figure "Root locus"
  draw locus()
)";

constexpr const char* kTimeHandlers = R"(function steps(n, d)
  step(n, d);

function impulses(n, d)
  impulse(n, d);

function simulation(n, d, u, t)
  lsim(n, d, u, t);

function locus
  rlocus([1 2 5], conv(conv([1 1], [1 4]), conv([1 0.6 9], [1 2 2 0])));
)";

constexpr const char* kHandlers = R"(function magnitude(n, d)
  bodemag(n, d);

function phase(n, d)
  bodephase(n, d);

function plane(n, d)
  nyquist(n, d);
)";

template <typename Step>
double SecondsPer(Step step) {
  int32_t runs = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 1.0 || runs < 10) {
    step();
    ++runs;
    spent = std::chrono::steady_clock::now() - start;
  }
  return spent.count() / runs;
}

std::vector<double> Multiply(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> c(a.size() + b.size() - 1, 0.0);
  for (size_t i = 0; i < a.size(); i++) {
    for (size_t j = 0; j < b.size(); j++) c[i + j] += a[i] * b[j];
  }
  return c;
}

}  // namespace

int main() {
  const std::string source = std::string("function (n, d) = start\n  n = ") + kNum +
                             ";\n  d = " + kDen + ";\n\n" + kHandlers;
  vke::bench::PackedFigure figure(kDescription, "frequency", source, kWidth, kHeight);
  const double redraw = SecondsPer([&] {
    vke::bench::Check(vke::RunDrawHandlers(figure.slot(), 0) == vke::kOk, "draw");
    vke::DrawInstanceSubplots(figure.block(), 0);
  });
  std::printf("redraw of bodemag, bodephase, nyquist: %.3f ms (target 16)\n", 1000 * redraw);
  const std::string timeSource =
      std::string("function (n, d, u, t) = start\n  n = ") + kNum + ";\n  d = " + kDen +
      ";\n  t = (0:9999) * 0.004;\n  u = sin(t) + 0.5 * sign(sin(3 * t));\n\n" + kTimeHandlers;
  vke::bench::PackedFigure times(kTimeDescription, "time", timeSource, kWidth, kHeight);
  const double timeRedraw = SecondsPer([&] {
    vke::bench::Check(vke::RunDrawHandlers(times.slot(), 0) == vke::kOk, "draw");
    vke::DrawInstanceSubplots(times.block(), 0);
  });
  std::printf(
      "redraw of step, impulse, lsim of 10000 samples, rlocus: %.3f ms (target 16, "
      "rlocus 50)\n",
      1000 * timeRedraw);
  // The curves alone: the draw handlers without the paint.
  const double timeCurves = SecondsPer(
      [&] { vke::bench::Check(vke::RunDrawHandlers(times.slot(), 0) == vke::kOk, "draw"); });

  const std::vector<double> num = {1, 0.8, 2.5};
  std::vector<double> den = {1};
  for (const std::vector<double>& f : std::vector<std::vector<double>>{
           {1, 0.3, 1}, {1, 0.5, 2}, {1, 0.8, 4}, {1, 1, 6}, {1, 3, 9}}) {
    den = Multiply(den, f);
  }
  const int32_t nd = static_cast<int32_t>(num.size()) - 1,
                dd = static_cast<int32_t>(den.size()) - 1;
  std::vector<double> w(kFrequencies), re(kFrequencies), im(kFrequencies);
  for (int32_t i = 0; i < kFrequencies; i++)
    w[i] = std::pow(10.0, -2 + 4.0 * i / (kFrequencies - 1));
  const double response = SecondsPer([&] {
    for (int32_t i = 0; i < kFrequencies; i++) {
      vke::EvalRationalAtComplex(num.data(), nd, den.data(), dd, 0, w[i], &re[i], &im[i]);
    }
  });
  std::vector<double> area(1 << 16);
  const double traced = SecondsPer([&] {
    vke::TraceSpec t{};
    t.num = num.data();
    t.numDegree = nd;
    t.den = den.data();
    t.denDegree = dd;
    t.xTolerance = t.yTolerance = 0.05;
    t.keep = true;
    t.xlo = t.ylo = -50;
    t.xhi = t.yhi = 50;
    t.budget = 400 * dd;
    vke::TraceNyquistCurveMapped(t, area.data(), static_cast<int64_t>(area.size()));
  });

  const std::string setup = "pkg load control; G = tf(" + std::string(kNum) + ", " + kDen +
                            "); w = logspace(-2, 2, 200);";
  auto peer =
      vke::bench::RunPeerTimes(setup + vke::bench::PeerTiming(0, 20, "[m, p] = bode(G, w)") +
                               vke::bench::PeerTiming(1, 20, "[r, i] = nyquist(G, w)") +
                               "tu = (0:9999) * 0.004; u = sin(tu) + 0.5 * sign(sin(3 * tu));"
                               "ts = linspace(0, 40, 201);" +
                               vke::bench::PeerTiming(2, 5,
                                                      "y1 = step(G, ts); y2 = impulse(G, ts); "
                                                      "y3 = lsim(G, u, tu)") +
                               "L = tf([1 2 5], conv(conv([1 1], [1 4]), conv([1 0.6 9], "
                               "[1 2 2 0]))); k = logspace(-3, 3, 400);" +
                               vke::bench::PeerTiming(3, 5, "r = rlocus(L, k)"));
  if (peer.empty()) std::printf("peer (octave with its control package) not available\n");
  // The time curves are timed together, rlocus among them.
  if (peer.count(2) != 0 && peer.count(3) != 0) {
    peer[2] += peer[3];
  } else {
    peer.erase(2);
  }
  std::printf("%-30s %12s %12s %8s\n", "numerics", "ours [us]", "peer [us]", "ratio");
  const auto row = [&](const char* name, double seconds, int index) {
    std::printf("%-30s %12.2f", name, 1e6 * seconds);
    auto it = peer.find(index);
    if (it == peer.end()) {
      std::printf("\n");
    } else {
      std::printf(" %12.2f %8.4f\n", 1e6 * it->second, seconds / it->second);
    }
  };
  row("response at 200 frequencies", response, 0);
  row("nyquist traced", traced, 1);
  row("step, impulse, lsim, rlocus", timeCurves, 2);
  std::printf("(traced nyquist: %lld points)\n", static_cast<long long>(area[0]));
  return 0;
}
