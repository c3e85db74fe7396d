// The engine facade over a real context: an image loaded from the end of a
// file, the instance's queries, drawing into an off-screen image, a key and
// its undo, the application's menus, a handler's failure kept for the
// report, the timed work, a new figure font, and a context that could not
// be created.
#include "shell/kv_engine.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "app/instances.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"
#include "graphics/port.hpp"
#include "graphics/scale.hpp"
#include "graphics/text_field_edit.hpp"
#include "shell/document_commands.hpp"
#include "shell/menu_resources.hpp"
#include "tests/graphics/pixels.hpp"
#include "tests/shell/menu_fakes.hpp"
#include "tests/shell/packed_app.hpp"
#include "tests/shell/temp_home.hpp"

namespace vke {
namespace {

constexpr uint32_t kMemMin = 8290304;
constexpr uint32_t kMemMax = 134217728;

struct Facade : ::testing::Test {
  test::TempHome home;
  KVAppContext context{kMemMin, kMemMax};
  KVEngine engine{context};
  std::string runtime = home.Root() + "/families";

  void SetUp() override {
    ASSERT_TRUE(engine.Created());
    kvpack::ToolHost tool;
    ASSERT_EQ(tool.Create(), kOk);
    ASSERT_NO_FATAL_FAILURE(test::PackApp(&tool, "tests/kvpack/families.kvd"));
    // The image behind a program.
    const std::string program = home.Root() + "/program";
    std::ofstream(program, std::ios::binary) << "\x7F"
                                                "ELF and more";
    ASSERT_EQ(WriteImageFile(tool.block(), "Fam", program.c_str(), runtime.c_str()), kOk);
  }

  // A packed description loaded and drawn into an image of w x h, with the
  // document's commands over it.
  struct Shown {
    std::unique_ptr<CairoTarget> image;
    test::FakeClipboard clipboard;
    test::FakeDocumentHost host;
    std::unique_ptr<DocumentCommands> doc;
  };
  void Show(const std::string& relative, int32_t w, int32_t h, int32_t* id, Shown* shown) {
    ASSERT_NO_FATAL_FAILURE(LoadPacked(relative, id));
    ASSERT_EQ(CairoTarget::CreateImage(w, h, &shown->image), kOk);
    engine.SetGraphicsPort(&ScreenPort(), shown->image.get());
    ASSERT_EQ(engine.SetFigureRect(*id, w, h), kOk);
    shown->host.UseMenuBar(MainMenu());
    shown->doc = std::make_unique<DocumentCommands>(engine, shown->clipboard, shown->host);
    shown->doc->SetInstance(*id);
    shown->doc->UpdateMenus(true);
  }
  void TearDown() override { engine.SetGraphicsPort(nullptr, nullptr); }

  // The shown figure after Reset Data, drawn on white.
  void DrawAfterReset(int32_t id, Shown* shown) {
    shown->doc->Execute(kCmdResetData);
    cairo_t* c = shown->image->context();
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);
    ASSERT_EQ(engine.DrawFigure(id), kOk);
  }

