// The toolkit keeps one answer slot per web view while a script runs, and it
// handles events while it waits: a page load that ends meanwhile must wait
// for the script, or a script of its handler takes the other's answer.
#include <gtest/gtest.h>
#include <wx/frame.h>

#include "app/wx_views.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"

using namespace zel;

TEST(BrowserScripts, ALoadEndingDuringAScriptIsHandledAfterIt) {
  test::AppFolder app;
  auto* frame = new wxFrame(nullptr, wxID_ANY, "scripts");
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(200, 100));
  int completes = 0;
  bool inScript = false, nested = false;
  std::string read;
  browser.OnDocumentComplete = [&] {
    ++completes;
    nested = nested || inScript;
    read = browser.BodyText();
  };
  frame->Show();
  browser.ShowHtml("<html><body>page</body></html>");
  ASSERT_TRUE(e2e::PumpUntil([&] { return completes == 1; }));
  // The end of a fast load, already queued when the script starts.
  auto* e = new wxWebViewEvent(wxEVT_WEBVIEW_LOADED, browser.View()->GetId(), browser.Address(), "");
  e->SetEventObject(browser.View());
  browser.View()->GetEventHandler()->QueueEvent(e);
  inScript = true;
  wxString out;
  EXPECT_TRUE(browser.RunScript("'mine' + 1", &out));
  inScript = false;
  EXPECT_EQ(out, "mine1") << "the script's own answer";
  ASSERT_TRUE(e2e::PumpUntil([&] { return completes == 2; }));
  EXPECT_FALSE(nested) << "the load is handled after the script";
  EXPECT_EQ(read, "page") << "the handler's script has its own answer";
  frame->Destroy();
}
