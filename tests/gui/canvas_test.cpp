// The figure's window against a mocked engine, driven by simulated input:
// a drag reaches press, drag and release with the pixel point and the Shift
// bit, holds the mouse meanwhile and shows its text; resizing runs the draw
// handlers once per size and reports their failure once per size, keys
// report their handlers' errors; a second document is never made.
#include <gmock/gmock.h>
#include <wx/uiaction.h>

#include "app/errors.hpp"
#include "graphics/figure_codes.hpp"
#include "shell/window/kv_windows.hpp"
#include "tests/gui/gui_env.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgPointee;

constexpr int32_t kInstance = 3;

class Host : public CanvasHost {
 public:
  explicit Host(wxFrame*& frame) : frame_(frame) {}
  int32_t Instance() const override { return kInstance; }
  void ShowStatus(const wxString& text) override { frame_->SetStatusText(text, 0); }
  bool ModalOpen() const override { return false; }
  void ReportError(ErrCode code) override {
    if (code != kOk && code != kStatusRepaint) reported.push_back(code);
  }
  std::vector<ErrCode> reported;

 private:
  wxFrame*& frame_;
};

struct Canvas : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  wxFrame* frame = nullptr;
  Host host{frame};
  KVCanvas* canvas = nullptr;

  void SetUp() override {
    VKE_REQUIRE_GUI();
    ON_CALL(engine, Created()).WillByDefault(Return(true));
    frame = new wxFrame(nullptr, wxID_ANY, "Canvas", wxPoint(50, 50), wxSize(400, 300));
    frame->CreateStatusBar(2);
    canvas = new KVCanvas(frame, engine, host);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(canvas, 1, wxEXPAND);
    frame->SetSizer(sizer);
    frame->Show();
    test::PumpUntil([&] { return canvas->IsShownOnScreen() && canvas->GetClientSize().y > 0; });
    test::Pump(100);
  }
  void TearDown() override {
    if (frame) frame->Destroy();
    test::Pump(50);
  }
};

// Each step waits for the event it sent to have arrived.
TEST_F(Canvas, DragReachesTheFigureWithCaptureAndStatusText) {
  bool capturedWhileDragging = false;
  bool dragged = false, released = false;
  EXPECT_CALL(engine.interaction, FigureMouseDown(kInstance, 40.0, 50.0, false))
      .WillOnce(Return(kOk));
  EXPECT_CALL(engine.interaction, FigureMouseDrag(kInstance, _, _, true, _))
      .WillRepeatedly([&](int32_t, double, double, bool, std::string* text) {
        capturedWhileDragging = canvas->HasCapture();
        dragged = true;
        *text = "x = 0.25";
        return kStatusRepaint;
      });
  EXPECT_CALL(engine.interaction, FigureMouseUp(kInstance, 90.0, 80.0, true))
      .WillOnce([&](int32_t, double, double, bool) {
        released = true;
        return kOk;
      });

  wxUIActionSimulator sim;
  sim.MouseMove(canvas->ClientToScreen(wxPoint(40, 50)));
  test::Pump(100);
  sim.MouseDown();
  EXPECT_TRUE(test::PumpUntil([&] { return canvas->HasCapture(); }));
  sim.KeyDown(WXK_SHIFT);
  test::Pump(50);
  sim.MouseMove(canvas->ClientToScreen(wxPoint(90, 80)));
  EXPECT_TRUE(test::PumpUntil([&] { return dragged; }));
  sim.MouseUp();
  EXPECT_TRUE(test::PumpUntil([&] { return released; }));
  sim.KeyUp(WXK_SHIFT);
  test::Pump(50);
  EXPECT_TRUE(capturedWhileDragging);
  EXPECT_FALSE(canvas->HasCapture());
  EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "x = 0.25");
}

TEST_F(Canvas, ResizingRunsTheDrawHandlersOncePerSize) {
  int runs = 0;
  EXPECT_CALL(engine, RunDrawHandlers(kInstance)).Times(2).WillRepeatedly([&](int32_t) {
    runs++;
    return kOk;
  });
  EXPECT_CALL(engine, SetFigureRect(kInstance, _, _)).Times(2);
  frame->SetSize(500, 400);
  EXPECT_TRUE(test::PumpUntil([&] { return runs == 1; }));
  canvas->Refresh();
  test::Pump(100);
  canvas->DrawNowFromHere();
  frame->SetSize(450, 350);
  EXPECT_TRUE(test::PumpUntil([&] { return runs == 2; }));
  canvas->Refresh();
  test::Pump(100);
}

