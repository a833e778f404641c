#include "lookup/lookup_tab.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/appenv.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::FakeBrowser;
using test::FakeControl;
using test::FakeText;
using test::U;

struct Tab {
  FakeBrowser browser;
  FakeText edit, memo;
  FakeControl button;
  LookupTab logic;
  explicit Tab(LookupKind kind) : logic(kind, {&browser, &edit, &button, &memo}) {
    browser.OnDocumentComplete = [this] { logic.DocumentComplete(); };
  }
};

TEST(LookupTab, StartupLoadsEachQueryPageAndWaits) {
  test::AppFolder app;
  app.UseServer("http://127.0.0.1:9");
  struct Case {
    LookupKind kind;
    std::vector<std::string> navigated;
  };
  for (const Case& c : {Case{LookupKind::Mobile, {"http://127.0.0.1:9/query/tel.asp"}},
                        Case{LookupKind::Ip, {"http://127.0.0.1:9/query/ip.asp"}}, Case{LookupKind::IdCard, {}}}) {
    Tab t(c.kind);
    EXPECT_FALSE(t.button.IsEnabled()) << "disabled until a page completes";
    t.logic.Startup();
    EXPECT_EQ(t.browser.navigated, c.navigated);
    EXPECT_EQ(U(t.memo.text), U(G(u8"正在读取数据...")));
    EXPECT_FALSE(t.button.IsEnabled());
  }
}

// A new query never leaves the last answer in the memo: it either says why
// the input cannot be asked about (nothing sent) or waits for the answer.
TEST(LookupTab, QueryClearsTheMemoThenSendsOrSaysWhyNot) {
  struct Case {
    LookupKind kind;
    std::string typed;
    const char8_t* memo;  // nullptr: sent, waiting
  };
  const Case cases[] = {
      {LookupKind::Mobile, " 138-0013 ", nullptr},
      {LookupKind::Mobile, "", nullptr},
      {LookupKind::Mobile, G(u8"广州"), u8"请输入数字：手机号码(段)只能由数字组成，例如 1380013。"},
      {LookupKind::Mobile, "138a", u8"请输入数字：手机号码(段)只能由数字组成，例如 1380013。"},
      {LookupKind::Ip, "202.96.128.86", nullptr},
      {LookupKind::Ip, "2001:DB8::1", nullptr},
      {LookupKind::Ip, "  ", u8"请输入 IP 地址，例如 202.96.128.86。"},
      {LookupKind::Ip, G(u8"本机"), u8"请输入数字和点：IP地址由四段 0 到 255 的数字组成，以点分隔，例如 202.96.128.86。"},
      {LookupKind::Ip, "1.2.3.4\xff", u8"请输入数字和点：IP地址由四段 0 到 255 的数字组成，以点分隔，例如 202.96.128.86。"},
      {LookupKind::IdCard, "11010519491231002x", nullptr},
      {LookupKind::IdCard, G(u8"一二"), u8"请输入数字：身份证号码由15位或18位数字组成，18位号码的末位可以是X。"},
  };
  for (const Case& c : cases) {
    Tab t(c.kind);
    t.browser.Complete();
    std::vector<bool> waits;
    t.logic.OnWaiting = [&](bool on) { waits.push_back(on); };
    t.memo.SetText("old answer");
    const size_t before = t.memo.history.size();
    t.edit.text = c.typed;
    t.logic.QueryClick();
    ASSERT_GT(t.memo.history.size(), before);
    EXPECT_EQ(t.memo.history[before], "") << U(c.typed) << ": emptied first";
    if (c.memo) {
      EXPECT_EQ(U(t.memo.text), U(G(c.memo))) << U(c.typed);
      EXPECT_TRUE(t.browser.submitted.empty()) << U(c.typed);
      EXPECT_TRUE(t.button.IsEnabled());
      EXPECT_TRUE(waits.empty());
    } else {
      ASSERT_EQ(t.browser.submitted.size(), 1u) << U(c.typed);
      EXPECT_EQ(t.browser.submitted[0], (std::pair<std::string, std::string>{LookupField(c.kind), c.typed}));
      EXPECT_EQ(U(t.memo.text), U(G(u8"正在读取数据...")));
      EXPECT_FALSE(t.button.IsEnabled()) << "inert while waiting";
      EXPECT_EQ(waits, std::vector<bool>{true});
    }
    EXPECT_EQ(t.edit.text, c.typed) << "the input stays";
  }
}

