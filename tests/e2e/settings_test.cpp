// The settings and About tabs in the real window, and the data update that
// start-up runs against a loopback update server.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_frame.h"
#include "app/tab_about.h"
#include "app/tab_settings.h"
#include "app/tab_weather.h"
#include "app/wx_util.h"
#include "base/ini.h"
#include "e2e/e2e_util.h"
#include "support/fakes.h"
#include "support/testutil.h"
#include "update/update_fixture.h"

namespace fs = std::filesystem;

namespace zel::e2e {
namespace {

using test::AppFolder;
using test::FakeShell;
using test::G;
using test::UpdateServer;

struct Window {
  Tfrm_main* frame;
  FakeShell shell;
  explicit Window(const AppFolder& app) : frame(new Tfrm_main(app.path())) {
    frame->SetShell(&shell);
    frame->Show();
    Pump(200);
  }
  ~Window() {
    frame->Destroy();
    Pump(50);
  }
  SettingsTabPanel& Set() { return *static_cast<SettingsTabPanel*>(frame->TabSet); }
  AboutTabPanel& About() { return *static_cast<AboutTabPanel*>(frame->TabAbout); }
  void ShowPage(wxWindow* page) { frame->PageControl1->SetSelection(static_cast<size_t>(frame->PageControl1->FindPage(page))); }
};

void AddSet(const AppFolder& app, const std::string& name, const std::string& author) {
  fs::copy(app / "Template/default", app / ("Template/" + name), fs::copy_options::recursive);
  fs::remove(app / ("Template/" + name + "/author.ini"));
  app.Write("Template/" + name + "/author.ini", "[main]\r\nauthor=" + author + "\r\n");
}

TEST(SettingsTab, TemplateListPreviewAndSwitch) {
  AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:1");  // no update server
  AddSet(app, "blue", G(u8"蓝天"));
  fs::create_directories(app / "Template/.old");
  Window w(app);
  auto& set = w.Set();
  int blue = set.lstTemplate->FindString("blue"), def = set.lstTemplate->FindString("default");
  ASSERT_NE(blue, wxNOT_FOUND);
  ASSERT_NE(def, wxNOT_FOUND);
  EXPECT_EQ(set.lstTemplate->FindString(".old"), wxNOT_FOUND);
  EXPECT_EQ(set.edtTemplateAuthor->GetValue(), "Zelmora") << "start-up shows the active set's author";

  w.ShowPage(&set);
  Pump(50);
  EXPECT_EQ(set.lstTemplate->GetSelection(), def) << "showing the tab selects the active set";
  EXPECT_EQ(set.edtTemplateAuthor->GetValue(), "Zelmora") << "showing the tab is not a click in the list";

  SelectRow(set.lstTemplate, blue);
  EXPECT_EQ(set.edtTemplateAuthor->GetValue(), W8(u8"蓝天"));
  EXPECT_TRUE(set.edtTemplateHttp->GetValue().empty());
  EXPECT_TRUE(PumpUntil([&] { return set.WebBrowser2().View()->GetCurrentURL().Contains("blue"); }));
  TForeCast* m = w.frame->TabSheet1->Logic().Manager();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->TemplateName, "default");

