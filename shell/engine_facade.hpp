// Everything the shell asks of the engine and the application model, in one
// interface: the start-up settings, loading the application, the instance's
// texts, menus, languages and idle processing, handlers, the clipboard, the
// figure's menus and drawing, and undo. The frame, document and view hold
// only this, so that their rules are tested against a fake; the real one
// works on the host context's block. Operations that run handlers may move
// the block, which the implementation takes again from the context's slot.
// Without a created context every operation does nothing and answers the
// context's creation error (queries answer false or nothing).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/block.hpp"
#include "app/figure_view.hpp"
#include "app/handler_runner.hpp"
#include "graphics/figure_menu.hpp"

namespace vke {

struct GraphicsPort;

// The engine's number display.
struct NumberFormat {
  char type;  // format letter
  int32_t digits;
  char imagUnit;  // 'i' or 'j'
  uint8_t loose;
};

// The texts an instance offers.
enum class InstanceText { kTitle, kVersion, kHelp };

// One stop of an instance's menu lookup, its text copied.
struct MenuStop {
  uint32_t kind;  // element kind: an item, or a menu's start or end
  std::string text;
  uint32_t word;   // first payload word, 0 without payload
  int32_t offset;  // from the instance start: a figure's plot id
};

// The figure's layout: a grid of rows x columns, or free with every subplot
// anchored or every one proportional.
struct LayoutState {
  int32_t rows;
  int32_t columns;
  bool free;
  bool anchored;
  bool proportional;
};

// The figure menus whose state is bits over the selected subplots.
enum class FigureMenu { kScale, kOption };

class EngineFacade {
 public:
  virtual ~EngineFacade() = default;

  // The mouse on the instances' figures; its calls answer
  // kStatusNothingDone without a context, the cursor query 0.
  virtual FigureInteraction& Interaction() = 0;

  // ---- The context ----
  virtual bool Created() const = 0;
  virtual ErrCode CreationError() const = 0;
  // The message an error box shows for a code.
  virtual std::string ErrorText(ErrCode code) const = 0;

  // ---- Start-up settings ----
  virtual void SetBreakTest(AbortFn test, uintptr_t argument) = 0;
  virtual void SetCodeOptions(int32_t codeOption, uint8_t discardAssert) = 0;
  // The clock of the engine and of the application's timers.
  virtual void InstallHostClock() = 0;
  virtual void SetNumberFormat(const NumberFormat& format) = 0;
  virtual NumberFormat GetNumberFormat() const = 0;
  virtual void SetInteractiveHighlight(uint8_t on) = 0;
  virtual void SetPathSeparator(char separator) = 0;
  // The application's table of open files: emptied at start, closed at exit.
  virtual void ClearOpenFiles() = 0;
  virtual void CloseOpenFiles() = 0;

  // ---- The application image ----
  // Loads the image appended to the executable; its title in *title.
  virtual ErrCode LoadApplication(const std::string& executable, std::string* title) = 0;
  // The id of the instance the image restored (0 without one).
  virtual int32_t FirstInstance() const = 0;

  // ---- Instances ----
  virtual bool HasInstance(int32_t id) const = 0;
  // The instance exists in the compiled file; it has figures.
  virtual bool IsInstanceDefined(int32_t id) const = 0;
  virtual bool FindHandlerSlot(int32_t id) const = 0;
  // The text as UTF-8; nothing when the instance has none or an empty one.
  virtual std::optional<std::string> GetText(int32_t id, InstanceText which) const = 0;
  virtual ErrCode ResetData(int32_t id) = 0;
  virtual ErrCode CloseInstance(int32_t id) = 0;
  // Whether the instance's flags leave figure menu command 1 to 9 offered.
  virtual bool FigureCommandOffered(int32_t id, int32_t command) const = 0;
  // The entry-option byte that command 10090 toggles.
  virtual bool EntryOption(int32_t id) const = 0;
  virtual void SetEntryOption(int32_t id, bool on) = 0;

  // ---- Menus, paste and copy items ----
  // The next stop after *position (-1: the instance start) of the family the
  // letter names ('m' menu items, 'f' figures, 'i' paste, 'e' copy); kKvUndefElement
  // past the last. With menus, it also stops at the starts and ends of the
  // menus that hold the family and at separators; with structure, at the
  // menus' structure texts.
  virtual ErrCode NextMenuStop(int32_t id, char family, int32_t* position, MenuStop* stop,
                               bool menus, bool structure) = 0;
  // Bit 0 enabled, bit 1 checked, given the clipboard's text (none: empty).
  virtual ErrCode MenuItemState(int32_t id, int32_t position, std::string_view clipboard,
                                uint8_t* state) = 0;
  virtual ErrCode RunMenuItem(int32_t id, int32_t position) = 0;
  virtual ErrCode PasteLink(int32_t id, int32_t position, std::string_view text) = 0;
  // The copy item's clipboard text.
  virtual ErrCode RunCopyHandler(int32_t id, int32_t position, int32_t linkId,
                                 std::string* text) = 0;
  virtual ErrCode RunDataElement(int32_t id, int32_t element) = 0;
  // Runs a drop handler with the dropped text; its answer in *answer.
  virtual ErrCode RunDropHandler(int32_t id, int32_t element, std::string_view text,
                                 std::string* answer) = 0;

  // ---- Languages ----
  // The next language after the section at *position (-1: the first),
  // positions in the element list as the menu stops'; kKvUndefElement past the last.
  virtual ErrCode NextLanguage(int32_t id, int32_t* position, std::string* name) = 0;
  // The language of the section at the position: 0 unchanged, kStatusInstanceChanged
  // changed.
  virtual ErrCode SetLanguage(int32_t id, int32_t position) = 0;

