#include "app/tab_about.h"

#include <wx/dcclient.h>
#include <wx/sizer.h>

#include "app/tab_layout.h"
#include "app/wx_util.h"

namespace zel {
namespace {

wxColour Colour(Rgb c) { return wxColour(static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                                         static_cast<unsigned char>(c.b)); }

// GTK text controls keep LF line ends; positions count characters.
wxString Displayed(const std::string& gbk) {
  wxString s = W(gbk);
  s.Replace("\r\n", "\n");
  return s;
}

}  // namespace

AboutTabPanel::AboutTabPanel(wxWindow* book, TabContext& ctx) : TabPanel(book, wxID_ANY) {
  edtAbout = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                            wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH2 | wxBORDER_NONE | wxTE_NO_VSCROLL);
  edtAbout->SetBackgroundColour(Colour(kAboutBack));
  // Lines such as "版    本：" pad with blanks to line up with four-character
  // labels: that takes a font whose blank is half a Chinese character.
  edtAbout->SetFont(wxFont(GetFont().GetPointSize(), wxFONTFAMILY_TELETYPE, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL,
                           false, "Noto Sans Mono CJK SC"));
  NoCaret(edtAbout);
  SetBackgroundColour(Colour(kAboutBack));

  // The window's own small font, underlined, as links look.
  wxFont linkFont = GetFont();
  linkFont.SetUnderlined(true);
  lblDown = new wxStaticText(this, wxID_ANY, "");
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(lblDown, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(8));
  for (int i = 0; i < AboutTab::kLinkCount; ++i) {
    const AboutLink& link = AboutTab::Links()[static_cast<size_t>(i)];
    // Generic labels are real windows, so they see the mouse on every port.
    auto* l = new wxGenericStaticText(this, wxID_ANY, W(link.caption));
    l->SetFont(linkFont);
    l->SetForegroundColour(Colour(kLinkGreen));
    links[static_cast<size_t>(i)] = l;
    if (i == AboutTab::kZelSoft) row->AddStretchSpacer(1);
    row->Add(l, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(12));
    if (i == 2) row->Add(new wxStaticText(this, wxID_ANY, W8(u8"等提供下载")), 0, wxALIGN_CENTER_VERTICAL);
    l->Bind(wxEVT_ENTER_WINDOW, [this, i](wxMouseEvent& e) {
      e.Skip();
      logic_->LinkMouseEnter(i);
      MirrorLink(i);
    });
    l->Bind(wxEVT_LEAVE_WINDOW, [this, i](wxMouseEvent& e) {
      e.Skip();
      logic_->LinkMouseLeave(i);
      MirrorLink(i);
    });
    l->Bind(wxEVT_LEFT_UP, [this, i](wxMouseEvent& e) {
      e.Skip();
      logic_->LinkClick(i);
    });
  }
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(edtAbout, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, Scaled(8));
  all->Add(row, 0, wxEXPAND | wxLEFT | wxTOP | wxBOTTOM, Scaled(6));
  SetSizer(all);

  text_ = std::make_unique<WxText>(edtAbout);
  down_ = std::make_unique<WxControl>(lblDown);
  logic_ = std::make_unique<AboutTab>([&ctx] { return ctx.shell; });

  edtAbout->Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
    e.Skip();
    logic_->edtAboutMouseMove(e.GetX(), e.GetY());
    edtAbout->SetCursor(logic_->HandCursor() ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
  });
  for (auto type : {wxEVT_LEFT_UP, wxEVT_MIDDLE_UP, wxEVT_RIGHT_UP})
    edtAbout->Bind(type, [this](wxMouseEvent& e) {
      e.Skip();
      logic_->edtAboutMouseUp();
    });
}

void AboutTabPanel::Startup() {
  logic_->Build(*text_, *down_);
  // The toolkit's text keeps LF; show that form and mark the address in it.
  wxString shown = Displayed(AboutTab::Text());
  edtAbout->ChangeValue(shown);
  wxString link = W(AboutTab::LinkText(AboutTab::Text()));
  int at = shown.Find(link);
  if (at != wxNOT_FOUND && !link.empty()) {
    wxFont f = edtAbout->GetFont();
    f.SetUnderlined(true);
    edtAbout->SetStyle(at, at + static_cast<long>(link.length()), wxTextAttr(Colour(kLinkGreen), wxNullColour, f));
  }
  edtAbout->SetInsertionPoint(0);
  // Tall and wide enough for every line: the box never scrolls.
  wxClientDC dc(edtAbout);
  dc.SetFont(edtAbout->GetFont());
  wxSize text = dc.GetMultiLineTextExtent(shown + "\n");
  edtAbout->SetMinSize(text + Scaled(12, 8));
}

void AboutTabPanel::PlaceLinkRect() {
  // The fixed rectangle assumes the original font; where the toolkit can
  // say where the address really is, the rectangle follows it.
  wxString shown = edtAbout->GetValue();
  wxString link = W(AboutTab::LinkText(AboutTab::Text()));
  int at = shown.Find(link);
  if (at == wxNOT_FOUND || link.empty()) return;
  wxPoint a = edtAbout->PositionToCoords(at);
  wxPoint b = edtAbout->PositionToCoords(at + static_cast<long>(link.length()));
  if (a == wxDefaultPosition || b == wxDefaultPosition || b.x <= a.x) return;
  logic_->SetLinkRect({a.x, a.y, b.x, a.y + edtAbout->GetCharHeight() - 1});
}

void AboutTabPanel::MirrorLink(int i) {
  auto* l = links[static_cast<size_t>(i)];
  l->SetForegroundColour(Colour(logic_->LinkColour(i)));
  l->SetCursor(logic_->LinkHand(i) ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
  l->Refresh();
}

TabPanel* CreateAboutTab(wxWindow* book, TabContext& ctx) { return new AboutTabPanel(book, ctx); }

}  // namespace zel
