// The figure's copies and printed page against a mocked engine: the copy
// rectangle sizes the documents, the copy metrics hold while the figure
// draws and are restored, the figure is laid out at 0.95 of the view and
// back at full size afterwards, a rectangle no target can take leaves the
// view's figure intact; the page goes through the printer port laid out in
// screen units in a 10-point font, and the view is given back its target.
#include <cairo-pdf.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "graphics/cairo_target.hpp"
#include "shell/figure_copy.hpp"
#include "shell/figure_print.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;

constexpr int32_t kId = 2;

struct FigureOutputs : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  const GraphicsPort* port = nullptr;
  void* target = nullptr;
  int restored = 0;

  void SetUp() override {
    ON_CALL(engine, Created()).WillByDefault(Return(true));
    ON_CALL(engine, SetGraphicsPort(_, _)).WillByDefault([this](const GraphicsPort* p, void* t) {
      port = p;
      target = t;
    });
  }
  // A red square where the figure is drawn.
  void DrawSquare() {
    const PlotStyle red{kStyleFilled | 4, 0, 0, 0, 0};
    const double x[4] = {10, 40, 40, 10};
    const double y[4] = {10, 10, 40, 40};
    port->drawPolyline(x, y, 4, &red, target);
  }
  void CopyRect(double left, double right, double top, double bottom) {
    ON_CALL(engine, GetCopyRect(kId, _)).WillByDefault([=](int32_t, double* r) {
      r[0] = left;
      r[1] = right;
      r[2] = top;
      r[3] = bottom;
      return true;
    });
  }
};

// The pixel at (x, y) of a PNG.
uint32_t PngPixel(const std::string& png, int x, int y) {
  struct Reader {
    const std::string* data;
    size_t at = 0;
  } reader{&png};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* out, unsigned int n) {
        auto* r = static_cast<Reader*>(closure);
        if (r->at + n > r->data->size()) return CAIRO_STATUS_READ_ERROR;
        r->data->copy(reinterpret_cast<char*>(out), n, r->at);
        r->at += n;
        return CAIRO_STATUS_SUCCESS;
      },
      &reader);
  uint32_t pixel = 0xDEADBEEF;
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    const unsigned char* data = cairo_image_surface_get_data(s);
    pixel =
        *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s) + x * 4) &
        0xFFFFFF;
  }
  cairo_surface_destroy(s);
  return pixel;
}

TEST_F(FigureOutputs, ACopyIsTheCopyRectangleInThreeFormats) {
  CopyRect(100, 300, 50, 170);  // one selected subplot
  PortMetrics during{};
  {
    InSequence order;
    EXPECT_CALL(engine, SetFigureRect(kId, 380, 285));  // 0.95 of 400 x 300
    EXPECT_CALL(engine, RunDrawHandlers(kId));
    EXPECT_CALL(engine, CopyFigure(kId, 0, 200, 0, 120)).WillOnce([&](auto...) {
      during = port->metrics;
      DrawSquare();
      return kOk;
    });
    EXPECT_CALL(engine, SetFigureRect(kId, 400, 300));
    EXPECT_CALL(engine, RunDrawHandlers(kId));
  }
  const PortMetrics before = ScreenPort().metrics;
  FigureImages images;
  ASSERT_EQ(CopyFigureImages(
                engine, kId, 400, 300, [&] { restored++; }, &images),
            kOk);
  EXPECT_EQ(port, &ScreenPort());
  EXPECT_EQ(ScreenPort().metrics, before);
  EXPECT_EQ(during[0], 5.0);
  EXPECT_EQ(during[1], 0.5);
  EXPECT_EQ(during[2], 1.5);
  EXPECT_EQ(during[3], 1.3);
  EXPECT_EQ(during[4], 1.0);
  EXPECT_EQ(during[5], 1.0);
  EXPECT_GT(during[6], 2.0);  // half the height of "0"
  EXPECT_EQ(during[6], during[7]);
  EXPECT_EQ(restored, 1);

  EXPECT_EQ(images.width, 200);
  EXPECT_EQ(images.height, 120);
  EXPECT_NE(images.svg.find("width=\"200px\" height=\"120px\""), std::string::npos);
  EXPECT_NE(images.svg.find("<path"), std::string::npos);
  EXPECT_EQ(images.pdf.rfind("%PDF-", 0), 0u);
  EXPECT_NE(images.pdf.find("/MediaBox [ 0 0 150 90 ]"), std::string::npos);  // at 96 per inch
  EXPECT_EQ(PngPixel(images.png, 25, 25), 0xFF0000u);
  EXPECT_EQ(PngPixel(images.png, 100, 100), 0xFFFFFFu);
}

