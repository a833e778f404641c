// The window against the real companion server, as ./run.sh starts them:
// lookups answer real places, the forecast shows demo-labelled figures and
// the first start's data update completes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/frame.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "app/main_frame.h"
#include "app/tab_mobile.h"
#include "app/tab_weather.h"
#include "app/wx_views.h"
#include "base/companion_launch.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "e2e/e2e_util.h"
#include "support/child_process.h"
#include "support/fakes.h"
#include "support/testutil.h"
#include "weather/forecast.h"
#include "weather/memo.h"
#include "weather/source_frame.h"

namespace zel {
namespace {

// zelmora-server on a free loopback port, stopped with the test; more
// arguments follow the defaults (a later --data wins).
class Companion {
 public:
  explicit Companion(std::vector<std::string> more = {}) : process_(Args(std::move(more))) {
    base_ = process_.WaitFor(std::regex("listening on (http://127\\.0\\.0\\.1:\\d+)"), 30000);
  }
  const std::string& base() const { return base_; }

 private:
  static std::vector<std::string> Args(std::vector<std::string> more) {
    std::vector<std::string> args{std::string(ZEL_APP_DIR) + "/zelmora-server", "--port", "0", "--data",
                                  std::string(ZEL_APP_DIR) + "/serverdata"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  test::ChildProcess process_;
  std::string base_;
};

std::string MemoUtf8(LookupTabPanel* p) { return std::string(p->Memo()->GetValue().utf8_str()); }

std::string Ask(LookupTabPanel* p, const char* text) {
  p->Memo()->ChangeValue("");
  p->Edit()->ChangeValue(wxString::FromUTF8(text));
  e2e::Click(p->Button());
  e2e::PumpUntil([&] { return MemoUtf8(p).find(text) != std::string::npos; }, 15000);
  return MemoUtf8(p);
}

}  // namespace

TEST(Companion, LookupsForecastAndFirstUpdateAgainstTheCompanionServer) {
  Companion server({"--feed", "demo"});
  ASSERT_FALSE(server.base().empty()) << "zelmora-server did not start";
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer(server.base());
  auto* f = new Tfrm_main(app.path());
  test::FakeShell shell;
  f->SetShell(&shell);
  f->Show();

  auto* tel = dynamic_cast<LookupTabPanel*>(f->TabSJ);
  auto* ip = dynamic_cast<LookupTabPanel*>(f->TabIP);
  // A lookup loads its query page when its tab is first shown.
  f->PageControl1->SetSelection(2);
  f->PageControl1->SetSelection(3);
  ASSERT_TRUE(e2e::PumpUntil([&] { return tel->Button()->IsEnabled() && ip->Button()->IsEnabled(); }, 20000));
  EXPECT_NE(Ask(tel, "13800138000").find("北京"), std::string::npos) << MemoUtf8(tel);
  EXPECT_NE(Ask(ip, "202.96.128.86").find("广东"), std::string::npos) << MemoUtf8(ip);

  WeatherTabPanel& w = *f->TabSheet1;
  int guangdong = w.cboProvince->FindString(wxString::FromUTF8("广东"));
  ASSERT_NE(guangdong, wxNOT_FOUND);
  e2e::SelectRow(w.cboProvince, guangdong);
  e2e::SelectRow(w.lsbCity, w.lsbCity->FindString(wxString::FromUTF8("广州")));
  e2e::Click(w.btnWeather);
  // The query runs while the window keeps painting.
  EXPECT_TRUE(e2e::PumpUntil([&] { return w.lblInfo->GetLabel() == wxString::FromUTF8("完成，已更新！"); }, 20000))
      << w.lblInfo->GetLabel().utf8_str();
  EXPECT_TRUE(e2e::PumpUntil([&] { return e2e::BodyTextUtf8(w.Browser1()).find("演示数据") != std::string::npos; }))
      << e2e::BodyTextUtf8(w.Browser1());

  // The first start's update: the publication's data version lands in Sys.ini.
  IniFile sys(app.path() + "Sys.ini");
  EXPECT_TRUE(e2e::PumpUntil([&] { return sys.ReadString("main", "DataVersion", "0") != "0"; }, 20000));
  f->Destroy();
  e2e::Pump(200);
}

// ./run.sh with its live feed on, the provider a loopback fake: the pages
// the window shows carry the provider's figures, its credit and the issue
// time, with no demo label.
TEST(Companion, LiveFeedPagesInTheWindowCreditTheProvider) {
  // One location, Beijing's today and four more days, as Open-Meteo writes it.
  nlohmann::json daily, hourly;
  for (int d = 0; d < 5; ++d) {
    std::time_t t = std::time(nullptr) + 8 * 3600 + d * 86400;
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&t));
    for (const char* k : {"time", "sunrise", "sunset"}) daily[k].push_back(date);
    for (auto [k, v] : {std::pair{"weather_code", 3.0}, {"temperature_2m_max", 27.2}, {"temperature_2m_min", 18.6},
                        {"wind_speed_10m_max", 6.1}, {"wind_direction_10m_dominant", 45.0}, {"precipitation_sum", 0.0}})
      daily[k].push_back(v);
    for (int h = 0; h < 24; ++h) {
      hourly["time"].push_back(std::string(date) + (h < 10 ? "T0" : "T") + std::to_string(h) + ":00");
      hourly["weather_code"].push_back(3);
    }
  }
  const std::string answer = nlohmann::json{{"utc_offset_seconds", 28800}, {"daily", daily}, {"hourly", hourly}}.dump();
  test::LoopbackServer provider;
  provider.http().Get("/v1/forecast", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(answer, "application/json");
  });
  provider.Start();
  test::TempDir data;
  data.Write("coordinates.tsv", "#station\tlatitude\tlongitude\tprovince\tcity\n59287\t23.13\t113.26\t广东\t广州\n");
  Companion server({"--data", data.path(), "--stations", std::string(ZEL_APP_DIR) + "/Weather.ini", "--images",
                    std::string(ZEL_APP_DIR) + "/images", "--feed", "open-meteo", "--feed-url", provider.base(),
                    "--feed-contact", "test@example.org"});
  ASSERT_FALSE(server.base().empty()) << "zelmora-server did not start";
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer(server.base());
  IniFile(app.path() + "Sys.ini").WriteString("main", "WeatherServer", SourceCaption(1));
  PageMemo::Instance().Clear();  // pages an earlier window of this process showed
  auto* f = new Tfrm_main(app.path());
  test::FakeShell shell;
  f->SetShell(&shell);
  f->Show();

