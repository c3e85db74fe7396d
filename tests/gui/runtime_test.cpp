// The runtime as its own process on the display, with packed applications
// behind it: its window, keys and undo, closing and the placement kept, the
// break key, the demo, the figure drawn as the packing tool draws it, a
// handler's error reported once (after a key and after a menu command), the
// tool bar's visibility kept, and the runtime without an application,
// which says how one is packed. Screenshots go to the build folder
// (VKE_SCREEN_DIR when set).
#include <gmock/gmock.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "tests/gui/gui_env.hpp"
#include "tests/gui/runtime_process.hpp"

namespace vke {
namespace {

using namespace std::chrono_literals;
using test::Click;
using test::Eventually;
using test::FigureRows;
using test::Pack;
using test::Pixels;
using test::Quoted;
using test::ReadPng;
using test::ReadText;
using test::Runtime;
using test::RuntimeWindow;

// The number of pixels in which the figures of two window pictures differ
// (below the menu bar and the tool bar, above the status bar), or the parts
// a crop geometry gives.
int FigureDifference(const std::string& a, const std::string& b,
                     const std::string& part = "100%x65%+0+90") {
  const std::string crop = " -crop " + part + " +repage ";
  const std::string cropped = a + ".figure.png";
  test::Shell("convert " + Quoted(b) + crop + Quoted(cropped));
  const std::string out =
      test::ShellOutput("convert " + Quoted(a) + crop + "png:- | compare -metric AE - " +
                        Quoted(cropped) + " null: 2>&1");
  std::filesystem::remove(cropped);
  return std::atoi(out.c_str());
}

// Takes pictures of the window until its figure equals the reference (or
// differs from it): a busy machine may paint late. The last picture's
// difference.
int FigureAfter(Runtime& run, const std::string& window, const std::string& name,
                const std::string& reference, bool same) {
  int difference = 0;
  Eventually([&] {
    difference = FigureDifference(reference, run.Shot(window, name));
    return (difference == 0) == same;
  });
  return difference;
}

// The pixels in which the window's figure differs from the figure the
// packing tool draws headless at the same size; -1 without a figure.
int WindowAgainstHeadless(const std::string& program, const std::string& shot,
                          const test::TempFolder& home) {
  const Pixels window = ReadPng(shot);
  if (window.width == 0) return -1;
  const auto [top, height] = FigureRows(window);
  if (height < 50) return -1;
  const std::string script = home.Path() + "/png.script";
  const std::string headless = home.Path() + "/headless.png";
  std::ofstream(script) << "draw\npng \"" << headless << "\" " << window.width << " " << height
                        << "\n";
  test::Shell(std::string(VKE_KVPACK) + " check " + Quoted(program) + " " + Quoted(script) +
              " >/dev/null");
  const Pixels figure = ReadPng(headless);
  if (figure.width != window.width || figure.height != height) return -1;
  int differing = 0;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < figure.width; x++) differing += figure.At(x, y) != window.At(x, top + y);
  return differing;
}

// The lines of a text that start with a prefix.
int LinesStartingWith(const std::string& text, const std::string& prefix) {
  int n = 0;
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, prefix.size(), prefix) == 0) n++;
    if (text.find('\n', at) == std::string::npos) break;
  }
  return n;
}

// How often the text holds the part.
int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

// The visible windows whose name matches (the main window and its boxes).
int VisibleWindows(const std::string& pattern) {
  return std::atoi(test::ShellOutput("xdotool search --onlyvisible --name " + Quoted(pattern) +
                                     " 2>/dev/null | wc -l")
                       .c_str());
}

// All visible windows, those without a name too (a menu that pops up).
int AllVisibleWindows() {
  return std::atoi(
      test::ShellOutput("xdotool search --onlyvisible --class '' 2>/dev/null | wc -l").c_str());
}

// The number of matching windows once it is n: boxes open and close late
// on a loaded machine.
int WindowsBecome(const std::string& pattern, int n) {
  int shown = -1;
  Eventually([&] { return (shown = VisibleWindows(pattern)) == n; });
  return shown;
}

// The window that has the keyboard.
std::string ActiveWindow() {
  std::string id = test::ShellOutput("xdotool getactivewindow 2>/dev/null");
  while (!id.empty() && id.back() == '\n') id.pop_back();
  return id;
}

// Waits until the window has the keyboard: the window manager gives a new
// dialog the focus some time after it shows, and keys typed before go
// elsewhere.
bool Focused(const std::string& window) {
  return Eventually([&] { return ActiveWindow() == window; });
}

// Waits until the keyboard has left the window for another (a dialog that
// opened); that one's id.
std::string FocusLeaves(const std::string& window) {
  std::string active;
  Eventually([&] {
    active = ActiveWindow();
    return !active.empty() && active != window;
  });
  return active;
}

// Where the frame's tool bar, under the menu bar, shows the figure modes 1
// to 5 (Adwaita, tools of 24 pixels after Undo and Redo), in the window's
// pixels.
constexpr int kModeToolX[] = {110, 147, 184, 221, 258};
constexpr int kToolBarY = 45;

