// The engine facade's operations, each a call of the application model on
// the context's block.
#include "shell/kv_engine.hpp"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/clipboard_items.hpp"
#include "app/draw_cycle.hpp"
#include "app/error_place.hpp"
#include "app/errors.hpp"
#include "app/figure_commands.hpp"
#include "app/figure_mouse.hpp"
#include "app/figure_queries.hpp"
#include "app/host_clock.hpp"
#include "app/image.hpp"
#include "app/instance_figure.hpp"
#include "app/instance_info.hpp"
#include "app/instances.hpp"
#include "app/languages.hpp"
#include "app/menu_items.hpp"
#include "app/natives/app_files.hpp"
#include "app/plot_properties.hpp"
#include "app/post_event.hpp"
#include "app/reset_data.hpp"
#include "app/undo_buffer.hpp"
#include "engine/files/search_path.hpp"
#include "engine/registry/registry.hpp"
#include "engine/threads/threads.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/figure_menu.hpp"
#include "graphics/port.hpp"
#include "graphics/renderer.hpp"

namespace vke {

namespace {

constexpr int32_t kTextBytes = 1 << 16;
constexpr char kPlainText = 'n';
constexpr int32_t kClockStride = 8;
constexpr int32_t kNumberWidth = 24;

FigureState* Figure(KVContextBlock* block, int32_t id) {
  InstanceRecord* r = block ? FindInstance(block, id) : nullptr;
  return r ? &r->figure : nullptr;
}

}  // namespace

std::string KVEngine::ErrorText(ErrCode code) const {
  return ActionErrorText(block(), code);
}

void KVEngine::SetBreakTest(AbortFn test, uintptr_t argument) {
  if (block()) SetEngineCallbackPair(block(), test, argument);
}

void KVEngine::SetCodeOptions(int32_t codeOption, uint8_t discardAssert) {
  if (block()) SetEngineOutputOptions(block(), codeOption, discardAssert);
}

void KVEngine::InstallHostClock() {
  if (block()) SetEngineTimeCallbacks(block(), &GetTimeValue, clockRecords_, kClockStride);
}

void KVEngine::SetNumberFormat(const NumberFormat& f) {
  if (block())
    SetEngineDisplayOptions(block(), f.type, f.digits, f.imagUnit, f.loose, kNumberWidth, 0);
}

NumberFormat KVEngine::GetNumberFormat() const {
  NumberFormat f{'g', 4, 0, 0};
  if (block())
    GetEngineDisplayOptions(block(), &f.type, &f.digits, &f.imagUnit, &f.loose, nullptr, nullptr);
  return f;
}

void KVEngine::ClearOpenFiles() {
  ClearAppFileTable();
}

void KVEngine::CloseOpenFiles() {
  CloseAllAppFiles();
}

void KVEngine::SetInteractiveHighlight(uint8_t on) {
  if (block()) vke::SetInteractiveHighlight(block(), on);
}

void KVEngine::SetPathSeparator(char separator) {
  vke::SetPathSeparator(separator);
}

ErrCode KVEngine::LoadApplication(const std::string& executable, std::string* title) {
  if (!block()) return CreationError();
  const ErrCode e = LoadImageFile(slot(), executable.c_str(), title);
  loaded_ = e == kOk;
  return e;
}

int32_t KVEngine::FirstInstance() const {
  const InstanceRecord* r = block() ? InstanceRecordAt(block(), 0) : nullptr;
  return r ? static_cast<int32_t>(r->id) : 0;
}

bool KVEngine::HasInstance(int32_t id) const {
  return block() && FindInstance(block(), id);
}

bool KVEngine::IsInstanceDefined(int32_t id) const {
  return block() && vke::IsInstanceDefined(block(), id);
}

bool KVEngine::FindHandlerSlot(int32_t id) const {
  return block() && vke::FindHandlerSlot(block(), id);
}

std::optional<std::string> KVEngine::GetText(int32_t id, InstanceText which) const {
  if (!block()) return std::nullopt;
  std::vector<char> buffer(kTextBytes);
  int32_t n = 0;
  ErrCode e;
  switch (which) {
    case InstanceText::kTitle:
      e = GetInstanceTitle(block(), id, buffer.data(), kTextBytes, &n);
      break;
    case InstanceText::kVersion:
      e = GetInstanceVersionText(block(), id, kPlainText, buffer.data(), kTextBytes, &n);
      break;
    default:
      e = GetInstanceHelpText(block(), id, kPlainText, buffer.data(), kTextBytes, &n);
      break;
  }
  // An instance without the text, or with an empty one, has none: its
  // command stays disabled and its window is not shown.
  if (e || n <= 0) return std::nullopt;
  return std::string(buffer.data(), static_cast<size_t>(std::min(n, kTextBytes)));
}

ErrCode KVEngine::ResetData(int32_t id) {
  return block() ? ResetInstanceData(slot(), id) : CreationError();
}

ErrCode KVEngine::CloseInstance(int32_t id) {
  return block() ? vke::CloseInstance(slot(), id) : CreationError();
}

bool KVEngine::FigureCommandOffered(int32_t id, int32_t command) const {
  return block() && GetInstanceMenuState(block(), id, command);
}

bool KVEngine::EntryOption(int32_t id) const {
  return block() && GetInstanceFlagByte6(block(), id) != 0;
}

void KVEngine::SetEntryOption(int32_t id, bool on) {
  if (block()) SetInstanceFlagByte6(block(), id, on ? 1 : 0);
}

ErrCode KVEngine::NextMenuStop(int32_t id, char family, int32_t* position, MenuStop* stop,
                               bool menus, bool structure) {
  if (!block()) return CreationError();
  MenuEntry entry;
  const ErrCode e = GetMenuItemInfo(block(), id, family, position, &entry, menus, structure, menus);
  uint32_t start = 0;
  if (!e) FindInstanceStart(block(), id, &start);
  if (!e)
    *stop = {entry.kind, std::string(entry.text), entry.word,
             *position - static_cast<int32_t>(start)};
  return e;
}

ErrCode KVEngine::MenuItemState(int32_t id, int32_t position, std::string_view clipboard,
                                uint8_t* state) {
  if (!block()) return CreationError();
  const int32_t version = UndoSetCurrentVersion(block()->UndoArea(), id);
  return GetMenuItemState(slot(), id, position, version, clipboard.data(),
                          static_cast<int32_t>(clipboard.size()), state);
}

ErrCode KVEngine::RunMenuItem(int32_t id, int32_t position) {
  return block() ? RunMenuItemHandler(slot(), id, position) : CreationError();
}

ErrCode KVEngine::PasteLink(int32_t id, int32_t position, std::string_view text) {
  if (!block()) return CreationError();
  return vke::PasteLink(slot(), id, position, text.data(), static_cast<int32_t>(text.size()));
}

ErrCode KVEngine::RunCopyHandler(int32_t id, int32_t position, int32_t linkId, std::string* text) {
  if (!block()) return CreationError();
  std::vector<char> buffer(kTextBytes);
  int32_t written = 0;
  const ErrCode e =
      vke::RunCopyHandler(slot(), id, position, linkId, buffer.data(), kTextBytes, &written);
  if (!e) text->assign(buffer.data(), static_cast<size_t>(std::clamp(written, 0, kTextBytes)));
  return e;
}

// Data elements and drops come with the clipboard and drop windows.
ErrCode KVEngine::RunDataElement(int32_t, int32_t) {
  return block() ? kErrNotSupported : CreationError();
}

ErrCode KVEngine::RunDropHandler(int32_t, int32_t, std::string_view, std::string*) {
  return block() ? kErrNotSupported : CreationError();
}

// The language functions count a section's offset from the instance start,
// the menu states its position in the list.
ErrCode KVEngine::NextLanguage(int32_t id, int32_t* position, std::string* name) {
  if (!block()) return CreationError();
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block(), id, &start)) return e;
  const auto base = static_cast<int32_t>(start);
  int32_t offset = *position < 0 ? -1 : *position - base;
  std::string_view code, text;
  const ErrCode e = GetLanguageName(block(), id, &offset, &code, &text);
  if (!e) *position = base + offset;
  if (!e) *name = std::string(text);
  return e;
}

