// The banner as the display shows it, before and after a message box lay
// over it, with and without a window manager.
#include <gdk/gdk.h>
#include <gtest/gtest.h>
#include <wx/app.h>

#include <memory>

#include "app/main_frame.h"
#include "app/tab_layout.h"
#include "e2e/e2e_util.h"
#include "support/child_process.h"
#include "support/testutil.h"

using namespace zel;
using zel::test::G;

// From gdkx.h, whose X11 macros clash with the test headers.
extern "C" const char* gdk_x11_screen_get_window_manager_name(GdkScreen* screen);

namespace {

// The display's pixels (RGB rows) under a window.
std::vector<std::string> Capture(wxWindow* win) {
  const wxPoint at = win->GetScreenPosition();
  GdkPixbuf* pb = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), at.x, at.y, win->GetSize().x,
                                             win->GetSize().y);
  std::vector<std::string> rows;
  if (!pb) return rows;
  const int stride = gdk_pixbuf_get_rowstride(pb), n = gdk_pixbuf_get_n_channels(pb);
  for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y) {
    const guchar* p = gdk_pixbuf_get_pixels(pb) + y * stride;
    std::string& row = rows.emplace_back();
    for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x, p += n) row.append(reinterpret_cast<const char*>(p), 3);
  }
  g_object_unref(pb);
  return rows;
}

int RowsDiffering(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return static_cast<int>(std::max(a.size(), b.size()));
  int n = 0;
  for (size_t y = 0; y < a.size(); ++y) n += a[y] != b[y];
  return n;
}

bool WindowManagerRunning() {
  const char* name = gdk_x11_screen_get_window_manager_name(gdk_screen_get_default());
  return name && std::string(name) != "unknown";
}

}  // namespace

// A box tall enough to lie over the banner's lower part, as the code table
// of the relation tab does, shown where it opens by itself.
TEST(Banner, RedrawnWhereAMessageBoxLayOverIt) {
  struct Case {
    const char* windowManager;  // nullptr: none
  };
  for (const Case& c : {Case{nullptr}, Case{"/usr/bin/openbox"}}) {
    SCOPED_TRACE(c.windowManager ? c.windowManager : "no window manager");
    std::unique_ptr<test::ChildProcess> wm;
    if (c.windowManager) {
      wm = std::make_unique<test::ChildProcess>(std::vector<std::string>{c.windowManager, "--sm-disable"});
      ASSERT_TRUE(e2e::PumpUntil(WindowManagerRunning)) << "scripts/setup.sh installs it\n" << wm->log();
    }
    test::AppFolder app;
    app.CopyShippedData();
    app.UseServer("http://127.0.0.1:9");
    auto* f = new Tfrm_main(app.path());
    f->Show();
    wxWindow* banner = &f->WebBrowserAD();
    ASSERT_TRUE(e2e::PumpUntil([&] { return !e2e::BodyTextUtf8(f->WebBrowserAD()).empty(); }));
    // Settled: two reads a while apart agree.
    std::vector<std::string> before;
    ASSERT_TRUE(e2e::PumpUntil([&] {
      before = Capture(banner);
      e2e::Pump(200);
      return Capture(banner) == before;
    }));
    std::string text;
    for (int i = 1; i <= 60; ++i) text += G(u8"第") + std::to_string(i) + G(u8"行 一二三四五六七八九十\r\n");
    std::vector<std::string> covered;
    wxTheApp->CallAfter([&] {
      for (wxWindow* w : wxTopLevelWindows)
        if (auto* box = dynamic_cast<InfoBox*>(w); box && box->IsModal()) {
          e2e::Pump(500);
          covered = Capture(banner);
          box->EndModal(wxID_OK);
        }
    });
    f->ShowInfoBox(text, G(u8"查看代码表"));
    ASSERT_GT(RowsDiffering(before, covered), 0) << "the box lay over the banner";
    EXPECT_TRUE(e2e::PumpUntil([&] { return RowsDiffering(before, Capture(banner)) == 0; }, 3000))
        << RowsDiffering(before, Capture(banner)) << " of " << before.size() << " rows differ";
    f->Destroy();
    e2e::Pump(100);
  }
}
