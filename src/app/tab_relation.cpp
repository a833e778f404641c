#include "app/tab_relation.h"

#include <wx/sizer.h>

#include "app/tab_fortune.h"
#include "app/tab_layout.h"

namespace zel {

RelationTabPanel::RelationTabPanel(wxWindow* book, TabContext& ctx) : TabPanel(book, wxID_ANY), ctx_(ctx) {
  lblLRGXMemo = new wxStaticText(this, wxID_ANY, wxEmptyString);
  auto* name1 = new wxStaticText(this, wxID_ANY, W8(u8"您的姓名："));
  edtLRGX1 = new wxTextCtrl(this, wxID_ANY, wxEmptyString);
  auto* name2 = new wxStaticText(this, wxID_ANY, W8(u8"对方的姓名："));
  edtLRGX2 = new wxTextCtrl(this, wxID_ANY, wxEmptyString);
  for (wxTextCtrl* e : {edtLRGX1, edtLRGX2}) e->SetMinSize(wxSize(Scaled(150), -1));
  btnLRGX = new wxButton(this, wxID_ANY, W8(u8"立刻测算"));
  btnLRGXError = new wxButton(this, wxID_ANY, W8(u8"笔画错了"));
  btnLRGXCK = new wxButton(this, wxID_ANY, W8(u8"查看笔画差值代码表"));
  MemoLRGX = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, Scaled(300, 60),
                            wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE);
  MemoLRGX->SetBackgroundColour(wxColour(231, 231, 231));
  NoCaret(MemoLRGX);

  const int gap = Scaled(8);
  auto* names = new wxBoxSizer(wxHORIZONTAL);
  names->Add(name1, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(4));
  names->Add(edtLRGX1, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(20));
  names->Add(name2, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(4));
  names->Add(edtLRGX2, 1, wxALIGN_CENTER_VERTICAL);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(btnLRGX, 0, wxRIGHT, gap);
  buttons->Add(btnLRGXError, 0, wxRIGHT, gap);
  buttons->Add(btnLRGXCK, 0);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(lblLRGXMemo, 0, wxEXPAND | wxALL, gap);
  all->Add(names, 0, wxEXPAND | wxLEFT | wxRIGHT, gap);
  all->Add(buttons, 0, wxALL, gap);
  all->Add(MemoLRGX, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, gap);
  SetSizer(all);

  label_ = std::make_unique<LineText>(lblLRGXMemo);
  edit1_ = std::make_unique<WxText>(edtLRGX1);
  edit2_ = std::make_unique<WxText>(edtLRGX2);
  memo_ = std::make_unique<LineText>(MemoLRGX);
  logic_ = std::make_unique<RelationTab>(RelationViews{label_.get(), edit1_.get(), edit2_.get(), memo_.get()});

  btnLRGX->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { GuardEvent(this, [this] { logic_->btnLRGXClick(); }); });
  // The shell is read at click time: tests swap it after start-up.
  btnLRGXError->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    GuardEvent(this, [this] {
      if (ctx_.shell) logic_->btnLRGXErrorClick(*ctx_.shell);
    });
  });
  btnLRGXCK->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    GuardEvent(this, [this] {
      if (ctx_.shell) logic_->btnLRGXCKClick(*ctx_.shell);
    });
  });
}

void RelationTabPanel::Startup() {
  GuardEvent(this, [this] { logic_->Startup(); });
}

// The "两人关系" tab.
TabPanel* CreateRelationTab(wxWindow* book, TabContext& ctx) { return new RelationTabPanel(book, ctx); }

}  // namespace zel
