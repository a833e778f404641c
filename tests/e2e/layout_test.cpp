// The window's layout with the CJK font: nothing clipped, nothing off its
// tab, every tab button reachable. ctest runs this file twice, at 96 dpi and
// with GDK_DPI_SCALE=1.5; ZEL_LAYOUT_SHOTS=DIR also saves each tab as a PNG.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/notebook.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
// After wx/stattext.h, which it builds on.
#include <wx/generic/stattextg.h>

#include <cstdlib>
#include <sstream>

#include "app/main_frame.h"
#include "app/tab_about.h"
#include "app/tab_layout.h"
#include "app/tab_settings.h"
#include "app/tab_weather.h"
#include "app/wx_util.h"
#include "e2e/e2e_util.h"
#include "fortune/relation.h"
#include "support/fakes.h"
#include "support/testutil.h"

using namespace zel;
using zel::test::AppFolder;

namespace {

std::string Describe(wxWindow* w) {
  std::ostringstream o;
  o << wxString(w->GetClassInfo()->GetClassName()).utf8_str() << " '" << w->GetLabel().utf8_str() << "' at "
    << w->GetPosition().x << "," << w->GetPosition().y << " size " << w->GetSize().x << "x" << w->GetSize().y;
  return o.str();
}

// What must fit its rectangle: texts and every control that shows a caption
// or items of its own. Browsers, memos and lists only have to lie inside.
bool MustFitBestSize(wxWindow* w) {
  return wxDynamicCast(w, wxStaticText) || wxDynamicCast(w, wxGenericStaticText) || wxDynamicCast(w, wxButton) ||
         wxDynamicCast(w, wxChoice) || wxDynamicCast(w, wxStaticBox) || wxDynamicCast(w, wxSpinCtrl);
}

bool IsSingleLineText(wxWindow* w) {
  auto* text = wxDynamicCast(w, wxTextCtrl);
  return text && text->IsSingleLine();
}

bool CaretHidden(wxTextCtrl* t) {
  GtkWidget* g = t->GetConnectWidget();
  if (GTK_IS_TEXT_VIEW(g) && gtk_text_view_get_cursor_visible(GTK_TEXT_VIEW(g))) return false;
  GdkRGBA* caret = nullptr;
  GtkStyleContext* sc = gtk_widget_get_style_context(g);
  gtk_style_context_get(sc, gtk_style_context_get_state(sc), "caret-color", &caret, nullptr);
  bool clear = caret && caret->alpha == 0.0;
  if (caret) gdk_rgba_free(caret);
  return clear;
}

struct Frame {
  AppFolder app;
  test::FakeShell shell;
  Tfrm_main* f = nullptr;

  Frame() {
    app.CopyShippedData();
    app.UseServer("http://127.0.0.1:9");  // nothing listens there
    f = new Tfrm_main(app.path());
    f->SetShell(&shell);
    f->Show();
    e2e::Pump(200);
  }
  ~Frame() {
    f->Destroy();
    e2e::Pump(50);
  }
};

void Shot(const std::string& name) {
  const char* dir = std::getenv("ZEL_LAYOUT_SHOTS");
  if (!dir || !*dir) return;
  e2e::Pump(1200);  // let the pages load and paint
  std::string cmd = "import -window root '" + std::string(dir) + "/" + name + ".png' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "screenshot failed: " << cmd;
}

// The scale the run was asked for: 1 unless GDK_DPI_SCALE says otherwise.
double AskedScale() {
  const char* env = std::getenv("GDK_DPI_SCALE");
  return env && *env ? std::atof(env) : 1.0;
}

std::string ScaleName() { return std::to_string(static_cast<int>(AskedScale() * 100 + 0.5)); }

// Every shown descendant of parent lies inside it, fits its best size where
// it has a text, and no two shown siblings overlap (one would hide the other).
void CheckChildren(wxWindow* parent, const std::string& where) {
  const wxRect inside(wxPoint(0, 0), parent->GetClientSize());
  std::vector<wxWindow*> shown;
  for (wxWindow* c : parent->GetChildren()) {
    if (!c->IsShown() || c->IsTopLevel()) continue;
    shown.push_back(c);
    wxRect r = c->GetRect();
    EXPECT_TRUE(inside.Contains(r)) << where << ": " << Describe(c) << " runs out of its parent (" << inside.width
                                    << "x" << inside.height << ")";
    wxSize best = c->GetBestSize();
    if (MustFitBestSize(c) || IsSingleLineText(c)) {
      // The toolkit's own minimum counts too: it lays the text out for it.
      // (For a text field wx's best size is a guess of 80 characters.)
      wxSize need = IsSingleLineText(c) ? wxSize(0, 0) : best;
      int gtkWidth = 0, gtkHeight = 0;
      gtk_widget_get_preferred_width(c->GetHandle(), &gtkWidth, nullptr);
      gtk_widget_get_preferred_height(c->GetHandle(), &gtkHeight, nullptr);
      need.IncTo(wxSize(gtkWidth, gtkHeight));
      EXPECT_TRUE(need.x <= r.width && need.y <= r.height)
          << where << ": " << Describe(c) << " is cut, needs " << need.x << "x" << need.y;
    }
    if (wxDynamicCast(c, wxListBox)) {
      EXPECT_LE(best.x, r.width) << where << ": " << Describe(c) << " cuts its rows, needs " << best.x;
    }
    auto* text = wxDynamicCast(c, wxTextCtrl);
    if (text && !text->IsEditable()) {
      EXPECT_TRUE(CaretHidden(text)) << where << ": " << Describe(c) << " is read-only but shows a caret";
    }
    CheckChildren(c, where);
  }
  for (size_t i = 0; i < shown.size(); ++i)
    for (size_t j = i + 1; j < shown.size(); ++j)
      EXPECT_FALSE(shown[i]->GetRect().Intersects(shown[j]->GetRect()))
          << where << ": " << Describe(shown[i]) << " overlaps " << Describe(shown[j]);
}

}  // namespace

