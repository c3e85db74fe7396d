// The engine facade mocked, for the shell's rules. The constructors and
// destructors are defined in mock_engine_facade.cpp, so that the mock's
// methods and their tables are made there once, not in every test file.
#pragma once

#include <gmock/gmock.h>

#include "shell/engine_facade.hpp"

namespace vke::test {

class MockFigureInteraction : public FigureInteraction {
 public:
  MockFigureInteraction();
  ~MockFigureInteraction() override;
  MOCK_METHOD(ErrCode, FigureMouseDown, (int32_t, double, double, bool), (override));
  MOCK_METHOD(ErrCode, FigureMouseDrag, (int32_t, double, double, bool, std::string*), (override));
  MOCK_METHOD(ErrCode, FigureMouseUp, (int32_t, double, double, bool), (override));
  MOCK_METHOD(ErrCode, FigureMouseHover, (int32_t, double, double, bool, std::string*), (override));
  MOCK_METHOD(ErrCode, FigureMouseScroll,
              (int32_t, double, double, double, double, bool, std::string*), (override));
  MOCK_METHOD(int32_t, HitTestForCursor, (int32_t, double, double, bool), (override));
  MOCK_METHOD(ErrCode, FigureSelectClick, (int32_t, double, double), (override));
};

class MockEngineFacade : public EngineFacade {
 public:
  MockEngineFacade();
  ~MockEngineFacade() override;
  FigureInteraction& Interaction() override { return interaction; }
  ::testing::NiceMock<MockFigureInteraction> interaction;

