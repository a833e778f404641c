#include "app/tab_mail.h"

#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>

#include "app/tab_layout.h"
#include "app/wx_util.h"

namespace zel {

MailTabPanel::MailTabPanel(wxWindow* book) : TabPanel(book, wxID_ANY) {
  browser_ = std::make_unique<WxBrowser>(this, wxDefaultPosition, Scaled(400, 290));
  Win(*browser_)->SetMinSize(Scaled(400, 290));
  auto* title = new wxStaticText(this, wxID_ANY, W8(u8"省份和地区："));
  lsbMailProvince = new wxListBox(this, wxID_ANY, wxDefaultPosition, Scaled(150, 262));
  auto* side = new wxBoxSizer(wxVERTICAL);
  side->Add(title, 0, wxBOTTOM, Scaled(4));
  side->Add(lsbMailProvince, 1, wxEXPAND);
  auto* all = new wxBoxSizer(wxHORIZONTAL);
  all->Add(Win(*browser_), 1, wxEXPAND | wxALL, Scaled(2));
  all->Add(side, 0, wxEXPAND | wxALL, Scaled(6));
  SetSizer(all);
  list_ = std::make_unique<WxList>(lsbMailProvince);
  logic_ = std::make_unique<MailTab>(list_.get(), browser_.get());
  lsbMailProvince->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) {
    try {
      logic_->lsbMailProvinceClick();
    } catch (const std::exception& e) {
      wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, this);
    }
  });
}

void MailTabPanel::Startup() {
  logic_->Startup();
  // As wide as the longest name now listed, and never narrower than the
  // original column.
  lsbMailProvince->SetMinSize(wxDefaultSize);
  lsbMailProvince->InvalidateBestSize();
  lsbMailProvince->SetMinSize(wxSize(std::max(lsbMailProvince->GetBestSize().x, Scaled(150)), Scaled(100)));
}

// The "邮编区号" tab.
TabPanel* CreateMailTab(wxWindow* book, TabContext&) { return new MailTabPanel(book); }

}  // namespace zel
