// The figure's outputs on the desktop, against a mocked engine that draws a
// red square: the copy served on the clipboard as SVG, PDF and PNG to
// another program, the printout rendered onto a PDF page of its own, and
// the print preview opened on the screen and closed.
#include <cairo-pdf.h>
#include <gmock/gmock.h>
#include <wx/dc.h>
#include <wx/dcgraph.h>
#include <wx/graphics.h>

#include <fstream>
#include <sstream>

#include "shell/window/kv_dialogs.hpp"
#include "tests/gui/gui_env.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

constexpr int32_t kId = 4;

std::string Quoted(const std::string& s) {
  return "'" + s + "'";
}

// A device over a PDF page that reports its size, as the printer's does.
class PdfPageImpl : public wxGCDCImpl {
 public:
  PdfPageImpl(wxDC* owner, cairo_t* cr, int width, int height)
      : wxGCDCImpl(owner), cr_(cr), width_(width), height_(height) {
    SetGraphicsContext(wxGraphicsRenderer::GetCairoRenderer()->CreateContextFromNativeContext(cr));
  }
  void* GetCairoContext() const override { return cr_; }
  void DoGetSize(int* width, int* height) const override {
    if (width) *width = width_;
    if (height) *height = height_;
  }

 private:
  cairo_t* cr_;
  int width_;
  int height_;
};

class PdfPageDC : public wxDC {
 public:
  PdfPageDC(cairo_t* cr, int width, int height) : wxDC(new PdfPageImpl(this, cr, width, height)) {}
};

struct Outputs : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  const GraphicsPort* port = nullptr;
  void* target = nullptr;
  test::TempFolder folder;

  void SetUp() override {
    VKE_REQUIRE_GUI();
    ON_CALL(engine, Created()).WillByDefault(Return(true));
    ON_CALL(engine, SetGraphicsPort(_, _)).WillByDefault([this](const GraphicsPort* p, void* t) {
      port = p;
      target = t;
    });
  }
  // A red square from (at, at), size units wide.
  void DrawSquare(double at, double size) {
    const PlotStyle red{kStyleFilled | 4, 0, 0, 0, 0};
    const double x[4] = {at, at + size, at + size, at};
    const double y[4] = {at, at, at + size, at + size};
    port->drawPolyline(x, y, 4, &red, target);
  }
  std::string File(const std::string& name) const { return folder.Path() + "/" + name; }
};

// The colour of a pixel of a picture file, as ImageMagick reads it.
std::string PixelOf(const std::string& picture, int x, int y) {
  return test::ShellOutput("convert " + Quoted(picture) + " -format '%[pixel:p{" +
                           std::to_string(x) + "," + std::to_string(y) + "}]' info: 2>/dev/null");
}

// A red pixel as ImageMagick writes it, with or without its alpha.
const auto kRed = ::testing::MatchesRegex("srgba?\\(255,0,0(,1)?\\)");

std::string SizeOf(const std::string& picture) {
  return test::ShellOutput("identify -format '%wx%h' " + Quoted(picture) + " 2>/dev/null");
}

TEST_F(Outputs, TheCopyIsOfferedAsSvgPdfAndPng) {
  VKE_REQUIRE_COMMANDS("xclip", "xclip");
  VKE_REQUIRE_COMMANDS("rsvg-convert", "librsvg2-bin");
  VKE_REQUIRE_COMMANDS("pdfinfo", "poppler-utils");
  VKE_REQUIRE_COMMANDS("identify", "imagemagick");
  ON_CALL(engine, GetCopyRect(kId, _)).WillByDefault([](int32_t, double* r) {
    r[0] = 0;
    r[1] = 240;
    r[2] = 0;
    r[3] = 160;
    return true;
  });
  EXPECT_CALL(engine, CopyFigure(kId, 0, 240, 0, 160)).WillOnce([&](auto...) {
    DrawSquare(20, 60);
    return kOk;
  });
  FigureImages images;
  ASSERT_EQ(CopyFigureImages(engine, kId, 400, 300, nullptr, &images), kOk);
  ASSERT_TRUE(PutFigureOnClipboard(images));

  // This program serves the clipboard while the other one reads it.
  auto read = [&](const std::string& type, const std::string& name) {
    const std::string out = File(name);
    const std::string done = out + ".done";
    test::Shell("(timeout 5 xclip -o -selection clipboard -t " + type + " > " + Quoted(out) +
                "; touch " + Quoted(done) + ") &");
    for (int k = 0; k < 100 && !std::ifstream(done); k++) test::Pump(50);
    return out;
  };
  std::ifstream targets(read("TARGETS", "targets"));
  std::stringstream listed;
  listed << targets.rdbuf();
  EXPECT_THAT(listed.str(), ::testing::HasSubstr("image/svg+xml"));
  EXPECT_THAT(listed.str(), ::testing::HasSubstr("application/pdf"));
  EXPECT_THAT(listed.str(), ::testing::HasSubstr("image/png"));

  // The SVG is the copy rectangle's size, with the square where it was drawn.
  const std::string svg = read("image/svg+xml", "copy.svg");
  const std::string svgPicture = File("svg.png");
  test::Shell("rsvg-convert -o " + Quoted(svgPicture) + " " + Quoted(svg));
  EXPECT_EQ(SizeOf(svgPicture), "240x160");
  EXPECT_THAT(PixelOf(svgPicture, 50, 50), kRed);

  const std::string pdf = read("application/pdf", "copy.pdf");
  EXPECT_THAT(test::ShellOutput("pdfinfo " + Quoted(pdf)), ::testing::HasSubstr("Pages:"));
  EXPECT_THAT(test::ShellOutput("pdfinfo " + Quoted(pdf)),
              ::testing::HasSubstr("180 x 120 pts"));  // 240 x 160 at 96 per inch

  const std::string png = read("image/png", "copy.png");
  EXPECT_EQ(SizeOf(png), "240x160");
  EXPECT_THAT(PixelOf(png, 50, 50), kRed);
}

