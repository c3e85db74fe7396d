// Event pumping and screenshots of the window tests.
#include "tests/gui/gui_env.hpp"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/utils.h>

#include <chrono>
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

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
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
