#include "app/tab_mobile.h"

#include <wx/msgdlg.h>

#include "app/wx_util.h"

namespace zel {

LookupTabPanel::LookupTabPanel(wxWindow* book, LookupKind kind, const LookupLayout& layout)
    : TabPanel(book, wxID_ANY) {
  // The browser the user never sees: it only holds the query page.
  browser_ = std::make_unique<WxBrowser>(this, wxPoint(20, 40), wxSize(200, 100));
  browser_->View()->Hide();
  new wxStaticBox(this, wxID_ANY, W8(layout.group), wxPoint(8, 6), wxSize(555, 280));
  int y = 36;
  if (layout.promptAbove) {
    new wxStaticText(this, wxID_ANY, W8(layout.prompt), wxPoint(24, y));
    y += 24;
    edit_ = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(24, y), wxSize(220, -1), wxTE_PROCESS_ENTER);
  } else {
    new wxStaticText(this, wxID_ANY, W8(layout.prompt), wxPoint(24, y + 5));
    edit_ = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(120, y), wxSize(220, -1), wxTE_PROCESS_ENTER);
  }
  if (layout.maxLength > 0) edit_->SetMaxLength(static_cast<unsigned long>(layout.maxLength));
  button_ = new wxButton(this, wxID_ANY, W8(u8"查询"), wxPoint(edit_->GetPosition().x + 230, y), wxSize(80, -1));
  button_->Disable();
  y += 40;
  if (layout.resultLabel) {
    new wxStaticText(this, wxID_ANY, W8(layout.resultLabel), wxPoint(24, y));
    y += 22;
  }
  memo_ = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(24, y), wxSize(525, 276 - y),
                         wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE);
  memo_->SetBackgroundColour(GetBackgroundColour());

  editView_ = std::make_unique<WxText>(edit_);
  memoView_ = std::make_unique<WxText>(memo_);
  buttonView_ = std::make_unique<WxControl>(button_);
  logic_ = std::make_unique<LookupTab>(kind, LookupViews{browser_.get(), editView_.get(), buttonView_.get(),
                                                         memoView_.get()});
  WxBrowser* b = browser_.get();
  logic_->ReadPage = [b]() -> std::optional<std::string> {
    wxString out;
    // 'N' when the document has no body, else 'B' and the body's text.
    if (!b->RunScript("document.body ? 'B' + document.body.innerText : 'N'", &out) || !out.StartsWith("B"))
      return std::nullopt;
    return FromW(out.Mid(1));
  };
  browser_->OnDocumentComplete = [this] {
    // The blank page the view starts with is no page of the lookup server.
    wxString url = browser_->View()->GetCurrentURL();
    if (url.empty() || url == wxWebViewDefaultURLStr) return;
    Guard([this] { logic_->DocumentComplete(); });
  };
  button_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Guard([this] { logic_->QueryClick(); }); });
  edit_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Guard([this] { logic_->KeyPress(13); }); });
}

void LookupTabPanel::Startup() {
  Guard([this] { logic_->Startup(); });
}

void LookupTabPanel::Guard(const std::function<void()>& fn) {
  // A fault in the logic shows a message instead of ending the program.
  try {
    fn();
  } catch (const std::exception& e) {
    wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, this);
  }
}

// The "手机查询" tab.
TabPanel* CreateMobileTab(wxWindow* book, TabContext&) {
  return new LookupTabPanel(book, LookupKind::Mobile, {u8"手机号码归属地查询", u8"手机号码(段)："});
}

}  // namespace zel
