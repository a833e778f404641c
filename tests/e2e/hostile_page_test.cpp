// Values cut out of downloaded pages end up in the forecast page: the
// forecast browser must never run script from them.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>
#include <wx/frame.h>
#include <wx/panel.h>

#include <atomic>
#include <vector>

#include "app/wx_views.h"
#include "base/appenv.h"
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
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(386, 246));
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

namespace {

// Records every resource the engine starts to load for a view.
void RecordLoads(WxBrowser& b, std::vector<std::string>* uris) {
  auto started = +[](WebKitWebView*, WebKitWebResource* r, WebKitURIRequest*, gpointer data) {
    static_cast<std::vector<std::string>*>(data)->push_back(webkit_web_resource_get_uri(r));
  };
  g_signal_connect(b.View()->GetNativeBackend(), "resource-load-started", G_CALLBACK(started), uris);
}

// Pages that try to reach another host, show a local file in a frame, or
// replace themselves. {W} is the witness server, which must see nothing.
const char* kEscapes[] = {
    "<html><head><link rel=stylesheet href=\"{W}/s.css\"></head><body><img src=\"{W}/i.gif\">x</body></html>",
    "<html><head><base href=\"{W}/\"></head><body><img src=\"i.gif\">x</body></html>",
    "<html><body><iframe src=\"file:///etc/hostname\"></iframe><iframe src=\"{W}/f\"></iframe>x</body></html>",
    "<html><head><meta http-equiv=\"refresh\" content=\"0;url={W}/r\"></head><body>x</body></html>",
    "<html><head><meta http-equiv=\"refresh\" content=\"0\"></head><body>x</body></html>",
    "<html><head><meta http-equiv=\"refresh\" content=\"0;url=file:///etc/hostname\"></head><body>x</body></html>",
    "<html><body><script>new Image().src='{W}/js'</script><form action=\"{W}/post\"></form>x</body></html>",
    "<!DOCTYPE html><html><body style=\"background:url({W}/bg.gif)\">x</body></html>",
};

std::string Fill(std::string page, const std::string& witness) {
  for (size_t at; (at = page.find("{W}")) != std::string::npos;) page.replace(at, 3, witness);
  return page;
}

struct Witness {
  std::atomic<int> hits{0};
  test::LoopbackServer server;  // stops before what its handler touches
  Witness() {
    server.http().set_pre_routing_handler([this](const httplib::Request&, httplib::Response& res) {
      ++hits;
      res.set_content("", "text/plain");
      return httplib::Server::HandlerResponse::Handled;
    });
    server.Start();
  }
};

}  // namespace

// Written pages (forecast, calendar, postal table) and local pages an update
// can replace (banner, welcome) load nothing from the network, no frame,
// and keep their place whatever they ask for.
TEST(HostilePages, WrittenAndLocalPagesStayLocalAndInPlace) {
  test::AppFolder app;
  Witness witness;
  auto* frame = new wxFrame(nullptr, wxID_ANY, "hostile");
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(386, 246));
  std::vector<std::string> loads;
  RecordLoads(browser, &loads);
  int completed = 0;
  browser.OnDocumentComplete = [&] { ++completed; };
  frame->Show();
  for (bool asFile : {false, true}) {
    for (const char* raw : kEscapes) {
      std::string page = Fill(raw, witness.server.base());
      loads.clear();
      completed = 0;
      if (asFile) {
        app.Write("AD.htm", page);
        browser.Navigate(app / "AD.htm");
      } else {
        browser.ShowHtml(page);
      }
      ASSERT_TRUE(e2e::PumpUntil([&] { return completed > 0; })) << page;
      e2e::Pump(400);  // a refresh or late load gets its chance
      EXPECT_EQ(e2e::BodyTextUtf8(browser), "x") << page;
      EXPECT_EQ(completed, 1) << "no second page replaced it: " << page;
      for (const auto& uri : loads) EXPECT_EQ(uri.rfind("file://", 0), 0u) << uri << " from " << page;
      for (const auto& uri : loads) EXPECT_EQ(uri.find("hostname"), std::string::npos) << page;
    }
  }
  EXPECT_EQ(witness.hits.load(), 0) << "the other host was reached";
  frame->Destroy();
}

