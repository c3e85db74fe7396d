// The main frame: tool bar, status bar, the view in a sizer, the 10 ms
// timer (running while there is timed work), the close a SIGINT asks for,
// placement and the commands of the whole program (the menus' are in
// kv_frame_menus.cpp).
#include <wx/artprov.h>

#include <functional>

#include "app/host_clock.hpp"
#include "graphics/figure_codes.hpp"
#include "shell/bar_settings.hpp"
#include "shell/command_table.hpp"
#include "shell/desktop_places.hpp"
#include "shell/file_types.hpp"
#include "shell/mode_icons.hpp"
#include "shell/platform/break_key.hpp"
#include "shell/view_input.hpp"
#include "shell/window/kv_windows.hpp"
#include "shell/window_placement.hpp"

namespace vke {

namespace {

constexpr int kFrameTickMs = 10;
constexpr int kModeFirst = 10020;  // Manipulate, Zoom, Zoom X, Drag, Select
constexpr int kModeCount = 5;
constexpr int kHelpCommand = 10211;
constexpr int kRegisterCommand = 10103;
constexpr int kIconFallback = 32;
constexpr int kToolFallback = 24;

// The figure modes on the tool bar, in mode order: the tooltip, the status
// bar's help and the picture.
struct ModeTool {
  const char* tip;
  const char* help;
  ModeIcon icon;
};
constexpr ModeTool kModeTools[] = {
    {"Manipulate", "Manipulates an element in a figure", ModeIcon::kManipulate},
    {"Zoom", "Zooms in (shift to zoom out)", ModeIcon::kZoom},
    {"Zoom x-axis", "Zooms in along the X axis (shift to zoom out)", ModeIcon::kZoomX},
    {"Drag", "Drags (shift to drag along the X axis)", ModeIcon::kDrag},
    {"Select subplot", "Selects or move a subplot (shift for multiple selection)",
     ModeIcon::kSelect},
};
static_assert(std::size(kModeTools) == kModeCount && kModeCount == kModeIconCount);

// The tool bar's picture of a figure mode at the bar's size, in the ink of
// the theme's button text.
wxBitmap ModeBitmap(ModeIcon icon, int side) {
  const wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
  const std::vector<uint8_t> rgba =
      ModeIconRgba(icon, side, {text.Red() / 255.0, text.Green() / 255.0, text.Blue() / 255.0});
  wxImage image(side, side);
  image.InitAlpha();
  for (int y = 0; y < side; y++) {
    for (int x = 0; x < side; x++) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * side + x) * 4];
      image.SetRGB(x, y, p[0], p[1], p[2]);
      image.SetAlpha(x, y, p[3]);
    }
  }
  return wxBitmap(image);
}

int32_t Instance() {
  KVDoc* doc = wxGetApp().Document();
  return doc ? doc->Instance() : 0;
}

KVCanvas* Canvas() {
  KVDoc* doc = wxGetApp().Document();
  wxView* view = doc ? doc->GetFirstView() : nullptr;
  return view ? static_cast<KVView*>(view)->Canvas() : nullptr;
}

// Wakes the frame when a SIGINT wrote to its pipe.
class InterruptWatch : public wxEventLoopSourceHandler {
 public:
  explicit InterruptWatch(std::function<void()> onInterrupt) : onInterrupt_(onInterrupt) {}
  void OnReadWaiting() override {
    DrainInterruptPipe();
    onInterrupt_();
  }
  void OnWriteWaiting() override {}
  void OnExceptionWaiting() override {}

 private:
  std::function<void()> onInterrupt_;
};

}  // namespace

