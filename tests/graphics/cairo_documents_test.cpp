// Targets as documents: the printer's PDF page, the clipboard's SVG text, the
// PNG of an image, bad sizes and paths, and slots called on targets that
// cannot draw.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "graphics/port.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

std::string TempPath(const char* suffix) {
  return ::testing::TempDir() + "vke_graphics_" + std::to_string(getpid()) + suffix;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int CountOf(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// A little of everything a figure draws.
void DrawSample(const GraphicsPort& port, void* target) {
  port.fillBackground(0, 0, 600, 400, 1, target);
  port.clipRect(10, 590, 10, 390, target);
  const double x[3] = {20, 300, 580};
  const double y[3] = {380, 20, 380};
  const PlotStyle line{kKindDash | 4, 0, 0, 0, 0};
  const PlotStyle marks{kKindCircle | kStyleFilled | 1, 0, 0, 0, 0};
  port.drawPolyline(x, y, 3, &line, target);
  port.drawPolyline(x, y, 3, &marks, target);
  port.drawCircle(300, 200, 50, 30, &line, target);
  port.setFont("DejaVu Sans", 24, kFontBold, nullptr, target);
  port.drawText(300, 200, "Figure 1", 8, 0, nullptr, target);
  const uint8_t grey[4] = {0, 80, 160, 240};
  port.drawImageCells(40, 40, 2, 2, 10, 10, grey, nullptr, nullptr, target);
  port.drawFocusRect(100, 100, 200, 150, 0, target);
  port.restoreClip(target);
}

TEST(CairoDocuments, PrinterWritesOnePdfPage) {
  const std::string path = TempPath(".pdf");
  std::unique_ptr<CairoTarget> t;
  ASSERT_EQ(CairoTarget::CreatePdf(path.c_str(), 600, 400, 300, &t), kOk);
  EXPECT_FALSE(t->raster());
  DrawSample(PrinterPort(), t.get());
  ASSERT_EQ(t->Finish(), kOk);
  EXPECT_EQ(t->Finish(), kOk);  // once only
  const std::string pdf = ReadFile(path);
  std::remove(path.c_str());
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
  EXPECT_EQ(CountOf(pdf, "/Type /Page\n") + CountOf(pdf, "/Type /Page "), 1);
  EXPECT_NE(pdf.find("/Count 1"), std::string::npos);
  // 600 x 400 device units at 300 per inch: a 144 x 96 point page.
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 144 96 ]"), std::string::npos);

  // Drawing after the end is ignored.
  DrawSample(PrinterPort(), t.get());
}

TEST(CairoDocuments, ClipboardSvgAndImagePng) {
  std::unique_ptr<CairoTarget> t;
  ASSERT_EQ(CairoTarget::CreateSvg(600, 400, &t), kOk);
  DrawSample(ScreenPort(), t.get());
  EXPECT_EQ(t->Finish(), kOk);
  const std::string& svg = t->SvgText();
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  EXPECT_NE(svg.find("width=\"600px\""), std::string::npos);
  // Shapes stay vectors: nothing turns the page into a bitmap.
  EXPECT_GT(CountOf(svg, "<path"), 3);

  auto image = test::NewImage(600, 400);
  DrawSample(ScreenPort(), image.get());
  const std::string path = TempPath(".png");
  ASSERT_EQ(image->WritePng(path.c_str()), kOk);
  const std::string png = ReadFile(path);
  std::remove(path.c_str());
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(t->WritePng(path.c_str()), kErrBadArg);
}

TEST(CairoDocuments, ACopyIsKeptAsSvgPdfAndPng) {
  for (int round = 0; round < 2; ++round) {
    std::unique_ptr<CairoTarget> t;
    ASSERT_EQ(CairoTarget::CreateCopyDocuments(600, 400, 300, &t), kOk);
    EXPECT_FALSE(t->invertible());
    EXPECT_FALSE(t->raster());
    DrawSample(ScreenPort(), t.get());
    ASSERT_EQ(t->Finish(), kOk);
    EXPECT_GT(CountOf(t->SvgText(), "<path"), 3);
    EXPECT_NE(t->SvgText().find("width=\"600px\""), std::string::npos);
    EXPECT_EQ(t->PdfText().rfind("%PDF-", 0), 0u);
    EXPECT_NE(t->PdfText().find("/MediaBox [ 0 0 144 96 ]"), std::string::npos);
    std::string png;
    ASSERT_EQ(t->PngText(&png), kOk);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  }
  std::unique_ptr<CairoTarget> svg;
  ASSERT_EQ(CairoTarget::CreateSvg(10, 10, &svg), kOk);
  std::string png = "x";
  EXPECT_EQ(svg->PngText(&png), kErrBadArg);
  EXPECT_EQ(png, "");
  auto image = test::NewImage(8, 8);
  EXPECT_EQ(image->PngText(&png), kOk);
  EXPECT_EQ(png.substr(1, 3), "PNG");
}

TEST(CairoDocuments, ALentContextIsGivenBackAsItCame) {
  auto owner = test::NewImage(100, 100);
  cairo_t* c = owner->context();
  cairo_translate(c, 10, 20);
  cairo_set_line_width(c, 7);
  {
    std::unique_ptr<CairoTarget> t;
    ASSERT_EQ(CairoTarget::CreateOnContext(c, 80, 60, &t), kOk);
    cairo_scale(t->context(), 2, 2);
    cairo_set_line_width(t->context(), 1);
    t->SaveState();  // left unbalanced on purpose
    const PlotStyle line{kStyleFilled | 4, 0, 0, 0, 0};
    const double x[4] = {0, 10, 10, 0};
    const double y[4] = {0, 0, 10, 10};
    ScreenPort().drawPolyline(x, y, 4, &line, t.get());
    EXPECT_EQ(t->Finish(), kOk);
  }
  EXPECT_EQ(cairo_status(c), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_get_line_width(c), 7);
  double x = 0;
  double y = 0;
  cairo_user_to_device(c, &x, &y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  // Drawn at the owner's offset, in the target's doubled units.
  EXPECT_EQ(test::PixelAt(*owner, 15, 25), 0xFF0000u);
  EXPECT_EQ(test::PixelAt(*owner, 35, 45), 0xFFFFFFu);

  std::unique_ptr<CairoTarget> t;
  EXPECT_EQ(CairoTarget::CreateOnContext(nullptr, 10, 10, &t), kErrBadArg);
  EXPECT_EQ(CairoTarget::CreateOnContext(c, 0, 10, &t), kErrBadSize);
}

TEST(CairoDocuments, TheBackgroundColourDialog) {
  const uint32_t before = GetBackgroundColor();
  SetBackgroundColor(0x123456);
  uint32_t offered = 0;
  EXPECT_FALSE(ChooseBackgroundColor([&](uint32_t* c) {
    offered = *c;
    *c = 0xABCDEF;
    return false;
  }));
  EXPECT_EQ(offered, 0x123456u);
  EXPECT_EQ(GetBackgroundColor(), 0x123456u);
  EXPECT_FALSE(ChooseBackgroundColor(nullptr));
  EXPECT_TRUE(ChooseBackgroundColor([](uint32_t* c) {
    *c = 0xFF00FF80;  // only the colour bytes are kept
    return true;
  }));
  EXPECT_EQ(GetBackgroundColor(), 0x00FF80u);
  SetBackgroundColor(before);
}

TEST(CairoDocuments, BadSizesAndPaths) {
  std::unique_ptr<CairoTarget> t;
  for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {32768, 10}, {10, 40000}}) {
    EXPECT_EQ(CairoTarget::CreateImage(w, h, &t), kErrBadSize) << w << "x" << h;
    EXPECT_EQ(CairoTarget::CreateSvg(w, h, &t), kErrBadSize);
    EXPECT_EQ(t, nullptr);
  }
  const std::string path = TempPath(".pdf");
  EXPECT_EQ(CairoTarget::CreatePdf(path.c_str(), 100, 100, 0, &t), kErrBadSize);
  EXPECT_EQ(CairoTarget::CreatePdf(path.c_str(), 100, 100, std::nan(""), &t), kErrBadSize);
  EXPECT_EQ(CairoTarget::CreatePdf("", 100, 100, 300, &t), kErrBadArg);
  EXPECT_EQ(CairoTarget::CreatePdf(nullptr, 100, 100, 300, &t), kErrBadArg);
  EXPECT_EQ(CairoTarget::CreatePdf("/nonexistent-dir/x.pdf", 100, 100, 300, &t), kErrIoErr);
  EXPECT_EQ(CairoTarget::CreateCopyDocuments(100, 0, 300, &t), kErrBadSize);
  EXPECT_EQ(CairoTarget::CreateCopyDocuments(100, 100, 0, &t), kErrBadSize);
  EXPECT_EQ(t, nullptr);

  auto image = test::NewImage(8, 8);
  EXPECT_EQ(image->WritePng("/nonexistent-dir/x.png"), kErrIoErr);
}

