// The figure's printout: one page whose drawing rectangle is the paper within
// the page setup's margins (PageLayout), drawn on the cairo context of the
// device in the printer's units; the preview's device is a small bitmap of
// the same page, so the page units are scaled to the device here and the
// preview shows the printout's picture.
#include <wx/dc.h>
#include <wx/prntbase.h>
#include <wx/sizer.h>

#include <algorithm>
#include <utility>

#include "shell/figure_print.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"
#include "shell/window_placement.hpp"

namespace vke {

FigurePrintout::FigurePrintout(EngineFacade& engine, int32_t id, std::function<void()> restoreView,
                               std::function<void(ErrCode)> report,
                               const wxPageSetupDialogData* setup)
    : wxPrintout("Figures"),
      engine_(engine),
      id_(id),
      restoreView_(std::move(restoreView)),
      report_(std::move(report)),
      setup_(setup) {}

void FigurePrintout::GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) {
  *minPage = *maxPage = *pageFrom = *pageTo = 1;
}

bool FigurePrintout::OnPrintPage(int) {
  wxDC* dc = GetDC();
  if (!dc || !dc->GetImpl()) return false;
  auto* cr = static_cast<cairo_t*>(dc->GetImpl()->GetCairoContext());
  if (!cr) return false;
  int pageWidth = 0;
  int pageHeight = 0;
  GetPageSizePixels(&pageWidth, &pageHeight);
  int deviceWidth = 0;
  int deviceHeight = 0;
  dc->GetSize(&deviceWidth, &deviceHeight);
  int ppiX = 0;
  int ppiY = 0;
  GetPPIPrinter(&ppiX, &ppiY);
  if (pageWidth <= 0 || pageHeight <= 0 || ppiX <= 0) return false;
  PrintSheet sheet{pageWidth, pageHeight, static_cast<double>(ppiX)};
  // The margins the page setup asks for, in millimetres.
  if (setup_) {
    sheet.marginLeft = setup_->GetMarginTopLeft().x;
    sheet.marginTop = setup_->GetMarginTopLeft().y;
    sheet.marginRight = setup_->GetMarginBottomRight().x;
    sheet.marginBottom = setup_->GetMarginBottomRight().y;
  }
  cairo_save(cr);
  // The preview's bitmap holds the page at its own scale.
  const double scale = std::min(static_cast<double>(deviceWidth) / pageWidth,
                                static_cast<double>(deviceHeight) / pageHeight);
  cairo_scale(cr, scale, scale);
  const ErrCode e = PrintFigurePage(engine_, id_, cr, PageLayout(sheet), restoreView_);
  cairo_restore(cr);
  if (e && report_) report_(e);
  return true;
}

wxPreviewFrame* ShowPrintPreview(wxPrintPreview* preview, wxWindow* parent) {
  auto* frame = new wxPreviewFrame(preview, parent, "Print Preview");
  frame->Initialize();
  // At 100 % the canvas scrolls over the page and its margins (its virtual
  // size, cut to the scroll step of 10 pixels); the frame's bars and
  // borders are what it holds beside the canvas, laid out.
  preview->SetZoom(100);
  wxPreviewCanvas* canvas = preview->GetCanvas();
  const wxSize virtualSize = canvas->GetVirtualSize();
  frame->Layout();
  const wxSize outer = frame->GetSize();
  const wxSize inner = canvas->GetSize();
  const int margin = 2 * wxSizerFlags::GetDefaultBorder();
  constexpr int kScrollStep = 10;
  // The window manager's frame is known only once a window of the program
  // has shown; before, room is kept for a title bar and borders.
  const wxSize kLeastDecoration(8, 32);
  const wxSize client = frame->GetClientSize();
  const int status = frame->GetStatusBar() ? frame->GetStatusBar()->GetSize().y : 0;
  const wxSize decoration(outer.x - client.x, outer.y - client.y - status);
  const wxSize extra(std::max(0, kLeastDecoration.x - decoration.x),
                     std::max(0, kLeastDecoration.y - decoration.y));
  const wxSize bars = frame->GetControlBar()->GetBestSize();
  const PreviewContent content{
      virtualSize.x - 2 * margin + kScrollStep, virtualSize.y - 2 * margin + kScrollStep,
      outer.x - inner.x + 2 * margin + extra.x, outer.y - inner.y + 2 * margin + extra.y,
      bars.x + outer.x - client.x + extra.x};
  // A window manager may put the window's frame, not the window, at the
  // point asked for, so that it comes down by the frame's title bar: the
  // rooms keep that much spare at their bottoms.
  std::vector<ScreenRect> areas = ScreenWorkAreas();
  for (ScreenRect& area : areas) area.bottom -= decoration.y + extra.y;
  ScreenRect main = areas.empty() ? ScreenRect{0, 0, outer.x, outer.y} : areas.front();
  if (parent) {
    const wxRect r = parent->GetScreenRect();
    main = {r.GetLeft(), r.GetTop(), r.GetRight() + 1, r.GetBottom() + 1};
  }
  const PreviewPlacement placed = PlacePreview(main, content, areas);
  preview->SetZoom(placed.zoom);
  frame->GetControlBar()->SetZoomControl(placed.zoom);
  // Placed before it shows: the window manager takes the place asked for.
  const wxSize size(placed.window.right - placed.window.left,
                    placed.window.bottom - placed.window.top);
  frame->SetSize(placed.window.left, placed.window.top, size.x, size.y);
  // The window system maps a new window at its least height (its bars
  // alone, no page) before it gives it the size asked for: the preview is
  // held at that size until its page has been painted, then may shrink.
  const wxSize least = frame->GetMinSize();
  frame->SetMinSize(size);
  canvas->Bind(wxEVT_PAINT, [frame, least, held = true](wxPaintEvent& event) mutable {
    event.Skip();
    if (!std::exchange(held, false)) return;
    frame->CallAfter([frame, least] { frame->SetMinSize(least); });
  });
  frame->Show();
  return frame;
}

}  // namespace vke
