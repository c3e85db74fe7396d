// The figure's window: paints the figure through an off-screen cairo image
// kept until the size changes, feeds the mouse to the view's rules, the keys
// to the figure, runs the instance's timer step every 20 ms while the frame
// says there is work, and chooses the cursor.
#include <wx/dcclient.h>

#include <cstdlib>

#include "graphics/figure_codes.hpp"
#include "graphics/port.hpp"
#include "shell/view_input.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

constexpr int kViewTickMs = 20;

// The toolkit's shape of the cursor of each hit-test code.
constexpr wxStockCursor kShapeByCode[] = {
#define VKE_FIGURE_CURSOR(resource, shape) wxCURSOR_##shape,
#include "shell/figure_cursors.def"
#undef VKE_FIGURE_CURSOR
};

}  // namespace

KVCanvas::KVCanvas(wxWindow* parent, EngineFacade& engine, CanvasHost& host)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS),
      engine_(engine),
      host_(host),
      view_(engine.Interaction(), *this),
      timer_(this) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &KVCanvas::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &KVCanvas::OnMouse, this);
  Bind(wxEVT_MIDDLE_DOWN, &KVCanvas::OnMouse, this);
  Bind(wxEVT_LEFT_UP, &KVCanvas::OnMouse, this);
  Bind(wxEVT_MOTION, &KVCanvas::OnMouse, this);
  Bind(wxEVT_MOUSEWHEEL, &KVCanvas::OnMouse, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &KVCanvas::OnCaptureLost, this);
  Bind(wxEVT_KEY_DOWN, &KVCanvas::OnKeyDown, this);
  Bind(wxEVT_KEY_UP, &KVCanvas::OnKeyUp, this);
  Bind(wxEVT_CHAR, &KVCanvas::OnChar, this);
  Bind(wxEVT_TIMER, &KVCanvas::OnTimer, this);
  Bind(wxEVT_CONTEXT_MENU, &KVCanvas::OnContextMenu, this);
  timer_.Start(kViewTickMs);
}

KVCanvas::~KVCanvas() {
  timer_.Stop();
  if (HasCapture()) wxWindow::ReleaseMouse();
  engine_.SetGraphicsPort(nullptr, nullptr);
}

bool KVCanvas::EnsureImage() {
  if (image_) return true;
  if (width_ <= 0 || height_ <= 0) return false;
  return CairoTarget::CreateImage(width_, height_, &image_) == kOk;
}

void KVCanvas::InstallTarget() {
  InitScreenPortMetrics();
  EnsureImage();
  engine_.SetGraphicsPort(&ScreenPort(), image_.get());
}

void KVCanvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  EngineFacade& engine = engine_;
  const int32_t id = host_.Instance();
  const wxSize size = GetClientSize();
  if (size.x != width_ || size.y != height_) {
    width_ = size.x;
    height_ = size.y;
    image_.reset();
    if (engine.Created()) {
      InstallTarget();
      engine.SetFigureRect(id, width_, height_);
      host_.ReportError(engine.RunDrawHandlers(id));
    }
  }
  // Feedback the mouse drew on the image by inversion is shown as it is.
  const bool feedbackOnly = feedbackOnly_ && image_ != nullptr;
  feedbackOnly_ = false;
  if (!EnsureImage()) return;
  InstallTarget();
  if (!feedbackOnly) {
    cairo_t* c = image_->context();
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    cairo_save(c);
    cairo_set_source_rgb(c, window.Red() / 255.0, window.Green() / 255.0, window.Blue() / 255.0);
    cairo_paint(c);
    cairo_restore(c);
    // A drawing that ran out of memory says so once, not at every paint.
    const ErrCode drawn = engine.DrawFigure(id);
    if (drawn != drawFailure_ && drawn != kOk) host_.ReportError(drawn);
    drawFailure_ = drawn;
  }
  cairo_surface_flush(image_->surface());
  auto* screen = static_cast<cairo_t*>(dc.GetImpl()->GetCairoContext());
  if (!screen) return;
  cairo_save(screen);
  cairo_set_source_surface(screen, image_->surface(), 0, 0);
  cairo_paint(screen);
  cairo_restore(screen);
  paints_++;
  // The benchmark of the start ends the program after the first paint.
  static const bool exitAfterPaint = std::getenv("VKE_BENCH_EXIT_AFTER_PAINT") != nullptr;
  if (exitAfterPaint) wxTheApp->CallAfter([] { wxTheApp->ExitMainLoop(); });
}

void KVCanvas::SetTicking(bool on) {
  if (on && !timer_.IsRunning()) timer_.Start(kViewTickMs);
  if (!on && timer_.IsRunning()) timer_.Stop();
}

