#include "app/port/widgets.h"

#include <gtk/gtk.h>

namespace zel::port {
namespace {

GtkCssProvider* Css(const char* rules) {
  GtkCssProvider* p = gtk_css_provider_new();
  gtk_css_provider_load_from_data(p, rules, -1, nullptr);
  return p;  // kept for the life of the process: every window may use it
}

void AddCss(GtkWidget* w, GtkCssProvider* p) {
  gtk_style_context_add_provider(gtk_widget_get_style_context(w), GTK_STYLE_PROVIDER(p),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

double ScreenDpiScale() {
  double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

const char* UiFontFace() { return "Noto Sans CJK SC"; }

void HideCaret(wxTextCtrl* t) {
  static GtkCssProvider* clear = Css("* { caret-color: transparent; }");
  GtkWidget* g = t->GetConnectWidget();
  if (GTK_IS_TEXT_VIEW(g)) gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(g), FALSE);
  AddCss(g, clear);
}

int TextFrameWidth(wxTextCtrl* t) {
  // Read from the entry's style: the toolkit's estimate is only right once
  // the window is on screen.
  GtkStyleContext* sc = gtk_widget_get_style_context(t->GetConnectWidget());
  GtkBorder pad{}, border{};
  gtk_style_context_get_padding(sc, gtk_style_context_get_state(sc), &pad);
  gtk_style_context_get_border(sc, gtk_style_context_get_state(sc), &border);
  return pad.left + pad.right + border.left + border.right + 2;  // and the caret
}

int LeastTextHeight(wxTextCtrl* t) {
  int least = 0;
  gtk_widget_get_preferred_height(t->GetConnectWidget(), &least, nullptr);
  return least;
}

int TabStripWidth(wxNotebook* book) {
  // A notebook that may not scroll asks for the room of all its tabs.
  auto* nb = GTK_NOTEBOOK(book->GetHandle());
  gboolean scrollable = gtk_notebook_get_scrollable(nb);
  gtk_notebook_set_scrollable(nb, FALSE);
  int minimum = 0;
  gtk_widget_get_preferred_width(GTK_WIDGET(nb), &minimum, nullptr);
  gtk_notebook_set_scrollable(nb, scrollable);
  return minimum;
}

void CompactTabs(wxNotebook* book) {
  static GtkCssProvider* compact = Css("tab { padding-left: 5px; padding-right: 5px; min-width: 0; }");
  AddCss(book->GetHandle(), compact);
}

int MenuHeight(wxMenu* menu) {
  int height = 0;
  gtk_widget_get_preferred_height(menu->m_menu, nullptr, &height);
  return height;
}

}  // namespace zel::port
