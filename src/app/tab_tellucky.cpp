#include "app/tab_tellucky.h"

#include <wx/statbox.h>

#include "app/tab_fortune.h"

namespace zel {

TelLuckyTabPanel::TelLuckyTabPanel(wxWindow* book) : TabPanel(book, wxID_ANY) {
  lblTelLuckyMemo = new wxStaticText(this, wxID_ANY, wxEmptyString, wxPoint(10, 6), wxSize(553, 92));
  new wxStaticBox(this, wxID_ANY, W8(u8"请输入您将要预测的手机号码"), wxPoint(8, 100), wxSize(555, 58));
  edtTelLucky = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(24, 122), wxSize(220, -1), wxTE_PROCESS_ENTER);
  btnTelLucky = new wxButton(this, wxID_ANY, W8(u8"预测"), wxPoint(256, 120), wxSize(80, 28));
  MemoTelLuckyExplain = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(12, 168), wxSize(551, 112),
                                       wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE);
  MemoTelLuckyExplain->SetBackgroundColour(wxColour(231, 231, 231));

  label_ = std::make_unique<LineText>(lblTelLuckyMemo);
  edit_ = std::make_unique<WxText>(edtTelLucky);
  memo_ = std::make_unique<LineText>(MemoTelLuckyExplain);
  logic_ = std::make_unique<TelLuckyTab>(TelLuckyViews{label_.get(), edit_.get(), memo_.get()});

  btnTelLucky->Bind(wxEVT_BUTTON,
                    [this](wxCommandEvent&) { GuardEvent(this, [this] { logic_->btnTelLuckyClick(); }); });
  edtTelLucky->Bind(wxEVT_TEXT_ENTER,
                    [this](wxCommandEvent&) { GuardEvent(this, [this] { logic_->edtTelLuckyKeyPress(13); }); });
}

void TelLuckyTabPanel::Startup() {
  GuardEvent(this, [this] { logic_->Startup(); });
}

// The "手机号吉祥算" tab.
TabPanel* CreateTelLuckyTab(wxWindow* book, TabContext&) { return new TelLuckyTabPanel(book); }

}  // namespace zel
