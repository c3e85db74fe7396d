// The document's commands in the window: the document's side of its rules
// (views, title, error boxes, the frame's menu bar, the text windows) and
// the context menu its view offers.
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

class WindowDocumentHost : public DocumentHost {
 public:
  explicit WindowDocumentHost(KVDoc* doc) : doc_(doc) {}

  void UpdateAllViews() override { doc_->UpdateAllViews(); }
  void SetModified(bool modified) override { doc_->Modify(modified); }
  void SetTitle(const std::string& title) override {
    // Without a title of its own the instance keeps the image's.
    if (title.empty()) return;
    doc_->SetTitle(WindowText(title));
    if (KVMainFrame* frame = wxGetApp().Frame()) frame->SetTitle(WindowText(title));
  }
  void ShowError(const std::string& text, const std::string& caption) override {
    wxGetApp().Errors().LogText(text);
    ShowErrorBoxLater(WindowText(text), WindowText(caption));
  }
  MenuSurface* MenuBar() override {
    KVMainFrame* frame = wxGetApp().Frame();
    wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
    if (!bar) return nullptr;
    bar_ = std::make_unique<WxMenuBarSurface>(bar);
    return bar_.get();
  }
  TextWindow* NewTextWindow(const std::string& title) override {
    return new KVTextWindow(wxGetApp().Frame(), title);
  }

 private:
  KVDoc* doc_;
  std::unique_ptr<WxMenuBarSurface> bar_;
};

}  // namespace

DocumentCommands& KVDoc::Commands() {
  if (!commands_) {
    host_ = std::make_unique<WindowDocumentHost>(this);
    commands_ = std::make_unique<DocumentCommands>(wxGetApp().Engine(), SystemClipboard(), *host_);
    commands_->SetInstance(instance_);
  }
  return *commands_;
}

MenuNode KVView::ContextMenu() {
  auto* doc = static_cast<KVDoc*>(GetDocument());
  return doc->Commands().Menus().ContextMenu(doc->Instance());
}

}  // namespace vke