KVMainFrame::KVMainFrame(wxDocManager* manager, const wxString& title)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(640, 480)),
      timer_(this) {
  SetMinSize(wxSize(320, 240));
  wxToolBar* tools = CreateToolBar();
  const wxSize hint = wxArtProvider::GetSizeHint(wxART_TOOLBAR);
  const int side = std::min(hint.x, hint.y) > 0 ? std::min(hint.x, hint.y) : kToolFallback;
  tools->SetToolBitmapSize(wxSize(side, side));
  tools->AddTool(wxID_UNDO, "Undo", wxArtProvider::GetBitmap(wxART_UNDO, wxART_TOOLBAR), "Undo");
  tools->AddTool(wxID_REDO, "Redo", wxArtProvider::GetBitmap(wxART_REDO, wxART_TOOLBAR), "Redo");
  tools->AddSeparator();
  for (int k = 0; k < kModeCount; k++) {
    const ModeTool& mode = kModeTools[k];
    tools->AddRadioTool(kModeFirst + k, mode.tip, ModeBitmap(mode.icon, side), wxNullBitmap,
                        mode.tip, mode.help);
  }
  tools->Realize();
  FitBusyPane(CreateStatusBar(2));
  RestoreBars();
  sizer_ = new wxBoxSizer(wxVERTICAL);
  SetSizer(sizer_);

  wxAcceleratorEntry keys[] = {
      {wxACCEL_CTRL, 'Z', wxID_UNDO},
      {wxACCEL_CTRL | wxACCEL_SHIFT, 'Z', wxID_REDO},
      {wxACCEL_CTRL, 'Q', wxID_EXIT},
      {wxACCEL_CTRL, 'A', wxID_SELECTALL},
  };
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));

  Bind(wxEVT_CLOSE_WINDOW, &KVMainFrame::OnClose, this);
  Bind(wxEVT_ACTIVATE, &KVMainFrame::OnActivate, this);
  Bind(wxEVT_TIMER, &KVMainFrame::OnTick, this);
  Bind(wxEVT_IDLE, &KVMainFrame::OnIdle, this);
  Bind(wxEVT_MENU, &KVMainFrame::OnUndo, this, wxID_UNDO);
  Bind(wxEVT_MENU, &KVMainFrame::OnRedo, this, wxID_REDO);
  Bind(
      wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_EXIT);
  Bind(wxEVT_MENU, &KVMainFrame::OnSelectAll, this, wxID_SELECTALL);
  Bind(wxEVT_MENU, &KVMainFrame::OnHelp, this, kHelpCommand);
  Bind(wxEVT_MENU, &KVMainFrame::OnRegister, this, kRegisterCommand);
  Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnUpdateUndo, this, wxID_UNDO);
  Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnUpdateRedo, this, wxID_REDO);
  Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnUpdateHelp, this, kHelpCommand);
  InstallMenus();
  timer_.Start(kFrameTickMs);
  if (InterruptPipe() >= 0) {
    interruptWatch_ = std::make_unique<InterruptWatch>([this] { OnInterrupt(); });
    interruptSource_ = wxEventLoopBase::AddSourceForFD(InterruptPipe(), interruptWatch_.get(),
                                                       wxEVENT_SOURCE_INPUT);
  }
}

KVMainFrame::~KVMainFrame() {
  delete interruptSource_;
}

bool KVMainFrame::TryBefore(wxEvent& event) {
  const int id = event.GetId();
  if ((id == wxID_UNDO || id == wxID_REDO) && SearchDynamicEventTable(event)) return true;
  return wxDocParentFrame::TryBefore(event);
}

void KVMainFrame::AttachCanvas(wxWindow* canvas) {
  sizer_->Add(canvas, 1, wxEXPAND);
  Layout();
}

void KVMainFrame::ShowStatus(int pane, const wxString& text) {
  SetStatusText(text, pane);
  if (wxStatusBar* bar = GetStatusBar()) bar->Update();
}

void KVMainFrame::RestorePlacement() {
  const wxRect r = GetRect();
  const WindowPlacement current{0,
                                IsMaximized() ? kShowMaximized : kShowNormal,
                                r.GetLeft(),
                                r.GetTop(),
                                r.GetRight() + 1,
                                r.GetBottom() + 1};
  const int iconX = wxSystemSettings::GetMetric(wxSYS_ICON_X, this);
  const int iconY = wxSystemSettings::GetMetric(wxSYS_ICON_Y, this);
  const wxSize least = GetMinSize();
  ScreenSize screen{
      {}, iconX > 0 ? iconX : kIconFallback, iconY > 0 ? iconY : kIconFallback, least.x, least.y};
  screen.workAreas = ScreenWorkAreas();
  const std::optional<WindowPlacement> p = RestoredPlacement(wxGetApp().Prefs(), current, screen);
  if (!p) return;
  SetSize(wxRect(p->left, p->top, p->right - p->left, p->bottom - p->top));
  if (p->showCmd == kShowMaximized) Maximize();
  if (p->showCmd == kShowMinimized) Iconize();
}