  Click(set.btnTemplate);
  EXPECT_EQ(m->TemplateName, "blue");
  EXPECT_EQ(IniFile(app / "Sys.ini").ReadString("main", "Template", ""), "blue");
  EXPECT_TRUE(w.shell.boxes.empty());
}

// Every click in the list shows the set's preview and author, a click on
// the row already selected (the active set, selected on entry) too.
TEST(SettingsTab, EveryClickInTheTemplateListShowsTheSet) {
  AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:1");
  AddSet(app, "zz", G(u8"蓝天"));
  Window w(app);
  auto& set = w.Set();
  w.ShowPage(&set);
  ASSERT_TRUE(PumpUntil([&] { return set.WebBrowser2().HasView(); }));
  const int def = set.lstTemplate->FindString("default"), zz = set.lstTemplate->FindString("zz");
  ASSERT_EQ(set.lstTemplate->GetSelection(), def) << "the active set is selected on entry";
  auto rowPoint = [&](int row) {
    for (int y = 1; y < set.lstTemplate->GetClientSize().y; ++y)
      if (set.lstTemplate->HitTest(wxPoint(8, y)) == row) return wxPoint(8, y + 3);
    return wxPoint(-1, -1);
  };
  struct Case {
    int row;
    const char* set;
    const char8_t* author;
  };
  for (const Case& c : {Case{def, "default", u8"Zelmora"}, Case{zz, "zz", u8"蓝天"}, Case{zz, "zz", u8"蓝天"},
                        Case{def, "default", u8"Zelmora"}}) {
    set.edtTemplateAuthor->ChangeValue("");
    const wxString before = set.WebBrowser2().Address();
    wxPoint at = rowPoint(c.row);
    ASSERT_NE(at.y, -1) << c.set;
    RealClick(set.lstTemplate, at);
    EXPECT_TRUE(PumpUntil([&] { return set.edtTemplateAuthor->GetValue() == W8(c.author); }, 3000)) << c.set;
    EXPECT_EQ(set.lstTemplate->GetSelection(), c.row);
    EXPECT_TRUE(PumpUntil([&] { return set.WebBrowser2().Address() != before; }, 3000)) << c.set << ": shown anew";
    EXPECT_TRUE(set.WebBrowser2().Address().Contains(wxString("/") + c.set + "/")) << set.WebBrowser2().Address();
  }
}

TEST(SettingsTab, StartupUpdateAndNewVersionCheck) {
  AppFolder app;
  app.CopyShippedData();
  UpdateServer srv;
  app.UseServer(srv.base());
  srv.Put("/data/News.htm", "<html><body>news</body></html>");
  srv.Description("[main]\r\nDataVersion=7\r\nAD=News.htm\r\nface=Hello.htm\r\nVersion=6.0\r\nDownNum=2\r\n"
                  "DownText1=Mirror A\r\nDownURL1=https://example.org/a.zip\r\nDownText2=Mirror B\r\n"
                  "DownURL2=file:///etc/passwd\r\n[download]\r\nNum=1\r\nURL=" + srv.DataUrl() +
                  "\r\nFile1=News.htm\r\nTo1=News.htm\r\n");
  Window w(app);
  ASSERT_TRUE(PumpUntil([&] { return IniFile(app / "Sys.ini").ReadString("main", "DataVersion", "") == "7"; }));
  EXPECT_EQ(app.Read("News.htm"), "<html><body>news</body></html>");
  EXPECT_EQ(IniFile(app / "Sys.ini").ReadString("main", "AD", ""), "News.htm");

  auto& set = w.Set();
  Click(set.btnGetNewVersion);
  ASSERT_EQ(w.shell.boxes.size(), 1u);
  EXPECT_EQ(w.shell.boxes[0].second, G(u8"发现新版本"));
  ASSERT_EQ(set.cboSoftList->GetCount(), 2u);
  EXPECT_EQ(set.cboSoftList->GetSelection(), 0);
  Click(set.btnDownSoft);
  EXPECT_EQ(w.shell.opened, std::vector<std::string>{"https://example.org/a.zip"});
  SelectRow(set.cboSoftList, 1);
  Click(set.btnDownSoft);
  EXPECT_EQ(w.shell.opened.size(), 1u) << "a local file address is not opened";
  EXPECT_EQ(w.shell.boxes.size(), 2u);
}

TEST(SettingsTab, ClosingDuringTheUpdateDownloadIsHarmless) {
  AppFolder app;
  app.CopyShippedData();
  test::LoopbackServer srv;
  srv.http().Get("/weather/UpDate.txt", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    res.set_content("[main]\r\nDataVersion=3\r\n[download]\r\nNum=0\r\n", "text/plain");
  });
  srv.Start();
  app.UseServer(srv.base());
  {
    Window w(app);
  }
  ASSERT_TRUE(PumpUntil([&] { return IniFile(app / "Sys.ini").ReadString("main", "DataVersion", "") == "3"; }));
}

TEST(AboutTab, TextLinkAndLabels) {
  AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:1");
  Window w(app);
  auto& about = w.About();
  w.ShowPage(&about);
  Pump(100);
  wxString text = about.edtAbout->GetValue();
  EXPECT_TRUE(text.StartsWith(W8(u8"软件名称：《Zelmora天气预报》")));
  EXPECT_TRUE(text.Contains(W(AboutTab::HomePage())));
  EXPECT_EQ(about.lblDown->GetLabel(), W8(u8"感谢:"));
  EXPECT_EQ(about.lblZelSoft()->GetForegroundColour(), wxColour(0, 128, 0));

  // A move onto the address, then a release, opens the home page.
  PixelRect r = about.Logic().LinkRect();
  auto mouse = [&](wxEventType type, int x, int y) {
    wxMouseEvent e(type);
    e.SetEventObject(about.edtAbout);
    e.m_x = x;
    e.m_y = y;
    about.edtAbout->GetEventHandler()->ProcessEvent(e);
  };
  mouse(wxEVT_MOTION, r.left, r.top);
  mouse(wxEVT_LEFT_UP, r.left, r.top);
  EXPECT_EQ(w.shell.opened, std::vector<std::string>{AboutTab::HomePage()});
  mouse(wxEVT_MOTION, r.right + 40, r.bottom + 40);
  mouse(wxEVT_LEFT_UP, r.right + 40, r.bottom + 40);
  EXPECT_EQ(w.shell.opened.size(), 1u);

  wxMouseEvent enter(wxEVT_ENTER_WINDOW);
  about.links[1]->GetEventHandler()->ProcessEvent(enter);
  EXPECT_EQ(about.links[1]->GetForegroundColour(), wxColour(255, 0, 0));
  wxMouseEvent leave(wxEVT_LEAVE_WINDOW);
  about.links[1]->GetEventHandler()->ProcessEvent(leave);
  EXPECT_EQ(about.links[1]->GetForegroundColour(), wxColour(0, 128, 0));
  wxMouseEvent up(wxEVT_LEFT_UP);
  about.lblZelSoft()->GetEventHandler()->ProcessEvent(up);
  EXPECT_EQ(w.shell.opened.back(), AboutTab::HomePage());
}

}  // namespace
}  // namespace zel::e2e
