// Figures drawn by the plot natives and rendered to PNG through the screen
// port, compared with committed images (tests/data): a plain curve, a plot
// with title, labels, legend and grid, a figure of several subplots, the
// 3-D box of a helix in both projections, an application whose draw handlers are compiled VKE
// functions, a lit surface in both projections, an image in each resampling
// mode, pseudo-colour cells, contours, the response-plot grids, the error
// locus, frequency and time responses and a root locus. VKE_UPDATE_GOLDENS=1 writes the images
// anew.
#include "app/figure_png.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/draw_cycle.hpp"
#include "app/instance_figure.hpp"
#include "app/name_buffer.hpp"
#include "compiler/compile.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/object_store.hpp"
#include "graphics/renderer.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

std::string DataPath(const std::string& name) {
  const char* dir = std::getenv("VKE_TEST_DATA");
  return std::string(dir != nullptr ? dir : "tests/data") + "/" + name;
}

// Pixels of two images that differ by more than a faint shade.
int64_t DifferingPixels(const std::string& a, const std::string& b) {
  cairo_surface_t* sa = cairo_image_surface_create_from_png(a.c_str());
  cairo_surface_t* sb = cairo_image_surface_create_from_png(b.c_str());
  int64_t differing = -1;
  if (cairo_surface_status(sa) == CAIRO_STATUS_SUCCESS &&
      cairo_surface_status(sb) == CAIRO_STATUS_SUCCESS &&
      cairo_image_surface_get_width(sa) == cairo_image_surface_get_width(sb) &&
      cairo_image_surface_get_height(sa) == cairo_image_surface_get_height(sb)) {
    differing = 0;
    const int w = cairo_image_surface_get_width(sa);
    const int h = cairo_image_surface_get_height(sa);
    const unsigned char* pa = cairo_image_surface_get_data(sa);
    const unsigned char* pb = cairo_image_surface_get_data(sb);
    const int stride = cairo_image_surface_get_stride(sa);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w * 4; ++x) {
        if (std::abs(pa[y * stride + x] - pb[y * stride + x]) > 40) {
          ++differing;
          x = (x / 4 + 1) * 4 - 1;
        }
      }
    }
  }
  cairo_surface_destroy(sa);
  cairo_surface_destroy(sb);
  return differing;
}

// Renders the figure and compares it with the committed image: at most
// 0.5 % of the pixels may differ (text drawn with another font version).
void ExpectLikeGolden(test::FigureApp& app, const std::string& name, bool runHandlers = false) {
  const std::string out = (std::filesystem::temp_directory_path() / ("vke_" + name)).string();
  KVContextBlock* slot = app.block();
  ASSERT_EQ(RenderFigurePng(&slot, 0, kWidth, kHeight, out.c_str(), runHandlers), kOk);
  const std::string golden = DataPath(name);
  if (std::getenv("VKE_UPDATE_GOLDENS") != nullptr) {
    std::filesystem::copy_file(out, golden, std::filesystem::copy_options::overwrite_existing);
  }
  const int64_t differing = DifferingPixels(out, golden);
  ASSERT_GE(differing, 0) << "no comparable image " << golden;
  EXPECT_LE(differing, int64_t{kWidth} * kHeight / 200) << name;
}

// A figure whose subplots are drawn by calling the natives as their draw
// handlers would.
struct Drawn : test::FigureApp {
  Drawn(int32_t rows, int32_t columns) : FigureApp(rows, columns) { Load(); }
  void Subplot(int32_t k) { EXPECT_TRUE(BeginSubplot(k)); }
};

V Range(double from, double step, double to) {
  V v;
  for (int32_t i = 0; from + i * step <= to + 1e-9; ++i) v.push_back(from + i * step);
  return v;
}

V Map(const V& x, double (*f)(double)) {
  V y;
  for (double v : x) y.push_back(f(v));
  return y;
}

