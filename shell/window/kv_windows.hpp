// The runtime's windows: the application object, the one document, the
// main frame with its tool bar and status bar, and the figure view. They
// hold no rule of their own that needs no window: those live in shell/ and
// app/ and are called from here.
#pragma once

#include <wx/docview.h>
#include <wx/evtloopsrc.h>
#include <wx/wx.h>

class wxRichTextCtrl;

#include <functional>
#include <map>
#include <memory>

#include "app/figure_view.hpp"
#include "app/runtime_native_table.hpp"
#include "graphics/cairo_target.hpp"
#include "shell/action_errors.hpp"
#include "shell/app_startup.hpp"
#include "shell/document_commands.hpp"
#include "shell/file_chooser.hpp"
#include "shell/file_preferences.hpp"
#include "shell/host_context.hpp"
#include "shell/menu_resources.hpp"
#include "shell/window_placement.hpp"

namespace vke {

class KVEngine;
class KVCanvas;
class StatusBar;
class DialogCommands;

// Refuses every document but the first: opening a file or dropping one on
// the window never replaces the application.
class OneDocumentManager : public wxDocManager {
 public:
  wxDocument* CreateDocument(const wxString& path, long flags) override;
};

// UTF-8 as the toolkit's text; bytes that are no UTF-8 are kept as Latin-1.
wxString WindowText(std::string_view text);

// An error box over the frame, opened once the current event is handled: a
// failure inside a paint never opens a dialog there, and a close of the
// window that waited behind a handler is taken first (the box is then not
// shown). `closed` runs when the box is closed.
void ShowErrorBoxLater(const wxString& text, const wxString& caption,
                       std::function<void()> closed = {});

// The toolkit's menus made from menu trees; a command id of the menus as
// the toolkit knows it, and back.
wxMenuBar* NewMenuBar(const MenuNode& bar);
wxMenu* NewMenu(const MenuNode& popup);
int WindowCommandId(int32_t id);
int32_t CommandOfWindowId(int id);

class MenuPool;

// The toolkit's menu bar and menus as the menu builders see them. Pop-ups
// taken out wait until the menu bar is redrawn: one inserted again in the
// same shape is taken back, relabelled, rather than made anew (the
// toolkit's widgets are what a rebuild costs). What is left, and the items
// taken out, are deleted once the event at hand is over: a command may take
// out the menu it was chosen from.
class WxMenuBarSurface : public MenuSurface {
 public:
  explicit WxMenuBarSurface(wxMenuBar* bar);
  ~WxMenuBarSurface() override;
  int32_t Count() const override;
  std::string TextAt(int32_t position) const override;
  void RemoveAt(int32_t position) override;
  void InsertAt(int32_t position, const MenuNode& node) override;
  std::unique_ptr<MenuSurface> SubMenuAt(int32_t position) override;
  void Redraw() override;

 private:
  wxMenuBar* bar_;
  std::unique_ptr<MenuPool> pool_;
};

class WxMenuSurface : public MenuSurface {
 public:
  explicit WxMenuSurface(wxMenu* menu, MenuPool* pool = nullptr) : menu_(menu), pool_(pool) {}
  int32_t Count() const override;
  std::string TextAt(int32_t position) const override;
  void RemoveAt(int32_t position) override;
  void InsertAt(int32_t position, const MenuNode& node) override;
  std::unique_ptr<MenuSurface> SubMenuAt(int32_t position) override;

 private:
  wxMenu* menu_;
  MenuPool* pool_;
};

// Gives a menu item or a tool what its update rule says, the indeterminate
// check mark included.
void ApplyCommandUpdate(wxUpdateUIEvent& event, const CommandUpdate& update);

// The desktop's clipboard.
Clipboard& SystemClipboard();

// A frame with a read-only rich text, for the application's about and help
// texts, their markup rendered; closing it hides it.
class KVTextWindow : public wxFrame, public TextWindow {
 public:
  KVTextWindow(wxWindow* parent, const std::string& title, bool markup = true);
  void SetTitle(const std::string& title) override;
  void SetText(const std::string& text) override;
  void BringToTop() override;
  void Hide() override;
  wxRichTextCtrl* Control() const { return text_; }

 private:
  wxRichTextCtrl* text_;
  bool markup_;
  bool placed_ = false;
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
  // The title the application image carries.
  const std::string& ImageTitle() const { return imageTitle_; }
  // The document's commands, menus and text windows.
  DocumentCommands& Commands();

 private:
  int32_t instance_ = 0;
  std::string imageTitle_;
  std::unique_ptr<DocumentHost> host_;
  std::unique_ptr<DocumentCommands> commands_;
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
  // The code of an action the figure ran: errors are reported once.
  virtual void ReportError(ErrCode code) = 0;
  // The figure's context menu.
  virtual MenuNode ContextMenu() { return FigureContextMenu(); }
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
  void ReportError(ErrCode code) override;
  MenuNode ContextMenu() override;

