// The figure printed on a page. The layout's rules: the drawing rectangle
// inside the margins in both orientations, the scale from the screen's 96
// units per inch to the device, the thinnest line, a marker's size. Then a
// real figure (a blue line through five red circles) printed onto PDF pages
// as the printer's context takes it, rasterised with pdftoppm: the frame and
// every label inside the margins in portrait and landscape, lines at least
// half a point, markers the size they have on a 96-per-inch screen; and the
// page drawn on a bitmap as the preview draws it is the rasterised page.
#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "graphics/port.hpp"
#include "shell/figure_print.hpp"
#include "shell/kv_engine.hpp"
#include "tests/host/page_picture.hpp"
#include "tests/host/tool_commands.hpp"
#include "tests/shell/packed_app.hpp"
#include "tests/shell/temp_home.hpp"

namespace vke {
namespace {

// A letter sheet at 600 dots per inch, in either orientation.
constexpr double kDpi = 600;
PrintSheet Letter(bool landscape) {
  return landscape ? PrintSheet{6600, 5100, kDpi} : PrintSheet{5100, 6600, kDpi};
}
constexpr double kLeastMarginDots = 10 * kDpi / 25.4;

TEST(PageLayout, TheFigureLiesInsideTheLeastMarginsInBothOrientations) {
  for (const bool landscape : {false, true}) {
    const PrintSheet sheet = Letter(landscape);
    const PageLayout page(sheet);
    SCOPED_TRACE(landscape ? "landscape" : "portrait");
    EXPECT_DOUBLE_EQ(page.left(), kLeastMarginDots);
    EXPECT_DOUBLE_EQ(page.top(), kLeastMarginDots);
    EXPECT_DOUBLE_EQ(page.left() + page.width(), sheet.width - kLeastMarginDots);
    EXPECT_DOUBLE_EQ(page.top() + page.height(), sheet.height - kLeastMarginDots);
    EXPECT_EQ(page.marginLeft(), PageLayout::kLeastMargin);
    // Screen units of 1/96 inch, 6.25 dots each; the figure takes the whole
    // units that fit.
    EXPECT_DOUBLE_EQ(page.scale(), 6.25);
    EXPECT_EQ(page.figureWidth(), landscape ? 980 : 740);
    EXPECT_EQ(page.figureHeight(), landscape ? 740 : 980);
    EXPECT_LE(page.figureWidth() * page.scale(), page.width());
    EXPECT_GT((page.figureWidth() + 1) * page.scale(), page.width());
    EXPECT_LE(page.figureHeight() * page.scale(), page.height());
    EXPECT_GT((page.figureHeight() + 1) * page.scale(), page.height());
  }
}

TEST(PageLayout, ThePageSetupsMarginsWhenWiderThanTheLeast) {
  const PageLayout page({5100, 6600, kDpi, 25, 20, 5, 30});
  EXPECT_EQ(page.marginLeft(), 25);
  EXPECT_EQ(page.marginTop(), 20);
  EXPECT_EQ(page.marginRight(), PageLayout::kLeastMargin);
  EXPECT_EQ(page.marginBottom(), 30);
  EXPECT_DOUBLE_EQ(page.left(), 25 * kDpi / 25.4);
  EXPECT_DOUBLE_EQ(page.top(), 20 * kDpi / 25.4);
  EXPECT_DOUBLE_EQ(page.width(), 5100 - 35 * kDpi / 25.4);
  EXPECT_DOUBLE_EQ(page.height(), 6600 - 50 * kDpi / 25.4);
  // Another resolution, the same figure in screen units.
  const PageLayout coarse({1275, 1650, 150, 25, 20, 5, 30});
  EXPECT_DOUBLE_EQ(coarse.scale(), 150.0 / 96);
  EXPECT_NEAR(coarse.figureWidth(), page.figureWidth(), 1);
  EXPECT_NEAR(coarse.figureHeight(), page.figureHeight(), 1);
}

TEST(PageLayout, NoRoomNoFigure) {
  EXPECT_EQ(PageLayout({400, 400, kDpi}).figureWidth(), 0);  // under 2 cm of paper
  EXPECT_EQ(PageLayout({400, 400, kDpi}).figureHeight(), 0);
  EXPECT_EQ(PageLayout({5100, 6600, 0}).figureWidth(), 0);
  EXPECT_EQ(PageLayout({5100, 6600, std::nan("")}).figureWidth(), 0);
  EXPECT_EQ(PageLayout({0, 6600, kDpi}).figureWidth(), 0);
  // NaN or negative margins are the least ones.
  const PageLayout odd({5100, 6600, kDpi, std::nan(""), -4, 0, 10});
  EXPECT_EQ(odd.marginLeft(), PageLayout::kLeastMargin);
  EXPECT_EQ(odd.marginTop(), PageLayout::kLeastMargin);
  EXPECT_EQ(odd.figureWidth(), 740);
}

TEST(PageLayout, LinesMarkersAndTextMeasureWhatTheyDoOnTheScreen) {
  // A one-unit pen is 1/96 inch: three quarters of a point.
  EXPECT_DOUBLE_EQ(PageLayout::LinePoints(1), 0.75);
  EXPECT_DOUBLE_EQ(PageLayout::LinePoints(2), 1.5);
  // Nothing thinner than half a point.
  EXPECT_DOUBLE_EQ(PageLayout::LinePoints(0.1), 0.5);
  EXPECT_DOUBLE_EQ(PageLayout::LinePoints(0), 0.5);
  EXPECT_DOUBLE_EQ(PageLayout::LeastLineUnits(), 0.5 * 96 / 72);
  // A circle marker spans six units: 1.6 mm, as on a 96-per-inch screen.
  EXPECT_DOUBLE_EQ(PageLayout::Millimetres(6), 6 * 25.4 / 96);
  EXPECT_DOUBLE_EQ(PageLayout::Millimetres(96), 25.4);
  EXPECT_DOUBLE_EQ(PageLayout::FontUnits(10), 10 * 96 / 72.0);
}

// The toolkit hands the printout a context whose origin may lie off the
// paper's corner: shifted (its landscape page, by the difference of two
// printer margins) or rotated onto a portrait sheet. The paper goes back to
// the device's origin, so that the drawing rectangle keeps its margins.
TEST(PageLayout, ThePaperIsPlacedAtTheDevicesOrigin) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 842, 596);
  auto corner = [](cairo_t* cr, double x, double y) {
    cairo_user_to_device(cr, &x, &y);
    return std::pair<double, double>{x, y};
  };
  using Point = std::pair<double, double>;
  // Shifted by 22.25 points right, in device units of 600 per inch.
  cairo_t* shifted = cairo_create(surface);
  cairo_translate(shifted, 22.25, 0);
  cairo_scale(shifted, 72 / kDpi, 72 / kDpi);
  PlacePaperAtDeviceOrigin(shifted, 7016, 4961);
  const Point origin = corner(shifted, 0, 0);
  EXPECT_NEAR(origin.first, 0, 1e-9);
  EXPECT_NEAR(origin.second, 0, 1e-9);
  const Point far = corner(shifted, 7016, 4961);
  EXPECT_NEAR(far.first, 7016 * 72 / kDpi, 1e-9);
  EXPECT_NEAR(far.second, 4961 * 72 / kDpi, 1e-9);
  cairo_destroy(shifted);
  // A landscape page turned onto a portrait sheet: its corner was
  // (0, height) and stays there; one shifted off it comes back.
  for (const double offset : {0.0, 30.0}) {
    cairo_t* turned = cairo_create(surface);
    cairo_translate(turned, offset, 842);
    cairo_rotate(turned, -M_PI / 2);
    PlacePaperAtDeviceOrigin(turned, 842, 596);
    const Point start = corner(turned, 0, 0);
    EXPECT_NEAR(start.first, 0, 1e-9) << offset;
    EXPECT_NEAR(start.second, 842, 1e-9) << offset;
    cairo_destroy(turned);
  }
  cairo_surface_destroy(surface);
}