void KVMainFrame::SavePlacementNow() {
  const wxRect r = GetRect();
  const int32_t show = IsIconized() ? kShowMinimized : IsMaximized() ? kShowMaximized : kShowNormal;
  SavePlacement(wxGetApp().Prefs(),
                {0, show, r.GetLeft(), r.GetTop(), r.GetRight() + 1, r.GetBottom() + 1});
}

void KVMainFrame::RestoreBars() {
  for (const BarState& state : LoadBarStates(wxGetApp().Prefs()))
    if (wxWindow* bar = Bar(state.id)) bar->Show(state.visible);
}

void KVMainFrame::SaveBars() {
  std::vector<BarState> bars;
  for (const int32_t id : {kCmdToolbar, kCmdStatusBar})
    if (const wxWindow* bar = Bar(id)) bars.push_back({id, bar->IsShown()});
  SaveBarStates(wxGetApp().Prefs(), bars);
}

void KVMainFrame::OnClose(wxCloseEvent& event) {
  timer_.Stop();
  SaveBars();
  SavePlacementNow();
  event.Skip();
}

void KVMainFrame::OnActivate(wxActivateEvent& event) {
  event.Skip();
  if (event.GetActive()) CallAfter([this] { RestoreViewFocus(); });
}

void KVMainFrame::RestoreViewFocus() {
  if (!IsActive()) return;
  const wxWindow* focus = wxWindow::FindFocus();
  if (focus != nullptr && focus != this && IsDescendant(const_cast<wxWindow*>(focus))) return;
  if (KVCanvas* canvas = Canvas()) canvas->SetFocus();
}

void KVMainFrame::OnTick(wxTimerEvent&) {
  if (RunFrameTick(wxGetApp().Engine(), wxGetApp().ModalOpen()))
    wxGetApp().RunIdleStepAllDocuments();
  UpdateTimers();
}

void KVMainFrame::OnIdle(wxIdleEvent& event) {
  event.Skip();
  // The window reads its events: the break keys are its own again.
  EndBreakKeyboardPoll();
  UpdateTimers();
  if (closeRequested_ && !wxGetApp().Engine().HandlerBusy() && !wxGetApp().ModalOpen()) {
    closeRequested_ = false;
    Close();
  }
}

void KVMainFrame::OnInterrupt() {
  if (InterruptClosesWindow(wxGetApp().Engine(), &IsBreakKeyDown)) {
    closeRequested_ = true;
    wxWakeUpIdle();
  }
}

void KVMainFrame::UpdateTimers() {
  KVCanvas* canvas = Canvas();
  const bool needed =
      TimersNeeded(wxGetApp().Engine(), Instance(), canvas != nullptr && canvas->Dragging());
  if (needed && !timer_.IsRunning()) timer_.Start(kFrameTickMs);
  if (!needed && timer_.IsRunning()) timer_.Stop();
  if (canvas) canvas->SetTicking(needed);
}

void KVMainFrame::RepaintOn(ErrCode code) {
  if (code == kStatusRepaint) {
    if (KVDoc* doc = wxGetApp().Document()) doc->UpdateAllViews();
  }
  wxGetApp().Errors().Report(code);
}

void KVMainFrame::OnUndo(wxCommandEvent&) {
  RepaintOn(wxGetApp().Engine().Undo(Instance()));
}

void KVMainFrame::OnRedo(wxCommandEvent&) {
  RepaintOn(wxGetApp().Engine().Redo(Instance()));
}

void KVMainFrame::OnSelectAll(wxCommandEvent&) {
  RepaintOn(wxGetApp().Engine().SelectAllSubplots(Instance()));
}

void KVMainFrame::OnUpdateUndo(wxUpdateUIEvent& event) {
  event.Enable(wxGetApp().Engine().CanUndo(Instance()));
}

void KVMainFrame::OnUpdateRedo(wxUpdateUIEvent& event) {
  event.Enable(wxGetApp().Engine().CanRedo(Instance()));
}

void KVMainFrame::OnHelp(wxCommandEvent&) {
  if (const auto& help = wxGetApp().State().helpFile)
    wxLaunchDefaultBrowser(wxString::FromUTF8(FileUri(*help)));
}

void KVMainFrame::OnUpdateHelp(wxUpdateUIEvent& event) {
  event.Enable(wxGetApp().State().helpFile.has_value());
}

void KVMainFrame::OnRegister(wxCommandEvent&) {
  const std::string& exe = wxGetApp().Executable();
  FileTypeRegistration(DesktopPlaces::FromEnvironment(exe), exe).RegisterAgain();
}

}  // namespace vke