  // Packs a description of the source tree into an image of its own and
  // loads it in place of the families.
  void LoadPacked(const std::string& relative, int32_t* id) {
    kvpack::ToolHost tool;
    ASSERT_EQ(tool.Create(), kOk);
    ASSERT_NO_FATAL_FAILURE(test::PackApp(&tool, relative));
    const std::string image = home.Root() + "/packed";
    ASSERT_EQ(WriteImageFile(tool.block(), "Packed", nullptr, image.c_str()), kOk);
    std::string title;
    ASSERT_EQ(engine.LoadApplication(image, &title), kOk);
    *id = engine.FirstInstance();
  }
};

TEST_F(Facade, LoadsTheImageAndDrawsAndUndoesAKey) {
  std::string title;
  ASSERT_EQ(engine.LoadApplication(runtime, &title), kOk);
  EXPECT_EQ(title, "Fam");
  const int32_t id = engine.FirstInstance();
  EXPECT_TRUE(engine.IsInstanceDefined(id));
  EXPECT_FALSE(engine.IsInstanceDefined(id + 5));
  EXPECT_TRUE(engine.FindHandlerSlot(id));
  EXPECT_EQ(engine.GetText(id, InstanceText::kTitle), "Families");

  std::unique_ptr<CairoTarget> image;
  ASSERT_EQ(CairoTarget::CreateImage(300, 200, &image), kOk);
  InitScreenPortMetrics();
  engine.SetGraphicsPort(&ScreenPort(), image.get());
  EXPECT_EQ(engine.SetFigureRect(id, 300, 200), kOk);
  EXPECT_EQ(engine.RunDrawHandlers(id), kOk);
  engine.DrawFigure(id);

  EXPECT_FALSE(engine.CanUndo(id));
  std::string status;
  EXPECT_EQ(engine.HandleFigureKey(id, '+', &status), kStatusRepaint);
  EXPECT_TRUE(engine.CanUndo(id));
  EXPECT_EQ(engine.Undo(id), kStatusRepaint);
  EXPECT_TRUE(engine.CanRedo(id));
  EXPECT_EQ(engine.RunIdleStep(id, true), kOk);  // nothing pending
  // No thread, no idle handler, no redraw owed: the timers may stop.
  EXPECT_FALSE(engine.HasTimedWork(id));
  FindInstance(context.Block(), id)->redrawPending = 1;
  EXPECT_TRUE(engine.HasTimedWork(id));
  EXPECT_EQ(engine.RunIdleStep(id, true), kStatusRepaint);
  engine.DrawFigure(id);  // the view's paint pays what was owed
  EXPECT_FALSE(engine.HasTimedWork(id));

  // The mouse reaches the figure: beside the subplots a press finds nothing
  // to do and a hover nothing to show; the cursor query answers a cursor
  // code of the tool under the pointer.
  std::string text = "old";
  EXPECT_EQ(engine.Interaction().FigureMouseDown(id, 1, 1, false), kStatusNothingDone);
  EXPECT_EQ(engine.Interaction().FigureMouseHover(id, 1, 1, false, &text), kOk);
  EXPECT_EQ(text, "");
  EXPECT_EQ(engine.Interaction().FigureMouseUp(id, 1, 1, false), kStatusNothingDone);
  const int32_t cursor = engine.Interaction().HitTestForCursor(id, 10, 10, false);
  EXPECT_GE(cursor, 0);
  EXPECT_LE(cursor, 15);
  engine.SetGraphicsPort(nullptr, nullptr);
}

TEST_F(Facade, AFileWithoutAnImageIsReportedWithItsText) {
  const std::string bare = home.Root() + "/bare";
  std::ofstream(bare) << "no image here";
  std::string title;
  const ErrCode e = engine.LoadApplication(bare, &title);
  EXPECT_NE(e, kOk);
  EXPECT_FALSE(engine.ErrorText(e).empty());
  EXPECT_NE(engine.LoadApplication(home.Root() + "/missing", &title), kOk);
  // The empty window's paints and events run nothing and report nothing
  // beside the load error.
  const int32_t id = engine.FirstInstance();
  EXPECT_EQ(engine.RunInitHandler(id), kOk);
  EXPECT_EQ(engine.RunDrawHandlers(id), kOk);
  EXPECT_EQ(engine.RunPostEventHandlers(id), kOk);
  EXPECT_EQ(engine.SetFigureRect(id, 100, 100), kOk);
  EXPECT_EQ(engine.DrawFigure(id), kOk);
  EXPECT_EQ(engine.RunIdleStep(id, true), kOk);
  EXPECT_EQ(engine.OnTimer(id), kOk);
}

TEST_F(Facade, AFailingDrawHandlerIsKeptForTheReportAndTheIdleStepFailsOnce) {
  int32_t id;
  ASSERT_NO_FATAL_FAILURE(LoadPacked("tests/gui/window.kvd", &id));
  std::unique_ptr<CairoTarget> image;
  ASSERT_EQ(CairoTarget::CreateImage(200, 100, &image), kOk);
  engine.SetGraphicsPort(&ScreenPort(), image.get());
  ASSERT_EQ(engine.SetFigureRect(id, 200, 100), kOk);
  ASSERT_EQ(engine.RunDrawHandlers(id), kOk);
  // The key handler's new value makes the draw handler fail; the key asks
  // for a redraw and leaves the failure behind.
  EXPECT_EQ(engine.TakeHandlerFailure(), kOk);
  std::string status;
  EXPECT_EQ(engine.HandleFigureKey(id, 'e', &status), kStatusRepaint);
  const ErrCode failed = engine.TakeHandlerFailure();
  EXPECT_NE(engine.ErrorText(failed).find("The count is negative"), std::string::npos)
      << engine.ErrorText(failed);
  EXPECT_EQ(engine.TakeHandlerFailure(), kOk);
  // A redraw the idle step owes fails once, not on every tick.
  FindInstance(context.Block(), id)->redrawPending = 1;
  EXPECT_EQ(engine.RunIdleStep(id, true), failed);
  EXPECT_EQ(engine.RunIdleStep(id, true), kOk);
  engine.SetGraphicsPort(nullptr, nullptr);
}

// A failed handler leaves no trace in the undo history: Undo and Redo stand
// as before it, and the figure behind the error box is the one drawn before.
TEST_F(Facade, AFailedHandlerLeavesTheUndoHistoryAndTheFigureAsTheyWere) {
  int32_t id;
  Shown shown;
  ASSERT_NO_FATAL_FAILURE(Show("tests/shell/fails.kvd", 300, 200, &id, &shown));
  // As in the window, the handlers run in slices between break tests.
  engine.SetBreakTest([](uintptr_t) { return false; }, 0);
  shown.doc->Execute(kCmdResetData);
  ASSERT_TRUE(shown.host.errors.empty()) << shown.host.errors[0];
  CairoTarget* image = shown.image.get();
  const auto drawn = [&] {
    ObjectSpan span{};
    return ObjectListFind(ObjectList(context.Block()->DataArea()), id, &span);
  };
  ASSERT_TRUE(drawn());
  // Whether the point is painted at (x, y) of the data.
  const auto pointAt = [&](double x, double y) {
    cairo_t* c = image->context();
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_paint(c);
    engine.DrawFigure(id);
    const SubplotRecord& now = FindInstance(context.Block(), id)->figure.subplots[0];
    double X = 0, Y = 0;
    DataToDevice(now, &x, &y, nullptr, 1, &X, &Y, nullptr);
    int ink = 0;
    for (int dy = -4; dy <= 4; ++dy)
      for (int dx = -4; dx <= 4; ++dx)
        ink += test::PixelAt(*image, static_cast<int32_t>(X) + dx, static_cast<int32_t>(Y) + dy) !=
               0xFFFFFF;
    return ink > 0;
  };
  ASSERT_TRUE(pointAt(0.5, 0.5));
  // A drag that fails: its press and its steps leave no version behind.
  const SubplotRecord& s = FindInstance(context.Block(), id)->figure.subplots[0];
  const double half = 0.5, past = 0.9;
  double X = 0, Y = 0, farX = 0;
  DataToDevice(s, &half, &half, nullptr, 1, &X, &Y, nullptr);
  DataToDevice(s, &past, nullptr, nullptr, 1, &farX, nullptr, nullptr);
  std::string text;
  // A drag that succeeds first: one step back, none forward.
  const double near = 0.6;
  double nearX = 0;
  DataToDevice(s, &near, nullptr, nullptr, 1, &nearX, nullptr, nullptr);
  engine.Interaction().FigureMouseDown(id, X, Y, false);
  EXPECT_EQ(engine.Interaction().FigureMouseDrag(id, nearX, Y, false, &text), kStatusRepaint);
  engine.Interaction().FigureMouseUp(id, nearX, Y, false);
  EXPECT_TRUE(engine.CanUndo(id));
  EXPECT_FALSE(engine.CanRedo(id));
  X = nearX;
  engine.Interaction().FigureMouseDown(id, X, Y, false);
  const ErrCode dragged = engine.Interaction().FigureMouseDrag(id, farX, Y, false, &text);
  const ErrCode failure = engine.TakeHandlerFailure();
  EXPECT_NE(engine.ErrorText(dragged == kOk || dragged == kStatusRepaint ? failure : dragged)
                .find("dragged too far"),
            std::string::npos);
  EXPECT_TRUE(pointAt(0.6, 0.5));
  engine.Interaction().FigureMouseUp(id, farX, Y, false);
  EXPECT_TRUE(engine.CanUndo(id));
  EXPECT_FALSE(engine.CanRedo(id));
  // The idle handler fails at its third tick.
  ErrCode rc = kOk;
  for (int tick = 0; tick < 100 && (rc == kOk || rc == kStatusRepaint); ++tick) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    rc = engine.OnTimer(id);
  }
  EXPECT_NE(engine.ErrorText(rc).find("idle failed at tick 3"), std::string::npos)
      << engine.ErrorText(rc);
  EXPECT_TRUE(pointAt(0.6, 0.5));
  EXPECT_TRUE(engine.CanUndo(id));
  EXPECT_FALSE(engine.CanRedo(id));
  EXPECT_FALSE(engine.IdleProcessingEnabled(id));
  // Undo then takes back the good drag alone, and Redo brings it again.
  EXPECT_EQ(engine.Undo(id), kStatusRepaint);
  EXPECT_FALSE(engine.CanUndo(id));
  EXPECT_EQ(engine.Redo(id), kStatusRepaint);
  EXPECT_FALSE(engine.CanRedo(id));
  engine.SetGraphicsPort(nullptr, nullptr);
}