// ---- A real figure on paper ----

using test::Blue;
using test::Box;
using test::Dark;
using test::Green;
using test::Ink;
using test::Picture;
using test::Red;

struct PrintedPage : ::testing::Test {
  test::TempHome home;
  test::TempFolder folder;
  KVAppContext context{8290304, 134217728};
  KVEngine engine{context};
  int32_t id = 0;

  void SetUp() override {
    ASSERT_TRUE(engine.Created());
    kvpack::ToolHost tool;
    ASSERT_EQ(tool.Create(), kOk);
    ASSERT_NO_FATAL_FAILURE(test::PackApp(&tool, "tests/shell/printed.kvd"));
    const std::string image = home.Root() + "/packed";
    ASSERT_EQ(WriteImageFile(tool.block(), "Printed", nullptr, image.c_str()), kOk);
    std::string title;
    ASSERT_EQ(engine.LoadApplication(image, &title), kOk);
    id = engine.FirstInstance();
  }
  void TearDown() override { engine.SetGraphicsPort(nullptr, nullptr); }

  std::string File(const std::string& name) const { return folder.Path() + "/" + name; }

  // The page on a PDF of the sheet's paper, drawn on a context in the
  // sheet's device units from the paper's corner, as the printer's is.
  std::string PrintPdf(const PrintSheet& sheet, const std::string& name) {
    const std::string pdf = File(name + ".pdf");
    const double points = 72 / sheet.unitsPerInch;
    cairo_surface_t* surface =
        cairo_pdf_surface_create(pdf.c_str(), sheet.width * points, sheet.height * points);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, points, points);
    EXPECT_EQ(PrintFigurePage(engine, id, cr, PageLayout(sheet), nullptr), kOk);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(surface);
    return pdf;
  }

  // The PDF's page rasterised at dpi by pdftoppm.
  std::string Rasterise(const std::string& pdf, int dpi) {
    const std::string out = pdf.substr(0, pdf.size() - 4) + "-" + std::to_string(dpi);
    EXPECT_EQ(test::Shell("pdftoppm -r " + std::to_string(dpi) + " -png -singlefile " +
                          test::Quoted(pdf) + " " + test::Quoted(out)),
              0);
    return out + ".png";
  }
};

