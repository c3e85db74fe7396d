// The main frame: tool bar, status bar, the view in a sizer, the 10 ms
// timer, placement and the commands of the whole program (the menus' are
// in kv_frame_menus.cpp).
#include <wx/artprov.h>

#include "graphics/figure_codes.hpp"
#include "shell/desktop_places.hpp"
#include "shell/file_types.hpp"
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
constexpr int kBusyPaneWidth = 64;
constexpr int kIconFallback = 32;

const char* const kModeNames[kModeCount] = {"Manipulate", "Zoom", "Zoom X-axis", "Drag", "Select"};

// The tool bar's picture of a figure mode: its number in a frame.
wxBitmap ModeBitmap(int mode) {
  wxBitmap bitmap(16, 16);
  wxMemoryDC dc(bitmap);
  dc.SetBackground(*wxWHITE_BRUSH);
  dc.Clear();
  dc.SetPen(*wxBLACK_PEN);
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawRectangle(0, 0, 16, 16);
  dc.SetFont(wxFont(wxFontInfo(8).Bold()));
  const wxString text = wxString::Format("%d", mode);
  const wxSize extent = dc.GetTextExtent(text);
  dc.DrawText(text, (16 - extent.x) / 2, (16 - extent.y) / 2);
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

int32_t Instance() {
  KVDoc* doc = wxGetApp().Document();
  return doc ? doc->Instance() : 0;
}

}  // namespace

KVMainFrame::KVMainFrame(wxDocManager* manager, const wxString& title)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(640, 480)),
      timer_(this) {
  SetMinSize(wxSize(320, 240));
  wxToolBar* tools = CreateToolBar();
  tools->AddTool(wxID_UNDO, "Undo", wxArtProvider::GetBitmap(wxART_UNDO, wxART_TOOLBAR), "Undo");
  tools->AddTool(wxID_REDO, "Redo", wxArtProvider::GetBitmap(wxART_REDO, wxART_TOOLBAR), "Redo");
  tools->AddSeparator();
  for (int k = 0; k < kModeCount; k++)
    tools->AddRadioTool(kModeFirst + k, kModeNames[k], ModeBitmap(k + 1), wxNullBitmap,
                        kModeNames[k]);
  tools->Realize();
  CreateStatusBar(2);
  const int widths[2] = {-1, kBusyPaneWidth};
  SetStatusWidths(2, widths);
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
  Bind(wxEVT_TIMER, &KVMainFrame::OnTick, this);
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
  const wxSize display = wxGetDisplaySize();
  int iconX = wxSystemSettings::GetMetric(wxSYS_ICON_X, this);
  int iconY = wxSystemSettings::GetMetric(wxSYS_ICON_Y, this);
  const ScreenSize screen{display.x, display.y, iconX > 0 ? iconX : kIconFallback,
                          iconY > 0 ? iconY : kIconFallback};
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

void KVMainFrame::OnClose(wxCloseEvent& event) {
  timer_.Stop();
  SavePlacementNow();
  event.Skip();
}

void KVMainFrame::OnTick(wxTimerEvent&) {
  if (RunFrameTick(wxGetApp().Engine(), wxGetApp().ModalOpen()))
    wxGetApp().RunIdleStepAllDocuments();
}

void KVMainFrame::RepaintOn(ErrCode code) {
  if (code != kStatusRepaint) return;
  if (KVDoc* doc = wxGetApp().Document()) doc->UpdateAllViews();
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
