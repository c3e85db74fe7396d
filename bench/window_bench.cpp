// One redraw of a 10,000-point figure through the window: a "+" typed on
// the figure runs the application's key handler and its draw handler, and
// the window's paint of the figure reaches the screen before the next key
// (the events are handled until it has). Runs the packed application given
// (bench/programs/points.kvd behind the runtime) in a window of 800 x 600;
// prints the mean milliseconds per key, and fails when a key was not
// followed by a paint. Needs a display; bench/compare_window.sh runs it.
#include <wx/app.h>
#include <wx/init.h>
#include <wx/sizer.h>

#include <chrono>
#include <cstdio>

#include "graphics/figure_codes.hpp"
#include "shell/kv_engine.hpp"
#include "shell/window/kv_windows.hpp"

namespace {

constexpr int kKeys = 50;
// The longest a key may wait for its paint.
constexpr std::chrono::seconds kPaintWait{2};
constexpr uint32_t kMemMin = 0x7E8000;
constexpr uint32_t kMemMax = 0x8000000;

class Host : public vke::CanvasHost {
 public:
  int32_t Instance() const override { return id; }
  void ShowStatus(const wxString&) override {}
  bool ModalOpen() const override { return false; }
  void ReportError(vke::ErrCode) override {}
  int32_t id = 0;
};

void Pump() {
  for (int k = 0; k < 20; k++) wxTheApp->Yield(true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_window_bench PACKED-APPLICATION\n");
    return 2;
  }
  wxApp::SetInstance(new wxApp);
  int wxArgc = 1;
  if (!wxEntryStart(wxArgc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  vke::KVAppContext context(kMemMin, kMemMax);
  vke::KVEngine engine(context);
  std::string title;
  if (vke::ErrCode e = engine.LoadApplication(argv[1], &title)) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], engine.ErrorText(e).c_str());
    return 1;
  }
  Host host;
  host.id = engine.FirstInstance();
  auto* frame = new wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(800, 600));
  auto* canvas = new vke::KVCanvas(frame, engine, host);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(canvas, 1, wxEXPAND);
  frame->SetSizer(sizer);
  frame->Show();
  Pump();
  canvas->DrawNowFromHere();

  wxKeyEvent key(wxEVT_CHAR);
  key.m_keyCode = '+';
  key.m_uniChar = '+';
  key.SetEventObject(canvas);
  const int paintsBefore = canvas->Paints();
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < kKeys; k++) {
    const int paints = canvas->Paints();
    canvas->GetEventHandler()->ProcessEvent(key);
    canvas->Update();
    const auto deadline = std::chrono::steady_clock::now() + kPaintWait;
    while (canvas->Paints() == paints && std::chrono::steady_clock::now() < deadline)
      wxTheApp->Yield(true);
    if (canvas->Paints() == paints) {
      std::fprintf(stderr, "key %d: the window did not paint\n", k + 1);
      return 1;
    }
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const int painted = canvas->Paints() - paintsBefore;
  if (painted < kKeys) {
    std::fprintf(stderr, "%d paints for %d keys\n", painted, kKeys);
    return 1;
  }
  std::printf("%.3f\n", ms / kKeys);
  frame->Destroy();
  Pump();
  wxEntryCleanup();
  return 0;
}
