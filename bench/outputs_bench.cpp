// Milliseconds per copy and per printout of the figure of 10 subplots of
// 10,000 points each laid out at 800 x 600: the copy drawn once into its
// SVG, PDF and PNG documents as the clipboard takes it, each of those
// documents drawn alone, and the figure printed on a letter page at 600
// dots per inch into a PDF through the printer port. One line "name ms" per
// case, read by bench/compare_outputs.sh.
#include <cairo-pdf.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/draw_cycle.hpp"
#include "app/instances.hpp"
#include "bench/grid_figure.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"
#include "shell/figure_copy.hpp"
#include "shell/figure_print.hpp"

namespace {

using vke::CairoTarget;
using vke::bench::Check;
using vke::bench::MillisecondsPer;

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
// A letter page at 600 dots per inch with half-inch margins.
constexpr double kPrinterDpi = 600;
constexpr double kPagePoints[2] = {612, 792};
constexpr double kMarginMm = 12.7;

size_t g_bytes = 0;  // what the documents weigh, so that none is left out

void DrawOn(vke::KVContextBlock* block, CairoTarget* target) {
  vke::SetGraphicsPortTarget(block, target);
  vke::DrawInstanceSubplots(block, 0);
}

void Copy(vke::KVContextBlock* block) {
  std::unique_ptr<CairoTarget> copy;
  Check(CairoTarget::CreateCopyDocuments(kWidth, kHeight, vke::kCopyDotsPerInch, &copy) == vke::kOk,
        "copy");
  vke::GraphicsPort& port = vke::ScreenPort();
  const vke::PortMetrics before = port.metrics;
  double zeroHeight = 0;
  port.textExtent("0", 1, nullptr, &zeroHeight, copy.get());
  port.metrics = vke::CopyMetrics(zeroHeight);
  DrawOn(block, copy.get());
  port.metrics = before;
  Check(copy->Finish() == vke::kOk, "finish");
  std::string png;
  Check(copy->PngText(&png) == vke::kOk, "png");
  g_bytes += copy->SvgText().size() + copy->PdfText().size() + png.size();
}

void Svg(vke::KVContextBlock* block) {
  std::unique_ptr<CairoTarget> svg;
  Check(CairoTarget::CreateSvg(kWidth, kHeight, &svg) == vke::kOk, "svg");
  DrawOn(block, svg.get());
  Check(svg->Finish() == vke::kOk, "finish");
  g_bytes += svg->SvgText().size();
}

void Png(vke::KVContextBlock* block) {
  std::unique_ptr<CairoTarget> image;
  Check(CairoTarget::CreateImage(kWidth, kHeight, &image) == vke::kOk, "image");
  DrawOn(block, image.get());
  std::string png;
  Check(image->PngText(&png) == vke::kOk, "png");
  g_bytes += png.size();
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The printed page as the printout draws it: the printer port on the
// page's context, the figure laid out in screen units in the page's drawing
// rectangle, a 10-point font.
void Print(vke::KVContextBlock* block) {
  std::string pdf;
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(Append, &pdf, kPagePoints[0], kPagePoints[1]);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, 72 / kPrinterDpi, 72 / kPrinterDpi);
  const vke::PageLayout layout({static_cast<int32_t>(kPagePoints[0] * kPrinterDpi / 72),
                                static_cast<int32_t>(kPagePoints[1] * kPrinterDpi / 72),
                                kPrinterDpi, kMarginMm, kMarginMm, kMarginMm, kMarginMm});
  cairo_translate(cr, layout.left(), layout.top());
  cairo_scale(cr, layout.scale(), layout.scale());
  vke::GraphicsPort& port = vke::PrinterPort();
  vke::SetGraphicsPortFunctions(block, &port);
  {
    std::unique_ptr<CairoTarget> page;
    Check(CairoTarget::CreateOnContext(cr, layout.figureWidth(), layout.figureHeight(), &page) ==
              vke::kOk,
          "page");
    page->SetLeastLineWidth(vke::PageLayout::LeastLineUnits());
    vke::FigureState& fig = vke::FindInstance(block, 0)->figure;
    vke::SetRect(fig.rect, 0, layout.figureWidth(), 0, layout.figureHeight());
    vke::ResetInstanceSubplots(&fig);
    port.setFont(vke::kPrintFontFace, vke::PageLayout::FontUnits(vke::kPrintFontPoints), 0, nullptr,
                 page.get());
    DrawOn(block, page.get());
    vke::SetRect(fig.rect, 0, kWidth, 0, kHeight);
    vke::ResetInstanceSubplots(&fig);
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  Check(cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS, "print");
  cairo_surface_destroy(surface);
  vke::SetGraphicsPortFunctions(block, &vke::ScreenPort());
  g_bytes += pdf.size();
}

}  // namespace

int main() {
  std::unique_ptr<void, decltype(&std::free)> memory(
      std::aligned_alloc(16, vke::bench::kGridBlockBytes), &std::free);
  vke::KVContextBlock* block =
      vke::bench::MakeGridFigure(memory.get(), 2, 5, 10000, kWidth, kHeight);
  vke::InitScreenPortMetrics();
  vke::SetGraphicsPortFunctions(block, &vke::ScreenPort());
  std::printf("copy %.2f\n", MillisecondsPer([&] { Copy(block); }));
  std::printf("svg %.2f\n", MillisecondsPer([&] { Svg(block); }));
  std::printf("png %.2f\n", MillisecondsPer([&] { Png(block); }));
  std::printf("pdf %.2f\n", MillisecondsPer([&] { Print(block); }));
  std::fprintf(stderr, "%zu bytes written\n", g_bytes);
  return 0;
}