 private:
  KVCanvas* canvas_ = nullptr;
  wxDECLARE_DYNAMIC_CLASS(KVView);
};

// A command whose window comes with the dialogs or printing; its update
// rule, when it has one, else enabled.
struct CommandHook {
  std::function<void()> run;
  std::function<void(wxUpdateUIEvent&)> update;
};

// The screens' work areas; a window moved, and shrunk when it is larger,
// so that it lies inside one.
std::vector<ScreenRect> ScreenWorkAreas();
void KeepInWorkArea(wxTopLevelWindow* window);

// Widens the status bar's busy pane (the last) to hold its longest text
// whole in the bar's font.
void FitBusyPane(wxStatusBar* bar);

class KVMainFrame : public wxDocParentFrame {
 public:
  KVMainFrame(wxDocManager* manager, const wxString& title);
  ~KVMainFrame() override;
  void AttachCanvas(wxWindow* canvas);
  void ShowStatus(int pane, const wxString& text);
  // The saved placement, applied once the window is on the screen (its
  // frame's size is known only then).
  void RestorePlacement();
  // The hook of a command of the dialogs or printing (kHook in the command
  // table); until one is installed the command stands disabled.
  void InstallCommandHook(int32_t id, CommandHook hook);
  // Gives the view the focus unless a window inside the frame has it: the
  // frame's accelerators reach it only through a window that has the focus,
  // and a dialog or the print preview, which disables the frame, leaves it
  // with none.
  void RestoreViewFocus();

 protected:
  // Undo and redo are the figure's, never the document manager's.
  bool TryBefore(wxEvent& event) override;

 private:
  void OnClose(wxCloseEvent& event);
  void OnActivate(wxActivateEvent& event);
  void OnTick(wxTimerEvent& event);
  void OnIdle(wxIdleEvent& event);
  // A SIGINT arrived: closes the window once no handler runs and no dialog
  // is open, unless a handler took the break.
  void OnInterrupt();
  // Starts the frame's and the view's timers while they have work, stops
  // them without.
  void UpdateTimers();
  void OnUndo(wxCommandEvent& event);
  void OnRedo(wxCommandEvent& event);
  void OnUpdateUndo(wxUpdateUIEvent& event);
  void OnUpdateRedo(wxUpdateUIEvent& event);
  void OnSelectAll(wxCommandEvent& event);
  void OnHelp(wxCommandEvent& event);
  void OnUpdateHelp(wxUpdateUIEvent& event);
  void OnRegister(wxCommandEvent& event);
  void SavePlacementNow();
  // The tool bar and the status bar, shown or hidden as the preferences
  // keep them.
  void RestoreBars();
  void SaveBars();
  // Repaints the views when the code asks for it; reports an error.
  void RepaintOn(ErrCode code);
  // The menu bar and the commands of its menus and of the context menu.
  void InstallMenus();
  void OnDocumentCommand(wxCommandEvent& event);
  void OnDocumentUpdate(wxUpdateUIEvent& event);
  void OnHookCommand(wxCommandEvent& event);
  void OnHookUpdate(wxUpdateUIEvent& event);
  // The tool bar or the status bar of a View command's id; null for others.
  wxWindow* Bar(int32_t id);
  void OnBarCommand(wxCommandEvent& event);
  void OnBarUpdate(wxUpdateUIEvent& event);

  wxTimer timer_;
  wxBoxSizer* sizer_ = nullptr;
  std::unique_ptr<wxEventLoopSourceHandler> interruptWatch_;
  wxEventLoopSource* interruptSource_ = nullptr;
  bool closeRequested_ = false;
  std::map<int32_t, CommandHook> hooks_;
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
  ActionErrors& Errors() { return *errors_; }
  Preferences& Prefs() { return *preferences_; }
  const AppState& State() const { return state_; }
  const std::string& Executable() const { return executable_; }
  KVDoc* Document() const;
  KVMainFrame* Frame() const { return frame_; }
  // The dialogs and printing of the frame's commands, the prompt and the
  // file choosers.
  DialogCommands* Dialogs() const { return dialogs_.get(); }
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
  std::unique_ptr<ErrorBox> errorBox_;
  std::unique_ptr<ActionErrors> errors_;
  std::unique_ptr<DialogCommands> dialogs_;
  std::unique_ptr<ChooserDialogProvider> fileDialogs_;  // getfile and putfile
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
  // A new off-screen image (a new figure font), and with relayout the
  // figure laid out anew at the next paint (after printing); the port
  // takes this window's target again.
  void Renew(bool relayout);
  // The 20 ms tick, on or off.
  void SetTicking(bool on);
  bool Dragging() const { return view_.Dragging(); }
  // The paints that reached the screen so far (the window benchmark waits
  // for one after each key).
  int Paints() const { return paints_; }

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
  void OnContextMenu(wxContextMenuEvent& event);
  void UpdateCursor();
  bool EnsureImage();

  EngineFacade& engine_;
  CanvasHost& host_;
  FigureView view_;
  std::unique_ptr<CairoTarget> image_;
  int width_ = 0;
  int height_ = 0;
  bool feedbackOnly_ = false;  // the next paint shows the image as the mouse left it
  int paints_ = 0;
  ErrCode drawFailure_ = kOk;  // of the last paint
  wxTimer timer_;
};

}  // namespace vke

wxDECLARE_APP(vke::KVApp);
