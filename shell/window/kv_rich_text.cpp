// Help text rendered into a rich-text control: the markup converted with its
// runs recorded, the plain text put in, and each run formatted in turn
// (bold, italic, underline, super- and subscript, "Courier", links,
// paragraph indents, heading sizes).
#include "app/markup/markup_runs.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

// Twips (1/1440 inch) in the control's tenths of a millimetre.
int TenthsMm(int32_t twips) {
  return static_cast<int>(std::lround(twips * 254.0 / 1440.0));
}

constexpr int kTwipsPerPoint = 20;

wxRichTextAttr AttrOf(const MarkupRunFormat& f, const std::string* target) {
  wxRichTextAttr a;
  if (f.bold) a.SetFontWeight(wxFONTWEIGHT_BOLD);
  if (f.italic) a.SetFontStyle(wxFONTSTYLE_ITALIC);
  if (f.underline) a.SetFontUnderlined(true);
  if (f.monospace) a.SetFontFaceName(kMarkupMonospaceFace);
  if (f.baselineTwips != 0) {
    const int effect =
        f.baselineTwips > 0 ? wxTEXT_ATTR_EFFECT_SUPERSCRIPT : wxTEXT_ATTR_EFFECT_SUBSCRIPT;
    a.SetTextEffects(effect);
    a.SetTextEffectFlags(effect);
  }
  if (f.link && target) {
    a.SetURL(WindowText(*target));
    a.SetFontUnderlined(true);
    a.SetTextColour(*wxBLUE);
  }
  if (f.paragraph) a.SetLeftIndent(TenthsMm(f.leftIndentTwips), TenthsMm(f.subIndentTwips));
  if (f.fontTwips > 0) a.SetFontPointSize(f.fontTwips / kTwipsPerPoint);
  if (f.centred) a.SetAlignment(wxTEXT_ALIGNMENT_CENTRE);
  return a;
}

}  // namespace

bool RenderMarkupToRichEdit(wxRichTextCtrl* control, const std::string& markup,
                            bool replaceSelection, const wxRichTextAttr* format, bool showLinks) {
  MarkupRuns runs;
  if (ConvertMarkupRuns(markup, showLinks, &runs) != 0) return false;
  const wxString text = WindowText(runs.text);
  control->Freeze();
  control->BeginSuppressUndo();
  long at = 0;
  if (replaceSelection) {
    if (control->HasSelection()) control->DeleteSelection();
    at = control->GetInsertionPoint();
    control->WriteText(text);
  } else {
    control->SetValue(text);
  }
  const long end = at + static_cast<long>(text.length());
  if (end > at) control->SetStyle(at, end, format ? *format : control->GetBasicStyle());
  for (size_t k = 0; k < runs.runs.size(); ++k) {
    const MarkupRun& run = runs.runs[k];
    if (run.end <= run.start) continue;
    const std::string* target = nullptr;
    for (const MarkupLinkTarget& link : runs.links) {
      if (link.run == k) target = &link.target;
    }
    const wxRichTextAttr attr = AttrOf(FormatOfRun(run, showLinks), target);
    if (attr.GetFlags() != 0) control->SetStyle(at + run.start, at + run.end, attr);
  }
  control->EndSuppressUndo();
  control->SetInsertionPoint(0);
  control->ShowPosition(0);
  control->Thaw();
  return true;
}

}  // namespace vke
