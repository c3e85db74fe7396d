// Milliseconds per redraw of a control panel beside a plot at 800 x 600:
// a ten-row panel (text, four sliders, check boxes, radio buttons, push
// buttons, a pop-up menu and a numeric field) and a plot of 10,000 points.
// One redraw is what a slider move costs: the handler that takes the new
// value, both draw handlers and one paint of the figure.
// bench/compare_matplotlib.sh sets it beside the same figure in matplotlib.
#include <chrono>
#include <cstdio>

#include "app/menu_items.hpp"
#include "bench/packed_figure.hpp"
#include "graphics/figure_codes.hpp"

namespace {

using vke::bench::Check;

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

constexpr const char* kDescription = R"(title "Panel bench"
source "panel.vke"
var gain freq
init (gain, freq) = start()
menu "Slider"
  item "Move" gain = move(gain)
endmenu
figure "Controls"
  draw controls(gain, freq)
figure "Signal"
  draw signal(gain, freq)
)";

constexpr const char* kSource = R"(function (gain, freq) = start
  gain = 1;
  freq = 5;
  subplots(['Controls', char(9), 'Signal']);

function gain = move(gain)
  gain = mod(gain + 0.37, 5);

function controls(gain, freq)
  t = char(9);
  n = char(10);
  text('Signal generator');
  slider(['Gain', n, 'Frequency', n, 'Phase', n, 'Offset'], [gain; freq; 0.5; 0], ...
         [0 5; 1 100; 0 1; -1 1], 'nlnn', 'b', 1);
  button(['Show', t, 'Grid', t, 'Marks'], 1, 'c', '', 2);
  button(['Shape', t, 'Sine', t, 'Square'], 1, 'r', '', 3);
  pushbutton(['Run', t, 'Start', t, 'Reset'], '', 4);
  popupmenu('Colour', {'Blue', 'Red', 'Green'}, 1, '', 5);
  textfield('Gain', '%5.2f', gain, '', 6);

function signal(gain, freq)
  t = (0:9999) / 9999;
  plot(t, gain * sin(2 * pi * freq * t), 'b');
)";

}  // namespace

int main() {
  vke::bench::PackedFigure figure(kDescription, "panel", kSource, kWidth, kHeight);
  int32_t move = -1;
  vke::MenuEntry entry;
  vke::bench::Check(vke::GetMenuItemInfo(figure.block(), 0, 'm', &move, &entry) == vke::kOk,
                    "menu");
  while (entry.text != "Move") {
    vke::bench::Check(vke::GetMenuItemInfo(figure.block(), 0, 'm', &move, &entry) == vke::kOk,
                      "item");
  }

  int32_t redraws = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || redraws < 10) {
    vke::bench::Check(vke::RunMenuItemHandler(figure.slot(), 0, move) == vke::kStatusRepaint,
                      "move");
    vke::DrawInstanceSubplots(figure.block(), 0);
    ++redraws;
    spent = std::chrono::steady_clock::now() - start;
  }
  std::printf("panel of 10 rows beside 10,000 points at %dx%d: %.2f ms per redraw (target 16)\n",
              kWidth, kHeight, 1000 * spent.count() / redraws);
  return 0;
}
