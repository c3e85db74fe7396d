// The figure on the desktop's clipboard in three formats at once: the SVG
// document, the PDF page and the PNG image, kept after the program ends
// where the desktop has a clipboard keeper.
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/mstream.h>

#include "shell/window/kv_dialogs.hpp"

namespace vke {

namespace {

constexpr const char* kSvgFormat = "image/svg+xml";
constexpr const char* kPdfFormat = "application/pdf";

wxCustomDataObject* Document(const char* format, const std::string& bytes) {
  auto* data = new wxCustomDataObject(wxDataFormat(format));
  data->SetData(bytes.size(), bytes.data());
  return data;
}

}  // namespace

bool PutFigureOnClipboard(const FigureImages& images) {
  auto* all = new wxDataObjectComposite;
  all->Add(Document(kSvgFormat, images.svg), true);
  all->Add(Document(kPdfFormat, images.pdf));
  wxMemoryInputStream png(images.png.data(), images.png.size());
  const wxImage image(png, wxBITMAP_TYPE_PNG);
  if (image.IsOk()) all->Add(new wxBitmapDataObject(wxBitmap(image)));
  if (!wxTheClipboard->Open()) {
    delete all;
    return false;
  }
  const bool done = wxTheClipboard->SetData(all);
  wxTheClipboard->Close();
  if (done) wxTheClipboard->Flush();
  return done;
}

}  // namespace vke