TEST_F(FigureOutputs, ARectangleNoTargetTakesLeavesTheViewsFigure) {
  CopyRect(10, 10, 0, 50);  // no width
  EXPECT_CALL(engine, CopyFigure(_, _, _, _, _)).Times(0);
  EXPECT_CALL(engine, SetFigureRect(kId, 400, 300)).Times(2);
  EXPECT_CALL(engine, RunDrawHandlers(kId)).Times(2);
  FigureImages images;
  EXPECT_EQ(CopyFigureImages(
                engine, kId, 400, 300, [&] { restored++; }, &images),
            kErrBadSize);
  EXPECT_EQ(restored, 1);
  EXPECT_TRUE(images.svg.empty() && images.pdf.empty() && images.png.empty());
  // The port was never given a target that goes away.
  EXPECT_EQ(target, nullptr);

  CopyRect(0, 1e300, 0, 50);
  EXPECT_EQ(CopyFigureImages(engine, kId, 400, 300, nullptr, &images), kErrBadSize);
}

TEST_F(FigureOutputs, WithoutAnEngineTheCopyIsAnEmptySquare) {
  ON_CALL(engine, Created()).WillByDefault(Return(false));
  EXPECT_CALL(engine, CopyFigure(_, _, _, _, _)).Times(0);
  EXPECT_CALL(engine, RunDrawHandlers(_)).Times(0);
  FigureImages images;
  ASSERT_EQ(CopyFigureImages(engine, kId, 400, 300, nullptr, &images), kOk);
  EXPECT_EQ(images.width, 100);
  EXPECT_EQ(images.height, 100);
  EXPECT_EQ(PngPixel(images.png, 50, 50), 0xFFFFFFu);

  ON_CALL(engine, Created()).WillByDefault(Return(true));
  ON_CALL(engine, GetCopyRect(kId, _)).WillByDefault(Return(false));
  EXPECT_EQ(CopyFigureImages(engine, kId, 400, 300, nullptr, &images), kKvNonexistentInstance);
}

TEST_F(FigureOutputs, APageThroughThePrinterPortInScreenUnits) {
  std::string pdf;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
      [](void* closure, const unsigned char* data, unsigned int n) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), n);
        return CAIRO_STATUS_SUCCESS;
      },
      &pdf, 595, 842);
  cairo_t* c = cairo_create(surface);
  cairo_scale(c, 72.0 / 600, 72.0 / 600);    // device units at 600 per inch
  const PageLayout page({4958, 7016, 600});  // A4
  double fontHeight = 0;
  double leastLine = 0;
  {
    InSequence order;
    EXPECT_CALL(engine, ResetSubplots(kId));
    EXPECT_CALL(engine, SetFigureRect(kId, page.figureWidth(), page.figureHeight()));
    EXPECT_CALL(engine, RunDrawHandlers(kId)).WillOnce(Return(25));
    EXPECT_CALL(engine, ResetSubplots(kId));
    EXPECT_CALL(engine, DrawFigure(kId)).WillOnce([&](int32_t) {
      port->textExtent("0", 1, nullptr, &fontHeight, target);
      leastLine = static_cast<CairoTarget*>(target)->leastLineWidth();
      DrawSquare();
      return kOk;
    });
    EXPECT_CALL(engine, ResetSubplots(kId));
  }
  // The handlers' failure is told; the page is drawn all the same.
  EXPECT_EQ(PrintFigurePage(engine, kId, c, page, [&] { restored++; }), 25);
  EXPECT_EQ(port, &PrinterPort());
  EXPECT_EQ(restored, 1);
  // 10 points in screen units: an em of 13.3, a line a little taller.
  EXPECT_GT(fontHeight, 13.3);
  EXPECT_LT(fontHeight, 20);
  EXPECT_DOUBLE_EQ(leastLine, 0.5 * 96 / 72);  // half a point
  // The context is given back as it came.
  EXPECT_EQ(cairo_status(c), CAIRO_STATUS_SUCCESS);
  double x = 600;
  double y = 600;
  cairo_user_to_device(c, &x, &y);
  EXPECT_DOUBLE_EQ(x, 72);
  EXPECT_DOUBLE_EQ(y, 72);
  cairo_destroy(c);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  EXPECT_NE(pdf.find("/Count 1"), std::string::npos);

  EXPECT_EQ(PrintFigurePage(engine, kId, nullptr, page, [&] { restored++; }), kErrBadArg);
  EXPECT_EQ(restored, 2);
}

// Margins that leave no room: nothing is laid out or drawn, and the view
// gets its target back.
TEST_F(FigureOutputs, APageWithoutRoomDrawsNothing) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 10, 10);
  cairo_t* c = cairo_create(surface);
  EXPECT_CALL(engine, SetFigureRect(_, _, _)).Times(0);
  EXPECT_CALL(engine, DrawFigure(_)).Times(0);
  const PageLayout page({400, 400, 600, 10, 10, 10, 10});
  EXPECT_EQ(page.figureWidth(), 0);
  EXPECT_EQ(PrintFigurePage(engine, kId, c, page, [&] { restored++; }), kErrBadSize);
  EXPECT_EQ(restored, 1);
  EXPECT_EQ(cairo_status(c), CAIRO_STATUS_SUCCESS);
  cairo_destroy(c);
  cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace vke