TEST(FigurePng, PlainCurve) {
  Drawn d(1, 1);
  d.Subplot(0);
  EXPECT_EQ(d.Row(Map(Range(0, 0.1, 6), std::sin)).Run("plot"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "sine_plot.png");
}

TEST(FigurePng, PlotWithTitleLabelsLegendAndGrid) {
  Drawn d(1, 1);
  d.Subplot(0);
  const V x = Range(0, 0.05, 2 * M_PI);
  EXPECT_EQ(d.Text("xygrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Row(x).Row(Map(x, std::sin)).Text("b").Run("plot"), kOk);
  EXPECT_EQ(d.Row(x).Row(Map(x, std::cos)).Text("r-").Run("plot"), kOk);
  EXPECT_EQ(d.Text("Sine and cosine").Run("title"), kOk);
  EXPECT_EQ(d.Text("t [s]").Text("y").Run("label"), kOk);
  EXPECT_EQ(d.Text("sin t\ncos t").Text("b,r-").Run("legend"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "decorated_plot.png");
}

TEST(FigurePng, FigureOfSeveralSubplots) {
  Drawn d(2, 2);
  d.Subplot(0);
  EXPECT_EQ(d.Row({3, 5, 2, 6, 4}).Run("bar"), kOk);
  EXPECT_EQ(d.Text("Bars").Run("title"), kOk);
  d.Subplot(1);
  const V t = Range(0, 0.02, 2 * M_PI);
  EXPECT_EQ(d.Row(Map(t, std::cos)).Row(Map(t, std::sin)).Text("g").Run("plot"), kOk);
  EXPECT_EQ(d.Row({0, 0.5}).Row({0, 0.5}).Row({0.5, 0.25}).Run("circle"), kOk);
  EXPECT_EQ(d.Text("equal").Run("scale"), kOk);
  EXPECT_EQ(d.Text("Circles").Run("title"), kOk);
  d.Subplot(2);
  const V f = Range(1, 1, 100);
  EXPECT_EQ(
      d.Row(f).Row(Map(f, [](double v) { return 1 / (1 + v * v / 100); })).Text("k").Run("plot"),
      kOk);
  EXPECT_EQ(d.Text("loglog").Run("scale"), kOk);
  EXPECT_EQ(d.Text("Logarithmic axes").Run("title"), kOk);
  d.Subplot(3);
  EXPECT_EQ(d.Row({1, 2, 3, 4, 5}).Row({2, 3, 1, 5, 4}).Text("ro").Run("plot"), kOk);
  EXPECT_EQ(d.Row({1, -1}).Row({0}).Text("k:").Run("line"), kOk);
  EXPECT_EQ(d.Text("Markers and a line").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "subplots_figure.png");
}

TEST(FigurePng, HelixBoxInBothProjections) {
  Drawn d(1, 2);
  const V t = Range(0, 0.05, 4 * M_PI);
  V z;
  for (double v : t) z.push_back(v / 4);
  for (int32_t k = 0; k < 2; ++k) {
    d.Subplot(k);
    EXPECT_EQ(d.Text("xygrid").Run("plotoption"), kOk);
    EXPECT_EQ(d.Row(Map(t, std::cos)).Row(Map(t, std::sin)).Row(z).Run("plot3"), kOk);
    EXPECT_EQ(d.Text("x").Text("y").Text("z").Run("label"), kOk);
    EXPECT_EQ(d.Text(k == 0 ? "Orthographic" : "Perspective").Run("title"), kOk);
    if (k == 1) {
      EXPECT_EQ(d.Text("p").Run("camproj"), kOk);
    }
    d.subplot(k).optionWord |= kOptZGrid;
  }
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "helix_box.png");
}

TEST(FigurePng, ApplicationDrawnByItsHandlers) {
  test::FigureApp app(1, 2);
  const std::string source =
      "function wave\n  plot(sin(0:0.1:6));\nendfunction\n"
      "function steps\n  bar([3 1 4 1 5]);\n  label('n', 'count');\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(app.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  constexpr int32_t kWave = 200, kSteps = 201;
  ASSERT_EQ(AddNameSlot(app.block()->NameArea(), kWave, "wave", -1), kOk);
  ASSERT_EQ(AddNameSlot(app.block()->NameArea(), kSteps, "steps", -1), kOk);
  app.AddPlot("Wave", true, kWave);
  app.AddPlot("Steps", true, kSteps);
  app.Load();
  InstanceFigureHost host(app.block(), 0);
  for (int32_t k = 0; k < 2; ++k) {
    ASSERT_EQ(ResetSubplots(&app.figure(), host, 0, k, app.plots[k], true), kOk);
  }
  FindInstance(app.block(), 0)->initialised = 1;
  ExpectLikeGolden(app, "application_figure.png", true);
}

// A smooth surface with two peaks and a pit on a 30 x 30 grid over
// [-3, 3] x [-3, 3]: the x row, the y column and z row by row.
struct Peaks {
  explicit Peaks(int32_t n) : n(n) {
    for (int32_t i = 0; i < n; ++i) axis.push_back(-3 + 6.0 * i / (n - 1));
    for (double y : axis) {
      for (double x : axis) {
        z.push_back(3 * (1 - x) * (1 - x) * std::exp(-x * x - (y + 1) * (y + 1)) -
                    10 * (x / 5 - x * x * x - std::pow(y, 5)) * std::exp(-x * x - y * y) -
                    std::exp(-(x + 1) * (x + 1) - y * y) / 3);
      }
    }
  }
  int32_t n;
  V axis;
  V z;
};

// A colour map of n entries from dark blue through green to yellow, as an
// n x 3 table.
V BlueToYellow(int32_t n) {
  V map;
  for (int32_t i = 0; i < n; ++i) {
    const double t = i / (n - 1.0);
    map.insert(map.end(), {std::min(1.0, 2 * t * t), 0.2 + 0.7 * t, 0.6 * (1 - t) + 0.1});
  }
  return map;
}

TEST(FigurePng, LitSurfaceInBothProjections) {
  Drawn d(1, 2);
  const Peaks p(30);
  for (int32_t k = 0; k < 2; ++k) {
    d.Subplot(k);
    EXPECT_EQ(d.Table(64, 3, BlueToYellow(64)).Run("colormap"), kOk);
    EXPECT_EQ(d.Row(p.axis).Row(p.axis).Table(p.n, p.n, p.z).Text("").Text("k_").Run("surf"), kOk);
    EXPECT_EQ(d.Row({-2.2}).Row({0.7}).Run("lightangle"), kOk);
    EXPECT_EQ(d.Text(k == 0 ? "Orthographic" : "Perspective").Run("title"), kOk);
    if (k == 1) {
      EXPECT_EQ(d.Text("p").Run("camproj"), kOk);
    }
  }
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "lit_surface.png");
}

// A drawing that runs out of memory draws what it kept and says so, up to
// the figure's caller (the window shows the code in its error box).
TEST(FigurePng, ADrawingOutOfMemorySaysSo) {
  Drawn d(1, 1);
  const Peaks p(120);
  d.Subplot(0);
  EXPECT_EQ(d.Row(p.axis).Row(p.axis).Table(p.n, p.n, p.z).Text("").Text("k_").Run("surf"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  KVContextBlock* slot = d.block();
  const std::string out = (std::filesystem::temp_directory_path() / "vke_starved.png").string();
  SetRenderMemoryBound(8);
  const ErrCode starved = RenderFigurePng(&slot, 0, kWidth, kHeight, out.c_str(), false);
  SetRenderMemoryBound(0);
  EXPECT_EQ(starved, kErrOutOfMem);
  EXPECT_EQ(RenderFigurePng(&slot, 0, kWidth, kHeight, out.c_str(), false), kOk);
}

TEST(FigurePng, ImageInEachResamplingMode) {
  Drawn d(2, 2);
  V r, g, b;
  for (int32_t i = 0; i < 16; ++i) {
    for (int32_t j = 0; j < 16; ++j) {
      r.push_back(j / 15.0);
      g.push_back(i / 15.0);
      b.push_back((i + j) % 4 == 0 ? 1 : 0.3);
    }
  }
  const char* options[4] = {"", "1", "3", "e"};
  const char* titles[4] = {"Nearest", "Linear", "Cubic", "Whole pixels"};
  for (int32_t k = 0; k < 4; ++k) {
    d.Subplot(k);
    EXPECT_EQ(d.Table(16, 16, r)
                  .Table(16, 16, g)
                  .Table(16, 16, b)
                  .Row({0, 16, 0, 16})
                  .Text(options[k])
                  .Run("image"),
              kOk);
    EXPECT_EQ(d.Text(titles[k]).Run("title"), kOk);
  }
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "image_modes.png");
}

TEST(FigurePng, PseudoColourCellsThroughAColourMap) {
  Drawn d(1, 1);
  d.Subplot(0);
  const Peaks p(12);
  V c;
  for (double v : p.z) c.push_back((v + 7) / 15);
  EXPECT_EQ(d.Table(16, 3, BlueToYellow(16)).Run("colormap"), kOk);
  EXPECT_EQ(d.Row(p.axis).Row(p.axis).Table(p.n, p.n, c).Text("k").Run("pcolor"), kOk);
  EXPECT_EQ(d.Text("Cells").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "pcolor_cells.png");
}

TEST(FigurePng, FilledAndLineContours) {
  Drawn d(1, 2);
  const Peaks p(40);
  d.Subplot(0);
  EXPECT_EQ(d.Table(p.n, p.n, p.z).Row({-3, 3, -3, 3}).Row({10}).Run("contour"), kOk);
  EXPECT_EQ(d.Text("Lines").Run("title"), kOk);
  d.Subplot(1);
  EXPECT_EQ(d.Table(p.n, p.n, p.z)
                .Row({-3, 3, -3, 3})
                .Row({-8, -4, -2, 0, 2, 4, 6})
                .Text("bf,cf,gf,yf,h(f80)f,rf,mf")
                .Run("contour"),
            kOk);
  EXPECT_EQ(d.Text("Filled").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "contours.png");
}

// A control panel beside a plot, drawn by its handlers; then the pop-up menu
// is opened on its third item and the text field is edited with two bytes
// selected, as the interaction code leaves them.
TEST(FigurePng, ControlPanelBesideAPlot) {
  test::FigureApp app(1, 2);
  const std::string source =
      "function panel\n"
      "  t = char(9); n = char(10);\n"
      "  text('Signal settings');\n"
      "  slider(['Gain', n, 'Frequency'], [4; 100], [0 10; 1 1000], 'nl', 'b');\n"
      "  slider('Band', [2 7], [0 10], '', 'rg');\n"
      "  button(['Show', t, 'Grid', t, 'Marks'], 5, 'c');\n"
      "  button(['Mode', t, 'Slow', t, 'Fast'], 2, 'r');\n"
      "  pushbutton(['Run', t, 'Start', t, 'Reset']);\n"
      "  popupmenu('Shape', {'Sine', 'Square', 'Triangle'}, 2);\n"
      "  textfield('Phase', '%6.2f', 1.25);\n"
      "  popupmenu('Colour', {'Red', 'Green', 'Blue', 'Black'}, 1);\n"
      "endfunction\n"
      "function wave\n  plot(sin(0:0.05:6));\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(app.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  constexpr int32_t kPanel = 200, kWave = 201;
  ASSERT_EQ(AddNameSlot(app.block()->NameArea(), kPanel, "panel", -1), kOk);
  ASSERT_EQ(AddNameSlot(app.block()->NameArea(), kWave, "wave", -1), kOk);
  app.AddPlot("Panel", true, kPanel);
  app.AddPlot("Wave", true, kWave);
  app.Load();
  InstanceFigureHost host(app.block(), 0);
  for (int32_t k = 0; k < 2; ++k) {
    ASSERT_EQ(ResetSubplots(&app.figure(), host, 0, k, app.plots[k], true), kOk);
  }
  FindInstance(app.block(), 0)->initialised = 1;
  KVContextBlock* slot = app.block();
  ASSERT_EQ(RunDrawHandlers(&slot, 0), kOk);
  const ObjectList store(app.block()->DataArea());
  ObjectSpan span;
  ASSERT_TRUE(ObjectListFind(store, 0, &span));
  std::byte* payload = store.At(span.position);
  int32_t popups = 0;
  CommandHeader h;
  for (uint32_t at = 0; ReadCommandAt(payload, span.length, at, &h);
       at += kCommandHeaderDoubles + h.length) {
    double* data = reinterpret_cast<double*>(payload + (size_t{at} + kCommandHeaderDoubles) * 8);
    if (h.code == kCmdPopupMenu && ++popups == 2) data[1] = 3;  // Blue lit
    if (h.code == kCmdTextField && app.figure().editField < 0) {
      app.figure().editField = 0;
      app.figure().editCommand = static_cast<int32_t>(at);
      app.figure().caretStart = 2;
      app.figure().caretEnd = 4;
    }
  }
  ExpectLikeGolden(app, "control_panel.png");
}

// The four response-plot grids, full, each with a few roots in it.
TEST(FigurePng, ResponsePlotGrids) {
  Drawn d(2, 2);
  d.Subplot(0);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Run("zgrid"), kOk);
  EXPECT_EQ(d.Row({1, -1.2, 0.72}).Text("rx").Run("plotroots"), kOk);
  EXPECT_EQ(d.Text("equal").Run("scale"), kOk);
  EXPECT_EQ(d.Text("z-plane grid").Run("title"), kOk);
  d.Subplot(1);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Run("sgrid"), kOk);
  EXPECT_EQ(d.Row({1, 2, 5}).Text("bo").Run("plotroots"), kOk);
  EXPECT_EQ(d.Row({-4, 1, -3, 3}).Run("scale"), kOk);
  EXPECT_EQ(d.Text("s-plane grid").Run("title"), kOk);
  d.Subplot(2);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Run("hgrid"), kOk);
  EXPECT_EQ(d.Row({-3, 2, -2, 2}).Run("scale"), kOk);
  EXPECT_EQ(d.Text("Hall chart").Run("title"), kOk);
  d.Subplot(3);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Text("g").Run("ngrid"), kOk);
  EXPECT_EQ(d.Row({-2 * M_PI, 0, 0, 4}).Run("scale"), kOk);
  EXPECT_EQ(d.Text("Nichols chart").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "response_grids.png");
}

