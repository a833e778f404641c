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

TEST(LookupTab, QuerySubmitsTheInputAsTyped) {
  for (auto [kind, field] : {std::pair{LookupKind::Mobile, "tel"}, {LookupKind::Ip, "ip"}, {LookupKind::IdCard, "id"}}) {
    Tab t(kind);
    t.memo.SetText("old");
    for (std::string typed : {std::string(" 138 0013 "), std::string(), G(u8"一二")}) {
      t.edit.text = typed;
      t.logic.QueryClick();
      ASSERT_FALSE(t.browser.submitted.empty());
      EXPECT_EQ(t.browser.submitted.back(), (std::pair<std::string, std::string>{field, typed}));
    }
    EXPECT_EQ(t.memo.text, "old") << "the memo waits for the answer";
    EXPECT_EQ(t.edit.text, G(u8"一二"));
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
  t.edit.text = "1.1.1.1";
  t.browser.body = G(u8"未知的 IP 地址");
  t.edit.text = "2.2.2.2";  // typed again before the answer arrived
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
    void SetFieldAndSubmit(const std::string&, const std::string&) override { throw std::runtime_error("no form"); }
  } browser;
  FakeText edit, memo;
  FakeControl button;
  LookupTab t(LookupKind::Mobile, {&browser, &edit, &button, &memo});
  t.Startup();
  t.QueryClick();
  EXPECT_EQ(U(memo.text), U(G(u8"正在读取数据...")));
  EXPECT_FALSE(button.IsEnabled());
}

}  // namespace
}  // namespace zel
