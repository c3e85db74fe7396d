// The engine facade over a real context: an image loaded from the end of a
// file, the instance's queries, drawing into an off-screen image, a key and
// its undo, the interaction calls not built yet, and a context that could
// not be created.
#include "shell/kv_engine.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "graphics/cairo_target.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/port.hpp"
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
  EXPECT_EQ(engine.HandleFigureKey(id, '+'), kStatusRepaint);
  EXPECT_TRUE(engine.CanUndo(id));
  EXPECT_EQ(engine.Undo(id), kStatusRepaint);
  EXPECT_TRUE(engine.CanRedo(id));
  EXPECT_EQ(engine.RunIdleStep(id, true), kOk);  // nothing pending

  // The mouse reaches the figure: beside the subplots a press finds nothing
  // to do and a hover nothing to show; the cursor query answers a cursor
  // code of the tool under the pointer.
  std::string text = "old";
  EXPECT_EQ(engine.FigureMouseDown(id, 1, 1, false), kStatusNothingDone);
  EXPECT_EQ(engine.FigureMouseHover(id, 1, 1, false, &text), kOk);
  EXPECT_EQ(text, "");
  EXPECT_EQ(engine.FigureMouseUp(id, 1, 1, false), kStatusNothingDone);
  const int32_t cursor = engine.HitTestForCursor(id, 10, 10, false);
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
  EXPECT_EQ(engine.FigureMouseDown(0, 1, 1, false), kStatusNothingDone);
  EXPECT_EQ(engine.FigureMouseDrag(0, 1, 1, false, &text), kStatusNothingDone);
  EXPECT_EQ(engine.HitTestForCursor(0, 1, 1, false), 0);
  EXPECT_FALSE(engine.HandlerBusy());
  EXPECT_FALSE(engine.FindHandlerSlot(0));
  const NumberFormat f = engine.GetNumberFormat();
  EXPECT_EQ(f.type, 'g');
  EXPECT_EQ(f.digits, 4);
  EXPECT_EQ(engine.OnTimer(0), kStatusNothingDone);
}

}  // namespace
}  // namespace vke