// A field being edited when a command puts other data in place ends without
// handing its text over: Reset Data, Undo and Redo, and the next press
// finds no edit to commit.
TEST_F(Facade, CommandsThatReplaceTheDataDropAFieldsEdit) {
  int32_t id;
  Shown shown;
  ASSERT_NO_FATAL_FAILURE(Show("examples/ode/ode.kvd", 480, 360, &id, &shown));
  DocumentCommands& doc = *shown.doc;
  doc.Execute(kCmdResetData);
  std::string status;
  const FigureState& fig = FindInstance(context.Block(), id)->figure;
  const auto edit = [&](char key) {
    ASSERT_EQ(engine.Interaction().FigureMouseDown(id, 185, 74, false), kStatusRepaint);
    engine.Interaction().FigureMouseUp(id, 185, 74, false);
    ASSERT_GE(fig.editField, 0);
    engine.HandleFigureKey(id, static_cast<uint8_t>(key), &status);
  };
  const auto pressElsewhere = [&] {
    engine.Interaction().FigureMouseDown(id, 400, 300, false);
    engine.Interaction().FigureMouseUp(id, 400, 300, false);
  };
  ASSERT_NO_FATAL_FAILURE(edit('5'));
  doc.Execute(kCmdResetData);
  EXPECT_EQ(fig.editField, -1);
  pressElsewhere();
  EXPECT_FALSE(engine.CanUndo(id)) << "the reset data took the typed length";
  // A length taken, then an edit that Undo and Redo drop.
  ASSERT_NO_FATAL_FAILURE(edit('2'));
  EXPECT_EQ(engine.HandleFigureKey(id, kKeyEnter, &status), kStatusRepaint);
  ASSERT_TRUE(engine.CanUndo(id));
  ASSERT_NO_FATAL_FAILURE(edit('7'));
  EXPECT_EQ(engine.Undo(id), kStatusRepaint);
  EXPECT_EQ(fig.editField, -1);
  ASSERT_NO_FATAL_FAILURE(edit('7'));
  EXPECT_EQ(engine.Redo(id), kStatusRepaint);
  EXPECT_EQ(fig.editField, -1);
  pressElsewhere();
  EXPECT_FALSE(engine.CanRedo(id));
  EXPECT_EQ(engine.Undo(id), kStatusRepaint);
  EXPECT_FALSE(engine.CanUndo(id)) << "an edit was committed after Undo or Redo";
  engine.SetGraphicsPort(nullptr, nullptr);
}

