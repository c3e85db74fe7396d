// The frame's menu bar and the commands of its menus and of the figure's
// context menu: the document's (kept by the document's rules), the hooks of
// the dialogs and printing, and the View menu's bars.
#include "shell/command_table.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

wxWindow* KVMainFrame::Bar(int32_t id) {
  if (id == kCmdToolbar) return GetToolBar();
  return id == kCmdStatusBar ? GetStatusBar() : nullptr;
}

void KVMainFrame::InstallMenus() {
  SetMenuBar(NewMenuBar(MainMenu()));
  for (const CommandRow& row : CommandRows()) {
    switch (row.action) {
      case CommandAction::kWindow:
        break;
      case CommandAction::kHook:
        Bind(wxEVT_MENU, &KVMainFrame::OnHookCommand, this, WindowCommandId(row.id));
        Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnHookUpdate, this, WindowCommandId(row.id));
        break;
      default:
        Bind(wxEVT_MENU, &KVMainFrame::OnDocumentCommand, this, row.id);
        Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnDocumentUpdate, this, row.id);
        break;
    }
  }
  // The ids the application's menus and plot choices take.
  Bind(wxEVT_MENU, &KVMainFrame::OnDocumentCommand, this, kKVMenuFirstId, kPlotCommandsEnd - 1);
  Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnDocumentUpdate, this, kKVMenuFirstId, kPlotCommandsEnd - 1);
  for (const int32_t id : {kCmdToolbar, kCmdStatusBar}) {
    Bind(wxEVT_MENU, &KVMainFrame::OnBarCommand, this, WindowCommandId(id));
    Bind(wxEVT_UPDATE_UI, &KVMainFrame::OnBarUpdate, this, WindowCommandId(id));
  }
}

void KVMainFrame::InstallCommandHook(int32_t id, CommandHook hook) {
  hooks_[id] = std::move(hook);
}

void KVMainFrame::OnDocumentCommand(wxCommandEvent& event) {
  if (KVDoc* doc = wxGetApp().Document()) doc->Commands().Execute(event.GetId());
}

void KVMainFrame::OnDocumentUpdate(wxUpdateUIEvent& event) {
  KVDoc* doc = wxGetApp().Document();
  std::optional<CommandUpdate> update = doc ? doc->Commands().Update(event.GetId()) : std::nullopt;
  if (!doc) update = CommandUpdate{};
  if (update) ApplyCommandUpdate(event, *update);
}

void KVMainFrame::OnHookCommand(wxCommandEvent& event) {
  const auto hook = hooks_.find(CommandOfWindowId(event.GetId()));
  if (hook != hooks_.end() && hook->second.run) hook->second.run();
}

void KVMainFrame::OnHookUpdate(wxUpdateUIEvent& event) {
  const auto hook = hooks_.find(CommandOfWindowId(event.GetId()));
  if (hook == hooks_.end() || !hook->second.run) return event.Enable(false);
  event.Enable(true);
  if (hook->second.update) hook->second.update(event);
}

void KVMainFrame::OnBarCommand(wxCommandEvent& event) {
  if (wxWindow* bar = Bar(CommandOfWindowId(event.GetId()))) {
    bar->Show(!bar->IsShown());
    SendSizeEvent();
  }
}

void KVMainFrame::OnBarUpdate(wxUpdateUIEvent& event) {
  wxWindow* bar = Bar(CommandOfWindowId(event.GetId()));
  event.Enable(bar != nullptr);
  event.Check(bar && bar->IsShown());
}

}  // namespace vke
