// An application for the mouse tests: instance 0 with KV variables and
// handlers compiled from VKE source, the elements a test writes (plots with
// their draw and mouse handlers), laid out in a 640 x 480 figure, drawn and
// driven through a headless view. Handlers report with fprintf; the text
// is read back with Output().
//
//   MouseApp a({"x"}, "function x = start()\n x = 1;\n subplots('P');\n...");
//   a.list.Handler(kElemInit, {a.Fn("start"), {a.Var("x")}});
//   a.Plot("P", {a.Fn("show"), {}, {a.Var("x")}});
//   a.Start();
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/headless_view.hpp"
#include "graphics/drawing_command.hpp"
#include "tests/app/family_host.hpp"

namespace vke::test {

// VKE source of v(a): a value as the handlers print it, "-" for none.
inline constexpr char kValueText[] = R"(
function s = v(a)
  if isempty(a)
    s = '-';
  else
    s = sprintf('%.3g', a);
  end
)";

// A clock the test moves by hand, given to a block as the clock of its
// time records (the rate limit of mouse moves reads it). Each record holds
// the clock's address and its own start.
class HandClock {
 public:
  explicit HandClock(KVContextBlock* block);
  void Advance(double seconds) { now_ += seconds; }

 private:
  struct Record {
    HandClock* clock;
    double start;
  };
  static double Read(void* record, int32_t, int32_t restart);
  Record records_[6] = {};
  double now_ = 10;
};

class MouseApp {
 public:
  // Natives of the test's own (a table) are registered before the source
  // compiles.
  MouseApp(const std::vector<std::string>& variables, const std::string& source,
           const NativeFunctionRecord* natives = nullptr);

  int32_t Var(const std::string& name) const { return host.Var(name); }
  int32_t Fn(const std::string& name) { return host.Fn(name); }
  // A plot (figure element) with its draw handler; its mouse handlers follow
  // with Mouse. Its plot id goes to `plots`.
  MouseApp& Plot(const std::string& name, const Descriptor& draw);
  MouseApp& Mouse(uint32_t kind, const Descriptor& handler, int32_t target = -1);
  // Loads the elements, resets the instance's data (its init handler lays
  // the subplots out), runs the draw handlers and draws the figure.
  void Start();

  KVContextBlock* block() { return host.block(); }
  KVContextBlock** slot() { return host.slot(); }
  FigureState& figure() { return host.Record()->figure; }
  SubplotRecord& subplot(int32_t k) { return figure().subplots[k]; }
  // The pixel point of data point (x, y) in subplot k.
  double PixelX(int32_t k, double x) const;
  double PixelY(int32_t k, double y) const;
  // The first command with the code in subplot k's group.
  bool FindCommand(int32_t k, int32_t code, CommandHeader* header, const std::byte** data);
  // What the handlers printed since the last call.
  std::string Output();
  double Scalar(const std::string& variable) { return host.Scalar(Var(variable)); }
  // The elements of a real variable's current value.
  std::vector<double> Values(const std::string& variable);
  std::vector<double> Values(int32_t variable);

  FamilyHost host;
  ElementListBuilder list;
  std::unique_ptr<HeadlessFigureView> view;
  std::vector<int32_t> plots;
};

}  // namespace vke::test