// A letter page at 600 dots per inch, as the printer gives it.
constexpr int kPageWidth = 5100;
constexpr int kPageHeight = 6600;

TEST_F(Outputs, ThePrintoutIsOnePageOfTheFigureInsideTheMargins) {
  VKE_REQUIRE_COMMANDS("pdfinfo pdftoppm", "poppler-utils");
  wxPageSetupDialogData setup;
  setup.SetMarginTopLeft(wxPoint(10, 10));  // millimetres
  setup.SetMarginBottomRight(wxPoint(10, 10));
  const int margin = static_cast<int>(10 * 600 / 25.4);
  std::vector<ErrCode> reported;
  int restored = 0;
  double fontHeight = 0;
  EXPECT_CALL(engine, SetFigureRect(kId, kPageWidth - 2 * margin, kPageHeight - 2 * margin));
  EXPECT_CALL(engine, RunDrawHandlers(kId)).WillOnce(Return(25));
  EXPECT_CALL(engine, DrawFigure(kId)).WillOnce([&](int32_t) {
    port->textExtent("0", 1, nullptr, &fontHeight, target);
    DrawSquare(1000, 1000);
  });
  FigurePrintout printout(
      engine, kId, [&] { restored++; }, [&](ErrCode e) { reported.push_back(e); }, &setup);

  const std::string pdf = File("page.pdf");
  cairo_surface_t* surface = cairo_pdf_surface_create(pdf.c_str(), 612, 792);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, 72.0 / 600, 72.0 / 600);
  {
    PdfPageDC dc(cr, kPageWidth, kPageHeight);
    printout.SetDC(&dc);
    printout.SetPageSizePixels(kPageWidth, kPageHeight);
    printout.SetPPIPrinter(600, 600);
    printout.SetPPIScreen(96, 96);
    printout.SetPaperRectPixels(wxRect(0, 0, kPageWidth, kPageHeight));
    int minPage, maxPage, from, to;
    printout.GetPageInfo(&minPage, &maxPage, &from, &to);
    EXPECT_EQ(maxPage, 1);
    EXPECT_TRUE(printout.HasPage(1));
    EXPECT_FALSE(printout.HasPage(2));
    EXPECT_TRUE(printout.OnPrintPage(1));
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);

  EXPECT_EQ(port, &PrinterPort());
  EXPECT_EQ(restored, 1);
  EXPECT_THAT(reported, ::testing::ElementsAre(25));  // told, and the page drawn all the same
  EXPECT_GT(fontHeight, 83);                          // 10 points at 600 per inch
  EXPECT_LT(fontHeight, 120);
  const std::string info = test::ShellOutput("pdfinfo " + Quoted(pdf));
  EXPECT_THAT(info, ::testing::HasSubstr("Pages:           1"));
  EXPECT_THAT(info, ::testing::HasSubstr("612 x 792 pts"));
  // At 60 per inch a printer dot is a tenth of a pixel: the square spans
  // (margin + 1000) / 10 to (margin + 2000) / 10.
  const std::string page = File("page");
  test::Shell("pdftoppm -r 60 -png -singlefile " + Quoted(pdf) + " " + Quoted(page));
  const int inside = (margin + 1500) / 10;
  EXPECT_THAT(PixelOf(page + ".png", inside, inside), kRed);
  EXPECT_THAT(PixelOf(page + ".png", (1500) / 10 - 30, (1500) / 10 - 30), ::testing::Not(kRed));
}

TEST_F(Outputs, ThePrintPreviewShowsThePageAndCloses) {
  int drawn = 0;
  ON_CALL(engine, DrawFigure(kId)).WillByDefault([&](int32_t) {
    drawn++;
    DrawSquare(100, 200);
  });
  wxPageSetupDialogData setup;
  wxPrintDialogData print(setup.GetPrintData());
  auto* preview =
      new wxPrintPreview(new FigurePrintout(engine, kId, nullptr, nullptr, &setup),
                         new FigurePrintout(engine, kId, nullptr, nullptr, &setup), &print);
  ASSERT_TRUE(preview->IsOk());
  EXPECT_EQ(preview->GetMaxPage(), 1);
  wxPreviewFrame* frame = ShowPrintPreview(preview, nullptr, wxSize(600, 700));
  test::Pump(800);
  // The page gets the room asked for, not only the tool bar's.
  EXPECT_GE(frame->GetSize().x, 600);
  EXPECT_EQ(frame->GetSize().y, 700);
  EXPECT_GE(drawn, 1);
  const wxImage shot = test::Snapshot(preview->GetCanvas(), "print-preview");
  // Somewhere on the page the square is red.
  bool red = false;
  for (int y = 0; y < shot.GetHeight() && !red; y += 2) {
    for (int x = 0; x < shot.GetWidth() && !red; x += 2) {
      red = shot.GetRed(x, y) > 200 && shot.GetGreen(x, y) < 60 && shot.GetBlue(x, y) < 60;
    }
  }
  EXPECT_TRUE(red);
  EXPECT_TRUE(frame->Close());
  test::Pump(200);
  EXPECT_FALSE(wxTopLevelWindows.Find(frame));
}

}  // namespace
}  // namespace vke
