#include "app/tab_mobile.h"

#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/utils.h>

#include <thread>

#include "app/tab_layout.h"
#include "app/wx_util.h"
#include "base/server_wait.h"

namespace zel {

LookupTabPanel::LookupTabPanel(wxWindow* book, LookupKind kind, const LookupLayout& layout)
    : TabPanel(book, wxID_ANY) {
  // The browser the user never sees: it only holds the query page.
  browser_ = std::make_unique<WxBrowser>(this, wxDefaultPosition, wxSize(200, 100));
  Win(*browser_)->Hide();
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, W8(layout.group));
  wxStaticBox* group = box->GetStaticBox();
  auto* prompt = new wxStaticText(group, wxID_ANY, W8(layout.prompt));
  edit_ = new wxTextCtrl(group, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER);
  edit_->SetMinSize(wxSize(Scaled(220), -1));
  if (layout.maxLength > 0) edit_->SetMaxLength(static_cast<unsigned long>(layout.maxLength));
  button_ = new wxButton(group, wxID_ANY, W8(u8"查询"));
  button_->Disable();
  memo_ = new wxTextCtrl(group, wxID_ANY, wxEmptyString, wxDefaultPosition, Scaled(300, 80),
                         wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE);
  memo_->SetBackgroundColour(GetBackgroundColour());
  memo_->SetMinSize(Scaled(300, 80));
  NoCaret(memo_);

  const int gap = Scaled(8);
  auto* query = new wxBoxSizer(wxHORIZONTAL);
  if (layout.promptAbove)
    box->Add(prompt, 0, wxLEFT | wxRIGHT | wxTOP, gap);
  else
    query->Add(prompt, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(4));
  query->Add(edit_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  query->Add(button_, 0, wxALIGN_CENTER_VERTICAL);
  box->Add(query, 0, wxALL, gap);
  if (layout.resultLabel)
    box->Add(new wxStaticText(group, wxID_ANY, W8(layout.resultLabel)), 0, wxLEFT | wxRIGHT | wxTOP, gap);
  box->Add(memo_, 1, wxEXPAND | wxALL, gap);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(box, 1, wxEXPAND | wxALL, Scaled(6));
  SetSizer(all);

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
  logic_->OnWaiting = [this](bool on) {
    if (on) deadline_.StartOnce(deadlineMs_);
    else deadline_.Stop();
    if (on != busy_) on ? wxBeginBusyCursor() : wxEndBusyCursor();
    busy_ = on;
  };
  deadline_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Guard([this] { logic_->DeadlinePassed(); }); });
  browser_->OnDocumentComplete = [this] { Guard([this] { logic_->DocumentComplete(); }); };
  browser_->OnLoadFailed = [this] { Guard([this] { logic_->PageFailed(); }); };
  button_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Guard([this] { logic_->QueryClick(); }); });
  edit_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Guard([this] { logic_->KeyPress(13); }); });
}

LookupTabPanel::~LookupTabPanel() {
  alive_.reset();
  deadline_.Stop();
  if (busy_) wxEndBusyCursor();
}

void LookupTabPanel::Startup() {
  Guard([this] { logic_->Startup(); });
  // A server started with the window may come up after the tab asked for
  // its page: once it answers, a page that failed is asked for again.
  const std::string page = LookupPageAddress(logic_->Kind());
  if (page.empty()) return;
  std::weak_ptr<bool> alive = alive_;
  std::thread([this, alive, page] {
    AwaitServer(page);
    PostToUi([this, alive] {
      if (!alive.expired()) Guard([this] { logic_->TabShown(); });
    });
  }).detach();
}

void LookupTabPanel::OnShown() {
  browser_->CreateView();
  Guard([this] { logic_->TabShown(); });
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
