#include "app/tab_tellucky.h"

#include <wx/sizer.h>
#include <wx/statbox.h>

#include "app/tab_fortune.h"
#include "app/tab_layout.h"

namespace zel {

TelLuckyTabPanel::TelLuckyTabPanel(wxWindow* book) : TabPanel(book, wxID_ANY) {
  lblTelLuckyMemo = new wxStaticText(this, wxID_ANY, wxEmptyString);
  auto* box = new wxStaticBoxSizer(wxHORIZONTAL, this, W8(u8"请输入您将要预测的手机号码"));
  edtTelLucky = new wxTextCtrl(box->GetStaticBox(), wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                               wxTE_PROCESS_ENTER);
  edtTelLucky->SetMinSize(wxSize(Scaled(220), -1));
  btnTelLucky = new wxButton(box->GetStaticBox(), wxID_ANY, W8(u8"预测"));
  MemoTelLuckyExplain = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, Scaled(300, 60),
                                       wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE);
  MemoTelLuckyExplain->SetBackgroundColour(wxColour(231, 231, 231));
  NoCaret(MemoTelLuckyExplain);

  const int gap = Scaled(8);
  box->Add(edtTelLucky, 0, wxALIGN_CENTER_VERTICAL | wxALL, gap);
  box->Add(btnTelLucky, 0, wxALIGN_CENTER_VERTICAL | wxTOP | wxBOTTOM | wxRIGHT, gap);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(lblTelLuckyMemo, 0, wxEXPAND | wxALL, gap);
  all->Add(box, 0, wxEXPAND | wxLEFT | wxRIGHT, Scaled(6));
  all->Add(MemoTelLuckyExplain, 1, wxEXPAND | wxALL, gap);
  SetSizer(all);

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
