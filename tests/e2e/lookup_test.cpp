// The lookup and postal tabs in the real window, against a loopback lookup
// server with query and answer pages of the shape the tabs read.
#include <gtest/gtest.h>

#include <wx/utils.h>

#include <atomic>
#include <thread>

#include "app/main_frame.h"
#include "app/tab_mail.h"
#include "app/tab_mobile.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::G;

wxString W8s(const char8_t* s) { return wxString::FromUTF8(reinterpret_cast<const char*>(s)); }
std::string S(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string Page(const char* field, const std::string& action, const std::string& body) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>"
         "<form method=\"get\" action=\"" + action + "\"><input type=\"text\" name=\"" + field +
         "\"><input type=\"submit\"></form><div>" + body + "</div></body></html>";
}

// Answers by the typed value; every answer page carries the form again.
struct LookupServer {
  std::atomic<int> queries{0};
  test::LoopbackServer server;  // stops before what its handlers touch
  explicit LookupServer(int port = 0) {
    auto send = [](httplib::Response& res, const std::string& html) {
      res.set_content(html, "text/html; charset=gbk");
    };
    server.http().Get("/query/tel.asp", [this, send](const httplib::Request& req, httplib::Response& res) {
      std::string tel = req.get_param_value("tel");
      std::string body;
      if (!req.has_param("tel")) {
        body = G(u8"输入手机号码或号段查询归属地。");
      } else {
        ++queries;
        if (tel == "1999999") std::this_thread::sleep_for(std::chrono::milliseconds(3500));  // stalled
        if (tel.size() < 7)
          body = G(u8"手机号码至少要输入 7 位数字。");
        else if (tel.rfind("1380013", 0) == 0)
          body = G(u8"手机号码：　") + tel + G(u8"　广东 广州　移动。注：我们会不断更新数据，谢谢。");
        else
          body = G(u8"号段不在数据中：未知的地址。");
      }
      send(res, Page("tel", "/query/tel.asp", body));
    });
    server.http().Get("/query/ip.asp", [this, send](const httplib::Request& req, httplib::Response& res) {
      std::string ip = req.get_param_value("ip");
      std::string body;
      if (ip.empty()) {
        body = G(u8"请输入 IP 地址，查询它所在的地区。");
      } else {
        ++queries;
        if (ip == "202.96.128.86")
          body = G(u8"IP地址：　") + ip + G(u8"　中国 广东 广州 电信。我们会不断更新数据。");
        else if (ip.find_first_not_of("0123456789.") != std::string::npos)
          body = G(u8"IP 地址格式错误：应为四段数字。");
        else
          body = G(u8"未知的 IP 地址：数据中没有这个地址。");
      }
      send(res, Page("ip", "/query/ip.asp", body));
    });
    server.http().Get("/query/idcard.asp", [send](const httplib::Request& req, httplib::Response& res) {
      std::string id = req.get_param_value("id");
      std::string body;
      if (!req.has_param("id"))
        body = G(u8"输入15位或18位身份证号码。");
      else if (id.size() != 15 && id.size() != 18)
        body = G(u8"身份证号码位数错误。");
      else
        body = G(u8"解读身份证号码结果：号　　码：") + id +
               G(u8"；所在地址广东省广州市；出生日期1990年01月01日；性　　别男。");
      send(res, Page("id", "/query/idcard.asp", body));
    });
    server.Start(port);
  }
};

std::string MemoUtf8(LookupTabPanel* p) {
  std::string s = std::string(p->Memo()->GetValue().utf8_str());
  std::string out;
  for (char c : s)
    if (c != '\r') out.push_back(c);
  return out;
}

// Types text, then queries with the button or with Enter, and waits for
// the answer page to be read.
std::string Ask(LookupServer& srv, LookupTabPanel* p, const char8_t* text, bool enter = false) {
  int before = srv.queries;
  p->Edit()->ChangeValue(W8s(text));
  if (enter) {
    wxCommandEvent e(wxEVT_TEXT_ENTER, p->Edit()->GetId());
    e.SetEventObject(p->Edit());
    p->Edit()->GetEventHandler()->ProcessEvent(e);
  } else {
    e2e::Click(p->Button());
  }
  e2e::PumpUntil([&] { return srv.queries > before; });
  e2e::PumpUntil([&] { return !p->Logic().Waiting() && p->Button()->IsEnabled(); });
  return MemoUtf8(p);
}

// Input that cannot be asked about, a stalled server and a server gone:
// the memo never keeps the last answer under the new input, and a wait
// shows, ends, and says how it ended.
// The window with the shipped data, asking a fake lookup server.
struct LookupWindow {
  LookupServer srv;
  test::AppFolder app;
  Tfrm_main* f = nullptr;
  LookupTabPanel* tel = nullptr;
  LookupTabPanel* ip = nullptr;
  LookupWindow() {
    app.CopyShippedData();
    app.UseServer(srv.server.base());
    f = new Tfrm_main(app.path());
    f->Show();
    tel = dynamic_cast<LookupTabPanel*>(f->TabSJ);
    ip = dynamic_cast<LookupTabPanel*>(f->TabIP);
  }
};