TEST_F(Facade, AnIdleHandlerIsTimedWorkWhileIdleProcessingIsOn) {
  int32_t id;
  ASSERT_NO_FATAL_FAILURE(LoadPacked("examples/demo/demo.kvd", &id));
  EXPECT_TRUE(engine.HasTimedWork(id));
  engine.SetIdleProcessing(id, false);
  EXPECT_FALSE(engine.HasTimedWork(id));
}

// The help command and its window follow the help text: an application
// without one offers no help; one with it shows its text.
TEST_F(Facade, HelpIsOfferedOnlyWithAHelpText) {
  std::string title;
  ASSERT_EQ(engine.LoadApplication(runtime, &title), kOk);
  test::FakeClipboard clipboard;
  test::FakeDocumentHost host;
  DocumentCommands doc(engine, clipboard, host);
  doc.SetInstance(engine.FirstInstance());
  EXPECT_EQ(engine.GetText(engine.FirstInstance(), InstanceText::kHelp), std::nullopt);
  EXPECT_FALSE(doc.Update(kCmdKVFileHelp)->enabled);
  doc.Execute(kCmdKVFileHelp);
  for (const auto& window : host.windows) EXPECT_FALSE(window->shown) << window->title;

  int32_t id;
  ASSERT_NO_FATAL_FAILURE(LoadPacked("examples/demo/demo.kvd", &id));
  test::FakeDocumentHost helped;
  DocumentCommands demo(engine, clipboard, helped);
  demo.SetInstance(id);
  EXPECT_TRUE(demo.Update(kCmdKVFileHelp)->enabled);
  demo.Execute(kCmdKVFileHelp);
  ASSERT_EQ(helped.windows.size(), 1u);
  EXPECT_TRUE(helped.windows[0]->shown);
  EXPECT_NE(helped.windows[0]->text.find("Point"), std::string::npos) << helped.windows[0]->text;
}