TEST_F(PrintedPage, BothOrientationsHoldTheWholeFigureInsideTheMargins) {
  VKE_REQUIRE_COMMANDS("pdftoppm", "poppler-utils");
  constexpr int kRasterDpi = 100;
  const double margin = 10 / 25.4 * kRasterDpi;  // pixels
  for (const bool landscape : {false, true}) {
    SCOPED_TRACE(landscape ? "landscape" : "portrait");
    const Picture page(
        Rasterise(PrintPdf(Letter(landscape), landscape ? "wide" : "tall"), kRasterDpi));
    ASSERT_TRUE(page.ok());
    ASSERT_EQ(page.width(), landscape ? 1100 : 850);
    ASSERT_EQ(page.height(), landscape ? 850 : 1100);
    // Every bit of ink, labels included, lies inside the margins.
    const Box ink = test::BoxOf(page, Ink);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.left, margin - 1);
    EXPECT_GE(ink.top, margin - 1);
    EXPECT_LE(ink.right, page.width() - margin);
    EXPECT_LE(ink.bottom, page.height() - margin);
    // The frame's four sides are there, the right one and the bottom one
    // near the drawing rectangle's far edges: the figure fills the page.
    const std::vector<int> columns = test::FrameLines(page, true, margin);
    const std::vector<int> rows = test::FrameLines(page, false, margin);
    ASSERT_FALSE(columns.empty());
    ASSERT_FALSE(rows.empty());
    EXPECT_LT(columns.front(), page.width() / 4);
    EXPECT_GT(columns.back(), page.width() - margin - page.width() / 10);
    EXPECT_LE(columns.back(), page.width() - margin);
    EXPECT_LT(rows.front(), page.height() / 4);
    EXPECT_GT(rows.back(), page.height() - margin - page.height() / 8);
    // The five markers are there; under the last one, below the frame,
    // stands the last x label.
    const std::vector<Box> markers = test::Markers(page);
    ASSERT_EQ(markers.size(), 5u);
    const Box& last = *std::max_element(markers.begin(), markers.end(),
                                        [](const Box& a, const Box& b) { return a.left < b.left; });
    const int centre = (last.left + last.right) / 2;
    int labelInk = 0;
    for (int y = rows.back() + 3; y < page.height(); ++y)
      for (int x = centre - 6; x <= centre + 6; ++x) labelInk += Dark(page.At(x, y));
    EXPECT_GT(labelInk, 10);
  }
}

// A landscape page whose context came shifted, as the toolkit gives it:
// the same page as a straight one.
TEST_F(PrintedPage, AShiftedLandscapeContextPrintsTheSamePage) {
  VKE_REQUIRE_COMMANDS("pdftoppm", "poppler-utils");
  const PrintSheet sheet = Letter(true);
  const Picture straight(Rasterise(PrintPdf(sheet, "straight"), 100));
  const std::string pdf = File("shifted.pdf");
  cairo_surface_t* surface = cairo_pdf_surface_create(pdf.c_str(), 792, 612);
  cairo_t* cr = cairo_create(surface);
  cairo_translate(cr, 22.25, 0);
  cairo_scale(cr, 72 / kDpi, 72 / kDpi);
  EXPECT_EQ(PrintFigurePage(engine, id, cr, PageLayout(sheet), nullptr), kOk);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  const Picture shifted(Rasterise(pdf, 100));
  ASSERT_TRUE(straight.ok() && shifted.ok());
  const Box a = test::BoxOf(straight, Ink);
  const Box b = test::BoxOf(shifted, Ink);
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.right, b.right);
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.bottom, b.bottom);
}