TEST(LookupTabs, ANewQueryNeverShowsTheLastAnswer) {
  LookupWindow w;
  auto& srv = w.srv;
  auto* f = w.f;
  auto *tel = w.tel, *ip = w.ip;
  f->PageControl1->SetSelection(2);
  f->PageControl1->SetSelection(3);
  ASSERT_TRUE(e2e::PumpUntil([&] { return tel->Button()->IsEnabled() && ip->Button()->IsEnabled(); }));
  tel->SetDeadline(1500);

  struct Case {
    LookupTabPanel* tab;
    const char8_t* input;
    const char8_t* memo;
    bool sent;
  };
  const Case cases[] = {
      {tel, u8"广州市", u8"请输入数字：手机号码(段)只能由数字组成，例如 1380013。", false},
      {ip, u8"北京", u8"请输入数字和点：IP地址由四段 0 到 255 的数字组成，以点分隔，例如 202.96.128.86。", false},
      {ip, u8"", u8"请输入 IP 地址，例如 202.96.128.86。", false},
      {tel, u8"1999999", u8"查询超时：查询服务器10秒内没有应答，请稍后再试。", true},
  };
  for (const Case& c : cases) {
    const std::string first = Ask(srv, c.tab, c.tab == tel ? u8"1380013" : u8"202.96.128.86");
    ASSERT_NE(first.find(S(u8"广州")), std::string::npos) << first << ": an answer stands in the memo first";
    int before = srv.queries;
    c.tab->Edit()->ChangeValue(W8s(c.input));
    e2e::Click(c.tab->Button());
    if (c.sent) {
      EXPECT_EQ(MemoUtf8(c.tab), S(u8"正在读取数据..."));
      EXPECT_FALSE(c.tab->Button()->IsEnabled());
      EXPECT_TRUE(wxIsBusy());
      ASSERT_TRUE(e2e::PumpUntil([&] { return !c.tab->Logic().Waiting(); }, 5000));
    }
    EXPECT_EQ(MemoUtf8(c.tab), S(c.memo)) << S(c.input);
    EXPECT_EQ(srv.queries - before, c.sent ? 1 : 0) << S(c.input);
    EXPECT_TRUE(c.tab->Button()->IsEnabled());
    EXPECT_FALSE(wxIsBusy());
    e2e::Pump(c.sent ? 2500 : 0);  // the stalled answer would come now
    EXPECT_EQ(MemoUtf8(c.tab), S(c.memo)) << "a late answer is dropped";
  }
  f->Destroy();
  e2e::Pump(100);
}

TEST(LookupTabs, MobileAndIpAnswerInTheWindow) {
  LookupWindow w;
  auto& srv = w.srv;
  auto* f = w.f;
  auto *tel = w.tel, *ip = w.ip;
  ASSERT_TRUE(tel && ip);
  e2e::Pump(300);
  EXPECT_EQ(MemoUtf8(tel), S(u8"正在读取数据...")) << "the hidden browser waits for its tab";
  f->PageControl1->SetSelection(2);
  f->PageControl1->SetSelection(3);

  ASSERT_TRUE(e2e::PumpUntil([&] { return tel->Button()->IsEnabled() && ip->Button()->IsEnabled(); }))
      << "query pages loaded";
  EXPECT_EQ(MemoUtf8(tel), "") << "the query page holds no answer";
  EXPECT_EQ(MemoUtf8(ip), "") << "the IP query page asks for an address";

  EXPECT_EQ(Ask(srv, tel, u8"1380013"), S(u8"1380013　广东 广州　移动"));
  EXPECT_EQ(Ask(srv, tel, u8"1990000", true), S(u8"1990000: 未知的地址")) << "Enter queries from the answer page";
  EXPECT_EQ(Ask(srv, tel, u8"13"), S(u8"手机号码至少要输入 7 位以上"));

  EXPECT_EQ(Ask(srv, ip, u8"202.96.128.86"), S(u8"202.96.128.86　中国 广东 广州 电信"));
  EXPECT_EQ(Ask(srv, ip, u8"10.1.2.3", true), S(u8"10.1.2.3  -  ★未知IP数据★"));
  EXPECT_EQ(Ask(srv, ip, u8"abc"), S(u8"abc  -  IP 地址格式错误"));
  f->Destroy();
  e2e::Pump(100);
}

