// The document's commands and update rules.
#include "shell/document_commands.hpp"

#include "graphics/camera.hpp"
#include "graphics/figure_codes.hpp"
#include "shell/action_errors.hpp"

namespace vke {

namespace {

bool Succeeded(ErrCode e) {
  return e == kOk || e == kStatusRepaint || e == kStatusInstanceChanged;
}

CheckMark Mark(bool on, bool mixed) {
  return mixed ? CheckMark::kMixed : on ? CheckMark::kOn : CheckMark::kOff;
}

// The text cut after `count` characters (UTF-8).
std::string FirstCharacters(const std::string& text, size_t count) {
  size_t k = 0;
  for (size_t chars = 0; k < text.size(); k++) {
    if ((static_cast<uint8_t>(text[k]) & 0xC0) == 0x80) continue;
    if (chars++ == count) break;
  }
  return text.substr(0, k);
}

// The state of one camera view flag over the selection.
bool CameraFlag(const ViewMenuState& v, uint32_t flag, bool* mixed) {
  switch (flag) {
    case kViewAutoTarget:
      *mixed = v.autoTargetMixed;
      return v.autoTarget;
    case kViewAutoPosition:
      *mixed = v.autoPositionMixed;
      return v.autoPosition;
    default:
      *mixed = v.autoUpMixed;
      return v.autoUp;
  }
}

}  // namespace

bool DocumentCommands::Handles(int32_t id) {
  if (id >= kKVMenuFirstId && id < kPlotCommandsEnd) return true;
  const CommandRow* row = FindCommand(id);
  return row && row->action != CommandAction::kWindow && row->action != CommandAction::kHook;
}

void DocumentCommands::Execute(int32_t id) {
  if (!Handles(id)) return;
  // Without a context every command only updates the views.
  if (!engine_.Created()) return host_.UpdateAllViews();
  if (id >= kKVMenuFirstId && id < kKVCommandsEnd) return OnKVMenuCommand(id);
  if (id >= kRemovePlotId && id < kPlotCommandsEnd) return OnPlotMenuCommand(id);
  const CommandRow& row = *FindCommand(id);
  switch (row.action) {
    case CommandAction::kResetData:
      return ResetData();
    case CommandAction::kAboutKVFile:
      if (ShowAboutKVFile()) about_->BringToTop();
      return;
    case CommandAction::kKVFileHelp:
      if (ShowKVFileHelp()) help_->BringToTop();
      return;
    case CommandAction::kFigureMode:
      return engine_.SetFigureMode(row.first);
    case CommandAction::kIdleProcessing:
      return engine_.SetIdleProcessing(id_, !engine_.IdleProcessingEnabled(id_));
    case CommandAction::kEntryOption:
      return engine_.SetEntryOption(id_, !engine_.EntryOption(id_));
    default:
      break;
  }
  const ErrCode e = FigureCommand(row);
  host_.UpdateAllViews();
  host_.SetModified(true);
  if (!Succeeded(e)) ShowError(e, kMenuError);
}

ErrCode DocumentCommands::FigureCommand(const CommandRow& row) {
  switch (row.action) {
    case CommandAction::kLockedScale:
      return engine_.ToggleLockedScale(id_);
    case CommandAction::kScaleKind: {
      const MenuBits bits = engine_.GetFigureMenuState(id_, FigureMenu::kScale);
      return engine_.SetFigureMenuBits(id_, FigureMenu::kScale, kScaleCommandMask,
                                       bits.checked ^ row.first);
    }
    case CommandAction::kOptionToggle: {
      const MenuBits bits = engine_.GetFigureMenuState(id_, FigureMenu::kOption);
      return engine_.SetFigureMenuBits(id_, FigureMenu::kOption, row.first, ~bits.checked);
    }
    case CommandAction::kGridKind:
      return engine_.SetFigureMenuBits(id_, FigureMenu::kOption, kGridKindMask, row.first);
    case CommandAction::kPerspective: {
      ViewMenuState v{};
      engine_.GetViewMenuState(id_, &v);
      return engine_.SetPerspectiveView(id_, !v.perspective);
    }
    case CommandAction::kCameraView: {
      ViewMenuState v{};
      engine_.GetViewMenuState(id_, &v);
      bool mixed;
      return engine_.SetCameraViewFlag(id_, row.first, !CameraFlag(v, row.first, &mixed));
    }
    case CommandAction::kGridLayout:
      return engine_.ApplyLayout(id_, static_cast<int32_t>(row.first),
                                 static_cast<int32_t>(row.second));
    case CommandAction::kFreeLayout:
      return engine_.MakeLayoutFree(id_, row.first != 0);
    default:
      return kOk;
  }
}

std::optional<CommandUpdate> DocumentCommands::Update(int32_t id) {
  if (!Handles(id)) return std::nullopt;
  if (id >= kKVMenuFirstId && id < kKVCommandsEnd) return menus_.UpdateKVMenuCommand(id_, id);
  if (id >= kRemovePlotId && id < kPlotCommandsEnd) return menus_.UpdatePlotMenuCommand(id_, id);
  const CommandRow& row = *FindCommand(id);
  CommandUpdate u;
  if (row.action == CommandAction::kAboutKVFile) u.text = AboutTitle();
  if (row.action == CommandAction::kKVFileHelp) u.text = HelpTitle();
  if (!engine_.Created()) {
    u.check = row.kind != MenuItemKind::kCommand ? CheckMark::kOff : CheckMark::kNone;
    return u;
  }
  switch (row.action) {
    case CommandAction::kResetData:
      u.enabled = engine_.IsInstanceDefined(id_);
      return u;
    case CommandAction::kAboutKVFile:
      u.enabled = engine_.GetText(id_, InstanceText::kVersion).has_value();
      return u;
    case CommandAction::kKVFileHelp:
      u.enabled = engine_.GetText(id_, InstanceText::kHelp).has_value();
      return u;
    case CommandAction::kFigureMode:
      u.enabled = engine_.FindHandlerSlot(id_);
      u.check = Mark(engine_.GetFigureMode() == row.first, false);
      return u;
    case CommandAction::kIdleProcessing:
      u.enabled = engine_.HasIdleHandler(id_);
      u.check = Mark(engine_.IdleProcessingEnabled(id_), false);
      return u;
    case CommandAction::kEntryOption:
      u.enabled = engine_.IsInstanceDefined(id_);
      u.check = Mark(engine_.EntryOption(id_), false);
      return u;
    default:
      return FigureUpdate(row);
  }
}

CommandUpdate DocumentCommands::FigureUpdate(const CommandRow& row) const {
  CommandUpdate u;
  auto bitsOf = [&](FigureMenu menu, uint32_t bit) {
    const MenuBits bits = engine_.GetFigureMenuState(id_, menu);
    u.enabled = (bits.enabled & bit) != 0;
    u.check = Mark((bits.checked & bit) != 0, (bits.mixed & bit) != 0);
  };
  switch (row.action) {
    case CommandAction::kLockedScale: {
      bool mixed = false;
      const bool on = engine_.GetLockedScaleState(id_, &mixed);
      u.enabled = engine_.CanLockScale(id_);
      u.check = Mark(on, mixed);
      break;
    }
    case CommandAction::kScaleKind:
      bitsOf(FigureMenu::kScale, row.first);
      break;
    case CommandAction::kOptionToggle:
    case CommandAction::kGridKind:
      bitsOf(FigureMenu::kOption, row.first);
      break;
    case CommandAction::kPerspective:
    case CommandAction::kCameraView: {
      ViewMenuState v{};
      u.enabled = engine_.GetViewMenuState(id_, &v);
      bool mixed = v.perspectiveMixed;
      const bool on = row.action == CommandAction::kPerspective ? v.perspective
                                                                : CameraFlag(v, row.first, &mixed);
      u.check = Mark(on, mixed);
      break;
    }
    case CommandAction::kGridLayout:
    case CommandAction::kFreeLayout: {
      const LayoutState l = engine_.GetLayout(id_);
      u.enabled = engine_.HasFigureElements(id_);
      const bool on = row.action == CommandAction::kGridLayout
                          ? !l.free && l.rows == static_cast<int32_t>(row.first) &&
                                l.columns == static_cast<int32_t>(row.second)
                          : l.free && (row.first ? l.anchored : l.proportional);
      u.check = Mark(on, false);
      break;
    }
    default:
      break;
  }
  return u;
}

void DocumentCommands::ResetData() {
  const ErrCode e = engine_.ResetData(id_);
  if (!Succeeded(e)) return ShowError(e, kResetError);
  engine_.RunDrawHandlers(id_);
  host_.UpdateAllViews();
  host_.SetModified(false);
  ShowHandlerFailure(kResetError);
}

void DocumentCommands::OnKVMenuCommand(int32_t id) {
  const ErrCode e = menus_.RunKVMenuItem(id_, id);
  if (e == kOk) return;
  if (e == kStatusRepaint) {
    host_.UpdateAllViews();
    host_.SetModified(true);
  } else if (e == kStatusInstanceChanged) {
    host_.UpdateAllViews();
    UpdateMenus(false);
    FetchInstanceTitle();
    host_.SetTitle(title_);
    host_.SetModified(true);
    if (about_) about_->SetTitle(AboutTitle());
    if (about_) ShowText(Text::kAbout, false);
    if (help_) help_->SetTitle(HelpTitle());
    if (help_) ShowText(Text::kHelp, false);
  } else {
    return ShowError(e, kMenuError);
  }
  ShowHandlerFailure(kMenuError);
}

void DocumentCommands::OnPlotMenuCommand(int32_t id) {
  const ErrCode e = menus_.RunPlotMenuCommand(id_, id);
  if (e == kStatusRepaint) {
    host_.UpdateAllViews();
    host_.SetModified(true);
  } else if (e != kOk) {
    return ShowError(e, kChoosePlotError);
  }
  ShowHandlerFailure(kChoosePlotError);
}

void DocumentCommands::ShowError(ErrCode code, std::string_view fallback) {
  // The command's failure is reported here: a handler failure the engine
  // kept for the window's reports is this one.
  engine_.TakeHandlerFailure();
  std::string text = engine_.ErrorText(code);
  if (text.empty()) text = fallback;
  host_.ShowError(text, std::string(fallback));
}

void DocumentCommands::ShowHandlerFailure(std::string_view fallback) {
  // A command that succeeded may have run draw handlers that failed.
  const ErrCode failure = engine_.TakeHandlerFailure();
  if (IsReportedError(failure)) ShowError(failure, fallback);
}

void DocumentCommands::UpdateMenus(bool checkLayout) {
  MenuSurface* bar = host_.MenuBar();
  if (!bar) return;
  menus_.Rebuild(id_, *bar);
  if (checkLayout) menus_.UpdateLayoutMenu(id_, *bar);
  bar->Redraw();
}

void DocumentCommands::UpdateEditMenus() {
  MenuSurface* bar = host_.MenuBar();
  if (!bar) return;
  menus_.Clear(*bar);
  bar->Redraw();
}

void DocumentCommands::FetchInstanceTitle() {
  title_.clear();
  if (!engine_.Created()) return;
  if (std::optional<std::string> title = engine_.GetText(id_, InstanceText::kTitle))
    title_ = FirstCharacters(*title, kTitleCharacters);
}

std::string DocumentCommands::AboutTitle() const {
  return title_.empty() ? "About KV File" : "About " + title_;
}

std::string DocumentCommands::HelpTitle() const {
  return title_.empty() ? "KV File Help" : title_ + " Help";
}

bool DocumentCommands::ShowAboutKVFile() {
  return ShowText(Text::kAbout, true);
}

bool DocumentCommands::ShowKVFileHelp() {
  return ShowText(Text::kHelp, true);
}

bool DocumentCommands::ShowText(Text which, bool make) {
  TextWindow*& window = which == Text::kAbout ? about_ : help_;
  if (!window && make)
    window = host_.NewTextWindow(which == Text::kAbout ? AboutTitle() : HelpTitle());
  if (!window) return false;
  std::optional<std::string> text;
  if (engine_.Created())
    text =
        engine_.GetText(id_, which == Text::kAbout ? InstanceText::kVersion : InstanceText::kHelp);
  if (text) {
    window->SetText(*text);
  } else {
    window->Hide();
  }
  return text.has_value();
}

}  // namespace vke