// The error locus of a second-order polynomial: the default bands on the
// left, two gain marks on the right.
TEST(FigurePng, ErrorLocusRegions) {
  Drawn d(1, 2);
  for (int32_t k = 0; k < 2; ++k) {
    d.Subplot(k);
    d.Row({1, 2, 2}).Table(2, 2, {0.05, 0, 0, 0.05});
    if (k == 1) d.Row({1, 2}).Table(2, 3, {1, 0.5, 0, 0.3, 0.6, 1});
    EXPECT_EQ(d.Run("erlocus"), kOk);
    EXPECT_EQ(d.Row({-2.5, 0.5, -2, 2}).Run("scale"), kOk);
    EXPECT_EQ(d.Text(k == 0 ? "Error locus" : "Gain marks").Run("title"), kOk);
  }
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "error_locus.png");
}

// Runs a response native as a statement: it leaves the no-value marker,
// which goes.
ErrCode RunResponse(Drawn& d, const char* name) {
  const ErrCode e = d.Run(name);
  Drop(d.ctx(), test::EntryCount(d.ctx()));
  return e;
}

// Frequency responses: a Bode magnitude and phase pair on log axes, the
// Nyquist curve of 1/(s(s+1)) on a Hall chart and a Nichols curve on its
// chart.
TEST(FigurePng, FrequencyResponses) {
  Drawn d(2, 2);
  d.Subplot(0);
  EXPECT_EQ(d.Text("xygrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Text("loglog").Run("scale"), kOk);
  d.Row({1, 2}).Row({1, 0.4, 4});
  EXPECT_EQ(RunResponse(d, "bodemag"), kOk);
  EXPECT_EQ(d.Text("Bode magnitude").Run("title"), kOk);
  d.Subplot(1);
  EXPECT_EQ(d.Text("xygrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Text("loglin").Run("scale"), kOk);
  d.Row({1, 2}).Row({1, 0.4, 4}).Text("r");
  EXPECT_EQ(RunResponse(d, "bodephase"), kOk);
  EXPECT_EQ(d.Text("Bode phase").Run("title"), kOk);
  d.Subplot(2);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Run("hgrid"), kOk);
  EXPECT_EQ(d.Row({-3, 1, -2, 2}).Run("scale"), kOk);
  d.Row({1}).Row({1, 1, 0});
  EXPECT_EQ(RunResponse(d, "nyquist"), kOk);
  EXPECT_EQ(d.Text("Nyquist").Run("title"), kOk);
  d.Subplot(3);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Run("ngrid"), kOk);
  EXPECT_EQ(d.Text("lindb").Run("scale"), kOk);
  EXPECT_EQ(d.Row({-2 * M_PI, 0, 0.01, 100}).Run("scale"), kOk);
  d.Row({4}).Row({1, 3, 3, 1}).Text("m");
  EXPECT_EQ(RunResponse(d, "nichols"), kOk);
  EXPECT_EQ(d.Text("Nichols").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "frequency_responses.png");
}

// Time responses: a step with a delay beside its undelayed impulse, and a
// discrete step drawn as a staircase.
TEST(FigurePng, TimeResponses) {
  Drawn d(1, 2);
  d.Subplot(0);
  EXPECT_EQ(d.Text("xygrid").Run("plotoption"), kOk);
  d.Text("Delay").Row({1.5});
  ASSERT_EQ(d.Run("responseset", 1), kOk);
  d.Row({1}).Row({1, 1, 1});
  ASSERT_EQ(RollStackEntries(d.ctx(), 3, 1), kOk);  // the options behind the system
  d.Text("r");
  EXPECT_EQ(RunResponse(d, "step"), kOk);
  d.Row({1}).Row({1, 1, 1});
  EXPECT_EQ(RunResponse(d, "impulse"), kOk);
  EXPECT_EQ(d.Text("Step with a delay, impulse").Run("title"), kOk);
  d.Subplot(1);
  EXPECT_EQ(d.Text("xygrid").Run("plotoption"), kOk);
  d.Row({0.4}).Row({1, -1.2, 0.52}).Row({1}).Text("s");
  EXPECT_EQ(RunResponse(d, "dstep"), kOk);
  EXPECT_EQ(d.Text("Discrete staircase").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "time_responses.png");
}

// A root locus on an s-plane grid: four poles, one zero.
TEST(FigurePng, RootLocusOnAnSGrid) {
  Drawn d(1, 1);
  d.Subplot(0);
  EXPECT_EQ(d.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(d.Run("sgrid"), kOk);
  EXPECT_EQ(d.Row({-6, 2, -4, 4}).Run("scale"), kOk);
  d.Row({1, 3}).Row({1, 6, 13, 18, 0}).Text("b");
  EXPECT_EQ(RunResponse(d, "rlocus"), kOk);
  EXPECT_EQ(d.Row({1, 6, 13, 18, 0}).Text("rx").Run("plotroots"), kOk);
  EXPECT_EQ(d.Row({1, 3}).Text("bo").Run("plotroots"), kOk);
  EXPECT_EQ(d.Text("Root locus").Run("title"), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ExpectLikeGolden(d, "root_locus.png");
}

}  // namespace
}  // namespace vke
