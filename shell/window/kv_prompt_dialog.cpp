// The prompt a running handler opens, and its message boxes: the dialog is
// laid out in dialog units as 240 x 102, with the prompt above a
// three-line edit and Cancel and OK below.
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

// Where the dialog's parts go, in dialog units: left, top, width, height.
struct DialogRect {
  int x, y, width, height;
};
constexpr DialogRect kPromptDialog{0, 0, 240, 102};
constexpr DialogRect kPromptText{5, 8, 230, 28};
constexpr DialogRect kAnswerEdit{5, 44, 230, 28};
constexpr DialogRect kCancelButton{140, 80, 40, 14};
constexpr DialogRect kOkButton{192, 80, 40, 14};

}  // namespace

PromptDialog::PromptDialog(wxWindow* parent, const wxString& title, const wxString& prompt,
                           const wxString& answer)
    : wxDialog(parent, wxID_ANY, title) {
  auto place = [this](const DialogRect& r) {
    return std::pair{ConvertDialogToPixels(wxPoint(r.x, r.y)),
                     ConvertDialogToPixels(wxSize(r.width, r.height))};
  };
  SetClientSize(place(kPromptDialog).second);
  auto [textAt, textSize] = place(kPromptText);
  prompt_ = new wxStaticText(this, wxID_ANY, prompt, textAt, textSize);
  auto [editAt, editSize] = place(kAnswerEdit);
  answer_ = new wxTextCtrl(this, wxID_ANY, answer, editAt, editSize, wxTE_MULTILINE);
  auto [cancelAt, cancelSize] = place(kCancelButton);
  new wxButton(this, wxID_CANCEL, "Cancel", cancelAt, cancelSize);
  auto [okAt, okSize] = place(kOkButton);
  auto* ok = new wxButton(this, wxID_OK, "OK", okAt, okSize);
  ok->SetDefault();
  // Enter answers the prompt, as in a one-line edit.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && !event.HasAnyModifiers()) {
      EndModal(wxID_OK);
      return;
    }
    event.Skip();
  });
  answer_->SetFocus();
  answer_->SelectAll();
  CentreOnParent();
}

wxString PromptDialog::Prompt() const {
  return prompt_->GetLabel();
}

wxString PromptDialog::Answer() const {
  return answer_->GetValue();
}

bool WxPromptWindows::AskText(const std::string& title, const std::string& prompt,
                              std::string* answer) {
  PromptDialog dialog(parent_(), WindowText(title), WindowText(prompt), WindowText(*answer));
  if (dialog.ShowModal() != wxID_OK) return false;
  *answer = dialog.Answer().utf8_string();
  return true;
}

bool WxPromptWindows::ShowMessage(const std::string& title, const std::string& text,
                                  bool okCancel) {
  wxMessageDialog box(parent_(), WindowText(text), WindowText(title),
                      okCancel ? wxOK | wxCANCEL : wxOK);
  return box.ShowModal() == wxID_OK;
}

}  // namespace vke
