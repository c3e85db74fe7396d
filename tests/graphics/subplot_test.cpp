// Subplot records and the figure layout: initial values, derived options,
// grid changes, free layout with its springs, reordering and deletion, plot
// ids, and the handlers and names of plots read from an element list.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/plot_handlers.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {
namespace {

// A figure with every subplot empty; subplot k of the starting grid is
// tagged with plot id 100 + k and spring marker k, so moves can be followed.
std::unique_ptr<FigureState> NewFigure(int32_t rows, int32_t columns) {
  auto fig = std::make_unique<FigureState>();
  fig->maxSubplots = kMaxSubplots;
  fig->rows = rows;
  fig->columns = columns;
  SetRect(fig->rect, 0, 1000, 0, 600);
  for (int32_t k = 0; k < kMaxSubplots; ++k) {
    SubplotRecordClear(&fig->subplots[k]);
    if (k < rows * columns) {
      fig->subplots[k].plotId = 100 + k;
      fig->springs[k].stiffness[kSpringNear] = k;
    }
  }
  ComputeSubplotViewports(fig.get());
  return fig;
}

std::vector<int32_t> PlotIds(const FigureState& fig) {
  std::vector<int32_t> ids;
  for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k) ids.push_back(fig.subplots[k].plotId);
  return ids;
}

std::string Title(const SubplotRecord& s) {
  const char* text = reinterpret_cast<const char*>(s.title);
  return std::string(text, strnlen(text, sizeof s.title));
}

// An element list under construction: 32-bit words.
struct ElementList {
  std::vector<uint32_t> words;

  // Appends an element; returns its word position.
  uint32_t Add(uint32_t kind, std::vector<uint32_t> payload = {}) {
    uint32_t at = static_cast<uint32_t>(words.size());
    words.push_back(kind);
    words.push_back(static_cast<uint32_t>(payload.size() + 2));
    words.insert(words.end(), payload.begin(), payload.end());
    return at;
  }
  static std::vector<uint32_t> Text(const std::string& s) {
    std::vector<uint32_t> out{static_cast<uint32_t>(s.size())};
    std::vector<uint32_t> packed(s.size() / 4 + 1, 0);
    std::memcpy(packed.data(), s.data(), s.size());
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
  }
  // A handler element: optional target id, then a descriptor calling `fn`.
  uint32_t Handler(uint32_t kind, int32_t fn, const int32_t* target = nullptr) {
    std::vector<uint32_t> payload;
    if (target) payload.push_back(static_cast<uint32_t>(*target));
    payload.insert(payload.end(), {static_cast<uint32_t>(fn), 0, 0});
    return Add(kind, payload);
  }
  ElementListView View(uint32_t instanceStart, int32_t language = -2) const {
    return {reinterpret_cast<const std::byte*>(words.data()), static_cast<uint32_t>(words.size()),
            instanceStart, language};
  }
};

struct FakeHost : ElementFigureHost {
  ElementListView view{};
  bool initialised = false;
  int32_t failingDescriptor = -100;
  ErrCode clearFailure = kOk;
  std::vector<std::string> calls;
  std::vector<int32_t> resolved;
  std::vector<int32_t> cleared;

  bool Initialised() override { return initialised; }
  ElementListView Elements() override { return view; }
  ErrCode ResolveHandler(int32_t d) override {
    resolved.push_back(d);
    return d == failingDescriptor ? kErrUndefFun : kOk;
  }
  ErrCode ClearPlotProperties(int32_t k) override {
    cleared.push_back(k);
    return clearFailure;
  }
  ErrCode PushUndoVersion() override { return Log("undo"); }
  ErrCode RunDrawHandlers() override { return Log("draw"); }
  ErrCode SaveFigureState() override { return Log("save"); }
  ErrCode RunResizeHandlers() override { return Log("resize"); }
  ErrCode Log(const char* what) {
    calls.push_back(what);
    return kOk;
  }
};

template <size_t N>
std::vector<double> Vec(const double (&a)[N]) {
  return std::vector<double>(a, a + N);
}
using V = std::vector<double>;

