#include "lookup/mailtel.h"

#include <exception>

#include "base/appenv.h"
#include "base/files.h"
#include "base/gbk.h"

namespace zel {

TMailTel::TMailTel(const std::string& iniPath) : IniFile(iniPath) { Provinces = IniFile.ReadSection("Province"); }

void TMailTel::FillProvinceList(ListView& list) const {
  list.Clear();
  for (const auto& p : Provinces) list.Add(p);
}

void TMailTel::ShowProvince(Browser& browser) {
  ReadPlaces();
  BuildPage();
  browser.ShowHtml(PageText());
}

void TMailTel::ReadPlaces() {
  static const std::string none = G(u8"没有");
  Rows.clear();
  WorkLines = IniFile.ReadSection(CurrentProvince);
  // Keys come in pairs, the mail key first: keep every other key.
  for (size_t i = WorkLines.size(); i >= 1; --i)
    if (i % 2 == 1 && i < WorkLines.size()) WorkLines.erase(WorkLines.begin() + static_cast<long>(i));
  for (auto& key : WorkLines)
    if (key.size() >= 4) key.resize(key.size() - 4);
  for (const auto& name : WorkLines) {
    Rows.push_back(name);
    std::string mail = Trim(IniFile.ReadString(CurrentProvince, name + "mail", ""));
    Rows.push_back(mail.empty() ? none : mail);
    Rows.push_back(IniFile.ReadString(CurrentProvince, name + "tel", ""));
  }
}

void TMailTel::BuildPage() {
  static const std::string title = G(u8"<title>全国邮政编码、电话区号查询</title>");
  static const std::string header = G(u8"<td align=\"center\" width=\"400\" colspan=\"3\">省洲名称：&nbsp;&nbsp;");
  static const std::string colName = G(u8"<td align=\"center\" width=\"150\">地区名称</td>");
  static const std::string colMail = G(u8"<td align=\"center\" width=\"100\">邮政编码</td>");
  static const std::string colTel = G(u8"<td align=\"center\" width=\"100\">电话区号</td>");
  static const std::string cell = G(u8"<td><font size=\"2\" face=\"宋体\">");
  WorkLines.clear();
  WorkLines.push_back("<html>");
  WorkLines.push_back("<head>");
  WorkLines.push_back(title);
  WorkLines.push_back("</head>");
  WorkLines.push_back("<body oncontextmenu=\"return false\" background=\"" + HtmlEscape(AppPathInPage()) +
                      "images/main_bg.gif\" style=\"overflow-x:hidden\" topmargin=\"1\" leftmargin=\"1\">");
  WorkLines.push_back(
      "<table width=\"354\" border=\"1\" cellspacing=\"0\" cellpadding=\"0\" font color=\"#184888\" "
      "bordercolorlight=\"#666666\" bordercolordark=\"#FFFFFF\" bgcolor=\"#E1F0FF\">");
  WorkLines.push_back("<tr>");
  WorkLines.push_back(header + HtmlEscape(CurrentProvince) + "</td>");
  WorkLines.push_back("</tr>");
  WorkLines.push_back("<tr>");
  WorkLines.push_back(colName);
  WorkLines.push_back(colMail);
  WorkLines.push_back(colTel);
  WorkLines.push_back("</tr>");
  for (size_t k = 0; k < Rows.size() / 3; ++k) {
    WorkLines.push_back("<tr>");
    for (size_t j = 0; j < 3; ++j) WorkLines.push_back(cell + HtmlEscape(Rows[3 * k + j]) + "</font></td>");
    WorkLines.push_back("</tr>");
  }
  WorkLines.push_back("</table>");
  WorkLines.push_back("</body>");
  WorkLines.push_back("</html>");
}

std::string TMailTel::PageText() const { return JoinLines(WorkLines); }

MailTab::MailTab(ListView* lsbMailProvince, Browser* webBrowserTel) : list_(lsbMailProvince), browser_(webBrowserTel) {}

void MailTab::Startup() {
  // Failures here end the step without a message.
  try {
    if (!mailTel_) mailTel_ = std::make_unique<TMailTel>(AppPath() + "mailtel.ini");
    mailTel_->FillProvinceList(*list_);
    browser_->Navigate(AppPath() + "mail.htm");
  } catch (const std::exception&) {
  }
}

void MailTab::lsbMailProvinceClick() {
  if (!mailTel_ || list_->Count() == 0) return;
  int row = list_->Selected();
  if (row < 0) return;
  mailTel_->CurrentProvince = list_->Item(row);
  mailTel_->ShowProvince(*browser_);
}

}  // namespace zel