ErrCode KVEngine::SetLanguage(int32_t id, int32_t position) {
  if (!block()) return CreationError();
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block(), id, &start)) return e;
  return SetInstanceLanguage(slot(), id, position - static_cast<int32_t>(start));
}

ErrCode KVEngine::RunHandler(const HandlerRequest& request) {
  return block() ? vke::RunHandler(slot(), request) : CreationError();
}

bool KVEngine::HandlerBusy() const {
  return block() && block()->handlerBusy != 0;
}

bool KVEngine::IsHandlerBusyCode(ErrCode code) const {
  return block() && vke::IsHandlerBusyCode(block(), code);
}

ErrCode KVEngine::TakeHandlerFailure() {
  return block() ? vke::TakeHandlerFailure(block()) : kOk;
}

ErrCode KVEngine::RunInitHandler(int32_t id) {
  if (block() && !loaded_) return kOk;
  return block() ? vke::RunInitHandler(slot(), id) : CreationError();
}

ErrCode KVEngine::RunPostEventHandlers(int32_t id) {
  if (block() && !loaded_) return kOk;
  return block() ? vke::RunPostEventHandlers(slot(), id) : CreationError();
}

ErrCode KVEngine::RunDrawHandlers(int32_t id) {
  if (block() && !loaded_) return kOk;
  return block() ? vke::RunDrawHandlers(slot(), id) : CreationError();
}

