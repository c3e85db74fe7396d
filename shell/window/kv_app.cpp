// The application object: start-up through the shell's steps, the context
// and its facade, the one document with its frame, and the run-time natives.
#include <wx/modalhook.h>

#include <cstdio>
#include <cstdlib>

#include "app/handler_runner.hpp"
#include "app/host_clock.hpp"
#include "app/image.hpp"
#include "shell/desktop_places.hpp"
#include "shell/file_types.hpp"
#include "shell/kv_engine.hpp"
#include "shell/platform/break_key.hpp"
#include "shell/status_bar.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

// Counts the modal dialogs that are open.
class ModalCounter : public wxModalDialogHook {
 public:
  int open = 0;

 protected:
  int Enter(wxDialog*) override {
    open++;
    return wxID_NONE;
  }
  void Exit(wxDialog*) override { open--; }
};
ModalCounter g_modal;

class MessageErrorBox : public ErrorBox {
 public:
  void Show(const std::string& text) override {
    ShowErrorBoxLater(wxString::FromUTF8(text), wxGetApp().GetAppName(),
                      [] { wxGetApp().Errors().BoxClosed(); });
  }
};

class FrameStatusBar : public StatusBar {
 public:
  explicit FrameStatusBar(KVMainFrame* frame) : frame_(frame) {}
  void SetPaneText(int pane, std::string_view text) override {
    frame_->ShowStatus(pane, wxString::FromUTF8(text.data(), text.size()));
  }

 private:
  KVMainFrame* frame_;
};

}  // namespace

void ShowErrorBoxLater(const wxString& text, const wxString& caption,
                       std::function<void()> closed) {
  wxWeakRef<wxWindow> frame(wxGetApp().Frame());
  wxGetApp().CallAfter([text, caption, closed, frame] {
    if (frame && !frame->IsBeingDeleted() && !wxTheApp->IsScheduledForDestruction(frame.get())) {
      wxMessageBox(text, caption, wxOK | wxICON_ERROR, frame.get());
    }
    if (closed) closed();
  });
}

KVApp::KVApp() {
  // Everything is drawn by cairo on the processor: the toolkit need not load
  // the GL drivers at start, which costs a third of the start-up time.
  setenv("GDK_GL", "disable", 0);
}

KVApp::~KVApp() {
  BindRuntimeWindow(nullptr);
}

bool KVApp::OnInit() {
  wxInitAllImageHandlers();
  g_modal.Register();
  executable_ = ExecutablePath();
  const std::string name = ApplicationName(executable_);
  SetAppName(wxString::FromUTF8(name));
  preferences_ = std::make_unique<FilePreferences>(PreferencesPath(name));
  InstallBreakSignal(&NoteBreakKeyPressed);
  manager_ = new OneDocumentManager;
  new wxDocTemplate(manager_, "KV File", "*.kv", "", "kv", "KV Document", "KV View",
                    CLASSINFO(KVDoc), CLASSINFO(KVView));
  return InitInstance(*preferences_, *this, executable_, &state_);
}

int KVApp::OnExit() {
  ExitInstance(state_);
  SetFileDialogProvider(nullptr);
  delete manager_;
  manager_ = nullptr;
  return 0;
}

void KVApp::RegisterFileTypes() {
  FileTypeRegistration(DesktopPlaces::FromEnvironment(executable_), executable_).RegisterAtStart();
}

AbortFn KVApp::BreakTest() const {
  // The engine's break test: the keyboard first, then whether a break was
  // asked for since the previous test.
  return [](uintptr_t argument) {
    PollBreakKeyboard();
    return IsBreakKeyDown(argument);
  };
}

EngineFacade& KVApp::CreateContext(const StartupSettings& settings) {
  context_ = std::make_unique<KVAppContext>(settings.memMin, settings.memMax);
  engine_ = std::make_unique<KVEngine>(*context_);
  errorBox_ = std::make_unique<MessageErrorBox>();
  errors_ = std::make_unique<ActionErrors>(*engine_, *errorBox_, GetAppName().ToStdString());
  return *engine_;
}

void KVApp::RegisterRuntimeTable(EngineFacade&) {
  BindRuntimeWindow(this);
  // A failing handler is reported once, in its box and on standard error
  // with the user's names (ActionErrors); the engine does not print it.
  SetHandlerFailuresReported(true);
  // The engine's output is discarded unless this asks for it on standard
  // error.
  if (std::getenv("VKE_RUNTIME_OUTPUT")) {
    SetStdOutputSink([](int32_t, const char* bytes, int32_t n,
                        uintptr_t) { std::fwrite(bytes, 1, static_cast<size_t>(n), stderr); },
                     0);
  }
}

bool KVApp::CreateDocument() {
  frame_ = new KVMainFrame(manager_, "VKE Runtime");
  SetTopWindow(frame_);
  statusBar_ = std::make_unique<FrameStatusBar>(frame_);
  context_->SetStatusBar(statusBar_.get());
  dialogs_ = std::make_unique<DialogCommands>(frame_);
  dialogs_->Install();
  context_->SetPromptWindows(&dialogs_->Prompt());
  fileDialogs_ = std::make_unique<ChooserDialogProvider>(dialogs_->Files());
  SetFileDialogProvider(fileDialogs_.get());
  if (!manager_->CreateDocument(wxString(), wxDOC_NEW)) return false;
  frame_->Show();
  // Once the window manager has framed the window, so that the saved outer
  // rectangle is met exactly.
  frame_->Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
    event.Skip();
    if (placed_) return;
    placed_ = true;
    frame_->RestorePlacement();
  });
  return true;
}

void KVApp::AcceptDroppedFiles() {
  frame_->DragAcceptFiles(true);
  frame_->Bind(wxEVT_DROP_FILES, [this](wxDropFilesEvent& event) {
    for (int k = 0; k < event.GetNumberOfFiles(); k++)
      manager_->CreateDocument(event.GetFiles()[k], wxDOC_SILENT);
  });
}

void KVApp::LoadEmbeddedApplication() {
  if (KVDoc* doc = Document()) doc->LoadEmbeddedApplication();
}

KVDoc* KVApp::Document() const {
  if (!manager_) return nullptr;
  wxList& docs = manager_->GetDocuments();
  return docs.empty() ? nullptr : static_cast<KVDoc*>(docs.GetFirst()->GetData());
}

void KVApp::RunIdleStepAllDocuments() {
  if (!manager_) return;
  for (wxList::compatibility_iterator n = manager_->GetDocuments().GetFirst(); n; n = n->GetNext())
    static_cast<KVDoc*>(n->GetData())->RunIdleStep();
}

bool KVApp::ModalOpen() const {
  return g_modal.open > 0;
}

void KVApp::DrawNow() {
  KVDoc* doc = Document();
  wxView* view = doc ? doc->GetFirstView() : nullptr;
  if (view) static_cast<KVView*>(view)->Canvas()->DrawNowFromHere();
}

void KVApp::Quit() {
  CallAfter([this] {
    if (frame_) frame_->Close();
  });
}

}  // namespace vke
