// Event pumping, waits without a limit of their own and screenshots of
// the window tests.
#include "tests/gui/gui_env.hpp"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vke::test {

void Pump(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < end);
}

namespace {

constexpr auto kWaitNoteEvery = std::chrono::minutes(1);

}  // namespace

WaitNote::WaitNote(std::source_location where)
    : where_(where), start_(std::chrono::steady_clock::now()), next_(start_ + kWaitNoteEvery) {}

void WaitNote::Round() {
  const auto now = std::chrono::steady_clock::now();
  if (now < next_) return;
  next_ = now + kWaitNoteEvery;
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(now - start_).count();
  std::fprintf(stderr, "still waiting after %lld s at %s:%u\n", static_cast<long long>(waited),
               where_.file_name(), static_cast<unsigned>(where_.line()));
}

bool PumpUntil(const std::function<bool()>& done, std::source_location where) {
  WaitNote note(where);
  while (!done()) {
    note.Round();
    Pump(20);
  }
  return true;
}

std::string ScreenDir() {
  const char* dir = std::getenv("VKE_SCREEN_DIR");
  return dir ? dir : ".";
}

wxImage Snapshot(wxWindow* window, const std::string& name) {
  const wxSize size = window->GetClientSize();
  wxBitmap bitmap(size);
  {
    wxClientDC screen(window);
    wxMemoryDC memory(bitmap);
    memory.Blit(0, 0, size.x, size.y, &screen, 0, 0);
  }
  const wxImage image = bitmap.ConvertToImage();
  image.SaveFile(ScreenDir() + "/" + name + ".png", wxBITMAP_TYPE_PNG);
  return image;
}

}  // namespace vke::test