// Written pages show pictures from the application folder only: a page
// cannot reach into the rest of the disk.
// Relative and absolute pictures of the folder show, also from a folder
// named in Chinese with a space, as a user's may be.
TEST(HostilePages, WrittenPagesShowOnlyTheFoldersPictures) {
  test::TempDir outside;
  const std::string gif = test::ReadAll(std::string(ZEL_SOURCE_DIR) + "/data/images/00.gif");
  outside.Write("out.gif", gif);
  for (const char8_t* sub : {u8"", u8"天气 测试/"}) {
    test::AppFolder app;
    const std::string folder = reinterpret_cast<const char*>(sub);
    SetAppPath(app.path() + folder);
    app.Write(folder + "images/in.gif", gif);
    auto* frame = new wxFrame(nullptr, wxID_ANY, "pictures");
    WxBrowser browser(frame, wxPoint(0, 0), wxSize(386, 246));
    int completed = 0;
    browser.OnDocumentComplete = [&] { ++completed; };
    frame->Show();
    browser.ShowHtml("<html><body><img id=\"i\" src=\"images/in.gif\"><img id=\"a\" src=\"" + AppPathInPage() +
                     "images/in.gif\"><img id=\"o\" src=\"file://" + (outside / "out.gif") + "\">x</body></html>");
    ASSERT_TRUE(e2e::PumpUntil([&] { return completed > 0; }));
    wxString widths;
    auto measure = [&] {
      browser.RunScript("['i','a','o'].map(n => document.getElementById(n).naturalWidth > 0 ? 1 : 0).join()", &widths);
      return widths.StartsWith("1,1,");
    };
    ASSERT_TRUE(e2e::PumpUntil(measure)) << widths << ": the folder's own pictures show in \"" << folder << "\"";
    e2e::Pump(300);
    measure();
    EXPECT_EQ(widths, "1,1,0") << "a picture from outside the folder showed";
    frame->Destroy();
  }
}

// Reload, a folder or a missing file never show a listing of the folder.
TEST(HostilePages, NoFolderListingEver) {
  test::AppFolder app;
  auto* frame = new wxFrame(nullptr, wxID_ANY, "hostile");
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(386, 246));
  int completed = 0;
  browser.OnDocumentComplete = [&] { ++completed; };
  frame->Show();
  app.Write("secret.txt", "secret");
  browser.ShowHtml("<html><body>forecast</body></html>");
  ASSERT_TRUE(e2e::PumpUntil([&] { return completed > 0; }));
  browser.View()->Reload();
  e2e::Pump(500);
  EXPECT_EQ(e2e::BodyTextUtf8(browser), "forecast") << "reload is refused";
  for (std::string address : {app.path(), app / "missing.htm", "file://" + app.path()}) {
    completed = 0;
    browser.Navigate(address);
    ASSERT_TRUE(e2e::PumpUntil([&] { return completed > 0; })) << address;
    EXPECT_EQ(e2e::BodyTextUtf8(browser), "") << address;
  }
  frame->Destroy();
}

// Right-click never shows the engine's menu; the parent gets the event, so a
// tab can offer its own menu there.
TEST(HostilePages, RightClickReachesTheParentInsteadOfTheEngineMenu) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "menu");
  auto* panel = new wxPanel(frame);
  WxBrowser browser(panel, wxPoint(0, 0), wxSize(200, 100));
  int asked = 0;
  panel->Bind(wxEVT_CONTEXT_MENU, [&](wxContextMenuEvent&) { ++asked; });
  frame->Show();
  WebKitContextMenu* menu = webkit_context_menu_new();
  gboolean handled = FALSE;
  g_signal_emit_by_name(browser.View()->GetNativeBackend(), "context-menu", menu, nullptr, nullptr, &handled);
  g_object_unref(menu);
  EXPECT_TRUE(handled) << "the engine's own menu would show";
  EXPECT_TRUE(e2e::PumpUntil([&] { return asked == 1; }));
  frame->Destroy();
}

// A page from a server (the lookups) loads only from its own host: pictures,
// styles, frames and refreshes aimed at another port never leave.
TEST(HostilePages, RemotePageLoadsOnlyFromItsOwnHost) {
  Witness witness;
  test::LoopbackServer origin;
  const std::string page = Fill(
      "<html><head><link rel=stylesheet href=\"{W}/s.css\"><meta http-equiv=\"refresh\" content=\"1;url={W}/r\">"
      "</head><body><img src=\"{W}/i.gif\"><iframe src=\"{W}/f\"></iframe><img src=\"/own.gif\">x</body></html>",
      witness.server.base());
  std::atomic<int> own{0};
  origin.http().Get("/page", [&](const httplib::Request&, httplib::Response& res) { res.set_content(page, "text/html"); });
  origin.http().Get("/own.gif", [&](const httplib::Request&, httplib::Response& res) {
    ++own;
    res.status = 404;
  });
  origin.Start();
  auto* frame = new wxFrame(nullptr, wxID_ANY, "remote");
  WxBrowser browser(frame, wxPoint(0, 0), wxSize(200, 100));
  int completed = 0;
  browser.OnDocumentComplete = [&] { ++completed; };
  frame->Show();
  browser.Navigate(origin.base() + "/page");
  ASSERT_TRUE(e2e::PumpUntil([&] { return completed > 0; }));
  e2e::Pump(1500);  // past the refresh
  EXPECT_EQ(e2e::BodyTextUtf8(browser), "x");
  EXPECT_GE(own.load(), 1) << "its own host still serves it";
  EXPECT_EQ(witness.hits.load(), 0) << "the other host was reached";
  frame->Destroy();
}
