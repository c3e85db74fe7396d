// The runtime's windows: the application object, the one document, the
// main frame with its tool bar and status bar, and the figure view. They
// hold no rule of their own that needs no window: those live in shell/ and
// app/ and are called from here.
#pragma once

#include <wx/docview.h>
#include <wx/wx.h>

#include <memory>

#include "app/figure_view.hpp"
#include "graphics/cairo_target.hpp"
#include "shell/app_startup.hpp"
#include "shell/file_preferences.hpp"
#include "shell/host_context.hpp"
#include "shell/runtime_table.hpp"

namespace vke {

class KVEngine;
class KVCanvas;
class StatusBar;

// Refuses every document but the first: opening a file or dropping one on
// the window never replaces the application.
class OneDocumentManager : public wxDocManager {
 public:
  wxDocument* CreateDocument(const wxString& path, long flags) override;
};

class KVDoc : public wxDocument {
 public:
  bool OnNewDocument() override { return true; }
  bool IsModified() const override { return false; }
  ~KVDoc() override;

  // Loads the image behind the executable; its failure is shown in a box.
  void LoadEmbeddedApplication();
  // Draw handlers of a changed instance, then the views.
  void RunIdleStep();
  int32_t Instance() const { return instance_; }

 private:
  int32_t instance_ = 0;
  wxDECLARE_DYNAMIC_CLASS(KVDoc);
};

// What the figure's window asks of the program around it.
class CanvasHost {
 public:
  virtual ~CanvasHost() = default;
  virtual int32_t Instance() const = 0;
  // Shows a text in the status bar's first pane at once.
  virtual void ShowStatus(const wxString& text) = 0;
  virtual bool ModalOpen() const = 0;
};

class KVView : public wxView, public CanvasHost {
 public:
  bool OnCreate(wxDocument* doc, long flags) override;
  void OnDraw(wxDC*) override {}
  void OnUpdate(wxView* sender, wxObject* hint) override;
  bool OnClose(bool deleteWindow) override;
  KVCanvas* Canvas() const { return canvas_; }

  int32_t Instance() const override;
  void ShowStatus(const wxString& text) override;
  bool ModalOpen() const override;

 private:
  KVCanvas* canvas_ = nullptr;
  wxDECLARE_DYNAMIC_CLASS(KVView);
};

class KVMainFrame : public wxDocParentFrame {
 public:
  KVMainFrame(wxDocManager* manager, const wxString& title);
  void AttachCanvas(wxWindow* canvas);
  void ShowStatus(int pane, const wxString& text);
  // The saved placement, applied once the window is on the screen (its
  // frame's size is known only then).
  void RestorePlacement();

 protected:
  // Undo and redo are the figure's, never the document manager's.
  bool TryBefore(wxEvent& event) override;

 private:
  void OnClose(wxCloseEvent& event);
  void OnTick(wxTimerEvent& event);
  void OnUndo(wxCommandEvent& event);
  void OnRedo(wxCommandEvent& event);
  void OnMode(wxCommandEvent& event);
  void OnUpdateUndo(wxUpdateUIEvent& event);
  void OnUpdateRedo(wxUpdateUIEvent& event);
  void OnUpdateMode(wxUpdateUIEvent& event);
  void OnSelectAll(wxCommandEvent& event);
  void OnHelp(wxCommandEvent& event);
  void OnUpdateHelp(wxUpdateUIEvent& event);
  void OnRegister(wxCommandEvent& event);
  void SavePlacementNow();
  // Repaints the views when the code asks for it.
  void RepaintOn(ErrCode code);

  wxTimer timer_;
  wxBoxSizer* sizer_ = nullptr;
};

class KVApp : public wxApp, public AppStartupHost, public RuntimeWindow {
 public:
  KVApp();
  ~KVApp() override;
  bool OnInit() override;
  int OnExit() override;

  // AppStartupHost
  void RegisterFileTypes() override;
  AbortFn BreakTest() const override;
  EngineFacade& CreateContext(const StartupSettings& settings) override;
  void RegisterRuntimeTable(EngineFacade& engine) override;
  bool CreateDocument() override;
  void AcceptDroppedFiles() override;
  void LoadEmbeddedApplication() override;
  // RuntimeWindow
  void DrawNow() override;
  void Quit() override;

  EngineFacade& Engine() { return *state_.engine; }
  Preferences& Prefs() { return *preferences_; }
  const AppState& State() const { return state_; }
  const std::string& Executable() const { return executable_; }
  KVDoc* Document() const;
  KVMainFrame* Frame() const { return frame_; }
  // Runs the idle step of every document.
  void RunIdleStepAllDocuments();
  // A modal dialog is open.
  bool ModalOpen() const;

 private:
  std::string executable_;
  std::unique_ptr<FilePreferences> preferences_;
  std::unique_ptr<KVAppContext> context_;
  std::unique_ptr<KVEngine> engine_;
  std::unique_ptr<StatusBar> statusBar_;
  std::vector<NativeFunctionRecord> table_;
  wxDocManager* manager_ = nullptr;
  KVMainFrame* frame_ = nullptr;
  bool placed_ = false;
  AppState state_;
};

// The figure's window inside the frame: paints through an off-screen image
// and feeds the mouse and the keys to the figure. The figure font is the
// graphics port's.
class KVCanvas : public wxWindow, public FigureViewHost {
 public:
  KVCanvas(wxWindow* parent, EngineFacade& engine, CanvasHost& host);
  ~KVCanvas() override;

  // Repaints before returning.
  void DrawNowFromHere();

  // FigureViewHost
  void InstallTarget() override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  void DrawNow() override { DrawNowFromHere(); }
  void ShowFeedback() override;
  void ShowStatus(std::string_view text) override;
  void MarkModified() override {}

  // Any refresh but the feedback's draws the figure anew.
  void Refresh(bool eraseBackground = true, const wxRect* rect = nullptr) override;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMouse(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnKeyUp(wxKeyEvent& event);
  void OnChar(wxKeyEvent& event);
  void OnTimer(wxTimerEvent& event);
  void UpdateCursor();
  bool EnsureImage();

  EngineFacade& engine_;
  CanvasHost& host_;
  FigureView view_;
  std::unique_ptr<CairoTarget> image_;
  int width_ = 0;
  int height_ = 0;
  bool feedbackOnly_ = false;  // the next paint shows the image as the mouse left it
  wxTimer timer_;
};

}  // namespace vke

wxDECLARE_APP(vke::KVApp);