// How a wait ends: the answer, a failed load, the deadline, or no form to
// submit at all. Each says so in the memo and gives the cursor back.
TEST(LookupTab, AWaitEndsWithTheAnswerOrAClearError) {
  enum End { Answer, Fails, Deadline, NoForm };
  struct Case {
    End end;
    const char8_t* memo;
    bool button;
  };
  const Case cases[] = {
      {Answer, u8"1380013: 未知的地址", true},
      {Fails, u8"查询失败：连接不上查询服务器，请稍后再试。", false},
      {Deadline, u8"查询超时：查询服务器10秒内没有应答，请稍后再试。", true},
      {NoForm, u8"查询页面还没有读取完成，请稍后再试。", true},
  };
  for (const Case& c : cases) {
    struct StoppingBrowser : FakeBrowser {
      int stops = 0;
      void Stop() override { ++stops; }
    };
    StoppingBrowser browser;
    FakeText edit, memo;
    FakeControl button;
    LookupTab t(LookupKind::Mobile, {&browser, &edit, &button, &memo});
    browser.OnDocumentComplete = [&] { t.DocumentComplete(); };
    browser.Complete();
    std::vector<bool> waits;
    t.OnWaiting = [&](bool on) { waits.push_back(on); };
    browser.submits = c.end != NoForm;
    edit.text = "1380013";
    t.QueryClick();
    edit.text = "1390000";  // typed while waiting
    t.QueryClick();
    EXPECT_EQ(browser.submitted.size(), c.end == NoForm ? 2u : 1u) << "one query at a time";
    browser.body = G(u8"未知的地址");
    if (c.end == Answer) browser.Complete();
    if (c.end == Fails) t.PageFailed();
    if (c.end == Deadline) t.DeadlinePassed();
    EXPECT_EQ(U(memo.text), U(G(c.memo))) << c.end;
    EXPECT_EQ(button.IsEnabled(), c.button) << c.end;
    EXPECT_FALSE(t.Waiting());
    EXPECT_EQ(waits, c.end == NoForm ? std::vector<bool>{} : std::vector<bool>({true, false})) << c.end;
    EXPECT_EQ(browser.stops, c.end == Deadline ? 1 : 0) << "the late answer is given up";
  }
}

TEST(LookupTab, EnterQueriesOnlyWhileTheButtonIsEnabled) {
  Tab t(LookupKind::Mobile);
  t.edit.text = "1380013";
  t.logic.KeyPress(13);
  EXPECT_TRUE(t.browser.submitted.empty()) << "button still disabled";
  t.browser.Complete();
  t.logic.KeyPress('1');
  t.logic.KeyPress(10);
  EXPECT_TRUE(t.browser.submitted.empty()) << "other keys only edit";
  t.logic.KeyPress(13);
  EXPECT_EQ(t.browser.submitted.size(), 1u);
}

TEST(LookupTab, CompletedPageEnablesAndShowsTheAnswerWithTheCurrentInput) {
  Tab t(LookupKind::Ip);
  t.browser.body = G(u8"未知的 IP 地址");
  t.edit.text = "2.2.2.2";  // a page that is no answer to a query
  t.browser.Complete();
  EXPECT_TRUE(t.button.IsEnabled());
  EXPECT_EQ(U(t.memo.text), U(G(u8"2.2.2.2  -  ★未知IP数据★")));
  ASSERT_GE(t.memo.history.size(), 2u);
  EXPECT_EQ(t.memo.history[t.memo.history.size() - 2], "") << "emptied first";
}

TEST(LookupTab, UnreadableDocument) {
  struct Case {
    LookupKind kind;
    std::string expected;
  };
  for (const Case& c : {Case{LookupKind::Mobile, ""}, Case{LookupKind::Ip, G(u8"错误")},
                        Case{LookupKind::IdCard, G(u8"错误")}}) {
    Tab t(c.kind);
    t.memo.SetText("before");
    t.logic.ReadPage = [] { return std::optional<std::string>(); };
    t.logic.DocumentComplete();
    EXPECT_TRUE(t.button.IsEnabled());
    EXPECT_EQ(U(t.memo.text), U(c.expected));
    t.logic.ReadPage = []() -> std::optional<std::string> { throw std::runtime_error("no body"); };
    t.logic.DocumentComplete();
    EXPECT_EQ(U(t.memo.text), U(c.expected));
  }
}

TEST(LookupTab, ANavigationFaultIsIgnored) {
  struct ThrowingBrowser : FakeBrowser {
    void Navigate(const std::string&) override { throw std::runtime_error("down"); }
    bool SetFieldAndSubmit(const std::string&, const std::string&) override { throw std::runtime_error("no form"); }
  } browser;
  FakeText edit, memo;
  FakeControl button;
  LookupTab t(LookupKind::Mobile, {&browser, &edit, &button, &memo});
  t.Startup();
  EXPECT_EQ(U(memo.text), U(G(u8"正在读取数据...")));
  EXPECT_FALSE(button.IsEnabled());
  t.QueryClick();
  EXPECT_EQ(U(memo.text), U(G(u8"查询页面还没有读取完成，请稍后再试。")));
  EXPECT_FALSE(t.Waiting());
}

}  // namespace
}  // namespace zel
