#include "app/tab_relation.h"

#include "app/tab_fortune.h"

namespace zel {

RelationTabPanel::RelationTabPanel(wxWindow* book, TabContext& ctx) : TabPanel(book, wxID_ANY), ctx_(ctx) {
  lblLRGXMemo = new wxStaticText(this, wxID_ANY, wxEmptyString, wxPoint(10, 6), wxSize(553, 92));
  new wxStaticText(this, wxID_ANY, W8(u8"您的姓名："), wxPoint(12, 110));
  edtLRGX1 = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(90, 104), wxSize(150, -1));
  new wxStaticText(this, wxID_ANY, W8(u8"对方的姓名："), wxPoint(268, 110));
  edtLRGX2 = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(358, 104), wxSize(150, -1));
  btnLRGX = new wxButton(this, wxID_ANY, W8(u8"立刻测算"), wxPoint(12, 142), wxSize(100, 28));
  btnLRGXError = new wxButton(this, wxID_ANY, W8(u8"笔画错了"), wxPoint(122, 142), wxSize(100, 28));
  btnLRGXCK = new wxButton(this, wxID_ANY, W8(u8"查看笔画差值代码表"), wxPoint(232, 142), wxSize(170, 28));
  MemoLRGX = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxPoint(12, 180), wxSize(551, 100),
                            wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE);
  MemoLRGX->SetBackgroundColour(wxColour(231, 231, 231));

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
