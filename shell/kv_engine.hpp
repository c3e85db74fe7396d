// The engine facade over the application's context: every operation takes
// the block again from the context's slot, and answers the context's
// creation error (queries: false or nothing) when there is no block.
#pragma once

#include <memory>

#include "shell/engine_facade.hpp"
#include "shell/host_context.hpp"

namespace vke {

class KVEngine final : public EngineFacade {
 public:
  explicit KVEngine(KVContext& context) : context_(context), interaction_(context.Slot()) {}

  bool Created() const override { return context_.Created(); }
  ErrCode CreationError() const override { return context_.CreationError(); }
  std::string ErrorText(ErrCode code) const override;

  void SetBreakTest(AbortFn test, uintptr_t argument) override;
  void SetCodeOptions(int32_t codeOption, uint8_t discardAssert) override;
  void InstallHostClock() override;
  void SetNumberFormat(const NumberFormat& format) override;
  NumberFormat GetNumberFormat() const override;
  void SetInteractiveHighlight(uint8_t on) override;
  void SetPathSeparator(char separator) override;
  void ClearOpenFiles() override;
  void CloseOpenFiles() override;

  ErrCode LoadApplication(const std::string& executable, std::string* title) override;
  int32_t FirstInstance() const override;

  bool HasInstance(int32_t id) const override;
  bool IsInstanceDefined(int32_t id) const override;
  bool FindHandlerSlot(int32_t id) const override;
  std::optional<std::string> GetText(int32_t id, InstanceText which) const override;
  ErrCode ResetData(int32_t id) override;
  ErrCode CloseInstance(int32_t id) override;
  bool FigureCommandOffered(int32_t id, int32_t command) const override;
  bool EntryOption(int32_t id) const override;
  void SetEntryOption(int32_t id, bool on) override;

  ErrCode NextMenuStop(int32_t id, char family, int32_t* position, MenuStop* stop, bool menus,
                       bool structure) override;
  ErrCode MenuItemState(int32_t id, int32_t position, std::string_view clipboard,
                        uint8_t* state) override;
  ErrCode RunMenuItem(int32_t id, int32_t position) override;
  ErrCode PasteLink(int32_t id, int32_t position, std::string_view text) override;
  ErrCode RunCopyHandler(int32_t id, int32_t position, int32_t linkId, std::string* text) override;
  ErrCode RunDataElement(int32_t id, int32_t element) override;
  ErrCode RunDropHandler(int32_t id, int32_t element, std::string_view text,
                         std::string* answer) override;

  ErrCode NextLanguage(int32_t id, int32_t* offset, std::string* name) override;
  ErrCode SetLanguage(int32_t id, int32_t offset) override;

  ErrCode RunHandler(const HandlerRequest& request) override;
  bool HandlerBusy() const override;
  bool IsHandlerBusyCode(ErrCode code) const override;
  ErrCode TakeHandlerFailure() override;
  ErrCode RunInitHandler(int32_t id) override;
  ErrCode RunPostEventHandlers(int32_t id) override;
  ErrCode RunDrawHandlers(int32_t id) override;
  ErrCode OnTimer(int32_t id) override;
  ErrCode RunIdleStep(int32_t id, bool allowRedraw) override;
  void ResumeThreads() override;
  bool IdleProcessingEnabled(int32_t id) const override;
  bool HasIdleHandler(int32_t id) const override;
  void SetIdleProcessing(int32_t id, bool on) override;
  bool HasTimedWork(int32_t id) const override;

  void SetGraphicsPort(const GraphicsPort* port, void* target) override;
  ErrCode DrawFigure(int32_t id) override;
  void RemeasureFigureMargins() override;
  ErrCode SetFigureRect(int32_t id, int32_t width, int32_t height) override;
  uint32_t GetFigureMode() const override;
  void SetFigureMode(uint32_t mode) override;
  ErrCode HandleFigureKey(int32_t id, uint32_t key, std::string* status) override;
  ErrCode SelectAllSubplots(int32_t id) override;
  ErrCode CopyFigure(int32_t id, double left, double right, double top, double bottom) override;
  bool GetCopyRect(int32_t id, double rect[4]) const override;
  void ResetSubplots(int32_t id) override;
  int32_t SelectedSubplot(int32_t id) const override;
  uint32_t SubplotSelectionState(int32_t id, int32_t plot) const override;
  MenuBits GetFigureMenuState(int32_t id, FigureMenu menu) const override;
  ErrCode SetFigureMenuBits(int32_t id, FigureMenu menu, uint32_t mask, uint32_t values) override;
  bool GetLockedScaleState(int32_t id, bool* mixed) const override;
  bool CanLockScale(int32_t id) const override;
  ErrCode ToggleLockedScale(int32_t id) override;
  bool GetViewMenuState(int32_t id, ViewMenuState* state) const override;
  ErrCode SetCameraViewFlag(int32_t id, uint32_t flag, bool on) override;
  ErrCode SetPerspectiveView(int32_t id, bool on) override;
  ErrCode ChangeSubplotPlot(int32_t id, int32_t plot) override;
  ErrCode ChoosePlot(int32_t id, int32_t plot) override;
  bool HasFigureElements(int32_t id) const override;
  LayoutState GetLayout(int32_t id) const override;
  ErrCode ApplyLayout(int32_t id, int32_t rows, int32_t columns) override;
  ErrCode MakeLayoutFree(int32_t id, bool anchored) override;
  int32_t SteppedPlot(int32_t id, int32_t step) const override;
  void MakeOneColumn(int32_t id) override;
  ErrCode GetPlotProperties(int32_t id, int32_t k) override;
  ErrCode GetPlotListEntry(int32_t id, int32_t k) override;

  bool CanUndo(int32_t id) const override;
  bool CanRedo(int32_t id) const override;
  ErrCode Undo(int32_t id) override;
  ErrCode Redo(int32_t id) override;
  ErrCode PushUndoVersion(int32_t id) override;
  ErrCode DropNewestUndoVersion(int32_t id) override;

  FigureInteraction& Interaction() override { return interaction_; }

 private:
  KVContextBlock* block() const { return context_.Block(); }
  KVContextBlock** slot() { return context_.Slot(); }

  KVContext& context_;
  BlockInteraction interaction_;
  // An application image was restored: until then (or after a load that
  // failed, leaving the window empty) there are no handlers to run.
  bool loaded_ = false;
  // The clock's readings: three of the engine's, three of the application's.
  alignas(8) uint8_t clockRecords_[6 * 8] = {};
};

}  // namespace vke
