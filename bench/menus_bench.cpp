// Rebuilding the menus of an application after it changed, with one update
// pass of every menu item: an application of 64 menu items in 8 menus, 8
// languages and 16 "Copy As" and 16 "Paste As" formats, packed behind a
// file and loaded by the window's engine facade, in a window's menu bar.
// Prints the milliseconds of the first rebuild and pass (its item states
// computed, its widgets made), the mean of the next ones (the menus taken
// back), and the mean of those that make every widget anew (the menus
// cleared first, as when all their texts or items changed). Needs a
// display; bench/compare_menus.sh runs it beside GNU Octave building the
// same tree.
#include <wx/app.h>
#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/image.hpp"
#include "shell/kv_engine.hpp"
#include "shell/window/kv_windows.hpp"
#include "tools/kvpack/pack.hpp"

namespace {

constexpr int kMenus = 8;
constexpr int kItemsPerMenu = 8;
constexpr int kLanguages = 8;
constexpr int kFormats = 16;
constexpr int kRounds = 200;
constexpr uint32_t kMemMin = 0x7E8000;
constexpr uint32_t kMemMax = 0x8000000;

constexpr const char* kSource = R"(function (count, word) = start
  count = 0;
  word = '';

function word = named(k)
  word = sprintf('language %d', k);

function count = add(count, k)
  count = count + k;

function show(count)
  plot(count, count, 'o');

function count = parse(text)
  count = sscanf(text, '%f');
)";

std::string Description() {
  std::string d = "title \"Menus bench\"\nsource \"menus.vke\"\nvar count word\n";
  d += "init (count, word) = start()\nfigure \"Plot\"\n  draw show(count)\n";
  for (int k = 0; k < kLanguages; k++)
    d += "language \"l" + std::to_string(k) + ";Language " + std::to_string(k) +
         "\"\n  init word = named(" + std::to_string(k) + ")\n";
  d += "endlanguage\n";
  for (int m = 0; m < kMenus; m++) {
    d += "menu \"Menu " + std::to_string(m) + "\"\n";
    for (int k = 0; k < kItemsPerMenu; k++)
      d += "  item \"Item " + std::to_string(k) + "\" count = add(count, " + std::to_string(k) +
           ") enabled \"count ~= " + std::to_string(k) + "\"\n";
    d += "endmenu\n";
  }
  for (int k = 0; k < kFormats; k++) {
    d += "copy \"Copy " + std::to_string(k) + "\" _xdata = (count)\n";
    d += "paste \"Paste " + std::to_string(k) + "\" count = parse(_xdata)\n";
  }
  return d;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// The document's window side, with the frame's menu bar.
class Host : public vke::DocumentHost {
 public:
  explicit Host(wxMenuBar* bar) : bar_(bar) {}
  void UpdateAllViews() override {}
  void SetModified(bool) override {}
  void SetTitle(const std::string&) override {}
  void ShowError(const std::string&, const std::string&) override {}
  vke::MenuSurface* MenuBar() override { return &bar_; }
  vke::TextWindow* NewTextWindow(const std::string&) override { return nullptr; }

 private:
  vke::WxMenuBarSurface bar_;
};

}  // namespace

int main(int argc, char** argv) {
  wxApp::SetInstance(new wxApp);
  int wxArgc = 1;
  if (argc < 1 || !wxEntryStart(wxArgc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  // The application packed and written behind a file.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vke-menus-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string runtime = (folder / "runtime").string();
  const std::string program = (folder / "program").string();
  std::ofstream(runtime, std::ios::binary) << "runtime";
  {
    vke::kvpack::ToolHost tool;
    Check(tool.Create() == vke::kOk, "block");
    vke::kvpack::AppDescription app;
    vke::kvpack::PackError error;
    Check(vke::kvpack::ParseDescription(Description(), "menus.kv", &app, &error.error), "parse");
    const auto read = [](const std::string&, std::string* text) {
      *text = kSource;
      return true;
    };
    Check(vke::kvpack::PackApplication(&tool, app, "menus.kvd", read, &error), "pack");
    Check(vke::WriteImageFile(tool.block(), "Menus", runtime.c_str(), program.c_str()) == vke::kOk,
          "image");
  }
  vke::KVAppContext context(kMemMin, kMemMax);
  vke::KVEngine engine(context);
  std::string title;
  Check(engine.LoadApplication(program, &title) == vke::kOk, "load");
  std::filesystem::remove_all(folder);
  const int32_t id = engine.FirstInstance();
  Check(engine.ResetData(id) == vke::kOk, "reset");

  auto* frame = new wxFrame(nullptr, wxID_ANY, "Menus", wxDefaultPosition, wxSize(900, 300));
  frame->SetMenuBar(vke::NewMenuBar(vke::MainMenu()));
  Host host(frame->GetMenuBar());
  vke::DocumentCommands doc(engine, vke::SystemClipboard(), host);
  doc.SetInstance(id);
  const auto update = [&](wxUpdateUIEvent& event) {
    if (std::optional<vke::CommandUpdate> u = doc.Update(event.GetId()))
      vke::ApplyCommandUpdate(event, *u);
  };
  frame->Bind(wxEVT_UPDATE_UI, update, vke::kCmdResetData, vke::kPlotCommandsEnd - 1);
  frame->Show();
  for (int k = 0; k < 20; k++) wxTheApp->Yield(true);

  int items = 0;
  const auto round = [&](bool anew) {
    if (anew) doc.UpdateEditMenus();
    doc.UpdateMenus(false);
    wxMenuBar* bar = frame->GetMenuBar();
    for (size_t k = 0; k < bar->GetMenuCount(); k++) bar->GetMenu(k)->UpdateUI(frame);
    // The menus taken out are deleted.
    wxTheApp->ProcessIdle();
    items = static_cast<int>(doc.Menus().Commands().Records().size());
  };
  using Clock = std::chrono::steady_clock;
  const auto time = [&](int rounds, bool anew) {
    const auto start = Clock::now();
    for (int k = 0; k < rounds; k++) round(anew);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / rounds;
  };
  const double first = time(1, false);
  const double kept = time(kRounds, false);
  const double anew = time(kRounds, true);
  Check(items == kMenus * kItemsPerMenu + kLanguages + 2 * kFormats, "items");
  std::printf("%.3f %.3f %.3f\n", first, kept, anew);
  frame->Destroy();
  for (int k = 0; k < 20; k++) wxTheApp->Yield(true);
  wxEntryCleanup();
  return 0;
}
