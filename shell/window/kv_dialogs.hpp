// The shell's dialogs, text windows and printing in the toolkit: the prompt
// a handler opens, the file choosers of the file natives, the runtime's
// about box, help text in a rich-text control, the figure on the clipboard,
// its printout and preview, and the dialogs of the figure preferences; and
// the commands of the frame that open them. Their rules without a window
// live in shell/ (prompt_dialog, file_chooser, splash_layout, figure_copy,
// figure_print, figure_preferences).
#pragma once

#include <wx/cmndata.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/prntbase.h>
#include <wx/richtext/richtextctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "shell/figure_copy.hpp"
#include "shell/figure_preferences.hpp"
#include "shell/file_chooser.hpp"
#include "shell/prompt_dialog.hpp"

namespace vke {

class KVMainFrame;
class KVCanvas;

// ---- The prompt ----

// A line of text asked for: the prompt above an edit holding the answer,
// Cancel and OK (the default, also taken by Enter).
class PromptDialog : public wxDialog {
 public:
  PromptDialog(wxWindow* parent, const wxString& title, const wxString& prompt,
               const wxString& answer);
  wxString Prompt() const;
  wxString Answer() const;
  wxTextCtrl* AnswerEdit() const { return answer_; }

 private:
  wxStaticText* prompt_;
  wxTextCtrl* answer_;
};

// The prompt's windows over the main window.
class WxPromptWindows : public PromptWindows {
 public:
  explicit WxPromptWindows(std::function<wxWindow*()> parent) : parent_(std::move(parent)) {}
  bool AskText(const std::string& title, const std::string& prompt, std::string* answer) override;
  bool ShowMessage(const std::string& title, const std::string& text, bool okCancel) override;

 private:
  std::function<wxWindow*()> parent_;
};

// ---- The file choosers ----

// The toolkit's file chooser. The one that is open is told to a watcher
// (tests close it from a timer: the toolkit does not list it among the
// top-level windows).
class WxFileChooser : public FileChooser {
 public:
  explicit WxFileChooser(std::function<wxWindow*()> parent) : parent_(std::move(parent)) {}
  std::optional<std::string> Choose(const FileDialogRequest& request) override;
  void WatchOpening(std::function<void(wxFileDialog&)> watch) { watch_ = std::move(watch); }

 private:
  std::function<wxWindow*()> parent_;
  std::function<void(wxFileDialog&)> watch_;
};

// ---- The about box ----

// The runtime's about box: white, 520 x 355 pixels, painting its bitmap,
// heading, body and footer itself; a key, Cancel or closing ends it.
class SplashDialog : public wxDialog {
 public:
  SplashDialog(wxWindow* parent, const std::string& heading, const std::string& footer,
               const std::string& body);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnChar(wxKeyEvent& event);
  void Close(int code);

  std::string heading_;
  std::string footer_;
  std::string body_;
  wxBitmap bitmap_;
  wxWindow* face_;
};

// The about box's heading: the runtime's name.
inline constexpr const char* kSplashHeading = "VKE Runtime";

// ---- Help text ----

// The help text's markup rendered into the control: replacing its text or
// the selection, in the control's basic style or the given one, with links
// clickable when shown. False (the control unchanged) when the markup
// cannot be converted.
bool RenderMarkupToRichEdit(wxRichTextCtrl* control, const std::string& markup,
                            bool replaceSelection, const wxRichTextAttr* format, bool showLinks);

// ---- The figure on the clipboard ----

// Puts the copy on the desktop's clipboard as "image/svg+xml",
// "application/pdf" and "image/png"; false when the clipboard cannot be
// opened.
bool PutFigureOnClipboard(const FigureImages& images);

// ---- Printing ----

// The figure's printout: one page, drawn through the printer port in page
// units scaled to the device (the preview draws the same page smaller).
class FigurePrintout : public wxPrintout {
 public:
  // restoreView gives the view its own target back and has it lay the
  // figure out anew; the page's code, when the handlers failed, goes to
  // report.
  FigurePrintout(EngineFacade& engine, int32_t id, std::function<void()> restoreView,
                 std::function<void(ErrCode)> report, const wxPageSetupDialogData* setup);
  bool HasPage(int page) override { return page == 1; }
  void GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) override;
  bool OnPrintPage(int page) override;

 private:
  EngineFacade& engine_;
  int32_t id_;
  std::function<void()> restoreView_;
  std::function<void(ErrCode)> report_;
  const wxPageSetupDialogData* setup_;
};

// Opens the preview of a printout in a frame over the parent (the screen
// without one), sized and zoomed to show the whole page inside the work
// area; the frame owns the preview.
wxPreviewFrame* ShowPrintPreview(wxPrintPreview* preview, wxWindow* parent);

// ---- The frame's commands ----

// The dialogs the figure preferences open.
class WxPreferenceDialogs : public PreferenceDialogs {
 public:
  explicit WxPreferenceDialogs(std::function<wxWindow*()> parent) : parent_(std::move(parent)) {}
  std::optional<FigureFontChoice> ChooseFont(const FigureFontChoice& current) override;
  bool ChooseColor(uint32_t* colorref) override;

 private:
  std::function<wxWindow*()> parent_;
};

// The commands of the dialogs and printing, installed as hooks of the main
// frame: about, page setup, print, print preview, copy, the figure
// preferences.
class DialogCommands {
 public:
  explicit DialogCommands(KVMainFrame* frame);
  ~DialogCommands();
  void Install();

  WxPromptWindows& Prompt() { return prompt_; }
  WxFileChooser& Files() { return files_; }
  FigurePreferences& Preferences() { return *preferences_; }

  void About();
  void PageSetup();
  void Print();
  void Preview();
  void Copy();

 private:
  KVCanvas* Canvas() const;
  int32_t Instance() const;
  // The view's own target back, and its figure laid out at its next paint.
  void RestoreView(bool relayout);

  KVMainFrame* frame_;
  WxPromptWindows prompt_;
  WxFileChooser files_;
  WxPreferenceDialogs dialogs_;
  std::unique_ptr<FigurePreferences> preferences_;
  wxPrintDialogData print_;
  wxPageSetupDialogData setup_;
};

}  // namespace vke
