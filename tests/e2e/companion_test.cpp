// The window against the real companion server, as ./run.sh starts them:
// lookups answer real places, the forecast shows demo-labelled figures and
// the first start's data update completes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include "app/main_frame.h"
#include "app/tab_mobile.h"
#include "app/tab_weather.h"
#include "base/ini.h"
#include "e2e/e2e_util.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

// zelmora-server on a free loopback port, stopped with the test.
class Companion {
 public:
  Companion() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 2);
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      std::string exe = std::string(ZEL_APP_DIR) + "/zelmora-server";
      std::string data = std::string(ZEL_APP_DIR) + "/serverdata";
      ::execl(exe.c_str(), exe.c_str(), "--port", "0", "--data", data.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string log;
    std::smatch m;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
      char buf[512];
      ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n > 0) log.append(buf, static_cast<size_t>(n));
      if (std::regex_search(log, m, std::regex("listening on (http://127\\.0\\.0\\.1:\\d+)"))) {
        base_ = m[1];
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    out_ = fds[0];
  }
  ~Companion() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  const std::string& base() const { return base_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
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
  Companion server;
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

}  // namespace zel
