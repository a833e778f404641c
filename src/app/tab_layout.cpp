#include "app/tab_layout.h"

#include <gtk/gtk.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <algorithm>
#include <cmath>

#include "app/wx_util.h"

namespace zel {
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

double DpiScale() {
  double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

int Scaled(int px) { return static_cast<int>(std::lround(px * DpiScale())); }
wxSize Scaled(int w, int h) { return wxSize(Scaled(w), Scaled(h)); }

void NoCaret(wxTextCtrl* t) {
  static GtkCssProvider* clear = Css("* { caret-color: transparent; }");
  GtkWidget* g = t->GetConnectWidget();
  if (GTK_IS_TEXT_VIEW(g)) gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(g), FALSE);
  AddCss(g, clear);
}

void FitText(wxTextCtrl* t, const wxArrayString& values, int minChars) {
  int text = t->GetTextExtent(wxString('0', minChars)).x;
  for (const wxString& v : values) text = std::max(text, t->GetTextExtent(v).x);
  // The entry's own padding and border, read from its style: the toolkit's
  // estimate of them is only right once the window is on screen.
  GtkStyleContext* sc = gtk_widget_get_style_context(t->GetConnectWidget());
  GtkBorder pad{}, border{};
  gtk_style_context_get_padding(sc, gtk_style_context_get_state(sc), &pad);
  gtk_style_context_get_border(sc, gtk_style_context_get_state(sc), &border);
  int frame = pad.left + pad.right + border.left + border.right + 2;  // and the caret
  t->SetMinSize(wxSize(text + frame, t->GetMinSize().y));
}

void FitTextHeights(wxWindow* root) {
  for (wxWindow* c : root->GetChildren()) {
    auto* t = wxDynamicCast(c, wxTextCtrl);
    if (t && t->IsSingleLine()) {
      t->InvalidateBestSize();
      int least = 0;
      gtk_widget_get_preferred_height(t->GetConnectWidget(), &least, nullptr);
      t->SetMinSize(wxSize(t->GetMinSize().x, std::max(t->GetBestSize().y, least)));
    }
    FitTextHeights(c);
  }
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

InfoBox::InfoBox(wxWindow* parent, const std::string& text, const std::string& caption)
    : wxDialog(parent, wxID_ANY, W(caption)) {
  wxString all = W(text);
  all.Replace("\r\n", "\n");
  if (all.EndsWith("\n")) all.RemoveLast();
  wxArrayString lines = wxSplit(all, '\n', '\0');
  if (lines.empty()) lines.Add(wxString());
  wxWindow* top = parent ? wxGetTopLevelParent(parent) : nullptr;
  const int limit = std::max(top ? top->GetSize().y : 0, Scaled(390));
  Build(lines, 1);
  while (GetSize().y > limit && columns_ < static_cast<int>(lines.size())) {
    DestroyChildren();
    Build(lines, columns_ + 1);
  }
  SetEscapeId(wxID_OK);
  CentreOnParent();
}

void InfoBox::Build(const wxArrayString& lines, int columns) {
  columns_ = columns;
  auto* body = new wxBoxSizer(wxHORIZONTAL);
  body->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_INFORMATION, wxART_MESSAGE_BOX)), 0,
            wxALL, Scaled(10));
  const size_t n = lines.size(), per = (n + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns);
  for (size_t from = 0; from < n; from += per) {
    wxString chunk;
    for (size_t i = from; i < std::min(n, from + per); ++i) chunk += (i > from ? "\n" : "") + lines[i];
    auto* label = new wxStaticText(this, wxID_ANY, wxEmptyString);
    label->SetLabelText(chunk);
    body->Add(label, 0, wxTOP | wxBOTTOM | wxRIGHT, Scaled(10));
  }
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(body, 1, wxEXPAND);
  auto* ok = new wxButton(this, wxID_OK);
  ok->SetDefault();
  all->Add(ok, 0, wxALIGN_CENTER | wxBOTTOM, Scaled(10));
  SetSizerAndFit(all);
}

}  // namespace zel
