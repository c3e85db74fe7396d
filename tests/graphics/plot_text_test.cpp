// The plot natives called from VKE text run as draw handlers: the payload a
// plot leaves, styles and ids from the text, one group per subplot, loops
// that draw, the errors a handler sees (and may catch) and the store that
// does not take a command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/errors.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/host/figure_harness.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using Doubles = std::vector<double>;

TEST(PlotText, APlotLeavesItsCommandAndLimits) {
  FigureHarness h;
  ASSERT_EQ(h.Draw(0, "plot([1 2 3])"), kOk);
  ASSERT_EQ(h.Close(), kOk);
  EXPECT_EQ(h.Payload(), (Doubles{70, -1, -1, 0, 0, 1, 0, 1, -1, 1, 8, 0, 7, 3, 1, 2, 3, 1, 2, 3}));
  const SubplotRecord& s = h.subplot(0);
  EXPECT_EQ((Doubles{s.limits[0], s.limits[3], s.limits[1], s.limits[4]}), (Doubles{1, 3, 1, 3}));
  EXPECT_EQ(h.TakeOutput(), "");
}

TEST(PlotText, StylesIdsAndOneGroupPerSubplot) {
  FigureHarness h(1, 2);
  ASSERT_EQ(h.Draw(0,
                   "x = 0:2;\n"
                   "plot(x, x .^ 2, 'r', 5);\n"
                   "for k = 1:3\n"
                   "  line([1 1], k);\n"
                   "end"),
            kOk);
  ASSERT_EQ(h.Draw(1, "bar([3 1 2]);\ncircle(0, 0, 1);"), kOk);
  ASSERT_EQ(h.Close(), kOk);
  const auto first = h.Commands(0);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0].header.id, 5);
  EXPECT_EQ(first[0].header.colour, 0xFF0000u);
  EXPECT_EQ(first[0].data, (Doubles{3, 0, 1, 2, 0, 1, 4}));
  for (size_t k = 1; k < first.size(); k++) EXPECT_EQ(first[k].header.code, first[1].header.code);
  const auto second = h.Commands(1);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_NE(second[0].header.code, second[1].header.code);
}

TEST(PlotText, ErrorsReachTheHandler) {
  FigureHarness h;
  // Caught inside the handler: the run goes on and draws.
  ASSERT_EQ(h.Draw(0,
                   "try\n  plot({1});\ncatch\n  disp(lasterror().identifier);\nend\n"
                   "try\n  plot([1 2], 'z');\ncatch\n  disp(lasterror().identifier);\nend\n"
                   "try\n  plot([1 2], [1 2 3]);\ncatch\n  disp(lasterror().identifier);\nend\n"
                   "plot(1);"),
            kOk);
  EXPECT_EQ(h.TakeOutput(), "VKE:wrongType\nVKE:unknownOpt\nVKE:incompSize\n");
  EXPECT_EQ(h.Commands(0).size(), 1u);
  ASSERT_EQ(h.Close(), kOk);

  // Not caught: the handler ends with the native's code and its message.
  EXPECT_EQ(h.Draw(0, "plot([1 2], 'q');"), kErrUnknownOpt);
  EXPECT_NE(h.TakeOutput().find("Unknown option"), std::string::npos);
  ASSERT_EQ(h.Close(), kOk);

  // Outside any subplot the natives have no figure to draw in.
  EXPECT_EQ(h.Draw(-1, "plot(1);"), kErrBadContext);
  EXPECT_NE(h.TakeOutput().find("Bad context"), std::string::npos);
}

TEST(PlotText, AFullStoreTakesNothing) {
  FigureHarness h;
  h.Open();
  h.LimitRoom(kObjectBeginDoubles + 10);
  EXPECT_EQ(h.Draw(0, "plot(1:10);"), kKvPlotOverflow);
  EXPECT_EQ(h.used(), kObjectBeginDoubles);
  EXPECT_EQ(h.TakeOutput().substr(0, 26), "Not enough memory for plot");
  // A handler that catches it draws what still fits (a line takes 9).
  h.LimitRoom(kObjectBeginDoubles + 9);
  ASSERT_EQ(h.Draw(0, "try\n  plot(1:10);\ncatch\n  line([1 1], 2);\nend"), kOk);
  EXPECT_EQ(h.used(), 2 * kObjectBeginDoubles + 9);
}

}  // namespace
}  // namespace vke
