#include "app/tab_mail.h"

#include <wx/msgdlg.h>
#include <wx/stattext.h>

#include "app/wx_util.h"

namespace zel {

MailTabPanel::MailTabPanel(wxWindow* book) : TabPanel(book, wxID_ANY) {
  browser_ = std::make_unique<WxBrowser>(this, wxPoint(1, 1), wxSize(400, 290));
  new wxStaticText(this, wxID_ANY, W8(u8"省份和地区："), wxPoint(412, 6));
  lsbMailProvince = new wxListBox(this, wxID_ANY, wxPoint(412, 26), wxSize(150, 262));
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

void MailTabPanel::Startup() { logic_->Startup(); }

// The "邮编区号" tab.
TabPanel* CreateMailTab(wxWindow* book, TabContext&) { return new MailTabPanel(book); }

}  // namespace zel