  MOCK_METHOD(bool, Created, (), (const, override));
  MOCK_METHOD(ErrCode, CreationError, (), (const, override));
  MOCK_METHOD(std::string, ErrorText, (ErrCode), (const, override));
  MOCK_METHOD(void, SetBreakTest, (AbortFn, uintptr_t), (override));
  MOCK_METHOD(void, SetCodeOptions, (int32_t, uint8_t), (override));
  MOCK_METHOD(void, InstallHostClock, (), (override));
  MOCK_METHOD(void, SetNumberFormat, (const NumberFormat&), (override));
  MOCK_METHOD(NumberFormat, GetNumberFormat, (), (const, override));
  MOCK_METHOD(void, SetInteractiveHighlight, (uint8_t), (override));
  MOCK_METHOD(void, SetPathSeparator, (char), (override));
  MOCK_METHOD(void, ClearOpenFiles, (), (override));
  MOCK_METHOD(void, CloseOpenFiles, (), (override));
  MOCK_METHOD(ErrCode, LoadApplication, (const std::string&, std::string*), (override));
  MOCK_METHOD(int32_t, FirstInstance, (), (const, override));
  MOCK_METHOD(bool, HasInstance, (int32_t), (const, override));
  MOCK_METHOD(bool, IsInstanceDefined, (int32_t), (const, override));
  MOCK_METHOD(bool, FindHandlerSlot, (int32_t), (const, override));
  MOCK_METHOD(bool, HandlerBusy, (), (const, override));
  MOCK_METHOD(ErrCode, TakeHandlerFailure, (), (override));
  MOCK_METHOD(bool, HasTimedWork, (int32_t), (const, override));
  MOCK_METHOD(ErrCode, SetFigureRect, (int32_t, int32_t, int32_t), (override));
  MOCK_METHOD(uint32_t, GetFigureMode, (), (const, override));
  MOCK_METHOD(void, SetFigureMode, (uint32_t), (override));
  MOCK_METHOD(ErrCode, HandleFigureKey, (int32_t, uint32_t, std::string*), (override));
  MOCK_METHOD(ErrCode, SelectAllSubplots, (int32_t), (override));
  MOCK_METHOD(std::optional<std::string>, GetText, (int32_t, InstanceText), (const, override));
  MOCK_METHOD(ErrCode, ResetData, (int32_t), (override));
  MOCK_METHOD(ErrCode, CloseInstance, (int32_t), (override));
  MOCK_METHOD(bool, FigureCommandOffered, (int32_t, int32_t), (const, override));
  MOCK_METHOD(bool, EntryOption, (int32_t), (const, override));
  MOCK_METHOD(void, SetEntryOption, (int32_t, bool), (override));
  MOCK_METHOD(ErrCode, NextMenuStop, (int32_t, char, int32_t*, MenuStop*, bool, bool), (override));
  MOCK_METHOD(ErrCode, MenuItemState, (int32_t, int32_t, std::string_view, uint8_t*), (override));
  MOCK_METHOD(ErrCode, RunMenuItem, (int32_t, int32_t), (override));
  MOCK_METHOD(ErrCode, PasteLink, (int32_t, int32_t, std::string_view), (override));
  MOCK_METHOD(ErrCode, RunCopyHandler, (int32_t, int32_t, int32_t, std::string*), (override));
  MOCK_METHOD(ErrCode, RunDataElement, (int32_t, int32_t), (override));
  MOCK_METHOD(ErrCode, RunDropHandler, (int32_t, int32_t, std::string_view, std::string*),
              (override));
  MOCK_METHOD(ErrCode, NextLanguage, (int32_t, int32_t*, std::string*), (override));
  MOCK_METHOD(ErrCode, SetLanguage, (int32_t, int32_t), (override));
  MOCK_METHOD(ErrCode, RunHandler, (const HandlerRequest&), (override));
  MOCK_METHOD(bool, IsHandlerBusyCode, (ErrCode), (const, override));
  MOCK_METHOD(ErrCode, RunInitHandler, (int32_t), (override));
  MOCK_METHOD(ErrCode, RunPostEventHandlers, (int32_t), (override));
  MOCK_METHOD(ErrCode, RunDrawHandlers, (int32_t), (override));
  MOCK_METHOD(ErrCode, OnTimer, (int32_t), (override));
  MOCK_METHOD(ErrCode, RunIdleStep, (int32_t, bool), (override));
  MOCK_METHOD(void, ResumeThreads, (), (override));
  MOCK_METHOD(bool, IdleProcessingEnabled, (int32_t), (const, override));
  MOCK_METHOD(bool, HasIdleHandler, (int32_t), (const, override));
  MOCK_METHOD(void, SetIdleProcessing, (int32_t, bool), (override));
  MOCK_METHOD(void, SetGraphicsPort, (const GraphicsPort*, void*), (override));
  MOCK_METHOD(ErrCode, DrawFigure, (int32_t), (override));
  MOCK_METHOD(void, RemeasureFigureMargins, (), (override));
  MOCK_METHOD(ErrCode, CopyFigure, (int32_t, double, double, double, double), (override));
  MOCK_METHOD(bool, GetCopyRect, (int32_t, double*), (const, override));
  MOCK_METHOD(void, ResetSubplots, (int32_t), (override));
  MOCK_METHOD(int32_t, SelectedSubplot, (int32_t), (const, override));
  MOCK_METHOD(uint32_t, SubplotSelectionState, (int32_t, int32_t), (const, override));
  MOCK_METHOD(MenuBits, GetFigureMenuState, (int32_t, FigureMenu), (const, override));
  MOCK_METHOD(ErrCode, SetFigureMenuBits, (int32_t, FigureMenu, uint32_t, uint32_t), (override));
  MOCK_METHOD(bool, GetLockedScaleState, (int32_t, bool*), (const, override));
  MOCK_METHOD(bool, CanLockScale, (int32_t), (const, override));
  MOCK_METHOD(ErrCode, ToggleLockedScale, (int32_t), (override));
  MOCK_METHOD(bool, GetViewMenuState, (int32_t, ViewMenuState*), (const, override));
  MOCK_METHOD(ErrCode, SetCameraViewFlag, (int32_t, uint32_t, bool), (override));
  MOCK_METHOD(ErrCode, SetPerspectiveView, (int32_t, bool), (override));
  MOCK_METHOD(ErrCode, ChangeSubplotPlot, (int32_t, int32_t), (override));
  MOCK_METHOD(ErrCode, ChoosePlot, (int32_t, int32_t), (override));
  MOCK_METHOD(bool, HasFigureElements, (int32_t), (const, override));
  MOCK_METHOD(LayoutState, GetLayout, (int32_t), (const, override));
  MOCK_METHOD(ErrCode, ApplyLayout, (int32_t, int32_t, int32_t), (override));
  MOCK_METHOD(ErrCode, MakeLayoutFree, (int32_t, bool), (override));
  MOCK_METHOD(int32_t, SteppedPlot, (int32_t, int32_t), (const, override));
  MOCK_METHOD(void, MakeOneColumn, (int32_t), (override));
  MOCK_METHOD(ErrCode, GetPlotProperties, (int32_t, int32_t), (override));
  MOCK_METHOD(ErrCode, GetPlotListEntry, (int32_t, int32_t), (override));
  MOCK_METHOD(bool, CanUndo, (int32_t), (const, override));
  MOCK_METHOD(bool, CanRedo, (int32_t), (const, override));
  MOCK_METHOD(ErrCode, Undo, (int32_t), (override));
  MOCK_METHOD(ErrCode, Redo, (int32_t), (override));
  MOCK_METHOD(ErrCode, PushUndoVersion, (int32_t), (override));
  MOCK_METHOD(ErrCode, DropNewestUndoVersion, (int32_t), (override));
};

}  // namespace vke::test
