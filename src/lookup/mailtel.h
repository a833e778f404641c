// Postal and telephone area codes from mailtel.ini: section [Province]
// names the provinces; each province's own section holds, per place, the
// key <place>mail (postal code) followed by <place>tel (area code).
#pragma once

#include <memory>
#include <string>

#include "base/ini.h"
#include "base/text.h"
#include "base/ui.h"

namespace zel {

class TMailTel {
 public:
  // Opens the file and reads the province names; a missing file gives empty
  // lists.
  explicit TMailTel(const std::string& iniPath);

  // Replaces the list's items with the province names.
  void FillProvinceList(ListView& list) const;
  // ReadPlaces, BuildPage, then the page into the browser.
  void ShowProvince(Browser& browser);
  // Rows := name, postal code, area code for each place of CurrentProvince.
  void ReadPlaces();
  // WorkLines := the lines of the table page for CurrentProvince and Rows.
  void BuildPage();
  // WorkLines joined, each line followed by CR LF.
  std::string PageText() const;

  ::zel::IniFile IniFile;
  TextList Provinces;
  TextList WorkLines;
  TextList Rows;
  std::string CurrentProvince;
};

// The "邮编区号" tab's handlers.
class MailTab {
 public:
  MailTab(ListView* lsbMailProvince, Browser* webBrowserTel);

  // Start-up: the province list, then mail.htm until the first pick.
  void Startup();
  void lsbMailProvinceClick();

  // The table, made on first use (null before Startup).
  TMailTel* MailTel() { return mailTel_.get(); }

 private:
  ListView* list_;
  Browser* browser_;
  std::unique_ptr<TMailTel> mailTel_;  // lives as long as the window
};

}  // namespace zel
