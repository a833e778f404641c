// The feed against a hostile provider: what an answer may carry (its
// headers, its redirects) never reaches the records, the state or the log
// unchecked.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "base/text.h"
#include "server/feed/http_client.h"
#include "support/testutil.h"

namespace zel::server::feed {
namespace {

TEST(FeedHostile, RedirectsStayWithTheHostAskedAndDatesAreShortPrintableText) {
  std::atomic<int> elsewhereHit{0};
  zel::test::LoopbackServer elsewhere;
  elsewhere.http().Get(".*", [&](const httplib::Request&, httplib::Response& res) {
    ++elsewhereHit;
    res.set_content("{\"forged\":true}", "application/json");
  });
  elsewhere.Start();
  zel::test::LoopbackServer provider;
  provider.http().Get("/other-host", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(elsewhere.base() + "/v1/forecast");
  });
  provider.http().Get("/same-host", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/answer");
  });
  provider.http().Get("/loop", [&](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
  provider.http().Get("/answer", [&](const httplib::Request&, httplib::Response& res) {
    res.set_header("Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT");
    res.set_content("{}", "application/json");
  });
  provider.http().Get("/huge-date", [&](const httplib::Request&, httplib::Response& res) {
    res.set_header("Last-Modified", std::string(90 << 10, 'x'));
    res.set_header("Expires", "Tue, 01 Dec 2026\x7f 10:00:00 GMT");
    res.set_content("{}", "application/json");
  });
  provider.Start();
  struct Case {
    const char* path;
    long status;
    std::string body, lastModified;
  } cases[] = {
      {"/other-host", 0, "", ""},
      {"/same-host", 200, "{}", "Tue, 01 Dec 2026 10:00:00 GMT"},
      {"/loop", 0, "", ""},
      {"/huge-date", 200, "{}", ""},
  };
  for (const Case& c : cases) {
    HttpRequest req;
    req.url = provider.base() + c.path;
    HttpAnswer a = HttpGet(req);
    EXPECT_EQ(a.status, c.status) << c.path << ": " << a.error;
    EXPECT_EQ(a.body, c.body) << c.path;
    EXPECT_EQ(LogText(a.lastModified, 60), c.lastModified) << c.path;
    EXPECT_EQ(LogText(a.expires, 60), "") << c.path;
  }
  EXPECT_EQ(elsewhereHit, 0) << "a redirect to another host was followed";
}

}  // namespace
}  // namespace zel::server::feed
