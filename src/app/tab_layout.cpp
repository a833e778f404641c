#include "app/tab_layout.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <algorithm>
#include <cmath>

#include "app/port/widgets.h"
#include "app/wx_util.h"

namespace zel {

double DpiScale() { return port::ScreenDpiScale(); }

int Scaled(int px) { return static_cast<int>(std::lround(px * DpiScale())); }
wxSize Scaled(int w, int h) { return wxSize(Scaled(w), Scaled(h)); }

void NoCaret(wxTextCtrl* t) { port::HideCaret(t); }

void FitText(wxTextCtrl* t, const wxArrayString& values, int minChars) {
  int text = t->GetTextExtent(wxString('0', minChars)).x;
  for (const wxString& v : values) text = std::max(text, t->GetTextExtent(v).x);
  const int frame = port::TextFrameWidth(t);
  t->SetMinSize(wxSize(text + frame, t->GetMinSize().y));
}

void FitTextHeights(wxWindow* root) {
  for (wxWindow* c : root->GetChildren()) {
    auto* t = wxDynamicCast(c, wxTextCtrl);
    if (t && t->IsSingleLine()) {
      t->InvalidateBestSize();
      const int least = port::LeastTextHeight(t);
      t->SetMinSize(wxSize(t->GetMinSize().x, std::max(t->GetBestSize().y, least)));
    }
    FitTextHeights(c);
  }
}

int TabStripWidth(wxNotebook* book) { return port::TabStripWidth(book); }
void CompactTabs(wxNotebook* book) { port::CompactTabs(book); }

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
