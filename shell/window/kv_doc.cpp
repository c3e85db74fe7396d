// The document and its view: the instance the image restored, its idle
// step, and the number format written back at the end (the commands are in
// kv_doc_commands.cpp).
#include <cstdlib>

#include "graphics/figure_codes.hpp"
#include "graphics/port.hpp"
#include "shell/startup_settings.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

wxIMPLEMENT_DYNAMIC_CLASS(KVDoc, wxDocument);
wxIMPLEMENT_DYNAMIC_CLASS(KVView, wxView);

KVDoc::~KVDoc() {
  EngineFacade& engine = wxGetApp().Engine();
  if (instance_ != 0 && engine.Created()) engine.CloseInstance(instance_);
  const NumberFormat f = engine.GetNumberFormat();
  Preferences& prefs = wxGetApp().Prefs();
  prefs.WriteText(PrefKey::FormatType, std::string(1, f.type));
  prefs.WriteInt(PrefKey::FormatNDigits, f.digits);
  prefs.WriteText(PrefKey::FormatImagSymbol, f.imagUnit ? std::string(1, f.imagUnit) : "");
  prefs.WriteInt(PrefKey::FormatLoose, f.loose ? 1 : 0);
}

void KVDoc::LoadEmbeddedApplication() {
  EngineFacade& engine = wxGetApp().Engine();
  std::string title;
  const ErrCode e = engine.LoadApplication(wxGetApp().Executable(), &title);
  if (e) {
    // The window stays, empty, with the reason in a box.
    wxGetApp().Errors().ReportText(LoadErrorText(engine, e, wxGetApp().Executable()));
    return;
  }
  imageTitle_ = title;
  instance_ = engine.FirstInstance();
  DocumentCommands& commands = Commands();
  commands.SetInstance(instance_);
  commands.FetchInstanceTitle();
  if (!commands.Title().empty()) title = commands.Title();
  SetTitle(WindowText(title));
  if (KVMainFrame* frame = wxGetApp().Frame()) frame->SetTitle(WindowText(title));
  commands.UpdateMenus(true);
  UpdateAllViews();
}

void KVDoc::RunIdleStep() {
  const ErrCode code = wxGetApp().Engine().RunIdleStep(instance_, true);
  if (code == kStatusRepaint) UpdateAllViews();
  wxGetApp().Errors().Report(code);
}

bool KVView::OnCreate(wxDocument*, long) {
  KVMainFrame* frame = wxGetApp().Frame();
  SetFrame(frame);
  const Preferences& prefs = wxGetApp().Prefs();
  const std::string face = prefs.ReadText(PrefKey::FigFontName);
  SetPortFont(face.c_str(), FigureFontPixels(prefs), 0);
  canvas_ = new KVCanvas(frame, wxGetApp().Engine(), *this);
  frame->AttachCanvas(canvas_);
  return true;
}

void KVView::OnUpdate(wxView*, wxObject*) {
  if (canvas_) canvas_->Refresh(false);
}

int32_t KVView::Instance() const {
  return static_cast<KVDoc*>(GetDocument())->Instance();
}

void KVView::ShowStatus(const wxString& text) {
  if (KVMainFrame* frame = wxGetApp().Frame()) frame->ShowStatus(0, text);
}

bool KVView::ModalOpen() const {
  return wxGetApp().ModalOpen();
}

void KVView::ReportError(ErrCode code) {
  wxGetApp().Errors().Report(code);
}

bool KVView::OnClose(bool) {
  if (canvas_) canvas_->Destroy();
  canvas_ = nullptr;
  return true;
}

}  // namespace vke
