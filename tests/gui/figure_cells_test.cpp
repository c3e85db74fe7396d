// Figures in the runtime's window, read from its pictures: a 3-D subplot
// in a small cell of a three by three layout shows its surface, a subplot
// whose draw handler drew no data (or failed) shows its frame without
// ticks, and the caret of an edited text field stands inside the field,
// across its height, between the characters.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/gui/runtime_process.hpp"

namespace vke {
namespace {

using namespace std::chrono_literals;
using test::Pixels;

struct FigureCells : test::RuntimeWindow {};

// A rectangle of a picture, the right and bottom edges excluded.
struct Area {
  int left, top, right, bottom;
};

int Grey(uint32_t rgb) {
  return static_cast<int>(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF)) / 3;
}
bool Dark(uint32_t rgb) {
  return Grey(rgb) < 128;
}
bool Coloured(uint32_t rgb) {
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return std::max({r, g, b}) - std::min({r, g, b}) > 60;
}

template <typename Test>
int Count(const Pixels& p, const Area& a, Test&& test) {
  int n = 0;
  for (int y = std::max(a.top, 0); y < std::min(a.bottom, p.height); ++y)
    for (int x = std::max(a.left, 0); x < std::min(a.right, p.width); ++x) n += test(p.At(x, y));
  return n;
}

// Pictures of the window until one differs from `before` (or 5 s pass):
// the figure painted after a key or a click.
Pixels ShotAfter(test::Runtime& run, const std::string& window, const std::string& name,
                 const Pixels& before) {
  Pixels now;
  for (int k = 0; k < 10; ++k) {
    now = test::ReadPng(run.Shot(window, name));
    if (now.rgb != before.rgb) break;
    std::this_thread::sleep_for(500ms);
  }
  return now;
}

// Cell (row, column) of the figure's three by three layout.
Area Cell(const Pixels& p, int row, int column) {
  const auto [top, height] = test::FigureRows(p);
  return {p.width * column / 3, top + height * row / 3, p.width * (column + 1) / 3,
          top + height * (row + 1) / 3};
}

// The smallest rectangle holding the white pixels of an area (the
// viewport of a decorated 2-D subplot); empty when there are none.
Area WhiteIn(const Pixels& p, const Area& a) {
  Area w{a.right, a.bottom, a.left, a.top};
  for (int y = a.top; y < a.bottom; ++y) {
    for (int x = a.left; x < a.right; ++x) {
      if (p.At(x, y) != 0xFFFFFF) continue;
      w = {std::min(w.left, x), std::min(w.top, y), std::max(w.right, x + 1),
           std::max(w.bottom, y + 1)};
    }
  }
  return w;
}

std::string CellsProgram(const test::TempFolder& home) {
  return test::Pack(home, "tests/gui/cells.kvd", "cells");
}

// At 640 x 480 the cells are about 210 x 120: the 2-D plots fill theirs,
// and the surface shows a box of faces coloured blue to red in its own.
TEST_F(FigureCells, ASurfaceInAThreeByThreeLayoutIsDrawn) {
  test::Runtime run(home, CellsProgram(home));
  const std::string window = run.Window("Cells");
  ASSERT_FALSE(window.empty()) << run.Output();
  const Pixels before = test::ReadPng(run.Shot(window, "cells-before"));
  test::Shell("xdotool windowsize " + window + " 640 480");
  const Pixels figure = ShotAfter(run, window, "cells-surface", before);
  ASSERT_EQ(figure.width, 640);
  EXPECT_GT(Count(figure, Cell(figure, 0, 0), Coloured), 150);
  // A contour map beside it, for scale.
  EXPECT_GT(Count(figure, Cell(figure, 1, 1), Coloured), 400);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// The frame of a subplot without data: no tick labels below it or left of
// it, after a draw handler that set only a title and after one that failed.
TEST_F(FigureCells, ASubplotWithoutDataShowsAFrameWithoutTicks) {
  test::Runtime run(home, CellsProgram(home));
  const std::string window = run.Window("Cells");
  ASSERT_FALSE(window.empty()) << run.Output();
  Pixels figure = ShotAfter(run, window, "cells-data", Pixels{});
  const auto labelsAround = [](const Pixels& p) {
    const Area cell = Cell(p, 0, 2);
    const Area frame = WhiteIn(p, cell);
    EXPECT_GT(frame.right - frame.left, 50);
    EXPECT_GT(frame.bottom - frame.top, 30);
    const Area below{frame.left - 8, frame.bottom + 2, frame.right + 8, cell.bottom};
    const Area left{cell.left, frame.top, frame.left - 2, frame.bottom};
    return Count(p, below, Dark) + Count(p, left, Dark);
  };
  ASSERT_GT(labelsAround(figure), 0);  // the plot's own ticks
  run.Keys("b");
  figure = ShotAfter(run, window, "cells-blank", figure);
  EXPECT_EQ(labelsAround(figure), 0);
  // A failing handler: its box is closed, then the figure is looked at.
  run.Keys("d");
  figure = ShotAfter(run, window, "cells-data-again", figure);
  run.Keys("f");
  for (int k = 0; k < 20; ++k) {
    if (!test::ShellOutput("xdotool search --onlyvisible --name '^cells$'").empty()) break;
    std::this_thread::sleep_for(250ms);
  }
  run.Keys("Return");
  figure = ShotAfter(run, window, "cells-failed", figure);
  EXPECT_EQ(labelsAround(figure), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// The boxes of the text fields: pairs of rows (top border, bottom border)
// with at least 100 dark pixels in the figure's right half.
struct FieldBox {
  int left, right, top, bottom;  // the border lines
};
std::vector<FieldBox> FieldBoxes(const Pixels& p) {
  std::vector<FieldBox> boxes;
  int open = -1;
  const auto [top, height] = test::FigureRows(p);
  for (int y = top; y < top + height; ++y) {
    int first = -1, last = -1, dark = 0;
    for (int x = p.width / 2; x < p.width; ++x) {
      if (!Dark(p.At(x, y))) continue;
      if (first < 0) first = x;
      last = x;
      ++dark;
    }
    if (dark < 100) continue;
    if (open < 0) {
      open = y;
      boxes.push_back({first, last, y, y});
    } else {
      boxes.back().bottom = y;
      open = -1;
    }
  }
  return boxes;
}

// The columns of an area where two pictures differ.
std::vector<int> ChangedColumns(const Pixels& a, const Pixels& b, const Area& area) {
  std::vector<int> columns;
  for (int x = area.left; x < area.right; ++x) {
    for (int y = area.top; y < area.bottom; ++y) {
      if (a.At(x, y) != b.At(x, y)) {
        columns.push_back(x);
        break;
      }
    }
  }
  return columns;
}

// Typing 12 into the second field puts the caret after the 2, Left puts
// it between the 1 and the 2, Enter takes the number: the caret shows in
// both places, inside the field, from border to border, over no ink of the
// digits.
TEST_F(FigureCells, TheCaretStandsInsideTheFieldBetweenCharacters) {
  test::Runtime run(home, test::Pack(home, "tests/gui/fields.kvd", "fields"));
  const std::string window = run.Window("Fields");
  ASSERT_FALSE(window.empty()) << run.Output();
  const Pixels start = ShotAfter(run, window, "fields-start", Pixels{});
  const std::vector<FieldBox> boxes = FieldBoxes(start);
  ASSERT_EQ(boxes.size(), 2u);
  const FieldBox box = boxes[1];
  ASSERT_GT(box.bottom - box.top, 6);
  test::Click(window, (box.left + box.right) / 2, (box.top + box.bottom) / 2);
  run.Keys("1 2");
  const Pixels atEnd = ShotAfter(run, window, "fields-caret-end", start);
  run.Keys("Left");
  const Pixels between = ShotAfter(run, window, "fields-caret-between", atEnd);
  run.Keys("Return");
  const Pixels taken = ShotAfter(run, window, "fields-taken", between);
  const Area inside{box.left + 1, box.top + 1, box.right, box.bottom};
  const int ink = Count(taken, inside, Dark);
  ASSERT_GT(ink, 10) << "no digits in the field";
  int lastInk = 0;
  for (int x = inside.left; x < inside.right; ++x)
    if (Count(taken, Area{x, inside.top, x + 1, inside.bottom}, Dark) > 0) lastInk = x;
  for (const Pixels* caret : {&atEnd, &between}) {
    const std::string where = caret == &atEnd ? "at the end" : "between";
    const std::vector<int> columns = ChangedColumns(*caret, taken, inside);
    ASSERT_FALSE(columns.empty()) << "no caret " << where;
    EXPECT_LE(columns.size(), 2u) << where;
    const int x = columns.front();
    EXPECT_LT(x, box.right - 1) << where;
    // Across the whole height: dark from border to border.
    EXPECT_EQ(Count(*caret, Area{x, inside.top, x + 1, inside.bottom}, Dark),
              inside.bottom - inside.top)
        << where;
    // Over no ink of the digits: the column is clear without the caret.
    EXPECT_EQ(Count(taken, Area{x, inside.top, x + 1, inside.bottom}, Dark), 0) << where;
    if (caret == &atEnd) {
      EXPECT_GT(x, lastInk);
    } else {
      EXPECT_LT(x, lastInk);
    }
  }
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

}  // namespace
}  // namespace vke