TEST(CairoDocuments, SlotsWithoutADrawableTarget) {
  // No target at all: every slot returns without drawing.
  DrawSample(ScreenPort(), nullptr);
  double w = -1;
  double h = -1;
  ScreenPort().textExtent("abc", 3, &w, &h, nullptr);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  double sx = 0;
  double sy = 0;
  ScreenPort().pixelScale(&sx, &sy);
  EXPECT_EQ(sx, 1.0);
  EXPECT_EQ(sy, 1.0);
  ScreenPort().pixelScale(nullptr, nullptr);

  // A finished image keeps its pixels and takes no more drawing.
  auto image = test::NewImage(8, 8);
  EXPECT_EQ(image->Finish(), kOk);
  DrawSample(ScreenPort(), image.get());
  EXPECT_TRUE(test::Ink(*image).empty());
}

TEST(CairoDocuments, TablesAndMetrics) {
  GraphicsPort& screen = ScreenPort();
  GraphicsPort& printer = PrinterPort();
  EXPECT_EQ(screen.empty4, nullptr);
  EXPECT_EQ(screen.empty9, nullptr);
  EXPECT_EQ(printer.empty4, nullptr);
  EXPECT_EQ(printer.empty9, nullptr);
  EXPECT_NE(screen.drawFocusRect, nullptr);
  EXPECT_EQ(screen.drawPolyline, printer.drawPolyline);
  EXPECT_EQ(screen.metrics, kScreenStartMetrics);
  EXPECT_EQ(printer.metrics[kMetricLegendUnit1], 24.0);
  InitScreenPortMetrics();
  EXPECT_EQ(screen.metrics, kScreenViewMetrics);
  EXPECT_EQ(printer.metrics, kPrinterMetrics);
}

}  // namespace
}  // namespace vke
