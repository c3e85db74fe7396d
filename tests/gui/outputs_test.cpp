// The figure's outputs on the desktop, against a mocked engine that draws a
// red square: the copy served on the clipboard as SVG, PDF and PNG to
// another program, the printout rendered onto a PDF page of its own, and
// the print preview opened on the screen and closed. Then a real figure,
// printed in both orientations inside the margins, and the toolkit's
// preview drawing the printed page.
#include <cairo-pdf.h>
#include <gmock/gmock.h>
#include <wx/dc.h>
#include <wx/dcgraph.h>
#include <wx/display.h>
#include <wx/graphics.h>
#include <wx/gtk/print.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "shell/figure_print.hpp"
#include "shell/kv_engine.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "tests/gui/gui_env.hpp"
#include "tests/host/page_picture.hpp"
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
    test::Shell("(" + test::UnlessHung("xclip -o -selection clipboard -t " + type) + " > " +
                Quoted(out) + "; touch " + Quoted(done) + ") &");
    test::PumpUntil([&] { return static_cast<bool>(std::ifstream(done)); });
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
  setup.SetMarginTopLeft(wxPoint(20, 20));  // millimetres
  setup.SetMarginBottomRight(wxPoint(20, 20));
  const PageLayout layout({kPageWidth, kPageHeight, 600, 20, 20, 20, 20});
  const double margin = 20 * 600 / 25.4;
  std::vector<ErrCode> reported;
  int restored = 0;
  double fontHeight = 0;
  EXPECT_CALL(engine, SetFigureRect(kId, layout.figureWidth(), layout.figureHeight()));
  EXPECT_CALL(engine, RunDrawHandlers(kId)).WillOnce(Return(25));
  EXPECT_CALL(engine, DrawFigure(kId)).WillOnce([&](int32_t) {
    port->textExtent("0", 1, nullptr, &fontHeight, target);
    DrawSquare(100, 100);
    return kOk;
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
  EXPECT_GT(fontHeight, 13.3);                        // 10 points in screen units
  EXPECT_LT(fontHeight, 20);
  const std::string info = test::ShellOutput("pdfinfo " + Quoted(pdf));
  EXPECT_THAT(info, ::testing::HasSubstr("Pages:           1"));
  EXPECT_THAT(info, ::testing::HasSubstr("612 x 792 pts"));
  // At 60 per inch a screen unit is 0.625 pixel and a printer dot a tenth:
  // the square spans (margin + 625) / 10 to (margin + 1250) / 10.
  const std::string page = File("page");
  test::Shell("pdftoppm -r 60 -png -singlefile " + Quoted(pdf) + " " + Quoted(page));
  const int inside = static_cast<int>((margin + 150 * 6.25) / 10);
  EXPECT_THAT(PixelOf(page + ".png", inside, inside), kRed);
  const int before = static_cast<int>((margin + 50 * 6.25) / 10);
  EXPECT_THAT(PixelOf(page + ".png", before, before), ::testing::Not(kRed));
}

TEST_F(Outputs, ThePrintPreviewShowsThePageAndCloses) {
  int drawn = 0;
  ON_CALL(engine, DrawFigure(kId)).WillByDefault([&](int32_t) {
    drawn++;
    DrawSquare(100, 200);
    return kOk;
  });
  wxPageSetupDialogData setup;
  wxPrintDialogData print(setup.GetPrintData());
  auto* preview =
      new wxPrintPreview(new FigurePrintout(engine, kId, nullptr, nullptr, &setup),
                         new FigurePrintout(engine, kId, nullptr, nullptr, &setup), &print);
  ASSERT_TRUE(preview->IsOk());
  EXPECT_EQ(preview->GetMaxPage(), 1);
  wxPreviewFrame* frame = ShowPrintPreview(preview, nullptr);
  wxPreviewCanvas* canvas = preview->GetCanvas();
  // The whole page shows at once, in a window on the screen: each size the
  // window takes while it is mapped holds the page, and once the canvas
  // has been painted it has nothing to scroll.
  const auto mapped = test::Gtk<int (*)(void*)>("gtk_widget_get_mapped");
  ASSERT_NE(mapped, nullptr);
  std::vector<wxSize> shownSizes;
  frame->Bind(wxEVT_SIZE, [&](wxSizeEvent& event) {
    if (mapped(frame->GetHandle())) shownSizes.push_back(event.GetSize());
    event.Skip();
  });
  int canvasPainted = 0;
  canvas->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
    canvasPainted++;
    event.Skip();
  });
  wxSize page, room;
  test::PumpUntil([&] {
    page = canvas->GetVirtualSize();
    room = canvas->GetClientSize();
    return drawn > 0 && canvasPainted > 0 && room.x > 0 && room.y > 0 && page.x <= room.x &&
           page.y <= room.y;
  });
  ASSERT_GT(room.x, 0);
  ASSERT_GT(room.y, 0);
  for (const wxSize& shown : shownSizes)
    EXPECT_EQ(shown, frame->GetSize()) << "shown at " << shown.x << " x " << shown.y;
  // Then it may be made smaller.
  test::PumpUntil([&] { return frame->GetMinSize().y < frame->GetSize().y; });
  EXPECT_LT(frame->GetMinSize().y, frame->GetSize().y);
  EXPECT_LE(page.x, room.x);
  EXPECT_LE(page.y, room.y);
  EXPECT_GE(preview->GetZoom(), 10);
  const wxRect area = wxDisplay(0u).GetClientArea();
  EXPECT_LE(frame->GetSize().x, area.width);
  EXPECT_LE(frame->GetSize().y, area.height);
  EXPECT_GE(drawn, 1);
  // Somewhere on the page, once painted, the square is red.
  const auto red = [&] {
    const wxImage shot = test::Snapshot(preview->GetCanvas(), "print-preview");
    for (int y = 0; y < shot.GetHeight(); y += 2) {
      for (int x = 0; x < shot.GetWidth(); x += 2) {
        if (shot.GetRed(x, y) > 200 && shot.GetGreen(x, y) < 60 && shot.GetBlue(x, y) < 60)
          return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(test::PumpUntil(red));
  EXPECT_TRUE(frame->Close());
  test::PumpUntil([&] { return !wxTopLevelWindows.Find(frame); });
  EXPECT_FALSE(wxTopLevelWindows.Find(frame));
}

// ---- A real figure printed and previewed ----

// A letter sheet at 600 dots per inch in either orientation, in the page
// setup as the toolkit's dialog leaves it: no margins of its own.
wxPrintData LetterData(bool landscape) {
  wxPrintData data;
  data.SetPaperId(wxPAPER_LETTER);
  data.SetOrientation(landscape ? wxLANDSCAPE : wxPORTRAIT);
  data.SetQuality(wxPRINT_QUALITY_MEDIUM);  // 600 per inch
  return data;
}

// The toolkit's own preview, with its page rendered into a bitmap as the
// preview frame shows it.
class RenderedPreview : public wxGtkPrintPreview {
 public:
  using wxGtkPrintPreview::wxGtkPrintPreview;
  bool Render(wxBitmap& bitmap) { return RenderPageIntoBitmap(bitmap, 1); }
};

// The figure of tests/shell/printed.kvd, a blue line through five red
// circles, packed by the packing tool and loaded into an engine.
struct PrintedFigure : ::testing::Test {
  test::TempFolder folder;
  KVAppContext context{8290304, 134217728};
  KVEngine engine{context};
  int32_t id = 0;

  void SetUp() override {
    VKE_REQUIRE_GUI();
    VKE_REQUIRE_COMMANDS("pdfinfo pdftoppm", "poppler-utils");
    ASSERT_TRUE(engine.Created());
    const char* data = std::getenv("VKE_TEST_DATA");
    const std::string source = std::string(data ? data : ".") + "/../shell/printed.kvd";
    const std::string image = File("printed.img");
    ASSERT_EQ(test::Shell(std::string(VKE_KVPACK) + " --bare -o " + Quoted(image) + " " +
                          Quoted(source) + " >/dev/null"),
              0);
    std::string title;
    ASSERT_EQ(engine.LoadApplication(image, &title), kOk);
    id = engine.FirstInstance();
  }
  void TearDown() override { engine.SetGraphicsPort(nullptr, nullptr); }

  std::string File(const std::string& name) const { return folder.Path() + "/" + name; }

  // The printout on a PDF page of the paper, through a device that reports
  // what the printer's reports: the paper's size at 600 per inch.
  std::string PrintOnPdf(const wxPageSetupDialogData& setup, int width, int height,
                         const std::string& name) {
    const std::string pdf = File(name + ".pdf");
    cairo_surface_t* surface =
        cairo_pdf_surface_create(pdf.c_str(), width * 72.0 / 600, height * 72.0 / 600);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 72.0 / 600, 72.0 / 600);
    FigurePrintout printout(engine, id, nullptr, nullptr, &setup);
    {
      PdfPageDC dc(cr, width, height);
      printout.SetDC(&dc);
      printout.SetPageSizePixels(width, height);
      printout.SetPPIPrinter(600, 600);
      printout.SetPaperRectPixels(wxRect(0, 0, width, height));
      EXPECT_TRUE(printout.OnPrintPage(1));
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return pdf;
  }

  std::string Rasterise(const std::string& pdf, int dpi) {
    const std::string out = pdf.substr(0, pdf.size() - 4);
    EXPECT_EQ(test::Shell("pdftoppm -r " + std::to_string(dpi) + " -png -singlefile " +
                          Quoted(pdf) + " " + Quoted(out)),
              0);
    return out + ".png";
  }
};

// The preview's bitmap, drawn by the toolkit's preview at 100 per inch of
// the page, against the printed page rasterised at 100 per inch: the same
// picture, frame, labels and markers, in both orientations.
TEST_F(PrintedFigure, ThePreviewShowsThePrintedPage) {
  for (const bool landscape : {false, true}) {
    SCOPED_TRACE(landscape ? "landscape" : "portrait");
    const wxPrintData data = LetterData(landscape);
    const wxPageSetupDialogData setup(data);
    const int width = landscape ? kPageHeight : kPageWidth;
    const int height = landscape ? kPageWidth : kPageHeight;
    const test::Picture printed(
        Rasterise(PrintOnPdf(setup, width, height, landscape ? "wide" : "tall"), 100));
    ASSERT_TRUE(printed.ok());
    // The printed figure lies inside the least margins, 10 mm each side.
    const double margin = 10 / 25.4 * 100;
    const test::Box ink = test::BoxOf(printed, test::Ink);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.left, margin - 1);
    EXPECT_GE(ink.top, margin - 1);
    EXPECT_LE(ink.right, printed.width() - margin);
    EXPECT_LE(ink.bottom, printed.height() - margin);

    wxPrintDialogData dialog(data);
    RenderedPreview preview(new FigurePrintout(engine, id, nullptr, nullptr, &setup), nullptr,
                            &dialog);
    wxBitmap bitmap(width / 6, height / 6);
    ASSERT_TRUE(preview.Render(bitmap));
    const wxImage image = bitmap.ConvertToImage();
    image.SaveFile(test::ScreenDir() + (landscape ? "/preview-wide.png" : "/preview-tall.png"),
                   wxBITMAP_TYPE_PNG);
    const test::Picture shown(image.GetData(), image.GetWidth(), image.GetHeight());
    ASSERT_EQ(shown.width(), printed.width());
    ASSERT_EQ(shown.height(), printed.height());

    int drawn = 0;
    const int differing = test::DifferingPixels(shown, printed, &drawn);
    ASSERT_GT(drawn, 1000);  // the frame, the labels, the line
    EXPECT_LT(differing, drawn / 50) << differing << " of " << drawn;
    EXPECT_EQ(test::Markers(shown).size(), 5u);
    EXPECT_EQ(test::Markers(printed).size(), 5u);
    const std::vector<int> frame = test::FrameLines(shown, true, margin);
    const std::vector<int> printedFrame = test::FrameLines(printed, true, margin);
    ASSERT_FALSE(frame.empty());
    ASSERT_FALSE(printedFrame.empty());
    EXPECT_NEAR(frame.front(), printedFrame.front(), 1);
    EXPECT_NEAR(frame.back(), printedFrame.back(), 1);
  }
}

}  // namespace
}  // namespace vke