// The lookup server unreachable at start: the tab says it is loading, the
// button stays off, and the tab recovers once the server is back, when it
// is shown again or Enter is pressed.
TEST(LookupTabs, UnreachableServerAtStartRecovers) {
  int port = 0;
  {
    test::LoopbackServer probe;  // a free port, closed again: refused
    probe.Start();
    port = probe.port();
  }
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:" + std::to_string(port));
  auto* f = new Tfrm_main(app.path());
  f->Show();
  auto* tel = dynamic_cast<LookupTabPanel*>(f->TabSJ);
  auto* ip = dynamic_cast<LookupTabPanel*>(f->TabIP);
  f->PageControl1->SetSelection(2);
  f->PageControl1->SetSelection(3);
  e2e::Pump(1500);
  for (LookupTabPanel* p : {tel, ip}) {
    EXPECT_EQ(MemoUtf8(p), S(u8"正在读取数据..."));
    EXPECT_FALSE(p->Button()->IsEnabled());
    EXPECT_FALSE(p->Logic().PageLoaded());
  }

  LookupServer srv(port);
  ASSERT_EQ(srv.server.port(), port);
  f->PageControl1->SetSelection(2);  // shown again
  ASSERT_TRUE(e2e::PumpUntil([&] { return tel->Button()->IsEnabled(); }));
  EXPECT_EQ(Ask(srv, tel, u8"1380013"), S(u8"1380013　广东 广州　移动"));
  wxCommandEvent enter(wxEVT_TEXT_ENTER, ip->Edit()->GetId());  // the press that could not query
  enter.SetEventObject(ip->Edit());
  ip->Edit()->GetEventHandler()->ProcessEvent(enter);
  ASSERT_TRUE(e2e::PumpUntil([&] { return ip->Button()->IsEnabled(); }));
  EXPECT_EQ(Ask(srv, ip, u8"202.96.128.86"), S(u8"202.96.128.86　中国 广东 广州 电信"));
  f->Destroy();
  e2e::Pump(100);
}

TEST(LookupTabs, IdCardTabIsHiddenAndDormantUntilAPageIsLoaded) {
  LookupServer srv;
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer(srv.server.base());
  auto* f = new Tfrm_main(app.path());
  f->Show();
  auto* id = dynamic_cast<LookupTabPanel*>(f->TabIDCard);
  ASSERT_TRUE(id);
  e2e::Pump(500);
  for (size_t i = 0; i < f->PageControl1->GetPageCount(); ++i) EXPECT_NE(f->PageControl1->GetPage(i), id);
  EXPECT_EQ(MemoUtf8(id), S(u8"正在读取数据..."));
  EXPECT_FALSE(id->Button()->IsEnabled());

  // Loaded by hand, the lookup answers like the other two.
  id->Browser().CreateView();
  id->Browser().Navigate(srv.server.base() + "/query/idcard.asp");
  ASSERT_TRUE(e2e::PumpUntil([&] { return id->Button()->IsEnabled(); }));
  id->Edit()->ChangeValue("440104199001011234");
  e2e::Click(id->Button());
  ASSERT_TRUE(e2e::PumpUntil([&] { return id->Button()->IsEnabled(); }));
  EXPECT_EQ(MemoUtf8(id),
            S(u8"号　　码：440104199001011234\n所在地址：广东省广州市\n出生日期：1990年01月01日\n性　　别：男"));
  id->Edit()->ChangeValue("12345");
  e2e::Click(id->Button());
  EXPECT_TRUE(e2e::PumpUntil([&] { return MemoUtf8(id) == S(u8"错误信息：身份证号码位数错误"); })) << MemoUtf8(id);
  f->Destroy();
  e2e::Pump(100);
}

TEST(PostalTab, ShowsTheWelcomePageThenEachProvincesTable) {
  test::AppFolder app;
  app.CopyShippedData();
  auto* f = new Tfrm_main(app.path());
  f->Show();
  auto* mail = dynamic_cast<MailTabPanel*>(f->TabMail);
  ASSERT_TRUE(mail);
  ASSERT_EQ(mail->lsbMailProvince->GetCount(), 34u);
  EXPECT_TRUE(e2e::PumpUntil([&] {
    return e2e::BodyTextUtf8(mail->WebBrowserTel()).find(S(u8"省份和地区")) != std::string::npos;
  })) << "mail.htm before the first pick";

  struct Case {
    const char8_t* province;
    const char8_t* row;
  };
  for (const Case& c : {Case{u8"广东", u8"深圳市\t518000\t0755"}, Case{u8"北京", u8"北京市\t100000\t010"},
                        Case{u8"澳门", u8"澳门\t999078\t00853"}}) {
    int row = mail->lsbMailProvince->FindString(W8s(c.province));
    ASSERT_NE(row, wxNOT_FOUND);
    e2e::SelectRow(mail->lsbMailProvince, row);
    std::string want = std::string(reinterpret_cast<const char*>(c.row));
    // The two no-break spaces of the heading have no GBK form; the name follows them.
    std::string heading = S(c.province) + "\n" + S(u8"地区名称");
    EXPECT_TRUE(e2e::PumpUntil([&] {
      std::string body = e2e::BodyTextUtf8(mail->WebBrowserTel());
      return body.find(want) != std::string::npos && body.find(heading) != std::string::npos;
    })) << e2e::BodyTextUtf8(mail->WebBrowserTel());
  }
  f->Destroy();
  e2e::Pump(100);
}

}  // namespace
}  // namespace zel