  WeatherTabPanel& w = *f->TabSheet1;
  e2e::SelectRow(w.cboProvince, w.cboProvince->FindString(wxString::FromUTF8("广东")));
  e2e::SelectRow(w.lsbCity, w.lsbCity->FindString(wxString::FromUTF8("广州")));
  struct Page {
    wxButton* button;
    const char *heading, *figures;
  };
  for (const Page& p : {Page{w.btnWeather, "三日天气预报", "19～27℃"}, Page{w.btnWend, "三日风力预报", "东北风4级"}}) {
    e2e::Click(p.button);
    std::string text;
    EXPECT_TRUE(e2e::PumpUntil(
        [&] {
          text = e2e::BodyTextUtf8(w.Browser1());
          return text.find(p.heading) != std::string::npos;
        },
        20000))
        << p.heading << ": " << text;
    EXPECT_NE(text.find(p.figures), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("数据：Open-Meteo\\.com（CC BY 4\\.0），经换算，[0-9]{4}-[0-9]{2}-[0-9]{2} "
                                                   "[0-9]{2}:[0-9]{2}发布")))
        << text;
    EXPECT_EQ(text.find("演示数据"), std::string::npos) << text;
  }
  f->Destroy();
  e2e::Pump(200);
}

// A provider's credit links open in the desktop's browser; every other
// navigation stays refused and the page stays.
TEST(Companion, CreditLinksOpenOutsideAndNothingElseLeavesThePage) {
  test::AppFolder app;
  auto* frame = new wxFrame(nullptr, wxID_ANY, "credit");
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(386, 246));
  std::vector<std::string> opened;
  browser.OpenOutside = [&](const wxString& url) { opened.push_back(std::string(url.utf8_str())); };
  bool loaded = false;
  browser.OnDocumentComplete = [&] { loaded = true; };
  frame->Show();
  browser.ShowHtml("<html><body><p>" + frame::LinkCredit(G(u8"数据：Open-Meteo.com（CC BY 4.0），经换算")) +
                   "</p><a href=\"https://example.org/\">x</a><a href=\"https://open-meteo.com/en/terms\">y</a></body></html>");
  ASSERT_TRUE(e2e::PumpUntil([&] { return loaded; }));
  for (int i = 0; i < 4; ++i) {
    wxString ignored;
    browser.RunScript(wxString::Format("document.querySelectorAll('a')[%d].click(); ''", i), &ignored);
    e2e::Pump(200);
  }
  e2e::PumpUntil([&] { return opened.size() >= 2; }, 3000);
  EXPECT_EQ(opened, (std::vector<std::string>{"https://open-meteo.com/", "https://creativecommons.org/licenses/by/4.0/"}));
  EXPECT_NE(e2e::BodyTextUtf8(browser).find("经换算"), std::string::npos) << "the page stayed";
  frame->Destroy();
}

}  // namespace zel