TEST(WindowLayout, EveryTabFitsItsControlsAndTexts) {
  Frame w;
  wxNotebook* book = w.f->PageControl1;
  for (size_t i = 0; i < book->GetPageCount(); ++i) {
    book->SetSelection(i);
    e2e::Pump(150);
    wxWindow* page = book->GetPage(i);
    std::string where = std::string(book->GetPageText(i).utf8_str());
    CheckChildren(page, where);
    Shot("tab" + std::to_string(i) + "_" + ScaleName());
  }
  // The hidden ID-card tab is laid out like the others.
  w.f->TabIDCard->SetSize(book->GetPage(0)->GetSize());
  w.f->TabIDCard->Layout();
  CheckChildren(w.f->TabIDCard, "ID card");
}

TEST(WindowLayout, AllTabButtonsShowWithoutScrolling) {
  Frame w;
  auto* nb = GTK_NOTEBOOK(w.f->PageControl1->GetHandle());
  GtkAllocation book;
  gtk_widget_get_allocation(GTK_WIDGET(nb), &book);
  int right = 0;
  for (int i = 0; i < gtk_notebook_get_n_pages(nb); ++i) {
    GtkWidget* label = gtk_notebook_get_tab_label(nb, gtk_notebook_get_nth_page(nb, i));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(gtk_widget_get_child_visible(label) && gtk_widget_get_mapped(label)) << "tab " << i << " scrolled away";
    GtkAllocation a;
    gtk_widget_get_allocation(label, &a);
    int wanted = 0;
    gtk_widget_get_preferred_width(label, &wanted, nullptr);
    EXPECT_GE(a.width, wanted) << "tab " << i << " label cut";
    right = std::max(right, a.x + a.width);
  }
  EXPECT_LE(right, book.x + book.width) << "the last tab runs past the window";
}

TEST(WindowLayout, WindowKeepsDesignProportionsAndMinimum) {
  Frame w;
  const double scale = DpiScale();
  // The scaled run must really be scaled, or it proves nothing.
  EXPECT_NEAR(scale, AskedScale(), 0.01);
  wxSize c = w.f->GetClientSize();
  EXPECT_GE(c.x, static_cast<int>(580 * scale));
  EXPECT_GE(c.y, static_cast<int>(390 * scale));
  EXPECT_NEAR(static_cast<double>(c.x) / c.y, 580.0 / 390.0, 0.02);
  EXPECT_EQ(w.f->GetMinClientSize(), c);
  // The frame did not have to grow the layout beyond what it asked for.
  EXPECT_GE(c.x, w.f->GetSizer()->GetMinSize().x);
  EXPECT_GE(c.y, w.f->GetSizer()->GetMinSize().y);
}

TEST(WindowLayout, AboutColonsLineUpAndHomePageFieldShowsWholeAddress) {
  Frame w;
  auto& about = *dynamic_cast<AboutTabPanel*>(w.f->TabAbout);
  w.f->PageControl1->SetSelection(8);
  e2e::Pump(150);
  wxString text = about.edtAbout->GetValue();
  wxArrayString lines = wxSplit(text, '\n');
  std::vector<int> xs;
  long start = 0;
  for (const wxString& line : lines) {
    int colon = line.Find(wxString::FromUTF8("："));
    if (colon != wxNOT_FOUND && colon <= 5) xs.push_back(about.edtAbout->PositionToCoords(start + colon).x);
    start += static_cast<long>(line.length()) + 1;
  }
  ASSERT_GE(xs.size(), 5u);
  for (int x : xs) {
    EXPECT_EQ(x, xs.front()) << "colons of the about lines are not aligned";
  }

  auto& set = *dynamic_cast<SettingsTabPanel*>(w.f->TabSet);
  w.f->PageControl1->SetSelection(7);
  e2e::Pump(150);
  const wxString started = set.edtTemplateHttp->GetValue();
  // What start-up showed, then each set's author as a click shows it.
  for (int row = -1; row < static_cast<int>(set.lstTemplate->GetCount()); ++row) {
    if (row >= 0) e2e::SelectRow(set.lstTemplate, row);
    for (wxTextCtrl* t : {set.edtTemplateAuthor, set.edtTemplateDate, set.edtTemplateEmail, set.edtTemplateHttp}) {
      ASSERT_FALSE(t->GetValue().empty());
      GdkRectangle area;
      gtk_entry_get_text_area(GTK_ENTRY(t->GetConnectWidget()), &area);
      EXPECT_LE(t->GetTextExtent(t->GetValue()).x, area.width)
          << Describe(t) << " hides part of " << t->GetValue().utf8_str();
    }
  }
  // Measuring every set at start-up left the active set's author shown.
  int active = set.lstTemplate->FindString("default");
  ASSERT_NE(active, wxNOT_FOUND);
  e2e::SelectRow(set.lstTemplate, active);
  EXPECT_EQ(set.edtTemplateHttp->GetValue(), started);
}