TEST_F(PrintedPage, LinesAndMarkersMeasureOnPaperWhatTheyDoOnTheScreen) {
  VKE_REQUIRE_COMMANDS("pdftoppm", "poppler-utils");
  constexpr int kRasterDpi = 300;
  const double margin = 10 / 25.4 * kRasterDpi;
  const Picture page(Rasterise(PrintPdf(Letter(false), "fine"), kRasterDpi));
  ASSERT_TRUE(page.ok());
  // The frame's right side: its ink across is its width, 1/96 inch (0.75
  // point), never under half a point. Rows with a tick are wider; the
  // thinnest row counts, the grey background beside it not.
  const std::vector<int> columns = test::FrameLines(page, true, margin);
  ASSERT_FALSE(columns.empty());
  double width = 1e9;
  for (int y = page.height() / 3; y < 2 * page.height() / 3; ++y) {
    double across = 0;
    for (int x = columns.back() - 6; x <= columns.back() + 6; ++x) {
      const int shade = std::min({Red(page.At(x, y)), Green(page.At(x, y)), Blue(page.At(x, y))});
      if (shade < 200) across += 1 - shade / 255.0;
    }
    width = std::min(width, across);
  }
  const double pointPixels = kRasterDpi / 72.0;
  EXPECT_GE(width, 0.5 * pointPixels);
  EXPECT_NEAR(width, 0.75 * pointPixels, 0.5);
  // Each circle spans six screen units and its pen: about 1.85 mm, not a
  // printer dot's speck.
  const std::vector<Box> markers = test::Markers(page);
  ASSERT_EQ(markers.size(), 5u);
  const double millimetre = kRasterDpi / 25.4;
  for (const Box& m : markers) {
    const double across = (m.right - m.left + 1) / millimetre;
    const double high = (m.bottom - m.top + 1) / millimetre;
    EXPECT_NEAR(across, PageLayout::Millimetres(7), 0.3);
    EXPECT_NEAR(high, PageLayout::Millimetres(7), 0.3);
  }
}

// The preview draws the page on a bitmap smaller than the page, scaled from
// the page's units as the printout does for it: the same picture as the
// printed page rasterised at the bitmap's resolution.
TEST_F(PrintedPage, ThePreviewsBitmapIsThePrintedPage) {
  VKE_REQUIRE_COMMANDS("pdftoppm", "poppler-utils");
  constexpr int kRasterDpi = 100;
  for (const bool landscape : {false, true}) {
    SCOPED_TRACE(landscape ? "landscape" : "portrait");
    const PrintSheet sheet = Letter(landscape);
    const Picture printed(Rasterise(PrintPdf(sheet, "printed"), kRasterDpi));
    ASSERT_TRUE(printed.ok());
    const double scale = kRasterDpi / sheet.unitsPerInch;
    cairo_surface_t* bitmap = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, static_cast<int>(std::lround(sheet.width * scale)),
        static_cast<int>(std::lround(sheet.height * scale)));
    cairo_t* cr = cairo_create(bitmap);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    EXPECT_EQ(PrintFigurePage(engine, id, cr, PageLayout(sheet), nullptr), kOk);
    cairo_destroy(cr);
    const Picture preview(bitmap);
    cairo_surface_destroy(bitmap);
    ASSERT_EQ(preview.width(), printed.width());
    ASSERT_EQ(preview.height(), printed.height());
    // Pixel by pixel, but for the rasterisers' anti-aliasing.
    int drawn = 0;
    const int differing = test::DifferingPixels(preview, printed, &drawn);
    ASSERT_GT(drawn, 1000);
    EXPECT_LT(differing, drawn / 50) << differing << " of " << drawn;
    const Box a = test::BoxOf(preview, Ink);
    const Box b = test::BoxOf(printed, Ink);
    EXPECT_NEAR(a.left, b.left, 1);
    EXPECT_NEAR(a.right, b.right, 1);
    EXPECT_NEAR(a.top, b.top, 1);
    EXPECT_NEAR(a.bottom, b.bottom, 1);
    EXPECT_EQ(test::Markers(preview).size(), 5u);
  }
}

}  // namespace
}  // namespace vke