// A window picture in grey levels, a byte per pixel.
struct Grey {
  explicit Grey(const std::string& picture) {
    std::istringstream size(
        test::ShellOutput("identify -format '%w %h' " + Quoted(picture) + " 2>/dev/null"));
    size >> width >> height;
    pixels = test::ShellOutput("convert " + Quoted(picture) + " -colorspace Gray -depth 8 gray:-");
  }
  // The middle of the dark pixels inside the middle third of the picture
  // each way: false when there are none.
  bool DarkMiddle(double* x, double* y) const {
    double sx = 0, sy = 0;
    int n = 0;
    for (int r = height / 3; r < 2 * height / 3; ++r) {
      for (int c = width / 3; c < 2 * width / 3; ++c) {
        const size_t at = static_cast<size_t>(r) * width + c;
        if (at < pixels.size() && static_cast<unsigned char>(pixels[at]) < 100) {
          sx += c;
          sy += r;
          ++n;
        }
      }
    }
    if (n == 0) return false;
    *x = sx / n;
    *y = sy / n;
    return true;
  }
  int width = 0;
  int height = 0;
  std::string pixels;
};

// A drag with the left button from one window point to another in steps.
void Drag(const std::string& window, int x0, int y0, int x1, int y1) {
  std::string steps;
  for (int k = 1; k <= 4; ++k) {
    steps += " mousemove --window " + window + " " + std::to_string(x0 + (x1 - x0) * k / 4) + " " +
             std::to_string(y0 + (y1 - y0) * k / 4) + " sleep 0.1";
  }
  test::Shell("xdotool mousemove --window " + window + " " + std::to_string(x0) + " " +
              std::to_string(y0) + " sleep 0.2 mousedown 1 sleep 0.1" + steps + " mouseup 1");
  std::this_thread::sleep_for(500ms);
}

int Colours(const std::string& picture) {
  return std::atoi(test::ShellOutput("convert " + Quoted(picture) + " -format %k info:").c_str());
}

TEST_F(RuntimeWindow, ShowsItsFigureAndKeysUndoAndRedoIt) {
  const std::string program = Pack(home, "tests/kvpack/families.kvd", "families");
  Runtime run(home, program, {"-p", "foo.kv"});
  const std::string window = run.Window("Families");
  ASSERT_FALSE(window.empty()) << run.Output();
  EXPECT_EQ(test::ShellOutput("xdotool search --onlyvisible --name '^Families$' | wc -l"), "1\n");
  const std::string start = run.Shot(window, "families-start");
  EXPECT_GT(Colours(start), 4);
  run.Keys("plus");
  EXPECT_GT(FigureAfter(run, window, "families-plus", start, false), 0);
  const std::string plus = test::ScreenDir() + "/families-plus.png";
  run.Keys("ctrl+z");
  EXPECT_EQ(FigureAfter(run, window, "families-undo", start, true), 0);
  run.Keys("ctrl+shift+z");
  EXPECT_EQ(FigureAfter(run, window, "families-redo", plus, true), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, PlacementSurvivesARestart) {
  const std::string program = Pack(home, "tests/kvpack/families.kvd", "families");
  const std::string prefs = home.Path() + "/config/Morvath/families.conf";
  {
    Runtime run(home, program);
    const std::string window = run.Window("Families");
    ASSERT_FALSE(window.empty());
    test::Shell("xdotool windowsize " + window + " 500 400 windowmove " + window + " 60 70");
    std::this_thread::sleep_for(500ms);
    run.Keys("ctrl+q");
    ASSERT_EQ(run.Exit(), 0);
  }
  const std::string first = ReadText(prefs);
  EXPECT_NE(first.find("WindowRight="), std::string::npos);
  {
    Runtime run(home, program);
    ASSERT_FALSE(run.Window("Families").empty());
    run.Keys("ctrl+q");
    ASSERT_EQ(run.Exit(), 0);
  }
  EXPECT_EQ(ReadText(prefs), first);
}

TEST_F(RuntimeWindow, PlacementBeyondAThousandPixelsIsRestored) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  const std::string prefs = home.Path() + "/config/Morvath/window.conf";
  std::filesystem::create_directories(home.Path() + "/config/Morvath");
  std::ofstream(prefs) << "[1.0]\nWindowShowCmd=1\nWindowLeft=10\nWindowTop=20\n"
                          "WindowRight=1010\nWindowBottom=740\n";
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty());
  run.Keys("ctrl+q");
  ASSERT_EQ(run.Exit(), 0);
  const std::string saved = ReadText(prefs);
  EXPECT_NE(saved.find("WindowRight=1010\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("WindowBottom=740\n"), std::string::npos) << saved;
}

TEST_F(RuntimeWindow, AnExtremeFigureFontSizeStillOpensTheWindow) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  std::filesystem::create_directories(home.Path() + "/config/Morvath");
  std::ofstream(home.Path() + "/config/Morvath/window.conf") << "[1.0]\nFigFontSize=-2147483648\n";
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty()) << run.Output();
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, BreakKeyAndInterruptEndALoopingHandler) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty());
  // Each break comes once the looping handler runs, and each stop is
  // waited for: a break with no handler running closes the window. The
  // key is held, then tapped.
  const auto halted = [&] { return LinesStartingWith(run.Output(), "Execution halted"); };
  run.Keys("l");
  ASSERT_TRUE(run.Busy());
  run.Signal(SIGINT);
  EXPECT_TRUE(Eventually([&] { return halted() == 1; })) << run.Output();
  run.Keys("l");
  ASSERT_TRUE(run.Busy());
  test::Shell("xdotool keydown ctrl+Pause");
  EXPECT_TRUE(Eventually([&] { return halted() == 2; })) << run.Output();
  test::Shell("xdotool keyup ctrl+Pause");
  // A tap far shorter than the keyboard's poll is kept for it.
  run.Keys("l");
  ASSERT_TRUE(run.Busy());
  test::Shell("xdotool key --delay 0 ctrl+Pause");
  EXPECT_TRUE(Eventually([&] { return halted() == 3; })) << run.Output();
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, InterruptClosesAnIdleRuntimeAsCloseDoes) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  const std::string window = run.Window("Window");
  ASSERT_FALSE(window.empty());
  test::Shell("xdotool windowsize " + window + " 520 410");
  std::this_thread::sleep_for(500ms);
  run.Signal(SIGINT);
  EXPECT_EQ(run.Exit(), 0);
  const std::string saved = ReadText(home.Path() + "/config/Morvath/window.conf");
  EXPECT_NE(saved.find("WindowRight="), std::string::npos) << saved;
}

