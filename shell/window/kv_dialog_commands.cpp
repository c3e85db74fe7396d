// The frame's commands that open dialogs or print, installed as its command
// hooks: the about box, page setup, print and print preview, the figure's
// copy to the clipboard, and the figure preferences (interactive highlight
// and thick lines with their check marks, background colour, figure font).
#include <wx/printdlg.h>

#include "shell/command_table.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

// Printing's failure as the user reads it.
constexpr const char* kPrintFailed = "The figure could not be printed.";
constexpr const char* kClipboardFailed = "The clipboard cannot be opened.";

}  // namespace

DialogCommands::DialogCommands(KVMainFrame* frame)
    : frame_(frame),
      prompt_([frame] { return static_cast<wxWindow*>(frame); }),
      files_([frame] { return static_cast<wxWindow*>(frame); }),
      dialogs_([frame] { return static_cast<wxWindow*>(frame); }) {
  KVApp& app = wxGetApp();
  preferences_ = std::make_unique<FigurePreferences>(app.Engine(), app.Prefs(), dialogs_,
                                                     app.State().settings);
  print_.SetPrintData(setup_.GetPrintData());
}

DialogCommands::~DialogCommands() = default;

KVCanvas* DialogCommands::Canvas() const {
  KVDoc* doc = wxGetApp().Document();
  wxView* view = doc ? doc->GetFirstView() : nullptr;
  return view ? static_cast<KVView*>(view)->Canvas() : nullptr;
}

int32_t DialogCommands::Instance() const {
  KVDoc* doc = wxGetApp().Document();
  return doc ? doc->Instance() : 0;
}

void DialogCommands::RestoreView(bool relayout) {
  if (KVCanvas* canvas = Canvas()) canvas->Renew(relayout);
}

void DialogCommands::Install() {
  auto repaint = [this] {
    frame_->Refresh();
    RestoreView(false);
  };
  auto hook = [this](int32_t id, std::function<void()> run,
                     std::function<void(wxUpdateUIEvent&)> update = {}) {
    frame_->InstallCommandHook(id, {std::move(run), std::move(update)});
  };
  hook(kCmdAboutApplication, [this] { About(); });
  hook(kCmdPageSetup, [this] { PageSetup(); });
  hook(kCmdPrint, [this] { Print(); });
  hook(kCmdPrintPreview, [this] { Preview(); });
  hook(kCmdCopy, [this] { Copy(); });
  hook(
      kCmdInteractiveHighlight,
      [this, repaint] {
        preferences_->ToggleInteractiveHighlight();
        repaint();
      },
      [this](wxUpdateUIEvent& e) { e.Check(preferences_->InteractiveHighlight()); });
  hook(
      kCmdThickLines,
      [this, repaint] {
        preferences_->ToggleThickLines();
        repaint();
      },
      [this](wxUpdateUIEvent& e) { e.Check(preferences_->ThickLines()); });
  hook(kCmdBackgroundColor, [this, repaint] {
    if (preferences_->ChooseBackgroundColor()) repaint();
  });
  hook(kCmdFigureFont, [this, repaint] {
    if (preferences_->ChooseFigureFont()) repaint();
  });
}

void DialogCommands::About() {
  KVDoc* doc = wxGetApp().Document();
  SplashDialog about(frame_, kSplashHeading, "", doc ? doc->ImageTitle() : std::string());
  about.ShowModal();
}

void DialogCommands::PageSetup() {
  setup_.SetPrintData(print_.GetPrintData());
  wxPageSetupDialog dialog(frame_, &setup_);
  if (dialog.ShowModal() != wxID_OK) return;
  setup_ = dialog.GetPageSetupDialogData();
  print_.SetPrintData(setup_.GetPrintData());
}

void DialogCommands::Print() {
  auto report = [](ErrCode code) { wxGetApp().Errors().Report(code); };
  FigurePrintout printout(
      wxGetApp().Engine(), Instance(), [this] { RestoreView(true); }, report, &setup_);
  wxPrinter printer(&print_);
  // The printer is always asked for through its dialog.
  if (printer.Print(frame_, &printout, true)) {
    print_ = printer.GetPrintDialogData();
  } else if (wxPrinter::GetLastError() == wxPRINTER_ERROR) {
    wxGetApp().Errors().ReportText(kPrintFailed);
  }
  RestoreView(true);
}

void DialogCommands::Preview() {
  auto report = [](ErrCode code) { wxGetApp().Errors().Report(code); };
  auto restore = [this] { RestoreView(true); };
  EngineFacade& engine = wxGetApp().Engine();
  auto* preview =
      new wxPrintPreview(new FigurePrintout(engine, Instance(), restore, report, &setup_),
                         new FigurePrintout(engine, Instance(), restore, report, &setup_), &print_);
  if (!preview->IsOk()) {
    delete preview;
    wxGetApp().Errors().ReportText(kPrintFailed);
    return;
  }
  ShowPrintPreview(preview, frame_);
}

void DialogCommands::Copy() {
  KVCanvas* canvas = Canvas();
  if (!canvas) return;
  const wxSize size = canvas->GetClientSize();
  FigureImages images;
  const ErrCode e = CopyFigureImages(
      wxGetApp().Engine(), Instance(), size.x, size.y, [this] { RestoreView(false); }, &images);
  canvas->Refresh(false);
  if (!e && !PutFigureOnClipboard(images)) {
    wxGetApp().Errors().ReportText(kClipboardFailed);
    return;
  }
  wxGetApp().Errors().Report(e);
}

}  // namespace vke