namespace zel {
namespace {

pid_t ParentOf(pid_t pid) {
  std::string stat = test::ReadAll("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  char state = 0;
  int parent = 0;
  if (close == std::string::npos || std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) != 2) return 0;
  return parent;
}

// The window's own server and its keeper (a copy of this process).
std::pair<pid_t, pid_t> OwnServer() {
  for (const auto& e : std::filesystem::directory_iterator("/proc")) {
    pid_t pid = std::atoi(e.path().filename().c_str());
    if (pid <= 0 || test::ReadAll(e.path().string() + "/comm") != "zelmora-server\n") continue;
    pid_t keeper = ParentOf(pid);
    if (ParentOf(keeper) == ::getpid()) return {pid, keeper};
  }
  return {0, 0};
}

int FreePort() {
  test::LoopbackServer probe;
  probe.Start();
  return probe.port();
}

}  // namespace

TEST(Companion, TheWindowStartsItsServerAgainWhenItOrItsKeeperDies) {
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // the server of a killed keeper ends here
  test::AppFolder app;
  app.CopyShippedData();
  LoopbackEndpoint ep{"127.0.0.1", FreePort()};
  app.UseServer("http://127.0.0.1:" + std::to_string(ep.port));
  StartCompanionServers({app.path(), std::string(ZEL_APP_DIR) + "/", false}, std::string(ZEL_APP_DIR) + "/");
  auto* f = new Tfrm_main(app.path());
  test::FakeShell shell;
  f->SetShell(&shell);
  f->Show();
  auto* tel = dynamic_cast<LookupTabPanel*>(f->TabSJ);
  f->PageControl1->SetSelection(2);
  ASSERT_TRUE(e2e::PumpUntil([&] { return tel->Button()->IsEnabled(); }, 20000));
  EXPECT_NE(Ask(tel, "13800138000").find("北京"), std::string::npos) << MemoUtf8(tel);

  for (bool killKeeper : {false, true}) {
    SCOPED_TRACE(killKeeper ? "keeper killed" : "server killed");
    auto [server, keeper] = OwnServer();
    ASSERT_GT(server, 0);
    ::kill(killKeeper ? keeper : server, SIGKILL);
    EXPECT_TRUE(e2e::PumpUntil([&] { return ::kill(server, 0) != 0 || ::waitpid(server, nullptr, WNOHANG) == server; }));
    // Back within the back-off, and the lookups answer as after an outage.
    EXPECT_TRUE(e2e::PumpUntil([&] { return OwnServer().first > 0 && Answers(ep, std::chrono::milliseconds(100)); },
                               20000));
    EXPECT_NE(Ask(tel, "13800138000").find("北京"), std::string::npos) << MemoUtf8(tel);
  }
  f->Destroy();
  e2e::Pump(200);
  StopCompanionServers();
  EXPECT_FALSE(Answers(ep, std::chrono::milliseconds(200)));
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace zel
