// Event pumping, shell commands and temporary folders of the window tests.
#include "tests/gui/gui_env.hpp"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/utils.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    pclose(pipe);
  }
  return out;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vke-gui-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

}  // namespace vke::test