void KVCanvas::Renew(bool relayout) {
  if (relayout) width_ = height_ = 1;
  image_.reset();
  InstallTarget();
  Refresh(false);
}

void KVCanvas::DrawNowFromHere() {
  Refresh(false);
  Update();
}

void KVCanvas::Refresh(bool eraseBackground, const wxRect* rect) {
  feedbackOnly_ = false;
  wxWindow::Refresh(eraseBackground, rect);
}

void KVCanvas::ShowFeedback() {
  feedbackOnly_ = true;
  wxWindow::Refresh(false);
  Update();
}

void KVCanvas::CaptureMouse() {
  if (!HasCapture()) wxWindow::CaptureMouse();
}

void KVCanvas::ReleaseMouse() {
  if (HasCapture()) wxWindow::ReleaseMouse();
}

void KVCanvas::ShowStatus(std::string_view text) {
  host_.ShowStatus(wxString::FromUTF8(text.data(), text.size()));
}

void KVCanvas::OnMouse(wxMouseEvent& event) {
  view_.SetInstance(host_.Instance());
  const double x = event.GetX();
  const double y = event.GetY();
  const bool shift = event.ShiftDown();
  const wxEventType type = event.GetEventType();
  if (type == wxEVT_LEFT_DOWN) {
    SetFocus();
    view_.Press(x, y, shift);
  } else if (type == wxEVT_MIDDLE_DOWN) {
    SetFocus();
    view_.MiddlePress(x, y);
  } else if (type == wxEVT_LEFT_UP) {
    view_.Release(x, y, shift);
  } else if (type == wxEVT_MOUSEWHEEL) {
    view_.Wheel(x, y, event.GetWheelRotation(), shift);
  } else {
    view_.Move(x, y, {event.LeftIsDown(), event.MiddleIsDown(), shift});
    UpdateCursor();
  }
  // The view answers only redraws: a mouse handler's failure is left behind.
  host_.ReportError(kOk);
}

void KVCanvas::OnCaptureLost(wxMouseCaptureLostEvent&) {
  view_.CaptureLost();
}

void KVCanvas::OnKeyDown(wxKeyEvent& event) {
  // Taken here, these keys make no character event.
  std::optional<CommandKey> key;
  switch (event.GetKeyCode()) {
    case WXK_LEFT:
      key = CommandKey::kLeft;
      break;
    case WXK_UP:
      key = CommandKey::kUp;
      break;
    case WXK_RIGHT:
      key = CommandKey::kRight;
      break;
    case WXK_DOWN:
      key = CommandKey::kDown;
      break;
    case WXK_DELETE:
    case WXK_NUMPAD_DELETE:
      key = CommandKey::kDelete;
      break;
    default:
      event.Skip();
  }
  if (key) {
    InstallTarget();
    std::string status;
    const ErrCode code = engine_.HandleFigureKey(host_.Instance(), FigureCommandKey(*key), &status);
    if (code == kStatusRepaint) Refresh(false);
    if (!KeyUnused(code)) host_.ReportError(code);
  }
  UpdateCursor();
}

void KVCanvas::OnKeyUp(wxKeyEvent& event) {
  event.Skip();
  UpdateCursor();
}

void KVCanvas::OnChar(wxKeyEvent& event) {
  const wxChar ch = event.GetUnicodeKey();
  if (ch == WXK_NONE || !engine_.Created()) {
    event.Skip();
    return;
  }
  InstallTarget();
  std::string status;
  const ErrCode code =
      engine_.HandleFigureKey(host_.Instance(), static_cast<uint32_t>(ch), &status);
  // A text field's handler that refused the number says why.
  if (!status.empty()) ShowStatus(status);
  if (code == kStatusRepaint) {
    Refresh(false);
  } else if (code != kOk) {
    event.Skip();
  }
  if (!KeyUnused(code)) host_.ReportError(code);
}

void KVCanvas::OnTimer(wxTimerEvent&) {
  InstallTarget();
  const ErrCode code = RunViewTick(engine_, host_.Instance(), host_.ModalOpen());
  if (code == kStatusRepaint) DrawNowFromHere();
  host_.ReportError(code);
}

void KVCanvas::UpdateCursor() {
  const wxPoint at = ScreenToClient(wxGetMousePosition());
  if (!GetClientRect().Contains(at)) return;
  const bool shift = wxGetKeyState(WXK_SHIFT);
  InstallTarget();
  const int32_t code = engine_.Interaction().HitTestForCursor(host_.Instance(), at.x, at.y, shift);
  if (CursorForCode(code)) SetCursor(wxCursor(kShapeByCode[code]));
}

}  // namespace vke