TEST(SubplotRecord, InitialValues) {
  SubplotRecord r;
  std::memset(&r, 0xAB, sizeof r);
  SubplotRecord before = r;
  SubplotRecordInit(&r);
  EXPECT_EQ(r.transformValid | r.drawn | r.is3d | r.plotFlag | r.gridSet | r.scaleKindSet, 0);
  EXPECT_EQ(r.scaleState[0] | r.scaleState[1] | r.scaleState[2], kScaleNone);
  EXPECT_EQ(Vec(r.limits), (V{1e30, 1e30, 1e30, -1e30, -1e30, -1e30}));
  EXPECT_EQ(Vec(r.defaultLimits), (V{1e30, -1e30, 1e30, -1e30, 1e30, -1e30}));
  EXPECT_EQ(Vec(r.viewport), (V{0, 1000, 0, 1000}));
  EXPECT_EQ(Vec(r.position), (V{0, 1000, 0, 1000}));
  EXPECT_EQ(Vec(r.margins), (V{0, 0, 0, 0}));
  EXPECT_EQ(r.zoomRangeSet[0] | r.zoomRangeSet[1], 0);
  EXPECT_EQ(r.layoutPending, 1);
  EXPECT_EQ(Vec(r.marginUnit), (V{12, 20}));
  EXPECT_EQ((V{r.xOffset, r.xFactor, r.yOffset, r.yFactor}), (V{0, 1, 0, 1}));
  EXPECT_EQ(r.scaleKind | r.applicableScaleKinds | r.applicableOptions, 0u);
  EXPECT_EQ(r.viewFlags, 15u);
  EXPECT_EQ(Vec(r.cameraPosition), (V{-3, -2, 1}));
  EXPECT_EQ(Vec(r.cameraTarget), (V{0, 0, 0}));
  EXPECT_EQ(Vec(r.cameraUp), (V{0, 0, 1}));
  EXPECT_EQ(r.orthographic, 1);
  EXPECT_EQ(r.zoom, 1.0);
  EXPECT_EQ(Vec(r.dataAspect), (V{1, 1, 1}));
  EXPECT_EQ(Vec(r.scaleFactors), (V{1, 1, 1}));
  EXPECT_EQ(Vec(r.tickParams), (V{10, 4, 2}));
  EXPECT_EQ(r.optionWord, 0x138BBBu);
  EXPECT_EQ(r.title[0] | r.title[63] | r.labels[0][0] | r.labels[2][15] | r.labelTails[2][11], 0);
  // Left for the caller, or as they were.
  EXPECT_EQ(std::memcmp(r.zoomRange, before.zoomRange, sizeof r.zoomRange), 0);
  EXPECT_EQ(std::memcmp(&r.dragId, &before.dragId, 24), 0);
  EXPECT_EQ(r.plotId, before.plotId);
  EXPECT_EQ(r.handlers[10], before.handlers[10]);
}

TEST(SubplotRecord, ResetKeepsThePlacementAndOptionallyTheOptions) {
  SubplotRecord r;
  SubplotRecordInit(&r);
  SetRect(r.viewport, 1, 2, 3, 4);
  SetRect(r.position, 5, 6, 7, 8);
  SetRect(r.margins, 1, 1, 2, 2);
  r.marginUnit[1] = -20;
  r.layoutPending = 0;
  r.optionWord = 0x4;
  r.gridSet = 1;
  r.scaleState[0] = kScaleFixed;
  r.title[0] = 'T';
  SubplotRecordReset(&r, false);
  EXPECT_EQ(Vec(r.viewport), (V{1, 2, 3, 4}));
  EXPECT_EQ(Vec(r.position), (V{5, 6, 7, 8}));
  EXPECT_EQ(Vec(r.margins), (V{1, 1, 2, 2}));
  EXPECT_EQ((V{r.marginUnit[1], double(r.layoutPending), double(r.optionWord), double(r.gridSet)}),
            (V{-20, 0, 4, 1}));
  EXPECT_EQ(r.scaleState[0], kScaleNone);
  EXPECT_EQ(r.title[0], 0);
  SubplotRecordReset(&r, true);
  EXPECT_EQ(r.optionWord, kDefaultOptions);
  EXPECT_EQ(r.gridSet, 0);
  EXPECT_EQ(r.position[kLeft], 5);
}

