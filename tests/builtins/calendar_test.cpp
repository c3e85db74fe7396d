// Julian dates both ways, and the clock over a fake wall clock and elapsed
// time: one instant per row, steady within the process.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <utility>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "platform/core/local_clock.hpp"
#include "tests/host/eval_fixture.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class Calendar : public EvalFixture {};

TEST_F(Calendar, JulianDatesBothWays) {
  EXPECT_EQ(Eval("cal2julian(2000, 1, 1, 12)"), "2451545");
  EXPECT_EQ(Eval("cal2julian([2000 1 1])"), "2451544.5");
  EXPECT_EQ(Eval("cal2julian(2000, 1)"), "2451544.5");
  EXPECT_EQ(Eval("cal2julian([2000 1 1 18 0 0])"), "2451545.25");
  EXPECT_EQ(Eval("julian2cal(2451545)"), "[2000,1,1,12,0,0]");
  EXPECT_EQ(Eval("julian2cal(2451544.5)"), "[2000,1,1,0,0,0]");
  EXPECT_EQ(Eval("julian2cal(cal2julian(1969, 7, 20, 20, 17, 40.5))"), "[1969,7,20,20,17,40.5]");
  EXPECT_EQ(Eval("[y, m, d] = julian2cal(2451545); [y m d]"), "[2000,1,1]");
  EXPECT_EQ(Eval("julian2cal(nan)"), "[NaN,NaN,NaN,NaN,NaN,NaN]");
  EXPECT_EQ(Eval("cal2julian([nan 1 1])"), "NaN");
  EXPECT_EQ(Eval("cal2julian([1e300 1 1])"), "NaN");
}

TEST_F(Calendar, TimesOfDayCarryInsteadOfShowingSixtySeconds) {
  EXPECT_EQ(Eval("julian2cal(cal2julian(2000, 1, 1, 0, 1, 0))"), "[2000,1,1,0,1,0]");
  // A time within half a tick of midnight carries into the next day, month
  // and year.
  EXPECT_EQ(Eval("julian2cal(cal2julian(1999, 12, 31, 23, 59, 59.99999))"), "[2000,1,1,0,0,0]");
  EXPECT_EQ(Eval("julian2cal(cal2julian(2024, 2, 29, 23, 59, 59.99999))"), "[2024,3,1,0,0,0]");
  EXPECT_EQ(Eval("julian2cal(cal2julian(2024, 2, 29, 23, 59, 59.9999))"),
            "[2024,2,29,23,59,59.9999]");
  // Whole-minute times over two centuries, January and February included,
  // come back as they went in.
  EXPECT_EQ(Eval("bad = 0; for k = 0:999, c = [1900 + mod(k * 37, 201), 1 + mod(k, 12), "
                 "1 + mod(k * 7, 28), mod(k * 5, 24), mod(k * 13, 60), 0]; "
                 "bad = bad + any(julian2cal(cal2julian(c)) ~= c); end; bad"),
            "0");
}

// January and February count as months 13 and 14 of the year before: each
// of their days, and the days around the leap day, come back as they went.
TEST_F(Calendar, JanuaryAndFebruaryRoundTrip) {
  for (const int year : {-4712, 1, 1582, 1900, 2000, 2023, 2024, 2100}) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    for (const auto& [month, day] : {std::pair{1, 1}, {1, 31}, {2, 1}, {2, 28}, {2, 29}, {3, 1}}) {
      if (month == 2 && day == 29 && !leap) continue;
      const std::string date =
          std::to_string(year) + "," + std::to_string(month) + "," + std::to_string(day);
      EXPECT_EQ(Eval("julian2cal(cal2julian(" + date + "))"), "[" + date + ",0,0,0]");
      EXPECT_EQ(Eval("julian2cal(cal2julian(" + date + ", 12))"), "[" + date + ",12,0,0]");
    }
    EXPECT_EQ(Eval("cal2julian(" + std::to_string(year) + ", 3, 1) - cal2julian(" +
                   std::to_string(year) + ", 2, 28)"),
              leap ? "2" : "1")
        << year;
  }
}

TEST_F(Calendar, BadArguments) {
  EXPECT_EQ(Eval("cal2julian([2000 1])"), "error 21");
  EXPECT_EQ(Eval("cal2julian(2000.5, 1)"), "error 102");
  EXPECT_EQ(Eval("cal2julian(2000, [1 2])"), "error 104");
  EXPECT_EQ(Eval("cal2julian({2000}, 1)"), "error 44");
  EXPECT_EQ(Eval("julian2cal(1 + 2i)"), "error 44");
}

double g_wall = 0;
double g_elapsed = 0;

// The wall-clock instant of a local time.
double LocalInstant(int year, int month, int day, int hour, int minute, int second) {
  tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return static_cast<double>(mktime(&t));
}

class Clock : public Calendar {
 protected:
  Clock() {
    SetClockSourcesForTesting([] { return g_wall; }, [] { return g_elapsed; });
    ResetClockAnchorForTesting();
  }
  ~Clock() override {
    SetClockSourcesForTesting(nullptr, nullptr);
    ResetClockAnchorForTesting();
  }
  std::vector<double> Row() {
    EXPECT_EQ(ClockNative(ctx, 0, 1, 0), kOk);
    return PopNumbers(ctx);
  }
};

TEST_F(Clock, EveryFieldComesFromOneInstant) {
  g_wall = LocalInstant(2024, 1, 31, 23, 59, 59) + 0.25;
  g_elapsed = 500;
  using Fields = std::vector<double>;
  EXPECT_EQ(Row(), (Fields{2024, 1, 31, 23, 59, 59.25}));
  // Past midnight at the month's end: the next month's first day.
  g_elapsed += 1;
  EXPECT_EQ(Row(), (Fields{2024, 2, 1, 0, 0, 0.25}));
  // The wall clock set back is not followed; the elapsed time is.
  g_wall -= 86400 * 40;
  g_elapsed += 60;
  EXPECT_EQ(Row(), (Fields{2024, 2, 1, 0, 1, 0.25}));
  // The end of a year.
  ResetClockAnchorForTesting();
  g_wall = LocalInstant(2023, 12, 31, 23, 59, 59);
  EXPECT_EQ(Row(), (Fields{2023, 12, 31, 23, 59, 59}));
  g_elapsed += 1.5;
  EXPECT_EQ(Row(), (Fields{2024, 1, 1, 0, 0, 0.5}));
}

TEST_F(Clock, TheSystemClockGivesAValidDate) {
  SetClockSourcesForTesting(nullptr, nullptr);
  EXPECT_EQ(Eval("size(clock)"), "[1,6]");
  const std::vector<double> row = Row();
  ASSERT_EQ(row.size(), 6u);
  EXPECT_GE(row[0], 2020);
  EXPECT_TRUE(row[1] >= 1 && row[1] <= 12);
  EXPECT_TRUE(row[2] >= 1 && row[2] <= 31);
  EXPECT_TRUE(row[3] >= 0 && row[3] < 24);
  EXPECT_TRUE(row[4] >= 0 && row[4] < 60);
  EXPECT_TRUE(row[5] >= 0 && row[5] < 61);
}

}  // namespace
}  // namespace vke