// The document's menus over the packed application: its "Count" menu,
// items enabled by "_menuFlags", "Copy As" and "Paste As" through the
// clipboard, a language change that rebuilds the menus, and plot choices.
TEST_F(Facade, TheApplicationsMenusRunItsHandlers) {
  std::string title;
  ASSERT_EQ(engine.LoadApplication(runtime, &title), kOk);
  const int32_t id = engine.FirstInstance();
  test::FakeClipboard clipboard;
  test::FakeDocumentHost host;
  host.UseMenuBar(MainMenu());
  DocumentCommands doc(engine, clipboard, host);
  doc.SetInstance(id);
  doc.FetchInstanceTitle();
  EXPECT_EQ(doc.Title(), "Families");
  doc.UpdateMenus(true);
  EXPECT_EQ(test::Titles(host.bar), "&File,&Edit,Count,&Plots,F&igure,&Layout,&View,&Help");
  const std::string edit = test::Outline(host.bar.children[1]);
  EXPECT_EQ(edit.substr(edit.find("Copy As")),
            "Copy As{Count,Typed},Paste As{Count,Typed,-},Language{English,Francais}");
  EXPECT_EQ(test::Outline(host.bar.children[2]), "Add one,Zero,Mode,Broken");
  // Only "Mode" has a checked expression: the others are plain items.
  std::string checks;
  for (const MenuNode& item : host.bar.children[2].children)
    checks += item.kind == MenuItemKind::kCheck ? 'c' : '.';
  EXPECT_EQ(checks, "..c.");

  doc.Execute(kCmdResetData);
  EXPECT_FALSE(doc.Update(kKVMenuFirstId + 1)->enabled);  // "Zero" while count is 0
  doc.Execute(kKVMenuFirstId);                            // "Add one"
  EXPECT_TRUE(doc.Update(kKVMenuFirstId + 1)->enabled);
  doc.Execute(kCopyAsFirstId);
  EXPECT_EQ(clipboard.text, "1\n");
  clipboard.text = "41";
  doc.Execute(kPasteAsFirstId);
  doc.Execute(kCopyAsFirstId);
  EXPECT_EQ(clipboard.text, "41\n");
  EXPECT_TRUE(host.errors.empty()) << host.errors[0];

  // The second language: the instance changed, the menus are built again.
  EXPECT_EQ(doc.Update(kLanguageFirstId + 1)->check, CheckMark::kOff);
  doc.Execute(kLanguageFirstId + 1);
  EXPECT_EQ(doc.Update(kLanguageFirstId + 1)->check, CheckMark::kOn);
  EXPECT_EQ(host.title, "Families");

  // The plot choice "Counter" on the only subplot; "&Remove" empties it.
  EXPECT_EQ(test::Outline(host.bar.children[3]), "&Remove,-,Counter");
  EXPECT_EQ(doc.Update(kFirstPlotId)->check, CheckMark::kOn);
  doc.Execute(kRemovePlotId);
  EXPECT_EQ(doc.Update(kFirstPlotId)->check, CheckMark::kOff);
  doc.Execute(kFirstPlotId);
  EXPECT_EQ(doc.Update(kFirstPlotId)->check, CheckMark::kOn);
  EXPECT_TRUE(host.errors.empty()) << host.errors[0];
}