  // ---- Handlers and idle processing ----
  virtual ErrCode RunHandler(const HandlerRequest& request) = 0;
  // A handler is running.
  virtual bool HandlerBusy() const = 0;
  virtual bool IsHandlerBusyCode(ErrCode code) const = 0;
  // The first failure of a handler since the last call (0: none), which
  // operations that answer only "redraw" leave behind.
  virtual ErrCode TakeHandlerFailure() = 0;
  virtual ErrCode RunInitHandler(int32_t id) = 0;
  virtual ErrCode RunPostEventHandlers(int32_t id) = 0;
  virtual ErrCode RunDrawHandlers(int32_t id) = 0;
  // The view's timer step: kStatusRepaint when the figure must be repainted.
  virtual ErrCode OnTimer(int32_t id) = 0;
  // The frame's idle step: kStatusRepaint when the figure must be repainted.
  virtual ErrCode RunIdleStep(int32_t id, bool allowRedraw) = 0;
  virtual void ResumeThreads() = 0;
  virtual bool IdleProcessingEnabled(int32_t id) const = 0;
  virtual bool HasIdleHandler(int32_t id) const = 0;
  virtual void SetIdleProcessing(int32_t id, bool on) = 0;
  // Whether the timers have work: engine threads wait to run, the idle
  // handler may run, or a redraw of the instance is owed.
  virtual bool HasTimedWork(int32_t id) const = 0;

  // ---- The figure ----
  virtual void SetGraphicsPort(const GraphicsPort* port, void* target) = 0;
  // Draws the figure; kErrOutOfMem when the drawing ran out of memory and
  // drew only part of it.
  virtual ErrCode DrawFigure(int32_t id) = 0;
  // The figure font changed: every figure's margins are measured again.
  virtual void RemeasureFigureMargins() = 0;
  // The figure's rectangle becomes the view's client area.
  virtual ErrCode SetFigureRect(int32_t id, int32_t width, int32_t height) = 0;
  virtual uint32_t GetFigureMode() const = 0;
  virtual void SetFigureMode(uint32_t mode) = 0;
  // A key typed on the figure (arrows as their figure codes); the message
  // of a text field's handler that the key ran goes to status.
  virtual ErrCode HandleFigureKey(int32_t id, uint32_t key, std::string* status) = 0;
  virtual ErrCode SelectAllSubplots(int32_t id) = 0;
  virtual ErrCode CopyFigure(int32_t id, double left, double right, double top, double bottom) = 0;
  // The rectangle a copy takes (left, right, top, bottom): the one selected
  // subplot, else the free layout's extent, else the figure; false without
  // the instance.
  virtual bool GetCopyRect(int32_t id, double rect[4]) const = 0;
  // Every subplot laid out anew at the next drawing (printing).
  virtual void ResetSubplots(int32_t id) = 0;
  virtual int32_t SelectedSubplot(int32_t id) const = 0;
  // Bit 0 enabled, bit 1 checked, for a plot of the figure (-3: removal).
  virtual uint32_t SubplotSelectionState(int32_t id, int32_t plot) const = 0;
  virtual MenuBits GetFigureMenuState(int32_t id, FigureMenu menu) const = 0;
  virtual ErrCode SetFigureMenuBits(int32_t id, FigureMenu menu, uint32_t mask,
                                    uint32_t values) = 0;
  virtual bool GetLockedScaleState(int32_t id, bool* mixed) const = 0;
  virtual bool CanLockScale(int32_t id) const = 0;
  virtual ErrCode ToggleLockedScale(int32_t id) = 0;
  virtual bool GetViewMenuState(int32_t id, ViewMenuState* state) const = 0;
  virtual ErrCode SetCameraViewFlag(int32_t id, uint32_t flag, bool on) = 0;
  virtual ErrCode SetPerspectiveView(int32_t id, bool on) = 0;
  virtual ErrCode ChangeSubplotPlot(int32_t id, int32_t plot) = 0;
  // The selected subplots' plot chosen in a new undo version, then drawn;
  // the plot change's result.
  virtual ErrCode ChoosePlot(int32_t id, int32_t plot) = 0;
  // The instance has a figure element and its layout may change.
  virtual bool HasFigureElements(int32_t id) const = 0;
  virtual LayoutState GetLayout(int32_t id) const = 0;
  virtual ErrCode ApplyLayout(int32_t id, int32_t rows, int32_t columns) = 0;
  virtual ErrCode MakeLayoutFree(int32_t id, bool anchored) = 0;
  virtual int32_t SteppedPlot(int32_t id, int32_t step) const = 0;
  virtual void MakeOneColumn(int32_t id) = 0;
  // Stores the value on the stack top as plot k's properties; pushes them.
  virtual ErrCode GetPlotProperties(int32_t id, int32_t k) = 0;
  virtual ErrCode GetPlotListEntry(int32_t id, int32_t k) = 0;

  // ---- Undo ----
  virtual bool CanUndo(int32_t id) const = 0;
  virtual bool CanRedo(int32_t id) const = 0;
  virtual ErrCode Undo(int32_t id) = 0;
  virtual ErrCode Redo(int32_t id) = 0;
  virtual ErrCode PushUndoVersion(int32_t id) = 0;
  virtual ErrCode DropNewestUndoVersion(int32_t id) = 0;
};

}  // namespace vke