TEST(SubplotRecord, DerivedOptions) {
  SubplotRecord r;
  SubplotRecordInit(&r);
  r.applicableOptions = 0xFFFFFFFF;
  // No title, no transform: label and frame are not in effect.
  EXPECT_EQ(GetEffectiveOptions(r), kDefaultOptions & ~(kOptLabel | kOptFrame));
  EXPECT_EQ(GetApplicableOptions(r), 0xE7000u | kOptMargin);
  r.title[0] = 'x';
  r.transformValid = 1;
  EXPECT_EQ(GetEffectiveOptions(r), kDefaultOptions);
  EXPECT_EQ(GetApplicableOptions(r), 0xE7000u | kOptMargin | kOptLabel | 0x8044u);
  r.is3d = 1;
  r.optionWord &= ~kOptMargin;
  EXPECT_EQ(GetApplicableOptions(r), 0xE7000u | kOptMargin | 0x8444u);
}

TEST(FigureLayout, GridSizeIsLimitedToTheMaximum) {
  auto fig = NewFigure(1, 1);
  EXPECT_EQ(SetSubplotLayout(fig.get(), 6, 6), kOk);
  EXPECT_EQ(fig->rows, 5);
  EXPECT_EQ(fig->columns, 5);
  EXPECT_EQ(SetSubplotLayout(fig.get(), 1, 2000000000), kOk);
  EXPECT_EQ(fig->columns, 25);
  fig->maxSubplots = 4;
  EXPECT_EQ(SetSubplotLayout(fig.get(), 3, 3), kOk);
  EXPECT_EQ(fig->rows * fig->columns, 4);
  EXPECT_EQ(SetSubplotLayout(fig.get(), 0, 3), kErrOutOfRangeArg);
  EXPECT_EQ(SetSubplotLayout(fig.get(), 2, -1), kErrOutOfRangeArg);
}

TEST(FigureLayout, SubplotsKeepTheirRowAndColumn) {
  auto fig = NewFigure(1, 2);
  fig->selection = 1;
  ASSERT_EQ(SetSubplotLayout(fig.get(), 2, 2), kOk);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{100, 101, kPlotNone, kPlotNone}));
  EXPECT_EQ(fig->subplots[3].handlers[kHandlerDraw], kNoHandler);
  EXPECT_EQ(fig->selection, 0u);

  fig = NewFigure(2, 1);  // longer rows: records move up
  ASSERT_EQ(SetSubplotLayout(fig.get(), 2, 3), kOk);
  EXPECT_EQ(PlotIds(*fig),
            (std::vector<int32_t>{100, kPlotNone, kPlotNone, 101, kPlotNone, kPlotNone}));
  EXPECT_EQ(fig->springs[3].stiffness[kSpringNear], 1);

  fig = NewFigure(3, 3);  // shorter rows, no selection: the top-left cells stay
  ASSERT_EQ(SetSubplotLayout(fig.get(), 2, 2), kOk);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{100, 101, 103, 104}));
  for (int32_t k = 4; k < kMaxSubplots; ++k) EXPECT_EQ(fig->subplots[k].plotId, kPlotNone);
}

TEST(FigureLayout, ShrinkingWithASelectionKeepsOnlyTheSelected) {
  auto fig = NewFigure(2, 2);
  fig->selection = 0b1010;
  ASSERT_EQ(SetSubplotLayout(fig.get(), 1, 2), kOk);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{101, 103}));
  // One selected in two cells: the other cell is empty, not a copy.
  fig = NewFigure(2, 2);
  fig->selection = 0b1000;
  ASSERT_EQ(SetSubplotLayout(fig.get(), 2, 1), kOk);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{103, kPlotNone}));
}

TEST(FigureLayout, LeavingFreeLayoutPacksEverySubplot) {
  auto fig = NewFigure(3, 1);
  fig->freeLayout = 1;
  ASSERT_EQ(SetSubplotLayout(fig.get(), 3, 1), kOk);  // same size, but free
  EXPECT_EQ(fig->freeLayout, 0);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{100, 101, 102}));
  fig->freeLayout = 1;
  ASSERT_EQ(SetSubplotLayout(fig.get(), 2, 2), kOk);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{100, 101, 102, kPlotNone}));
}

