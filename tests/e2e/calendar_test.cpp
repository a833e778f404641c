#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "app/tab_calendar.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"

namespace zel {
namespace {

// A script's answer in the calendar page (UTF-8), or "" while none.
std::string Js(WxBrowser& b, const char* js) {
  wxString out;
  if (!b.RunScript(wxString::FromUTF8(js), &out)) return {};
  return std::string(out.utf8_str());
}

// Text of every red cell, joined by '|'.
constexpr const char* kRedCells =
    "Array.from(document.querySelectorAll('font[color]')).map(e => e.innerText.replace(/\\n/g, ' ')).join('|')";
// Text of cell k (1-based, row by row), line break as a blank.
std::string CellJs(int k) {
  return "(function(){var c=document.querySelectorAll('table.wnl td');return c.length>=" + std::to_string(k) +
         "?c[" + std::to_string(k - 1) + "].innerText.replace(/\\n/g,' '):'';})()";
}

void SendSpin(wxSpinCtrl* spin, int value) {
  spin->SetValue(value);
  wxSpinEvent e(wxEVT_SPINCTRL, spin->GetId());
  e.SetEventObject(spin);
  e.SetPosition(value);
  spin->GetEventHandler()->ProcessEvent(e);
}

void SendMouse(wxWindow* w, wxEventType type) {
  wxMouseEvent e(type);
  e.SetEventObject(w);
  w->GetEventHandler()->ProcessEvent(e);
}

TEST(CalendarTab, MonthPageFollowsTodaySpinBoxAndMonthList) {
  test::AppFolder app;
  app.CopyShippedData();
  auto* f = new Tfrm_main(app.path());
  f->Show();
  auto* tab = dynamic_cast<CalendarTabPanel*>(f->TabWNL);
  ASSERT_NE(tab, nullptr);
  f->PageControl1->SetSelection(1);
  WxBrowser& b = tab->BrowserWNL();

  // Start-up: today's month, today in red, the caption with the cyclic year.
  const CivilDate now = LocalToday();
  EXPECT_EQ(tab->speWNLYear->GetValue(), now.year);
  EXPECT_EQ(tab->cboWNL->GetSelection(), now.month - 1);
  EXPECT_EQ(tab->lblWNL->GetLabel().utf8_string().rfind("今日：" + std::to_string(now.year) + "年", 0), 0u);
  ASSERT_TRUE(e2e::PumpUntil([&] { return !Js(b, kRedCells).empty(); })) << e2e::BodyTextUtf8(b);
  EXPECT_EQ(Js(b, kRedCells).rfind(std::to_string(now.day) + " ", 0), 0u) << Js(b, kRedCells);
  EXPECT_EQ(Js(b, kRedCells).find('|'), std::string::npos) << "exactly one red cell";

  // "转到今日" with a stand-in date: April 2025, the 28th in red showing the corrected month.
  tab->Logic().Today = [] { return CivilDate{2025, 4, 28}; };
  SendMouse(tab->Label14, wxEVT_LEFT_UP);
  EXPECT_EQ(tab->speWNLYear->GetValue(), 2025);
  EXPECT_EQ(tab->cboWNL->GetSelection(), 3);
  ASSERT_TRUE(e2e::PumpUntil([&] { return Js(b, kRedCells) == "28 四月"; })) << Js(b, kRedCells);
  EXPECT_EQ(Js(b, CellJs(4).c_str()), "2 初五") << "April 2025 starts on a Tuesday";

  // The month list: June 2025, no red cell.
  e2e::SelectRow(tab->cboWNL, 5);
  ASSERT_TRUE(e2e::PumpUntil([&] { return Js(b, CellJs(1).c_str()) == "1 儿童节"; })) << e2e::BodyTextUtf8(b);
  EXPECT_EQ(Js(b, kRedCells), "");

  // The spin box: June 2013 shows the corrected fifth month on the 8th.
  SendSpin(tab->speWNLYear, 2013);
  ASSERT_TRUE(e2e::PumpUntil([&] { return Js(b, CellJs(14).c_str()) == "8 五月"; })) << e2e::BodyTextUtf8(b);

  // Past the tables the spin box leaves the page; the month list shows days only.
  SendSpin(tab->speWNLYear, 2051);
  e2e::Pump(300);
  EXPECT_EQ(Js(b, CellJs(14).c_str()), "8 五月");
  EXPECT_EQ(tab->Logic().ShownYear(), 2013);
  e2e::SelectRow(tab->cboWNL, 9);
  ASSERT_TRUE(e2e::PumpUntil([&] { return Js(b, CellJs(1).c_str()) == "1 国庆节"; })) << e2e::BodyTextUtf8(b);
  EXPECT_EQ(Js(b, CellJs(2).c_str()), "2 ") << "October 2051 has no lunar texts";

  // The link's colours follow the mouse.
  SendMouse(tab->Label14, wxEVT_ENTER_WINDOW);
  EXPECT_EQ(tab->Label14->GetForegroundColour(), wxColour(66, 142, 255));
  SendMouse(tab->Label14, wxEVT_LEAVE_WINDOW);
  EXPECT_EQ(tab->Label14->GetForegroundColour(), wxColour(33, 93, 198));

  f->Destroy();
  e2e::Pump(100);
}

}  // namespace
}  // namespace zel
