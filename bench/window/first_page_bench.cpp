// A tab's first showing in a fresh window: milliseconds from the tab
// becoming the page to (1) its web view made, (2) its page loaded, (3) the
// page's pixels on the display. One tab, once, per process; run it through
// bench/first_page.sh for medians.
//   first_page_bench TAB     TAB: 1 (万年历) or 4 (邮编区号)
#include <gdk/gdk.h>
#include <wx/app.h>
#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/main_frame.h"
#include "app/tab_calendar.h"
#include "app/tab_mail.h"
#include "support/testutil.h"

using namespace zel;
using Clock = std::chrono::steady_clock;

namespace {

void PumpOnce() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  wxTheApp->ProcessPendingEvents();
}

template <class F>
bool PumpUntil(F cond, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    PumpOnce();
    if (cond()) return true;
    g_usleep(1000);
  }
  return false;
}

// The display's pixels under w hold more than one colour: something is
// drawn there, not an empty page or bare background.
bool ShowsSomething(wxWindow* w) {
  const wxPoint at = w->GetScreenPosition();
  const wxSize size = w->GetSize();
  GdkPixbuf* pb = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), at.x, at.y, size.x, size.y);
  if (!pb) return false;
  const int stride = gdk_pixbuf_get_rowstride(pb), n = gdk_pixbuf_get_n_channels(pb);
  const guchar* px = gdk_pixbuf_get_pixels(pb);
  bool mixed = false;
  for (int y = 0; y < gdk_pixbuf_get_height(pb) && !mixed; ++y)
    for (int x = 0; x < gdk_pixbuf_get_width(pb) && !mixed; ++x)
      mixed = memcmp(px + y * stride + x * n, px, 3) != 0;
  g_object_unref(pb);
  return mixed;
}

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int tab = argc > 1 ? std::atoi(argv[1]) : 1;
  wxApp::SetInstance(new wxApp);
  int wxArgc = 1;  // the toolkit takes no arguments of ours
  if (!wxEntryStart(wxArgc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "first_page_bench: no display\n");
    return 1;
  }
  test::AppFolder app;
  app.CopyShippedData();
  app.UseServer("http://127.0.0.1:9");
  auto* f = new Tfrm_main(app.path());
  f->Show();
  // Start-up settled: the banner's page is in.
  bool bannerIn = false;
  f->WebBrowserAD().OnDocumentComplete = [&] { bannerIn = true; };
  if (!PumpUntil([&] { return bannerIn; }, 30000)) {
    std::fprintf(stderr, "first_page_bench: the banner never loaded\n");
    return 1;
  }
  PumpUntil([] { return false; }, 1000);

  WxBrowser* b = nullptr;
  if (tab == 1) b = &dynamic_cast<CalendarTabPanel*>(f->TabWNL)->BrowserWNL();
  if (tab == 4) b = &dynamic_cast<MailTabPanel*>(f->TabMail)->WebBrowserTel();
  if (!b) return 2;
  bool loaded = false;
  b->OnDocumentComplete = [&] { loaded = true; };
  const auto t0 = Clock::now();
  f->PageControl1->SetSelection(static_cast<size_t>(tab));
  double view = -1, load = -1, shown = -1;
  PumpUntil([&] {
    if (view < 0 && b->HasView()) view = Ms(t0);
    if (load < 0 && loaded) load = Ms(t0);
    if (shown < 0 && b->HasView() && ShowsSomething(b)) shown = Ms(t0);
    return view >= 0 && load >= 0 && shown >= 0;
  }, 30000);
  std::printf("%d %.0f %.0f %.0f\n", tab, view, load, shown);
  std::fflush(nullptr);
  std::_Exit(0);
}