TEST(FigureLayout, GridCellsDivideTheFigure) {
  auto fig = NewFigure(2, 2);
  SetRect(fig->rect, 0, 100, 0, 60);
  ComputeSubplotViewports(fig.get());
  const double* p = fig->subplots[3].position;
  EXPECT_EQ(p[kLeft], 50);
  EXPECT_EQ(p[kRight], 100);
  EXPECT_EQ(p[kTop], 30);
  EXPECT_EQ(p[kBottom], 60);
  SetRect(fig->rect, 0, 100, 60, 0);  // y upward: row 1 is the lower half
  ComputeSubplotViewports(fig.get());
  EXPECT_EQ(fig->subplots[2].position[kTop], 30);
  EXPECT_EQ(fig->subplots[2].position[kBottom], 0);
  double extent[4];
  GetLayoutExtent(*fig, extent);
  EXPECT_EQ(extent[0], 0);
  EXPECT_EQ(extent[1], 100);
  EXPECT_EQ(extent[2], 60);
  EXPECT_EQ(extent[3], 0);
  ResetInstanceSubplots(fig.get());
  EXPECT_EQ(fig->subplots[3].layoutPending, 1);
}

TEST(FigureLayout, PlotIdOfASubplot) {
  EXPECT_EQ(GetSubplotPlotId(nullptr, 0, 0), kPlotIdNoInstance);
  EXPECT_NE(kPlotIdNoInstance, kPlotDefault);
  auto fig = NewFigure(2, 2);
  EXPECT_EQ(GetSubplotPlotId(fig.get(), 1, 1), 103);
  EXPECT_EQ(GetSubplotPlotId(fig.get(), 2, 0), kNoSubplot);
  EXPECT_EQ(GetSubplotPlotId(fig.get(), -1, 0), kNoSubplot);  // nothing selected
  fig->selection = 0b0100;
  EXPECT_EQ(GetSubplotPlotId(fig.get(), -1, 0), 102);
  fig->selection = 0b0110;
  EXPECT_EQ(GetSubplotPlotId(fig.get(), 0, -1), kNoSubplot);  // several
  fig->subplots[0].plotId = kPlotDefault;
  EXPECT_EQ(GetSubplotPlotId(fig.get(), 0, 0), kPlotDefault);
  auto single = NewFigure(1, 1);
  EXPECT_EQ(GetSubplotPlotId(single.get(), -1, -1), 100);
  ClearSubplots(fig.get());
  EXPECT_EQ(PlotIds(*fig), std::vector<int32_t>(4, kPlotNone));
}

TEST(FreeLayout, MakingAndQueryingIt) {
  auto fig = NewFigure(2, 2);
  FakeHost host;
  bool anchored = false;
  bool proportional = false;
  EXPECT_FALSE(QueryFreeLayout(*fig, &anchored, &proportional));
  ASSERT_EQ(MakeLayoutFree(fig.get(), host, false), kOk);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"undo", "save"}));
  EXPECT_EQ(fig->rows, 4);
  EXPECT_EQ(fig->columns, 1);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{100, 101, 102, 103}));
  ASSERT_TRUE(QueryFreeLayout(*fig, &anchored, &proportional));
  EXPECT_TRUE(proportional);
  EXPECT_FALSE(anchored);
  ASSERT_EQ(MakeLayoutFree(fig.get(), host, true), kOk);
  ASSERT_TRUE(QueryFreeLayout(*fig, &anchored, &proportional));
  EXPECT_TRUE(anchored);
  EXPECT_FALSE(proportional);
}

TEST(FreeLayout, SpringsMoveSubplotsWithTheFigure) {
  auto fig = NewFigure(2, 1);
  FakeHost host;
  SetRect(fig->rect, 0, 100, 0, 100);
  SetRect(fig->subplots[0].position, 10, 40, 20, 50);
  SetRect(fig->subplots[1].position, 50, 90, 60, 90);
  MakeLayoutFree(fig.get(), host, false);
  // Proportional: doubling the width doubles every left offset and width.
  ASSERT_EQ(SetFigureRect(fig.get(), host, 0, 200, 0, 100), kOk);
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kLeft], 20);
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kRight], 80);
  EXPECT_DOUBLE_EQ(fig->subplots[1].position[kLeft], 100);
  EXPECT_DOUBLE_EQ(fig->subplots[1].position[kRight], 180);
  EXPECT_DOUBLE_EQ(fig->subplots[1].position[kTop], 60);
  EXPECT_EQ(fig->subplots[1].viewport[kRight], 180);
  EXPECT_TRUE(host.calls.back() != "resize");  // not initialised

  // Anchored: widening leaves the left edges and widths alone; the figure
  // moving right carries them along.
  MakeLayoutFree(fig.get(), host, true);
  host.initialised = true;
  ASSERT_EQ(SetFigureRect(fig.get(), host, 10, 410, 0, 100), kOk);
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kLeft], 30);
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kRight], 90);
  EXPECT_EQ(host.calls.back(), "resize");

  // The same through a resize that reports the old size.
  MakeLayoutFree(fig.get(), host, false);
  SetRect(fig->rect, 10, 810, 0, 100);
  ResizeFreeLayout(fig.get(), 400, 100);
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kLeft], 50);
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kRight], 170);
  ResizeFreeLayout(fig.get(), 800, 100);  // unchanged size: nothing moves
  EXPECT_DOUBLE_EQ(fig->subplots[0].position[kLeft], 50);
}