ErrCode KVEngine::OnTimer(int32_t id) {
  return block() ? OnTimerHandler(slot(), id) : kStatusNothingDone;
}

ErrCode KVEngine::RunIdleStep(int32_t id, bool) {
  return block() ? RunPendingRedraw(slot(), id) : kOk;
}

void KVEngine::ResumeThreads() {
  if (block()) ResumeEngineThreads(block());
}

bool KVEngine::IdleProcessingEnabled(int32_t id) const {
  return block() && IsIdleProcessingEnabled(block(), id);
}

bool KVEngine::HasIdleHandler(int32_t id) const {
  return block() && vke::HasIdleHandler(block(), id);
}

void KVEngine::SetIdleProcessing(int32_t id, bool on) {
  if (block()) vke::SetIdleProcessing(block(), id, on);
}

bool KVEngine::HasTimedWork(int32_t id) const {
  if (!block()) return false;
  if (CountListedThreads(block()->Engine()) > 0) return true;
  const InstanceRecord* r = FindInstance(block(), id);
  return r && (r->redrawPending || vke::IsIdleProcessingEnabled(block(), id));
}

void KVEngine::SetGraphicsPort(const GraphicsPort* port, void* target) {
  if (!block()) return;
  SetGraphicsPortFunctions(block(), port);
  SetGraphicsPortTarget(block(), target);
}

ErrCode KVEngine::DrawFigure(int32_t id) {
  return block() ? DrawInstanceSubplots(block(), id) : kOk;
}

void KVEngine::RemeasureFigureMargins() {
  // The screen's text metrics, from an image of the screen's kind.
  std::unique_ptr<CairoTarget> scratch;
  if (!block() || CairoTarget::CreateImage(1, 1, &scratch) != kOk) return;
  for (int32_t i = 0; InstanceRecord* r = InstanceRecordAt(block(), i); ++i) {
    FigureState& fig = r->figure;
    for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k)
      RemeasureSubplotMargins(&fig.subplots[k], ScreenPort(), scratch.get());
  }
}

ErrCode KVEngine::SetFigureRect(int32_t id, int32_t width, int32_t height) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return vke::SetFigureRect(f, host, 0, width, 0, height);
}

uint32_t KVEngine::GetFigureMode() const {
  return block() ? static_cast<uint32_t>(vke::GetFigureMode(block())) : 0;
}

void KVEngine::SetFigureMode(uint32_t mode) {
  if (block()) vke::SetFigureMode(slot(), static_cast<int32_t>(mode));
}

ErrCode KVEngine::HandleFigureKey(int32_t id, uint32_t key, std::string* status) {
  status->clear();
  if (!block()) return kStatusNothingDone;
  char text[kStatusTextBytes];
  int32_t length = 0;
  const ErrCode code = vke::HandleFigureKey(slot(), id, key, text, kStatusTextBytes, &length);
  status->assign(text, static_cast<size_t>(std::clamp(length, 0, kStatusTextBytes)));
  return code;
}

ErrCode KVEngine::SelectAllSubplots(int32_t id) {
  return block() ? vke::SelectAllSubplots(block(), id, true) : kStatusNothingDone;
}

ErrCode KVEngine::CopyFigure(int32_t id, double left, double right, double top, double bottom) {
  return block() ? vke::CopyFigure(slot(), id, left, right, top, bottom) : CreationError();
}

bool KVEngine::GetCopyRect(int32_t id, double rect[4]) const {
  const FigureState* f = Figure(block(), id);
  if (!f) return false;
  vke::GetCopyRect(*f, rect);
  return true;
}

void KVEngine::ResetSubplots(int32_t id) {
  if (FigureState* f = Figure(block(), id)) ResetInstanceSubplots(f);
}

int32_t KVEngine::SelectedSubplot(int32_t id) const {
  return block() ? GetSelectedSubplot(block(), id) : -1;
}

uint32_t KVEngine::SubplotSelectionState(int32_t id, int32_t plot) const {
  return block() ? GetSubplotSelectionState(block(), id, plot) : 0;
}