// What failed and where: an error box carries the engine's whole message
// (the undefined name, the variable indexed) and the place as the source
// file and its line; a draw handler that fails after a menu item reports
// once.
TEST_F(Facade, ErrorBoxesSayWhatFailedWhereAndOnce) {
  int32_t id;
  Shown shown;
  ASSERT_NO_FATAL_FAILURE(Show("tests/shell/errors.kvd", 200, 100, &id, &shown));
  DocumentCommands& doc = *shown.doc;
  test::FakeDocumentHost& host = shown.host;
  ASSERT_EQ(test::Outline(host.bar.children[2]), "Undefined,Index,Break drawing");
  doc.Execute(kCmdResetData);
  ASSERT_TRUE(host.errors.empty()) << host.errors[0];

  doc.Execute(kKVMenuFirstId);
  doc.Execute(kKVMenuFirstId + 1);
  doc.Execute(kKVMenuFirstId + 2);
  doc.Execute(kCmdResetData);
  EXPECT_EQ(host.errors,
            (std::vector<std::string>{
                "Menu error: Undefined function or variable 'nosuchthing' (errors.vke, line 9)",
                "Menu error: Index out of range for variable 'v' (errors.vke, line 13)",
                "Menu error: Index out of range for variable 'q' (errors.vke, line 22)",
            }));
  engine.SetGraphicsPort(nullptr, nullptr);
}

// A larger figure font widens the margins at once: the y tick labels'
// ink stays inside the figure, clear of its left edge.
TEST_F(Facade, ANewFigureFontMeasuresTheMarginsAgain) {
  int32_t id;
  ASSERT_NO_FATAL_FAILURE(LoadPacked("tests/shell/labels.kvd", &id));
  InitScreenPortMetrics();
  // A paint on an image of its own, as the view's, in the current font:
  // the leftmost column with dark ink.
  const auto leftInk = [&] {
    std::unique_ptr<CairoTarget> image;
    EXPECT_EQ(CairoTarget::CreateImage(400, 300, &image), kOk);
    if (!image) return -1;
    cairo_t* cr = image->context();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    engine.SetGraphicsPort(&ScreenPort(), image.get());
    engine.DrawFigure(id);
    engine.SetGraphicsPort(nullptr, nullptr);
    cairo_surface_flush(image->surface());
    const unsigned char* data = cairo_image_surface_get_data(image->surface());
    const int stride = cairo_image_surface_get_stride(image->surface());
    int32_t first = image->width();
    for (int32_t y = 0; y < image->height(); ++y)
      for (int32_t x = 0; x < first; ++x)
        if ((Load<uint32_t>(data + y * stride + x * 4) & 0xFF) < 0x80) first = x;
    return first;
  };
  SetPortFont("Sans", 11, 0);
  ASSERT_EQ(engine.SetFigureRect(id, 400, 300), kOk);
  ASSERT_EQ(engine.RunDrawHandlers(id), kOk);
  EXPECT_GT(leftInk(), 0);
  SetPortFont("Sans", 30, 0);
  engine.RemeasureFigureMargins();
  EXPECT_GT(leftInk(), 0);
  SetPortFont(kDefaultFigureFontName, kDefaultFigureFontSize, 0);
  engine.RemeasureFigureMargins();
}