TEST(FreeLayout, RigidSpringsLeaveEdgesFinite) {
  // A subplot spanning the whole axis with a rigid size: every compliance is
  // 0, so the shares would be 0/0.
  const double rigidSize[3] = {0.5, 1, 0.5};
  SpringShares shares = ComputeSpringShares(0, 100, 100, rigidSize);
  EXPECT_EQ(shares.nearEdge, 0);
  EXPECT_EQ(shares.farEdge, 0);
  // A free near margin of length 0 carries the subplot along unchanged.
  const double freeNear[3] = {0, 0.5, 0.5};
  shares = ComputeSpringShares(0, 100, 100, freeNear);
  EXPECT_EQ(shares.nearEdge, 1);
  EXPECT_EQ(shares.farEdge, 1);
  // Ordinary springs share the change by compliance.
  const double soft[3] = {0.5, 0.5, 0.5};
  shares = ComputeSpringShares(25, 75, 100, soft);
  EXPECT_DOUBLE_EQ(shares.nearEdge, 0.25);
  EXPECT_DOUBLE_EQ(shares.farEdge, 0.75);

  auto fig = NewFigure(1, 1);
  FakeHost host;
  SetRect(fig->rect, 0, 100, 0, 100);
  SetRect(fig->subplots[0].position, 0, 100, 0, 100);
  MakeLayoutFree(fig.get(), host, false);
  std::copy_n(rigidSize, 3, fig->springs[0].stiffness);
  SetFigureRect(fig.get(), host, 0, 300, 0, 100);
  EXPECT_EQ(fig->subplots[0].position[kLeft], 0);
  EXPECT_EQ(fig->subplots[0].position[kRight], 100);
}

TEST(FreeLayout, DeletingSelectedSubplots) {
  auto fig = NewFigure(4, 1);
  fig->freeLayout = 1;
  fig->selection = 0b0110;
  DeleteSelectedSubplots(fig.get());
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{100, 103}));
  EXPECT_EQ(fig->springs[1].stiffness[kSpringNear], 3);  // springs move along
  EXPECT_EQ(fig->selection, 0u);

  fig = NewFigure(3, 1);
  fig->freeLayout = 1;
  fig->selection = 0b111;
  DeleteSelectedSubplots(fig.get());
  EXPECT_EQ(fig->rows, 1);
  EXPECT_EQ(fig->subplots[0].plotId, kPlotNone);
  EXPECT_EQ(fig->subplots[0].handlers[kHandlerMouseDown], kNoHandler);
  EXPECT_EQ(fig->springs[0].stiffness[kSpringNear], 2);  // the last one stayed
}

TEST(FreeLayout, SelectedSubplotsMoveLast) {
  auto fig = NewFigure(2, 2);
  fig->freeLayout = 1;
  fig->selection = 0b0101;
  int32_t tracked = 0;
  MoveSelectedSubplotsLast(fig.get(), &tracked);
  EXPECT_EQ(fig->columns, 1);
  EXPECT_EQ(PlotIds(*fig), (std::vector<int32_t>{101, 103, 100, 102}));
  EXPECT_EQ(fig->selection, 0b1100u);
  EXPECT_EQ(tracked, 2);
  EXPECT_EQ(fig->springs[2].stiffness[kSpringNear], 0);
}

// Two instances; the second (id 7) has plots "alpha" and "beta", a
// language section and a plot without handlers.
struct PlotElements {
  ElementList list;
  uint32_t start = 0;
  int32_t alpha = 0, beta = 0, gamma = 0, section = 0;
  int32_t draw = 0, downAny = 0, downAt5 = 0, overAt3 = 0, out = 0, upInSection = 0;
  int32_t both = 0, scroll = 0;

