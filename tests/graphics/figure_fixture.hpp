// Figures for the tests of the figure commands and the saved figure: a
// figure of empty subplots in a 600 x 400 rectangle, an element list of
// plots, and a host that logs what the commands ask of the application.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/plot_handlers.hpp"

namespace vke::test {

inline std::unique_ptr<FigureState> EmptyFigure(int32_t rows, int32_t columns) {
  auto fig = std::make_unique<FigureState>();
  fig->maxSubplots = kMaxSubplots;
  fig->rows = rows;
  fig->columns = columns;
  fig->editField = -1;
  SetRect(fig->rect, 0, 600, 0, 400);
  for (SubplotRecord& s : fig->subplots) SubplotRecordClear(&s);
  ComputeSubplotViewports(fig.get());
  return fig;
}

// Words of an instance's element list: the instance start, then a figure
// element (kind 24) per plot name, each followed by a draw handler.
struct PlotList {
  explicit PlotList(const std::vector<std::string>& names) {
    Add(kElemInstanceStart, {0, 0, 0});
    for (const std::string& name : names) {
      std::vector<uint32_t> text{static_cast<uint32_t>(name.size())};
      std::vector<uint32_t> packed(name.size() / 4 + 1, 0);
      name.copy(reinterpret_cast<char*>(packed.data()), name.size());
      text.insert(text.end(), packed.begin(), packed.end());
      plots.push_back(static_cast<int32_t>(Add(kElemFigure, text)));
      Add(kElemDraw, {static_cast<uint32_t>(-1), 0, 0});
    }
  }
  uint32_t Add(uint32_t kind, const std::vector<uint32_t>& payload) {
    const auto at = static_cast<uint32_t>(words.size());
    words.insert(words.end(), {kind, static_cast<uint32_t>(payload.size() + 2)});
    words.insert(words.end(), payload.begin(), payload.end());
    return at;
  }
  ElementListView View() const {
    return {reinterpret_cast<const std::byte*>(words.data()), static_cast<uint32_t>(words.size()),
            0, -2};
  }
  std::vector<uint32_t> words;
  std::vector<int32_t> plots;  // plot ids: offsets of the figure elements
};

// Logs "undo", "draw", "save" and the subplots whose plot properties were
// cleared; initialised as asked.
struct LoggingHost : ElementFigureHost {
  explicit LoggingHost(ElementListView list = {}, bool initialised = true)
      : view(list), initialised(initialised) {}
  bool Initialised() override { return initialised; }
  ElementListView Elements() override { return view; }
  ErrCode ResolveHandler(int32_t) override { return kOk; }
  ErrCode ClearPlotProperties(int32_t k) override { return Log("clear " + std::to_string(k)); }
  ErrCode PushUndoVersion() override { return Log("undo"); }
  ErrCode RunDrawHandlers() override { return Log("draw"); }
  ErrCode SaveFigureState() override { return Log("save"); }
  ErrCode RunResizeHandlers() override { return Log("resize"); }
  ErrCode Log(const std::string& what) {
    calls.push_back(what);
    return kOk;
  }
  ElementListView view;
  bool initialised;
  std::vector<std::string> calls;
};

}  // namespace vke::test
