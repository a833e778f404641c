#include "app/tab_calendar.h"

#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

#include <algorithm>

#include "app/tab_layout.h"
#include "app/wx_util.h"

namespace zel {
namespace {

// The spin box seen as text: what the user typed, even when it is not a
// number (the logic reads that as the minimum year).
class SpinText : public TextView {
 public:
  explicit SpinText(wxSpinCtrl* s) : s_(s) {}
  void SetText(const std::string& text) override {
    long v = 0;
    if (W(text).ToLong(&v)) s_->SetValue(static_cast<int>(v));
  }
  std::string Text() const override { return FromW(s_->GetTextValue()); }

 private:
  wxSpinCtrl* s_;
};

wxColour Colour(const Rgb& c) { return wxColour(static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                                                static_cast<unsigned char>(c.b)); }

}  // namespace

CalendarTabPanel::CalendarTabPanel(wxWindow* book, TabContext&) : TabPanel(book, wxID_ANY) {
  browser_ = std::make_unique<WxBrowser>(this, wxDefaultPosition, Scaled(412, 268));
  Win(*browser_)->SetMinSize(Scaled(412, 268));
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, W8(u8"请选择年月"));
  wxStaticBox* group = box->GetStaticBox();
  speWNLYear = new wxSpinCtrl(group, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS,
                              CalendarPage::kMinYear, CalendarPage::kMaxYear, CalendarPage::kMinYear);
  auto* yearUnit = new wxStaticText(group, wxID_ANY, W8(u8"年"));
  cboWNL = new wxChoice(group, wxID_ANY);
  for (const char8_t* m : {u8"一月", u8"二月", u8"三月", u8"四月", u8"五月", u8"六月", u8"七月", u8"八月", u8"九月",
                           u8"十月", u8"十一月", u8"十二月"})
    cboWNL->Append(W8(m));
  Label14 = new wxGenericStaticText(group, wxID_ANY, W8(u8"转到今日"));
  Label14->SetCursor(wxCursor(wxCURSOR_HAND));
  lblWNL = new wxStaticText(this, wxID_ANY, wxEmptyString);
  lblWNL->SetForegroundColour(wxColour(0, 128, 0));

  const int gap = Scaled(6);
  auto* year = new wxBoxSizer(wxHORIZONTAL);
  year->Add(speWNLYear, 1, wxALIGN_CENTER_VERTICAL);
  year->Add(yearUnit, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, Scaled(4));
  box->Add(year, 0, wxEXPAND | wxALL, gap);
  box->Add(cboWNL, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, gap);
  box->Add(Label14, 0, wxLEFT | wxRIGHT | wxBOTTOM, gap);
  auto* side = new wxBoxSizer(wxVERTICAL);
  side->Add(box, 0, wxEXPAND);
  side->Add(lblWNL, 0, wxEXPAND | wxALL, Scaled(4));
  auto* all = new wxBoxSizer(wxHORIZONTAL);
  all->Add(Win(*browser_), 1, wxEXPAND | wxALL, Scaled(2));
  all->Add(side, 0, wxEXPAND | wxALL, Scaled(4));
  SetSizer(all);
  yearBox_ = box;

  label_ = std::make_unique<WxText>(lblWNL);
  year_ = std::make_unique<SpinText>(speWNLYear);
  month_ = std::make_unique<WxList>(cboWNL);
  logic_ = std::make_unique<CalendarPage>(CalendarViews{browser_.get(), label_.get(), year_.get(), month_.get()});

  auto& L = *logic_;
  cboWNL->Bind(wxEVT_CHOICE, [this, &L](wxCommandEvent&) { Guard([&] { L.cboWNLChange(); }); });
  // Arrows and typing both change the text; one render per distinct text.
  speWNLYear->Bind(wxEVT_SPINCTRL, [this](wxSpinEvent&) { YearChanged(); });
  speWNLYear->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { YearChanged(); });
  Label14->Bind(wxEVT_LEFT_UP, [this, &L](wxMouseEvent&) {
    Guard([&] { L.Label14Click(); });
    lastYearText_ = speWNLYear->GetTextValue();
  });
  Label14->Bind(wxEVT_ENTER_WINDOW, [this, &L](wxMouseEvent&) {
    L.Label14MouseEnter();
    MirrorLink();
  });
  Label14->Bind(wxEVT_LEAVE_WINDOW, [this, &L](wxMouseEvent&) {
    L.Label14MouseLeave();
    MirrorLink();
  });
  MirrorLink();
}

CalendarTabPanel::~CalendarTabPanel() { logic_->FormDestroy(); }

void CalendarTabPanel::Startup() {
  Guard([this] { logic_->InitCalendarPage(); });
  // Date and cyclic year on two lines in the narrow column.
  lblWNL->Wrap(std::max(yearBox_->CalcMin().x, Scaled(100)));
  lastYearText_ = speWNLYear->GetTextValue();
  MirrorLink();
}

void CalendarTabPanel::YearChanged() {
  const wxString text = speWNLYear->GetTextValue();
  if (text == lastYearText_) return;
  lastYearText_ = text;
  Guard([this] { logic_->speWNLYearChange(); });
}

void CalendarTabPanel::MirrorLink() {
  Label14->SetForegroundColour(Colour(logic_->Label14Colour()));
  Label14->SetCursor(logic_->Label14HandCursor() ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
  Label14->Refresh();
}

void CalendarTabPanel::Guard(const std::function<void()>& fn) {
  // A fault in the logic shows a message instead of ending the program.
  try {
    fn();
  } catch (const std::exception& e) {
    wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, this);
  }
}

TabPanel* CreateCalendarTab(wxWindow* book, TabContext& ctx) { return new CalendarTabPanel(book, ctx); }

}  // namespace zel
