// Shared by the two fortune tabs: texts with CR LF line breaks shown in GTK
// controls, and the event-boundary guard.
#pragma once

#include <wx/msgdlg.h>

#include <exception>
#include <functional>
#include <string>

#include "app/wx_util.h"
#include "app/wx_views.h"

namespace zel {

// GTK labels show a CR as a visible mark; lines break at LF alone there.
class LineText : public TextView {
 public:
  explicit LineText(wxWindow* w) : inner_(w) {}
  void SetText(const std::string& text) override {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
      if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
    inner_.SetText(out);
  }
  std::string Text() const override { return inner_.Text(); }

 private:
  WxText inner_;
};

// A fault in the logic shows a message instead of ending the program.
inline void GuardEvent(wxWindow* parent, const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, parent);
  }
}

}  // namespace zel