TEST_F(Canvas, AFailingDrawIsReportedOncePerSizeAndNotOnRepaints) {
  ON_CALL(engine, RunDrawHandlers(kInstance)).WillByDefault(Return(25));
  frame->SetSize(500, 400);
  test::PumpUntil([&] { return !host.reported.empty(); });
  for (int k = 0; k < 3; k++) {
    canvas->DrawNowFromHere();
    test::Pump(50);
  }
  EXPECT_THAT(host.reported, ::testing::ElementsAre(25));
  frame->SetSize(450, 350);
  test::PumpUntil([&] { return host.reported.size() >= 2; });
  EXPECT_THAT(host.reported, ::testing::ElementsAre(25, 25));
}

TEST_F(Canvas, KeysReportTheirHandlersErrorsButNotKeysWithoutUse) {
  EXPECT_CALL(engine, HandleFigureKey(kInstance, 'a', _)).WillOnce(Return(kKvUndefElement));
  EXPECT_CALL(engine, HandleFigureKey(kInstance, 'b', _)).WillOnce(Return(kKvVarNotFound));
  EXPECT_CALL(engine, HandleFigureKey(kInstance, 0xF700u, _)).WillOnce(Return(kErrNotSupported));
  // Enter commits a text field whose handler says why it refused.
  EXPECT_CALL(engine, HandleFigureKey(kInstance, 13u, _))
      .WillOnce(DoAll(SetArgPointee<2>(std::string("refused")), Return(kStatusRepaint)));
  canvas->SetFocus();
  test::PumpUntil([&] { return canvas->HasFocus(); });
  wxUIActionSimulator sim;
  sim.Char('a');
  sim.Char('b');
  sim.Char(WXK_UP);
  sim.Char(WXK_RETURN);
  test::PumpUntil([&] { return frame->GetStatusBar()->GetStatusText(0) == "refused"; });
  EXPECT_THAT(host.reported, ::testing::ElementsAre(kKvVarNotFound, kErrNotSupported));
  EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "refused");
}

TEST_F(Canvas, TheContextMenuSelectsTheSubplotUnderThePointer) {
  EXPECT_CALL(engine.interaction, FigureSelectClick(kInstance, 60.0, 70.0)).WillOnce(Return(kOk));
  bool shown = false;
  wxUIActionSimulator sim;
  sim.MouseMove(canvas->ClientToScreen(wxPoint(60, 70)));
  test::Pump(100);
  // The menu runs until it is dismissed.
  wxTheApp->CallAfter([&] {
    shown = true;
    wxUIActionSimulator().Char(WXK_ESCAPE);
  });
  sim.MouseClick(wxMOUSE_BTN_RIGHT);
  EXPECT_TRUE(test::PumpUntil([&] { return shown; }));
}

// A document of the test's own, with a view that draws nothing.
class PlainDoc : public wxDocument {
  wxDECLARE_DYNAMIC_CLASS(PlainDoc);
};
wxIMPLEMENT_DYNAMIC_CLASS(PlainDoc, wxDocument);
class PlainView : public wxView {
 public:
  void OnDraw(wxDC*) override {}
  wxDECLARE_DYNAMIC_CLASS(PlainView);
};
wxIMPLEMENT_DYNAMIC_CLASS(PlainView, wxView);

TEST(Documents, OpeningOrDroppingNeverReplacesTheFirst) {
  VKE_REQUIRE_GUI();
  OneDocumentManager manager;
  new wxDocTemplate(&manager, "KV File", "*.kv", "", "kv", "KV Document", "KV View",
                    CLASSINFO(PlainDoc), CLASSINFO(PlainView));
  wxDocument* first = manager.CreateDocument(wxString(), wxDOC_NEW);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(manager.CreateDocument("/tmp/other.kv", wxDOC_SILENT), nullptr);
  EXPECT_EQ(manager.CreateDocument(wxString(), wxDOC_NEW), nullptr);
  EXPECT_EQ(manager.GetDocuments().GetCount(), 1u);
  EXPECT_EQ(manager.GetCurrentDocument(), first);
  manager.CloseDocuments(true);
}

}  // namespace
}  // namespace vke
