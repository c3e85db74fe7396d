// An instance made with its variables for the figure tests of the
// application: a FigureHarness whose instance 0 has an undo set and an
// element list built by the test, and helpers to push arguments and call the
// application's natives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "engine/values/values.hpp"
#include "tests/app/element_list_builder.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke::test {

struct FigureApp : FigureHarness {
  FigureApp(int32_t rows, int32_t columns) {
    EXPECT_EQ(CreateInstance(block(), nullptr), kOk);
    SetRect(figure().rect, 0, 640, 0, 480);
    EXPECT_EQ(SetSubplotLayout(&figure(), rows, columns), kOk);
    list.Instance(0, "app.kv");
  }
  // A plot: its figure element, with a draw handler calling `function`
  // (none: no draw handler); returns its plot id.
  int32_t AddPlot(const std::string& name, bool draws = true, int32_t function = -1) {
    list.Text(kElemFigure, name);
    const auto id = static_cast<int32_t>(list.LastOffset());
    if (draws) list.Handler(kElemDraw, Descriptor(function));
    plots.push_back(id);
    return id;
  }
  void Load() { EXPECT_EQ(list.LoadInto(block()), kOk); }

  FigureApp& Text(const char* s) {
    EXPECT_EQ(PushCString(ctx(), -1, s), kOk);
    return *this;
  }
  FigureApp& Row(const std::vector<double>& v) {
    PushRow(ctx(), "double", v);
    return *this;
  }
  FigureApp& Table(int32_t rows, int32_t columns, const std::vector<double>& v) {
    PushArray(ctx(), "double", {rows, columns}, v);
    return *this;
  }
  // Calls the native with every value pushed; on failure they are dropped.
  ErrCode Run(const char* name, int32_t nargout = -1) {
    const ErrCode e = Call(name, EntryCount(ctx()), nargout);
    if (e != kOk) Drop(ctx(), EntryCount(ctx()));
    return e;
  }
  std::vector<double> Numbers() { return PopNumbers(ctx()); }
  std::vector<int32_t> PlotIds() {
    std::vector<int32_t> ids;
    for (int32_t k = 0; k < ActiveSubplotCount(figure()); ++k) ids.push_back(subplot(k).plotId);
    return ids;
  }

  ElementListBuilder list;
  std::vector<int32_t> plots;
};

}  // namespace vke::test
