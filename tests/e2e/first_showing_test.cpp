// The window's pages share one engine process: a tab's first showing waits
// for no new process, and the pages come back when that process is gone.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include "app/main_frame.h"
#include "app/tab_calendar.h"
#include "app/tab_mail.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"

using namespace zel;

namespace {

// Engine processes below this one (web content processes, by name).
std::set<int> EngineProcesses() {
  std::multimap<int, std::pair<int, std::string>> children;  // parent -> (pid, name)
  for (const auto& e : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(e.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    int ppid = 0;
    if (std::sscanf(line.c_str() + close + 2, "%*c %d", &ppid) != 1) continue;
    children.emplace(ppid, std::make_pair(std::atoi(line.c_str()), line.substr(open + 1, close - open - 1)));
  }
  std::set<int> engines;
  std::vector<int> todo{getpid()};
  while (!todo.empty()) {
    const int p = todo.back();
    todo.pop_back();
    for (auto [it, end] = children.equal_range(p); it != end; ++it) {
      if (it->second.second.rfind("WebKitWebProces", 0) == 0) engines.insert(it->second.first);
      todo.push_back(it->second.first);
    }
  }
  return engines;
}

}  // namespace

TEST(FirstShowing, TabPageComesWithoutANewEngineProcess) {
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:9");
  auto* f = new Tfrm_main(app.path());
  f->Show();
  // Start-up settled: the banner and the forecast page are in.
  ASSERT_TRUE(e2e::PumpUntil([&] { return WxBrowser::ViewsMade() >= 2; }));
  ASSERT_TRUE(e2e::PumpUntil([&] { return !e2e::BodyTextUtf8(f->WebBrowserAD()).empty(); }));
  const std::set<int> engines = EngineProcesses();
  ASSERT_FALSE(engines.empty());

  struct Case {
    int tab;
    WxBrowser* browser;
    const char* text;  // in the page's body
  };
  const Case cases[] = {
      {1, &dynamic_cast<CalendarTabPanel*>(f->TabWNL)->BrowserWNL(), "日\t一\t二\t三\t四\t五\t六"},
      {4, &dynamic_cast<MailTabPanel*>(f->TabMail)->WebBrowserTel(), "全国邮政编码、电话区号查询"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tab);
    ASSERT_FALSE(c.browser->HasView()) << "made only when its tab shows";
    f->PageControl1->SetSelection(static_cast<size_t>(c.tab));
    std::string body;
    EXPECT_TRUE(e2e::PumpUntil([&] {
      return c.browser->HasView() && (body = e2e::BodyTextUtf8(*c.browser)).find(c.text) != std::string::npos;
    })) << body;
    for (int pid : EngineProcesses()) EXPECT_TRUE(engines.count(pid)) << "a new engine process " << pid;
  }
  f->Destroy();
  e2e::Pump(100);
}

// Killed (as an out-of-memory kill would), the engine process takes every
// page with it; each comes back in a new one, shown or hidden.
TEST(FirstShowing, PagesComeBackWhenTheEngineProcessIsKilled) {
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:9");
  auto* f = new Tfrm_main(app.path());
  f->Show();
  struct Case {
    int tab;  // shown once so its view is made; -1: the banner
    WxBrowser* browser;
    const char* text;
  };
  const Case cases[] = {
      {-1, &f->WebBrowserAD(), "Zelmora"},
      {1, &dynamic_cast<CalendarTabPanel*>(f->TabWNL)->BrowserWNL(), "日\t一\t二\t三\t四\t五\t六"},
      {4, &dynamic_cast<MailTabPanel*>(f->TabMail)->WebBrowserTel(), "全国邮政编码、电话区号查询"},
  };
  auto shows = [](const Case& c) {
    return c.browser->HasView() && e2e::BodyTextUtf8(*c.browser).find(c.text) != std::string::npos;
  };
  for (const Case& c : cases) {
    if (c.tab >= 0) f->PageControl1->SetSelection(static_cast<size_t>(c.tab));
    ASSERT_TRUE(e2e::PumpUntil([&] { return shows(c); })) << c.text;
  }
  const std::set<int> killed = EngineProcesses();
  ASSERT_FALSE(killed.empty());
  for (int pid : killed) ::kill(pid, SIGKILL);
  for (const Case& c : cases) EXPECT_TRUE(e2e::PumpUntil([&] { return shows(c); })) << c.text << " came back";
  for (int pid : EngineProcesses()) EXPECT_FALSE(killed.count(pid));
  f->Destroy();
  e2e::Pump(100);
}