  PlotElements() {
    const int32_t any = -1, five = 5, three = 3;
    list.Add(kElemInstanceStart, {0, 0});
    list.Add(kElemFigure, ElementList::Text("zero"));
    list.Handler(kElemDraw, 1);
    start = list.Add(kElemInstanceStart, {7, 0});
    auto rel = [&](uint32_t at) { return static_cast<int32_t>(at - start); };
    alpha = rel(list.Add(kElemFigure, ElementList::Text("alpha")));
    draw = rel(list.Handler(kElemDraw, 2)) + 2;
    downAny = rel(list.Handler(kElemMouseDown, 3, &any)) + 3;
    downAt5 = rel(list.Handler(kElemMouseDown, 4, &five)) + 3;
    overAt3 = rel(list.Handler(kElemMouseOver, 5, &three)) + 3;
    out = rel(list.Handler(kElemMouseOut, 6)) + 2;
    section = rel(list.Add(kElemLanguageSection, ElementList::Text("fr")));
    upInSection = rel(list.Handler(kElemMouseUp, 7, &any)) + 3;
    list.Add(kElemLanguageEnd);
    list.Handler(kElemDragOut, 10, &any);  // after a language block: never active
    beta = rel(list.Add(kElemFigure, ElementList::Text("beta")));
    both = rel(list.Handler(kElemDrawAndMouse, 8)) + 2;
    scroll = rel(list.Handler(kElemMouseScroll, 9, &any)) + 3;
    gamma = rel(list.Add(kElemFigure, ElementList::Text("gamma")));
  }
};

TEST(PlotHandlers, HandlersOfAPlotAndTheirTargets) {
  PlotElements e;
  FakeHost host;
  host.view = e.list.View(e.start);
  PlotHandlers h;
  ASSERT_EQ(host.FindPlotHandlers(e.alpha, -1, &h), kOk);
  EXPECT_EQ(h.descriptors[kHandlerDraw], e.draw);
  EXPECT_EQ(h.descriptors[kHandlerMouseDown], e.downAny);
  EXPECT_EQ(h.descriptors[kHandlerMouseOver], kNoHandler);  // targeted elsewhere
  EXPECT_EQ(h.descriptors[kHandlerMouseOut], e.out);
  EXPECT_EQ(h.descriptors[kHandlerMouseUp], kNoHandler);  // another language
  EXPECT_EQ(h.mouseOverTargeted, 0);
  EXPECT_EQ(host.resolved, (std::vector<int32_t>{e.draw, e.downAny, e.out}));

  ASSERT_EQ(host.FindPlotHandlers(e.alpha, 5, &h), kOk);
  EXPECT_EQ(h.descriptors[kHandlerMouseDown], e.downAt5);
  ASSERT_EQ(host.FindPlotHandlers(e.alpha, 3, &h), kOk);
  EXPECT_EQ(h.descriptors[kHandlerMouseOver], e.overAt3);
  EXPECT_EQ(h.mouseOverTargeted, 1);

  host.view = e.list.View(e.start, e.section);
  ASSERT_EQ(host.FindPlotHandlers(e.alpha, -1, &h), kOk);
  EXPECT_EQ(h.descriptors[kHandlerMouseUp], e.upInSection);
  EXPECT_EQ(h.descriptors[kHandlerDragOut], kNoHandler);

  ASSERT_EQ(host.FindPlotHandlers(e.beta, -1, &h), kOk);
  for (int slot = kHandlerDraw; slot <= kHandlerMouseOut; ++slot) {
    EXPECT_EQ(h.descriptors[slot], e.both) << slot;
  }
  EXPECT_EQ(h.descriptors[kHandlerMouseScroll], e.scroll);
  EXPECT_EQ(h.descriptors[kHandlerDragIn], kNoHandler);

  // A failed lookup is reported, with every descriptor still filled.
  host.failingDescriptor = e.both;
  EXPECT_EQ(host.FindPlotHandlers(e.beta, -1, &h), kErrUndefFun);
  EXPECT_EQ(h.descriptors[kHandlerMouseScroll], e.scroll);
}

