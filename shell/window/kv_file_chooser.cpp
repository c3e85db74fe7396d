// The file natives' open and save dialogs over the toolkit's file chooser.
#include <wx/filename.h>

#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

std::optional<std::string> WxFileChooser::Choose(const FileDialogRequest& request) {
  const long style =
      request.save ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
  const wxString wildcard = WindowText(WildcardOfFilter(request.filter));
  wxFileDialog dialog(
      parent_(),
      request.title.empty() ? wxString(wxFileSelectorPromptStr) : WindowText(request.title),
      wxString(), request.save ? WindowText(request.name) : wxString(),
      wildcard.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : wildcard, style);
  if (watch_) watch_(dialog);
  // After Cancel the chooser's path is whatever was selected: never used.
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  std::string path = dialog.GetPath().utf8_string();
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace vke
