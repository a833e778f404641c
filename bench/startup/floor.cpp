// The floor the window's start is measured against: a bare frame of the
// same client size holding one web view with a small local page.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/webview.h>

class FloorApp : public wxApp {
 public:
  bool OnInit() override {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "startup-floor");
    auto* view = wxWebView::New(frame, wxID_ANY);
    view->SetPage("<html><body><p>floor</p></body></html>", "");
    frame->SetClientSize(580, 450);
    frame->Show();
    return true;
  }
};

wxIMPLEMENT_APP(FloorApp);