// Whether pixel (x, y) of the image is dark ink: text, not the grey, the
// white or a plot's colour.
bool DarkInk(CairoTarget& image, int32_t x, int32_t y) {
  const uint32_t rgb = test::PixelAt(image, x, y);
  return ((rgb >> 16) & 0xFF) < 0x90 && ((rgb >> 8) & 0xFF) < 0x90 && (rgb & 0xFF) < 0x90;
}

// Long axis labels and log tick labels in a 2 x 2 figure of the window's
// first size: every text stays whole inside its cell, clear of the
// figure's left edge and of the cell beside it.
TEST_F(Facade, AxisLabelsStayWholeInsideTheirCells) {
  int32_t id;
  Shown shown;
  ASSERT_NO_FATAL_FAILURE(Show("tests/shell/long_labels.kvd", 640, 380, &id, &shown));
  ASSERT_NO_FATAL_FAILURE(DrawAfterReset(id, &shown));
  CairoTarget& image = *shown.image;
  const FigureState& fig = FindInstance(context.Block(), id)->figure;
  ASSERT_EQ(ActiveSubplotCount(fig), 4);
  for (int32_t k = 0; k < 4; ++k) {
    const double* p = fig.subplots[k].position;
    const auto left = static_cast<int32_t>(std::lround(p[kLeft]));
    const auto right = static_cast<int32_t>(std::lround(p[kRight])) - 1;
    int32_t cut = 0;
    for (auto y = static_cast<int32_t>(p[kTop]); y < static_cast<int32_t>(p[kBottom]); ++y)
      cut += DarkInk(image, left, y) + DarkInk(image, right, y);
    EXPECT_EQ(cut, 0) << "subplot " << k << ": text at the cell's edge";
  }
}

// The pendulum in the figure of a window of 338 x 215 (2 x 2 cells 63
// pixels high): its panel scrolls, and its first row, the length's label
// and field, shows whole: the field's top and bottom borders are drawn.
TEST_F(Facade, TheFirstRowOfASmallPanelShowsWhole) {
  InitScreenPortMetrics();
  int32_t id;
  Shown shown;
  ASSERT_NO_FATAL_FAILURE(Show("examples/ode/ode.kvd", 338, 126, &id, &shown));
  ASSERT_NO_FATAL_FAILURE(DrawAfterReset(id, &shown));
  CairoTarget& image = *shown.image;
  // Rows of the panel's cell with a dark run as long as a field's border
  // where the fields stand.
  int borders = 0;
  for (int32_t y = 0; y < 63; ++y) {
    int32_t run = 0;
    int32_t longest = 0;
    for (int32_t x = 110; x < 169; ++x) {
      run = DarkInk(image, x, y) ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    borders += longest >= 30;
  }
  EXPECT_EQ(borders, 2);
  ScreenPort().metrics = kScreenStartMetrics;
}

class NoMemory : public BlockMemory {
 public:
  void* Allocate(size_t) override { return nullptr; }
  void* Reallocate(void*, size_t) override { return nullptr; }
  void Free(void*) override {}
};

TEST(FacadeWithoutContext, AnswersTheCreationErrorAndNoEngine) {
  NoMemory memory;
  KVAppContext context(kMemMin, kMemMax, memory);
  KVEngine engine(context);
  ASSERT_FALSE(engine.Created());
  std::string title;
  EXPECT_EQ(engine.LoadApplication("/proc/self/exe", &title), context.CreationError());
  EXPECT_EQ(engine.ErrorText(context.CreationError()), "Too small KV buffer");
  std::string text;
  EXPECT_EQ(engine.Interaction().FigureMouseDown(0, 1, 1, false), kStatusNothingDone);
  EXPECT_EQ(engine.Interaction().FigureMouseDrag(0, 1, 1, false, &text), kStatusNothingDone);
  EXPECT_EQ(engine.Interaction().HitTestForCursor(0, 1, 1, false), 0);
  EXPECT_FALSE(engine.HandlerBusy());
  EXPECT_FALSE(engine.FindHandlerSlot(0));
  const NumberFormat f = engine.GetNumberFormat();
  EXPECT_EQ(f.type, 'g');
  EXPECT_EQ(f.digits, 4);
  EXPECT_EQ(engine.OnTimer(0), kStatusNothingDone);
}

}  // namespace
}  // namespace vke
