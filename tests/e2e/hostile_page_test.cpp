// Values cut out of downloaded pages end up in the forecast page: the
// forecast browser must never run script from them.
#include <gtest/gtest.h>
#include <wx/frame.h>

#include "app/wx_views.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"

using namespace zel;

namespace {

// Each page tries a different way in; any that works changes the title.
const char* kPages[] = {
    "<html><head><title>safe</title></head><body><script>document.title='owned'</script>x</body></html>",
    "<html><head><title>safe</title></head><body><img src=\"nope.gif\" onerror=\"document.title='owned'\">x</body></html>",
    "<html><head><title>safe</title></head><body onload=\"document.title='owned'\">x</body></html>",
    "<html><head><title>safe</title></head><body><svg onload=\"document.title='owned'\"></svg>x</body></html>",
    "<html><head><title>safe</title><meta http-equiv=\"refresh\" content=\"0;url=javascript:document.title='owned'\">"
    "</head><body>x</body></html>",
};

}  // namespace

TEST(HostilePages, ForecastBrowserRunsNoScriptFromThePage) {
  test::AppFolder app;
  auto* frame = new wxFrame(nullptr, wxID_ANY, "hostile");
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(386, 246), /*scripts=*/false);
  bool loaded = false;
  browser.OnDocumentComplete = [&] { loaded = true; };
  frame->Show();
  for (const char* page : kPages) {
    loaded = false;
    browser.ShowHtml(page);
    ASSERT_TRUE(e2e::PumpUntil([&] { return loaded; })) << page;
    e2e::Pump(300);  // give a refresh or late handler the chance to fire
    wxString title;
    ASSERT_TRUE(browser.RunScript("document.title", &title)) << "the program's own scripts still run";
    EXPECT_EQ(title, "safe") << page;
    EXPECT_EQ(e2e::BodyTextUtf8(browser), "x") << page;
  }
  // A javascript: link clicked by the program's own script does nothing either.
  loaded = false;
  browser.ShowHtml("<html><head><title>safe</title></head><body><a id=a href=\"javascript:document.title='owned'\">x</a></body></html>");
  ASSERT_TRUE(e2e::PumpUntil([&] { return loaded; }));
  wxString ignored, title;
  browser.RunScript("document.getElementById('a').click(); ''", &ignored);
  e2e::Pump(300);
  browser.RunScript("document.title", &title);
  EXPECT_EQ(title, "safe");
  frame->Destroy();
}