MenuBits KVEngine::GetFigureMenuState(int32_t id, FigureMenu menu) const {
  const FigureState* f = Figure(block(), id);
  if (!f) return {};
  return menu == FigureMenu::kScale ? GetScaleMenuState(*f) : GetOptionMenuState(*f);
}

ErrCode KVEngine::SetFigureMenuBits(int32_t id, FigureMenu menu, uint32_t mask, uint32_t values) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return menu == FigureMenu::kScale ? ToggleScaleKind(f, host, mask, values)
                                    : SetSubplotOption(f, host, mask, values);
}

bool KVEngine::GetLockedScaleState(int32_t id, bool* mixed) const {
  const FigureState* f = Figure(block(), id);
  *mixed = false;
  return f && vke::GetLockedScaleState(*f, HasInstanceWideCode(block(), id), mixed);
}

bool KVEngine::CanLockScale(int32_t id) const {
  const FigureState* f = Figure(block(), id);
  return f && vke::CanLockScale(*f, HasInstanceWideCode(block(), id));
}

ErrCode KVEngine::ToggleLockedScale(int32_t id) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return vke::ToggleLockedScale(f, host, HasInstanceWideCode(block(), id));
}

bool KVEngine::GetViewMenuState(int32_t id, ViewMenuState* state) const {
  const FigureState* f = Figure(block(), id);
  return f && vke::GetViewMenuState(*f, state);
}

ErrCode KVEngine::SetCameraViewFlag(int32_t id, uint32_t flag, bool on) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return vke::SetCameraViewFlag(f, host, flag, on);
}

ErrCode KVEngine::SetPerspectiveView(int32_t id, bool on) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return vke::SetPerspectiveView(f, host, on);
}

ErrCode KVEngine::ChangeSubplotPlot(int32_t id, int32_t plot) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return vke::ChangeSubplotPlot(f, host, plot);
}

ErrCode KVEngine::ChoosePlot(int32_t id, int32_t plot) {
  return block() ? vke::ChoosePlot(slot(), id, plot) : CreationError();
}

bool KVEngine::HasFigureElements(int32_t id) const {
  const FigureState* f = Figure(block(), id);
  return f && vke::HasFigureElements(*f, InstanceFigureHost(block(), id).Elements());
}

LayoutState KVEngine::GetLayout(int32_t id) const {
  const FigureState* f = Figure(block(), id);
  if (!f) return {};
  LayoutState s{f->rows, f->columns, false, false, false};
  s.free = QueryFreeLayout(*f, &s.anchored, &s.proportional);
  return s;
}

ErrCode KVEngine::ApplyLayout(int32_t id, int32_t rows, int32_t columns) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return ApplySubplotLayout(f, host, rows, columns);
}

ErrCode KVEngine::MakeLayoutFree(int32_t id, bool anchored) {
  FigureState* f = Figure(block(), id);
  if (!f) return block() ? kKvNonexistentInstance : CreationError();
  InstanceFigureHost host(slot(), id);
  return vke::MakeLayoutFree(f, host, anchored);
}

int32_t KVEngine::SteppedPlot(int32_t id, int32_t step) const {
  const FigureState* f = Figure(block(), id);
  if (!f) return -1;
  InstanceFigureHost host(block(), id);
  return vke::SteppedPlot(*f, host, step);
}

void KVEngine::MakeOneColumn(int32_t id) {
  if (FigureState* f = Figure(block(), id)) vke::MakeOneColumn(f);
}

ErrCode KVEngine::GetPlotProperties(int32_t id, int32_t k) {
  return block() ? vke::GetPlotProperties(block(), id, k) : CreationError();
}

ErrCode KVEngine::GetPlotListEntry(int32_t id, int32_t k) {
  return block() ? vke::GetPlotListEntry(block(), id, k) : CreationError();
}

bool KVEngine::CanUndo(int32_t id) const {
  return block() && CanUndoFigure(block(), id);
}

bool KVEngine::CanRedo(int32_t id) const {
  return block() && CanRedoFigure(block(), id);
}

ErrCode KVEngine::Undo(int32_t id) {
  return block() ? UndoFigureStep(slot(), id) : CreationError();
}

ErrCode KVEngine::Redo(int32_t id) {
  return block() ? RedoFigureStep(slot(), id) : CreationError();
}

ErrCode KVEngine::PushUndoVersion(int32_t id) {
  return block() ? vke::PushUndoVersion(block()->UndoArea(), id) : CreationError();
}

ErrCode KVEngine::DropNewestUndoVersion(int32_t id) {
  return block() ? vke::DropNewestUndoVersion(block()->UndoArea(), id) : CreationError();
}

}  // namespace vke
