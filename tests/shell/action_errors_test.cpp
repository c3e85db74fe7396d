// The window's error reports without a window: which codes are errors, the
// text a box and standard error get, and one box at a time.
#include "shell/action_errors.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/errors.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::NiceMock;
using ::testing::Return;

class ListBox : public ErrorBox {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// Standard error as a string.
class Log {
 public:
  Log() : file_(open_memstream(&text_, &size_)) {}
  ~Log() {
    std::fclose(file_);
    std::free(text_);
  }
  std::FILE* file() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(text_, size_);
  }

 private:
  char* text_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

struct Reports : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  ListBox box;
  Log log;
  ActionErrors errors{engine, box, "demo", log.file()};
};

TEST_F(Reports, StatusesBreaksAndCancelsAreNoErrors) {
  for (ErrCode code : std::initializer_list<ErrCode>{
           kOk, kStatusNothingDone, kStatusRepaint, kStatusInstanceChanged, kStatusMoveDropped,
           kStatusNoPrint, kStatusSuspended, kStatusHalted})
    EXPECT_FALSE(errors.Report(code)) << code;
  EXPECT_TRUE(box.shown.empty());
  EXPECT_EQ(log.Text(), "");
}

TEST_F(Reports, AnErrorGoesToTheBoxAndToStandardErrorOnce) {
  EXPECT_CALL(engine, ErrorText(kKvVarNotFound)).WillOnce(Return("Variable not found (line 3)"));
  EXPECT_TRUE(errors.Report(kKvVarNotFound));
  EXPECT_THAT(box.shown, ::testing::ElementsAre("Variable not found (line 3)"));
  EXPECT_EQ(log.Text(), "demo: Variable not found (line 3)\n");
}

TEST_F(Reports, AHandlerFailureBehindARedrawIsReportedAndTaken) {
  EXPECT_CALL(engine, TakeHandlerFailure()).WillOnce(Return(10)).WillRepeatedly(Return(kOk));
  EXPECT_CALL(engine, ErrorText(10)).WillOnce(Return("The count is negative"));
  EXPECT_TRUE(errors.Report(kStatusRepaint));
  errors.BoxClosed();
  EXPECT_FALSE(errors.Report(kStatusRepaint));
  EXPECT_THAT(box.shown, ::testing::ElementsAre("The count is negative"));
}

TEST_F(Reports, TheActionsOwnErrorComesBeforeAHandlersAndBothAreTaken) {
  EXPECT_CALL(engine, TakeHandlerFailure()).WillOnce(Return(10)).WillRepeatedly(Return(kOk));
  ON_CALL(engine, ErrorText).WillByDefault([](ErrCode code) { return std::to_string(code); });
  EXPECT_TRUE(errors.Report(kKvUndefElement));
  errors.BoxClosed();
  EXPECT_FALSE(errors.Report(kOk));
  EXPECT_THAT(box.shown, ::testing::ElementsAre("10040"));
}

TEST_F(Reports, AnErrorWithoutTextShowsTheFallbackOrItsCode) {
  ON_CALL(engine, ErrorText).WillByDefault(Return(""));
  errors.Report(77, "Menu error");
  errors.BoxClosed();
  errors.Report(78);
  EXPECT_THAT(box.shown, ::testing::ElementsAre("Menu error", "Error 78"));
}

TEST_F(Reports, WhileABoxIsOpenFurtherErrorsReachStandardErrorOnly) {
  ON_CALL(engine, ErrorText).WillByDefault([](ErrCode code) { return std::to_string(code); });
  errors.Report(21);
  errors.Report(22);
  errors.ReportText("no application");
  EXPECT_THAT(box.shown, ::testing::ElementsAre("21"));
  errors.BoxClosed();
  errors.Report(23);
  EXPECT_THAT(box.shown, ::testing::ElementsAre("21", "23"));
  EXPECT_EQ(log.Text(), "demo: 21\ndemo: 22\ndemo: no application\ndemo: 23\n");
}

}  // namespace
}  // namespace vke