TEST_F(RuntimeWindow, ASecondInterruptWithinASecondEndsTheRuntimeAtOnce) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty());
  run.Keys("l");  // a handler that loops until it is broken
  ASSERT_TRUE(run.Busy());
  run.Signal(SIGINT);
  std::this_thread::sleep_for(200ms);
  run.Signal(SIGINT);
  EXPECT_EQ(run.Exit(), 128 + SIGINT);
}

TEST_F(RuntimeWindow, AnIdleRuntimeUsesNoProcessorTime) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty());
  run.Keys("plus");
  std::this_thread::sleep_for(2s);
  const long before = run.ProcessorTicks();
  std::this_thread::sleep_for(10s);
  // Timers that woke it every 10 ms cost tens of ticks here.
  EXPECT_LE(run.ProcessorTicks() - before, 3);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, DemoShowsItsPoint) {
  const std::string program = Pack(home, "examples/demo/demo.kvd", "demo");
  Runtime run(home, program);
  const std::string window = run.Window("Point demo");
  ASSERT_FALSE(window.empty()) << run.Output();
  EXPECT_GT(Colours(run.Shot(window, "demo")), 4);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, FigureIsTheHeadlessPictureOfTheSameSize) {
  // The demo's figure has mouse handlers: its labels are highlighted.
  const std::string program = Pack(home, "examples/demo/demo.kvd", "demo");
  Runtime run(home, program);
  const std::string window = run.Window("Point demo");
  ASSERT_FALSE(window.empty()) << run.Output();
  int differing = -1;
  Eventually([&] {
    return (differing = WindowAgainstHeadless(program, run.Shot(window, "demo-figure"), home)) == 0;
  });
  EXPECT_EQ(differing, 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, DemoPointFollowsTheMouse) {
  const std::string program = Pack(home, "examples/demo/demo.kvd", "demo");
  Runtime run(home, program);
  const std::string window = run.Window("Point demo");
  ASSERT_FALSE(window.empty()) << run.Output();
  const std::string before = run.Shot(window, "demo-drag-before");
  double x = 0, y = 0;
  ASSERT_TRUE(Grey(before).DarkMiddle(&x, &y)) << "no point in the middle";
  // The point dragged up and right: it moves away, and the subplot's title
  // tells its new distance from the middle.
  Drag(window, static_cast<int>(x), static_cast<int>(y), static_cast<int>(x) + 120,
       static_cast<int>(y) - 90);
  EXPECT_GT(FigureAfter(run, window, "demo-drag-after", before, false), 0);
  double moved = 0;
  EXPECT_FALSE(Grey(test::ScreenDir() + "/demo-drag-after.png").DarkMiddle(&moved, &moved));
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(RuntimeWindow, AFailingDrawHandlerIsReportedOnceInABoxAndOnStandardError) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty());
  const std::string windows = "^[Ww]indow$";  // the frame "Window" and the box "window"
  EXPECT_EQ(VisibleWindows(windows), 1);
  run.Keys("e");  // the key's new value makes the draw handler fail
  EXPECT_EQ(WindowsBecome(windows, 2), 2);
  EXPECT_EQ(LinesStartingWith(run.Output(), "window: The count is negative"), 1) << run.Output();
  // Once, in the user's names: the engine's own report of it is not written.
  EXPECT_EQ(Occurrences(run.Output(), "The count is negative"), 1) << run.Output();
  EXPECT_EQ(run.Output().find("_KV_"), std::string::npos) << run.Output();
  run.Shot("root", "handler-error");
  run.Keys("Return");
  // Closing the box repaints the figure, which runs no handler again.
  EXPECT_EQ(WindowsBecome(windows, 1), 1);
  run.Keys("plus");
  EXPECT_EQ(VisibleWindows(windows), 1);
  EXPECT_EQ(LinesStartingWith(run.Output(), "window: "), 1) << run.Output();
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// A draw handler that fails from the first paint: one box, one line on
// standard error, and the other subplots drawn.
TEST_F(RuntimeWindow, ADrawHandlerFailingAtStartIsShownOnceAndTheOthersDrawn) {
  const std::string program = Pack(home, "tests/gui/broken.kvd", "broken");
  Runtime run(home, program);
  const std::string window = run.Window("Broken");
  ASSERT_FALSE(window.empty()) << run.Output();
  const std::string windows = "^(Broken|broken)$";  // the frame and the box
  EXPECT_EQ(WindowsBecome(windows, 2), 2);
  run.Shot("root", "start-error");
  run.Keys("Return");
  EXPECT_EQ(WindowsBecome(windows, 1), 1);
  EXPECT_EQ(LinesStartingWith(run.Output(), "broken: "), 1) << run.Output();
  double x = 0, y = 0;
  EXPECT_TRUE(Grey(run.Shot(window, "start-error-figure")).DarkMiddle(&x, &y));
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// A menu item after which the draw handler fails: one box and one line on
// standard error, and nothing more once the box is closed and the figure
// repainted.
TEST_F(RuntimeWindow, AFailingDrawAfterAMenuCommandIsReportedOnce) {
  const std::string program = Pack(home, "tests/shell/errors.kvd", "errors");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Errors").empty()) << run.Output();
  const std::string windows = "^(Errors|Menu error)$";  // the frame and the command's box
  EXPECT_EQ(VisibleWindows(windows), 1);
  // "Fail" follows "&Edit"; its third item makes the next drawing fail.
  run.Keys("alt+e Right Down Down Return");
  EXPECT_EQ(WindowsBecome(windows, 2), 2);
  run.Shot("root", "menu-draw-error");
  const std::string output = run.Output();
  EXPECT_EQ(LinesStartingWith(output, "errors: "), 1) << output;
  EXPECT_EQ(Occurrences(output, "Index out of range for variable 'q'"), 1) << output;
  run.Keys("Return");
  EXPECT_EQ(WindowsBecome(windows, 1), 1);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(VisibleWindows(windows), 1);
  EXPECT_EQ(LinesStartingWith(run.Output(), "errors: "), 1) << run.Output();
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// The tool bar hidden from the View menu stays hidden after a restart: the
// second run, left alone, closes with it hidden.
TEST_F(RuntimeWindow, AHiddenToolBarStaysHiddenAfterARestart) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  const std::string prefs = home.Path() + "/config/Morvath/window.conf";
  {
    Runtime run(home, program);
    const std::string window = run.Window("Window");
    ASSERT_FALSE(window.empty()) << run.Output();
    run.Shot(window, "bars-shown");
    run.Keys("alt+v Return");  // "&Toolbar"
    run.Shot(window, "bars-hidden");
    run.Keys("ctrl+q");
    ASSERT_EQ(run.Exit(), 0);
  }
  EXPECT_NE(ReadText(prefs).find("Bar0ID=59392\nBar0Visible=0\n"), std::string::npos)
      << ReadText(prefs);
  {
    Runtime run(home, program);
    const std::string window = run.Window("Window");
    ASSERT_FALSE(window.empty()) << run.Output();
    run.Shot(window, "bars-restored");
    run.Keys("ctrl+q");
    ASSERT_EQ(run.Exit(), 0);
  }
  const std::string saved = ReadText(prefs);
  EXPECT_NE(saved.find("Bar0Visible=0\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Bar1Visible=1\n"), std::string::npos) << saved;
}

TEST_F(RuntimeWindow, ZoomToolAndWheelOnTenThousandPoints) {
  const std::string program = Pack(home, "tests/gui/plot.kvd", "plot");
  Runtime run(home, program);
  const std::string window = run.Window("Plot");
  ASSERT_FALSE(window.empty()) << run.Output();
  const std::string start = run.Shot(window, "plot-start");
  // The zoom tool: its rectangle shows while the button is held, and the
  // release zooms into it.
  Click(window, kModeToolX[1], kToolBarY);
  test::Shell("xdotool mousemove --window " + window +
              " 150 150 sleep 0.2 mousedown 1 sleep 0.1 mousemove --window " + window +
              " 250 220 sleep 0.1 mousemove --window " + window + " 330 300 sleep 0.3");
  EXPECT_GT(FigureAfter(run, window, "plot-zooming", start, false), 0);
  test::Shell("xdotool mouseup 1");
  std::this_thread::sleep_for(500ms);
  const std::string zoomed = test::ScreenDir() + "/plot-zoomed.png";
  EXPECT_GT(FigureAfter(run, window, "plot-zoomed", test::ScreenDir() + "/plot-zooming.png", false),
            0);
  // The wheel in Drag mode scrolls the plot.
  Click(window, kModeToolX[3], kToolBarY);
  Click(window, 300, 250, 4);
  EXPECT_GT(FigureAfter(run, window, "plot-scrolled", zoomed, false), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// A window's geometry as the window system has it: X, Y, WIDTH, HEIGHT.
std::map<std::string, int> Geometry(const std::string& window) {
  std::istringstream geometry(test::ShellOutput("xdotool getwindowgeometry --shell " + window));
  std::map<std::string, int> values;
  for (std::string line; std::getline(geometry, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = std::atoi(&line[equals + 1]);
  }
  return values;
}

// Whether a window lies whole on the 1024 x 768 screen.
bool OnScreen(const std::string& window) {
  std::map<std::string, int> values = Geometry(window);
  return values["X"] >= 0 && values["Y"] >= 0 && values["X"] + values["WIDTH"] <= 1024 &&
         values["Y"] + values["HEIGHT"] <= 768 && values["WIDTH"] > 0;
}

// The print preview opens on the screen. It disables the main window while
// it is open, which takes the focus from the view: closed, the view has it
// back and Ctrl+Q (an accelerator of the frame, in no menu) quits.
TEST_F(RuntimeWindow, CtrlQQuitsAfterThePrintPreviewIsClosed) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty()) << run.Output();
  run.Keys("alt+f v");  // "Print Pre&view"
  const std::string preview = run.Window("Print Preview");
  ASSERT_FALSE(preview.empty());
  run.Shot("root", "preview-open");
  EXPECT_TRUE(OnScreen(preview));
  test::Shell("xdotool windowactivate --sync " + preview + " key alt+F4");
  EXPECT_EQ(WindowsBecome("^Print Preview$", 0), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// The application's help opens on the screen, however low the main window.
TEST_F(RuntimeWindow, TheHelpWindowOpensOnTheScreen) {
  const std::string program = Pack(home, "examples/demo/demo.kvd", "demo");
  Runtime run(home, program);
  const std::string window = run.Window("Point demo");
  ASSERT_FALSE(window.empty()) << run.Output();
  test::Shell("xdotool windowmove " + window + " 200 300");
  std::this_thread::sleep_for(500ms);
  run.Keys("F1");
  const std::string help = run.Window("Point demo Help");
  ASSERT_FALSE(help.empty());
  run.Shot("root", "help-open");
  EXPECT_TRUE(OnScreen(help));
  test::Shell("xdotool windowactivate --sync " + window);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0) << run.Output();
}

// The print preview opens showing the whole page: in its picture the
// white sheet lies inside the canvas, with the canvas's grey on all four
// sides, and has a sheet's proportions (letter or A4).
TEST_F(RuntimeWindow, ThePrintPreviewShowsTheWholePage) {
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty()) << run.Output();
  run.Keys("alt+f v");  // "Print Pre&view"
  const std::string preview = run.Window("Print Preview");
  ASSERT_FALSE(preview.empty());
  EXPECT_TRUE(OnScreen(preview)) << test::ShellOutput("xdotool getwindowgeometry " + preview);
  // The sheet: the box of the white pixels below the preview's bar.
  constexpr int kBar = 48;
  int width = 0, height = 0, left = 0, top = 0, shotWidth = 0, shotHeight = 0;
  Eventually([&] {
    const std::string shot = run.Shot(preview, "preview-page");
    std::istringstream box(test::ShellOutput(
        "convert " + Quoted(shot) + " -crop +0+" + std::to_string(kBar) +
        " +repage -fill black +opaque white -trim -format '%w %h %X %Y %W %H' info:"));
    return box >> width >> height >> left >> top >> shotWidth >> shotHeight && height > 100;
  });
  EXPECT_GT(left, 0);
  EXPECT_GT(top, 0);
  EXPECT_LT(left + width, shotWidth);
  EXPECT_LT(top + height + 20, shotHeight) << "the sheet runs into the status bar";
  ASSERT_GT(width, 0);
  EXPECT_NEAR(static_cast<double>(height) / width, 1.35, 0.08) << width << " x " << height;
  test::Shell("xdotool windowactivate --sync " + preview + " key alt+F4");
  EXPECT_EQ(WindowsBecome("^Print Preview$", 0), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// An application without a help text offers none: F1 opens no help
// window (an empty one before).
TEST_F(RuntimeWindow, AnApplicationWithoutHelpOpensNoHelpWindow) {
  const std::string program = Pack(home, "tests/gui/button.kvd", "button");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Button").empty()) << run.Output();
  run.Keys("F1");
  std::this_thread::sleep_for(1s);
  run.Shot("root", "no-help");
  EXPECT_EQ(VisibleWindows("^Button Help$"), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// The margins of a page's content, as ImageMagick trims it: left, right,
// top, bottom in pixels at 72 per inch; empty when it cannot be read.
std::vector<int> ContentMargins(const std::string& pdf) {
  const std::string png = pdf + ".png";
  test::Shell("pdftoppm -r 72 -png -singlefile " + Quoted(pdf) + " " + Quoted(pdf) +
              " >/dev/null 2>&1");
  std::istringstream trim(
      test::ShellOutput("convert " + Quoted(png) + " -trim -format '%w %h %W %H %X %Y' info:"));
  int w = 0, h = 0, pageW = 0, pageH = 0, x = 0, y = 0;
  if (!(trim >> w >> h >> pageW >> pageH >> x >> y)) return {};
  return {x, pageW - x - w, y, pageH - y - h};
}

// Waits for the printer's file and moves it aside; its new path.
std::string TakePrintedFile(const test::TempFolder& home, const std::string& name) {
  const std::string printed = home.Path() + "/output.pdf";
  Eventually([&] { return test::Shell("pdfinfo " + Quoted(printed) + " >/dev/null 2>&1") == 0; });
  const std::string kept = home.Path() + "/" + name;
  std::error_code error;
  std::filesystem::rename(printed, kept, error);
  return kept;
}

// File › Print to the desktop's file printer, then Page Setup › Landscape
// and print again: in both orientations the figure lies on the PDF's page
// with equal margins (about 10 mm).
TEST_F(RuntimeWindow, PrintedToAFileTheFigureIsCentredInBothOrientations) {
  VKE_REQUIRE_COMMANDS("pdfinfo pdftoppm", "poppler-utils");
  const std::string program = Pack(home, "tests/gui/window.kvd", "window");
  Runtime run(home, program);
  ASSERT_FALSE(run.Window("Window").empty()) << run.Output();
  auto print = [&](const std::string& name) {
    run.Keys("ctrl+p");
    const std::string dialog = run.Window("Print");
    EXPECT_TRUE(!dialog.empty() && Focused(dialog));
    run.Keys("Down");  // the file printer
    run.Keys("alt+p");
    EXPECT_EQ(WindowsBecome("^Print$", 0), 0);
    return TakePrintedFile(home, name);
  };
  const std::vector<int> tall = ContentMargins(print("tall.pdf"));
  run.Keys("alt+f Down Return");  // "Page Setup..."
  const std::string setup = run.Window("Page Setup");
  ASSERT_FALSE(setup.empty());
  ASSERT_TRUE(Focused(setup));
  run.Shot("root", "page-setup");
  run.Keys("Tab Tab Down Return");  // "Landscape", applied
  EXPECT_EQ(WindowsBecome("^Page Setup$", 0), 0);
  const std::vector<int> wide = ContentMargins(print("wide.pdf"));
  for (const std::vector<int>& m : {tall, wide}) {
    ASSERT_EQ(m.size(), 4u);
    EXPECT_NEAR(m[0], m[1], 2) << "left and right";
    EXPECT_NEAR(m[2], m[3], 2) << "top and bottom";
    EXPECT_NEAR(m[0], 28, 2);
  }
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
}

// The preferences of the Edit menu, each through its item: the highlight
// off, thick lines on (the figure changes), a background colour and a
// figure font taken from their dialogs; all kept after the program ends.
// Copy puts the figure on the clipboard; the about box opens and a key
// ends it.
TEST_F(RuntimeWindow, TheEditMenusCommandsAndTheAboutBoxWork) {
  VKE_REQUIRE_COMMANDS("xclip", "xclip");
  const std::string program = Pack(home, "examples/demo/demo.kvd", "demo");
  Runtime run(home, program);
  const std::string window = run.Window("Point demo");
  ASSERT_FALSE(window.empty()) << run.Output();
  const std::string start = run.Shot(window, "edit-start");
  const int shown = VisibleWindows(".");  // the frame, and what else the display shows
  run.Keys("alt+e p i");                  // "&Interactive Figure Highlight"
  run.Keys("alt+e p t");                  // "&Thick Lines"
  EXPECT_GT(FigureAfter(run, window, "edit-thick", start, false), 0);
  // Each dialog is answered once it has the keyboard, and the next command
  // waits until it has gone.
  run.Keys("alt+e p b");  // "&Background Color..."
  EXPECT_TRUE(Eventually([&] { return VisibleWindows(".") > shown; }));
  FocusLeaves(window);
  run.Keys("Return");
  EXPECT_EQ(WindowsBecome(".", shown), shown);
  run.Keys("alt+e p f");  // "Figure &Font..."
  EXPECT_TRUE(Eventually([&] { return VisibleWindows(".") > shown; }));
  FocusLeaves(window);
  run.Keys("Down Down Return");  // a face of the list (none is chosen at first)
  EXPECT_EQ(WindowsBecome(".", shown), shown);
  run.Keys("ctrl+c");
  std::string targets;
  Eventually([&] {
    targets = test::ShellOutput(test::UnlessHung("xclip -o -selection clipboard -t TARGETS"));
    return targets.find("image/png") != std::string::npos;
  });
  EXPECT_THAT(targets, ::testing::HasSubstr("image/png"));
  run.Shot("root", "edit-copied");
  run.Keys("alt+h");
  run.Keys("a");  // "&About This Application..."
  const std::string about = run.Window("About This Application");
  EXPECT_TRUE(!about.empty() && Focused(about));
  run.Keys("x");
  EXPECT_EQ(WindowsBecome("^About This Application$", 0), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  const std::string saved = ReadText(home.Path() + "/config/Morvath/demo.conf");
  EXPECT_NE(saved.find("InteractiveHilight=0\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ThickLines=1\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("BkColor="), std::string::npos) << saved;
  EXPECT_NE(saved.find("FigFontName="), std::string::npos) << saved;
}

// The mouse on a plot with a legend beside a surface: the legend dragged in
// Manipulate mode, then in Drag mode the plot panned and the surface's
// camera turned; each changes the picture.
TEST_F(RuntimeWindow, TheLegendThePanAndTheCameraFollowTheMouse) {
  const std::string program = Pack(home, "tests/gui/tools.kvd", "tools");
  Runtime run(home, program);
  const std::string window = run.Window("Tools");
  ASSERT_FALSE(window.empty()) << run.Output();
  std::string before = run.Shot(window, "tools-start");
  auto changed = [&](const std::string& name) {
    const int difference = FigureAfter(run, window, name, before, false);
    before = test::ScreenDir() + "/" + name + ".png";
    return difference;
  };
  Drag(window, 280, 110, 150, 300);  // the legend's box
  EXPECT_GT(changed("tools-legend"), 0);
  Click(window, kModeToolX[3], kToolBarY);  // Drag
  Drag(window, 150, 250, 210, 190);
  EXPECT_GT(changed("tools-pan"), 0);
  Drag(window, 490, 260, 560, 230);
  EXPECT_GT(changed("tools-camera"), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(run.Output().find("rror"), std::string::npos) << run.Output();
}

// "+", "-", Backspace, "+" and Delete on the selected surface change its
// plot (to the contour map, back, to none, to the surface again and to
// none): after each the window shows what the figure drawn anew shows, once
// the window has been narrowed, painted there, and given its size back.
TEST_F(RuntimeWindow, ThePlotKeysRepaintTheSelectedSubplot) {
  const std::string program = Pack(home, "tests/gui/plotkeys.kvd", "plotkeys");
  Runtime run(home, program);
  const std::string window = run.Window("Plot keys");
  ASSERT_FALSE(window.empty()) << run.Output();
  std::map<std::string, int> geometry = Geometry(window);
  const int width = geometry["WIDTH"], height = geometry["HEIGHT"];
  ASSERT_GT(width, 300);
  // Where the subplots meet, which moves when the window narrows.
  const std::string middle = "200x150+" + std::to_string(width / 2 - 100) + "+150";
  Click(window, kModeToolX[4], kToolBarY);  // Select
  Click(window, width / 4, height / 2);     // the surface
  std::string before = run.Shot(window, "plotkeys-start");
  int step = 0;
  for (const std::string key : {"plus", "minus", "BackSpace", "plus", "Delete"}) {
    run.Keys(key);
    const std::string shot = "plotkeys-" + std::to_string(++step) + "-" + key;
    EXPECT_GT(FigureAfter(run, window, shot, before, false), 0) << key;
    before = test::ScreenDir() + "/" + shot + ".png";
    test::Shell("xdotool windowsize " + window + " " + std::to_string(width - 120) + " " +
                std::to_string(height));
    EXPECT_TRUE(Eventually([&] {
      return FigureDifference(before, run.Shot(window, "plotkeys-narrow"), middle) > 0;
    })) << key;
    test::Shell("xdotool windowsize " + window + " " + std::to_string(width) + " " +
                std::to_string(height));
    EXPECT_EQ(FigureAfter(run, window, shot + "-anew", before, true), 0) << key;
  }
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(run.Output().find("rror"), std::string::npos) << run.Output();
}

// A push button pressed, left and released away does nothing and is drawn
// raised; clicked, it runs its handler once.
TEST_F(RuntimeWindow, APushButtonReleasedAwayFromItDoesNothing) {
  const std::string program = Pack(home, "tests/gui/button.kvd", "button");
  Runtime run(home, program);
  const std::string window = run.Window("Button");
  ASSERT_FALSE(window.empty()) << run.Output();
  const std::string start = run.Shot(window, "button-start");
  double x = 0, y = 0;
  ASSERT_TRUE(Grey(start).DarkMiddle(&x, &y)) << "no button in the middle";
  const int bx = static_cast<int>(x), by = static_cast<int>(y);
  test::Shell("xdotool mousemove --window " + window + " " + std::to_string(bx) + " " +
              std::to_string(by) + " sleep 0.2 mousedown 1");
  EXPECT_GT(FigureAfter(run, window, "button-held", start, false), 0) << "not drawn pressed";
  test::Shell("xdotool mousemove --window " + window + " " + std::to_string(bx) + " " +
              std::to_string(by + 80) + " sleep 0.3 mouseup 1");
  EXPECT_EQ(FigureAfter(run, window, "button-released-away", start, true), 0);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(run.Output().find("pressed"), std::string::npos) << run.Output();
  Click(window, bx, by);
  EXPECT_TRUE(Eventually([&] { return LinesStartingWith(run.Output(), "pressed 1") == 1; }))
      << run.Output();
  EXPECT_GT(FigureAfter(run, window, "button-clicked", start, false), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(LinesStartingWith(run.Output(), "pressed"), 1) << run.Output();
}

// The application's file natives through the window's file dialogs: the
// signals example saves its samples where the save dialog says (its
// proposed name, in the working folder) and loads them back through the
// open dialog.
TEST_F(RuntimeWindow, GetfileAndPutfileAskThroughTheFileDialogs) {
  VKE_REQUIRE_COMMANDS("xclip", "xclip");
  const std::string program = Pack(home, "examples/signals/signals.kvd", "signals");
  Runtime run(home, program);
  const std::string window = run.Window("Signals");
  ASSERT_FALSE(window.empty()) << run.Output();
  // Keys go to each dialog once it has the keyboard; each is waited for
  // until it has gone.
  run.Keys("alt+e Right Return");  // "Signal", "Save as text..."
  const std::string save = run.Window("Save the signal");
  ASSERT_FALSE(save.empty());
  ASSERT_TRUE(Focused(save));
  run.Shot("root", "putfile");
  run.Keys("Return");
  EXPECT_EQ(WindowsBecome("^Save the signal$", 0), 0);
  const std::string saved = home.Path() + "/signal.txt";
  // Read once the handler has written it whole.
  std::string samples;
  Eventually([&] {
    samples = ReadText(saved);
    return std::count(samples.begin(), samples.end(), ' ') > 200;
  });
  EXPECT_GT(std::count(samples.begin(), samples.end(), ' '), 200);
  run.Keys("alt+e Right Down Return");  // "Load text..."
  const std::string load = run.Window("Load a signal");
  ASSERT_FALSE(load.empty());
  ASSERT_TRUE(Focused(load));
  // The path goes into the dialog's name entry in one paste: typed key by
  // key, the entry completes it from the folders as they load, which a
  // loaded machine does between the keys, and keys are lost.
  const test::ClipboardText path(saved);
  ASSERT_TRUE(path.Held());
  run.Keys("ctrl+l ctrl+a ctrl+v");
  run.Shot("root", "getfile-named");
  run.Keys("Return");
  // A completion list the entry opened late takes the first Return.
  if (WindowsBecome("^Load a signal$", 0) != 0) {
    run.Shot("root", "getfile-still-open");
    run.Keys("Return");
  }
  EXPECT_EQ(WindowsBecome("^Load a signal$", 0), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(run.Output().find("rror"), std::string::npos) << run.Output();
}

TEST_F(RuntimeWindow, RuntimeWithoutAnApplicationShowsWhyAndStays) {
  const std::string program = home.Path() + "/kvrt";
  std::filesystem::copy_file(VKE_RUNTIME, program);
  Runtime run(home, program);
  const std::string box = run.Window("kvrt");
  ASSERT_FALSE(box.empty());
  run.Shot("root", "bare-runtime");
  EXPECT_FALSE(test::ShellOutput("xdotool search --onlyvisible --name '^VKE Runtime$'").empty());
  test::Shell("xdotool windowactivate --sync " + box + " key Return");
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(test::ShellOutput("xdotool search --onlyvisible --name '^VKE Runtime$'").empty());
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  const std::string output = run.Output();
  EXPECT_NE(output.find("carries no application"), std::string::npos) << output;
  EXPECT_NE(output.find("kvpack --runtime " + program), std::string::npos) << output;
}

// The application's menus in the window, driven from the keyboard (menus
// skip disabled items as the arrows move): its "Count" menu with "Zero"
// enabled by "_menuFlags", "Copy As" and "Paste As" through the desktop
// clipboard, a language change, and the plot choices of the context menu.
TEST_F(RuntimeWindow, TheApplicationsMenusRunItsItems) {
  VKE_REQUIRE_COMMANDS("xclip", "xclip");
  const std::string program = Pack(home, "tests/kvpack/families.kvd", "families");
  Runtime run(home, program);
  const std::string window = run.Window("Families");
  ASSERT_FALSE(window.empty()) << run.Output();
  // The clipboard once it holds the text.
  auto clipboard = [](const std::string& expected) {
    std::string text;
    Eventually([&] {
      return (text = test::ShellOutput(test::UnlessHung("xclip -o -selection clipboard"))) ==
             expected;
    });
    return text;
  };
  const std::string copy = "alt+e Up Up Up Right Return";
  run.Keys("ctrl+n");
  // "Count" follows "&Edit"; with the count at 0 "Zero" is skipped.
  run.Keys("alt+e Right");
  run.Shot("root", "menus-count");
  // Down past "Mode" and "Broken" comes round to "Add one".
  run.Keys("Escape Escape alt+e Right Down Down Down Return");
  run.Keys(copy);
  EXPECT_EQ(clipboard("1\n"), "1\n");
  run.Keys("alt+e Right Return alt+e Right Down Return");
  run.Keys(copy);
  EXPECT_EQ(clipboard("0\n"), "0\n");

  test::Shell("printf 41 | " + test::UnlessHung("xclip -selection clipboard"));
  run.Keys("alt+e Up Up Right Return");
  run.Keys(copy);
  EXPECT_EQ(clipboard("41\n"), "41\n");

  // The second language rebuilds the menus, which go on working.
  run.Keys("alt+e Up Right Down Return");
  run.Keys("alt+e Up Right");
  run.Shot("root", "menus-language");
  run.Keys("Escape Escape Escape alt+e Right Return");
  run.Keys(copy);
  EXPECT_EQ(clipboard("42\n"), "42\n");

  // "&Plots" heads the context menu: "&Remove" empties the subplot and
  // "Counter" shows the plot again.
  const std::string start = run.Shot(window, "menus-start");
  // The keys wait for the menu: it takes them once it shows.
  auto contextMenu = [&] {
    const int before = AllVisibleWindows();
    test::Shell("xdotool mousemove --window " + window + " 320 300 click 3");
    EXPECT_TRUE(Eventually([&] { return AllVisibleWindows() > before; }));
  };
  contextMenu();
  run.Shot("root", "menus-context");
  run.Keys("Down Right Return");
  EXPECT_GT(FigureAfter(run, window, "menus-removed", start, false), 0);
  const std::string removed = test::ScreenDir() + "/menus-removed.png";
  contextMenu();
  run.Keys("Down Right Down Return");
  EXPECT_GT(FigureAfter(run, window, "menus-chosen", removed, false), 0);
  run.Keys("ctrl+q");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(run.Output().find("ERROR"), std::string::npos) << run.Output();
}

}  // namespace
}  // namespace vke