TEST(WindowLayout, ServerMenuOpensBesideItsButton) {
  Frame w;
  WeatherTabPanel& t = *w.f->TabSheet1;
  wxRect button = t.btnWeatherServer->GetScreenRect();
  wxRect menu;
  // The menu runs its own loop: measure it from inside, then close it.
  bool seen = false;
  t.CallAfter([&] {
    e2e::PumpUntil(
        [&] {
          GtkWidget* top = gtk_widget_get_toplevel(t.suiPopupMenu1->m_menu);
          GdkWindow* gw = gtk_widget_get_window(top);
          if (!gw || !gtk_widget_get_mapped(top)) return false;
          int x = 0, y = 0;
          gdk_window_get_origin(gw, &x, &y);
          menu = wxRect(x, y, gdk_window_get_width(gw), gdk_window_get_height(gw));
          return seen = true;
        },
        3000);
    Shot("menu_" + ScaleName());
    gtk_menu_shell_cancel(GTK_MENU_SHELL(t.suiPopupMenu1->m_menu));
  });
  t.btnWeatherServerClick();
  ASSERT_TRUE(seen) << "the menu never showed";
  EXPECT_FALSE(menu.Intersects(button)) << "menu " << menu.x << "," << menu.y << " covers the button " << button.x
                                        << "," << button.y;
  // Beside: touching the button's bottom or side, not somewhere else.
  wxRect near = button;
  near.Inflate(8);
  EXPECT_TRUE(near.Intersects(menu)) << "menu " << menu.x << "," << menu.y << " far from its button";
}

TEST(WindowLayout, InfoBoxShowsEveryLineWithinTheWindowHeight) {
  Frame w;
  struct Case {
    const char* why;
    std::string text;  // GBK
    int columns;       // at least
  };
  const Case cases[] = {
      {"one short line", test::G(u8"如果遇到笔画有错误，请给我写信：zelmora@example.org。"), 1},
      {"the relation code table, 28 lines", TLRGX().CodeTable(), 2},
  };
  for (const Case& c : cases) {
    InfoBox box(w.f, c.text, "caption");
    EXPECT_LE(box.GetSize().y, w.f->GetSize().y) << c.why << ": taller than the window";
    EXPECT_GE(box.Columns(), c.columns) << c.why;
    CheckChildren(&box, c.why);
    wxString shown;
    for (wxWindow* child : box.GetChildren())
      if (auto* label = wxDynamicCast(child, wxStaticText)) shown += label->GetLabel() + "\n";
    wxString all = W(c.text);
    all.Replace("\r\n", "\n");
    for (const wxString& line : wxSplit(all, '\n', '\0')) {
      EXPECT_NE(shown.Find(line), wxNOT_FOUND) << c.why << ": line missing: " << line.utf8_str();
    }
    if (c.columns > 1) {
      box.Show();
      Shot("infobox_" + ScaleName());
    }
  }
}

TEST(WindowLayout, TemplatePreviewShowsTheWholePage) {
  Frame w;
  auto& set = *dynamic_cast<SettingsTabPanel*>(w.f->TabSet);
  w.f->PageControl1->SetSelection(7);
  e2e::Pump(100);
  ASSERT_GT(set.lstTemplate->GetCount(), 0u);
  e2e::SelectRow(set.lstTemplate, 0);
  WxBrowser& b = set.WebBrowser2();
  wxString fits;
  e2e::PumpUntil([&] {
    return b.RunScript(
               "document.body && document.readyState == 'complete' ? "
               "String(document.documentElement.scrollWidth <= window.innerWidth && "
               "document.documentElement.scrollHeight <= window.innerHeight) : ''",
               &fits) &&
           fits == "true";
  });
  EXPECT_EQ(fits, "true") << "part of the preview page is out of view";
  Shot("preview_" + ScaleName());
}