TEST(PlotHandlers, PlotIdsThatAreNoFigureElement) {
  PlotElements e;
  FakeHost host;
  host.view = e.list.View(e.start);
  PlotHandlers h;
  EXPECT_EQ(host.FindPlotHandlers(kPlotNone, -1, &h), kOk);
  EXPECT_EQ(h.descriptors[kHandlerDraw], kNoHandler);
  EXPECT_EQ(host.FindPlotHandlers(e.draw - 2, -1, &h), kErrUndefElement);   // a draw element
  EXPECT_EQ(host.FindPlotHandlers(e.alpha + 1, -1, &h), kErrUndefElement);  // inside one
  EXPECT_EQ(host.FindPlotHandlers(1 << 30, -1, &h), kErrUndefElement);
  // A list cut short is walked no further than its words.
  ElementListView cut = e.list.View(e.start);
  cut.wordCount = e.start + e.alpha + 4;
  host.view = cut;
  EXPECT_EQ(host.FindPlotHandlers(e.alpha, -1, &h), kErrUndefElement);
}

TEST(PlotHandlers, MouseHandlersAndFigureElements) {
  PlotElements e;
  ElementListView view = e.list.View(e.start);
  FakeHost host;
  host.view = view;
  EXPECT_TRUE(host.PlotHasMouseHandlers(e.alpha));
  EXPECT_TRUE(host.PlotHasMouseHandlers(e.beta));
  EXPECT_FALSE(host.PlotHasMouseHandlers(e.gamma));
  auto fig = NewFigure(1, 1);
  EXPECT_TRUE(HasFigureElements(*fig, view));
  fig->flags = kFigureLayoutLocked;
  EXPECT_FALSE(HasFigureElements(*fig, view));
  ElementList bare;
  bare.Add(kElemInstanceStart, {1, 0});
  bare.Handler(kElemDraw, 1);
  fig->flags = 0;
  EXPECT_FALSE(HasFigureElements(*fig, bare.View(0)));
}

TEST(PlotHandlers, ResettingSubplotsToAPlot) {
  PlotElements e;
  FakeHost host;
  host.view = e.list.View(e.start);
  host.initialised = true;
  auto fig = NewFigure(1, 2);
  fig->subplots[1].scaleState[0] = kScaleFixed;
  ASSERT_EQ(ResetSubplots(fig.get(), host, 0, 1, e.alpha, false), kOk);
  EXPECT_EQ(fig->subplots[1].plotId, e.alpha);
  EXPECT_EQ(Title(fig->subplots[1]), "alpha");
  EXPECT_EQ(fig->subplots[1].handlers[kHandlerMouseDown], e.downAny);
  EXPECT_EQ(fig->subplots[1].scaleState[0], kScaleNone);
  EXPECT_EQ(fig->subplots[0].plotId, 100);
  EXPECT_EQ(host.cleared, (std::vector<int32_t>{1}));
  std::string_view name;
  ASSERT_TRUE(GetPlotName(*fig, host, 0, 1, &name));
  EXPECT_EQ(name, "alpha");

  // The same plot again changes nothing unless forced.
  fig->subplots[1].drawn = 1;
  ResetSubplots(fig.get(), host, 0, 1, e.alpha, false);
  EXPECT_EQ(fig->subplots[1].drawn, 1);
  ResetSubplots(fig.get(), host, 0, 1, e.alpha, true);
  EXPECT_EQ(fig->subplots[1].drawn, 0);

  // Through the selection; the default plot and no plot have fixed titles.
  fig->selection = 0b11;
  ASSERT_EQ(ResetSubplots(fig.get(), host, -1, -1, kPlotDefault, false), kOk);
  EXPECT_EQ(Title(fig->subplots[0]), "???");
  EXPECT_EQ(Title(fig->subplots[1]), "???");
  ResetSubplots(fig.get(), host, 0, 0, kPlotNone, false);
  EXPECT_EQ(Title(fig->subplots[0]), "");
  // A plot without a draw handler gets no name.
  ResetSubplots(fig.get(), host, 0, 0, e.gamma, false);
  EXPECT_EQ(Title(fig->subplots[0]), "");
  EXPECT_FALSE(GetPlotName(*fig, host, 0, 0, &name));

  // A failed update of the plot properties is returned; before the instance
  // is initialised a failed handler lookup is.
  host.clearFailure = kErrUndefVar;
  EXPECT_EQ(ResetSubplots(fig.get(), host, 0, 0, e.beta, false), kErrUndefVar);
  host.initialised = false;
  host.failingDescriptor = e.both;
  EXPECT_EQ(ResetSubplots(fig.get(), host, 0, 1, e.beta, false), kErrUndefFun);
  EXPECT_EQ(ResetSubplots(fig.get(), host, 3, 0, e.beta, false), kErrOutOfRangeArg);
}

}  // namespace
}  // namespace vke
