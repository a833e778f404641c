// wx implementations of the small views the tab logic talks to.
#pragma once

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/webview.h>

#include <memory>

#include "base/ui.h"

namespace zel {

// True while one of our scripts runs in a page. wxWebView::RunScript spins
// a nested event loop, so events (even the window's destruction) can run
// underneath the handler that called it.
bool ScriptRunning();
// From now on the browsers inside window top report no more loaded pages:
// the window is going away.
void StopBrowserEvents(wxWindow* top);

class WxBrowser : public Browser {
 public:
  // scripts=false turns page scripts off (inline scripts and event-handler
  // attributes stay inert) while RunScript still works.
  WxBrowser(wxWindow* parent, const wxPoint& pos, const wxSize& size, bool scripts = true);
  ~WxBrowser() override;
  void Navigate(const std::string& address) override;
  void ShowHtml(const std::string& html) override;
  std::string BodyText() override;
  void SetFieldAndSubmit(const std::string& name, const std::string& value) override;
  // Runs a script in the page and returns its result (UTF-8).
  bool RunScript(const wxString& js, wxString* result);
  wxWebView* View() { return view_; }

 private:
  wxWebView* view_;
  // Events the view sends after this object is gone are dropped.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class WxList : public ListView {
 public:
  explicit WxList(wxControlWithItems* c) : c_(c) {}
  void Clear() override { c_->Clear(); }
  void Add(const std::string& text) override;
  void Delete(int index) override { c_->Delete(static_cast<unsigned>(index)); }
  int Count() const override { return static_cast<int>(c_->GetCount()); }
  std::string Item(int index) const override;
  int Selected() const override { return c_->GetSelection(); }
  void Select(int index) override;

 private:
  wxControlWithItems* c_;
};

class WxText : public TextView {
 public:
  explicit WxText(wxWindow* w) : w_(w) {}
  void SetText(const std::string& text) override;
  std::string Text() const override;

 private:
  wxWindow* w_;
};

class WxControl : public Control {
 public:
  explicit WxControl(wxWindow* w) : w_(w) {}
  void Enable(bool on) override { w_->Enable(on); }
  bool IsEnabled() const override { return w_->IsEnabled(); }
  void SetCaption(const std::string& text) override;
  std::string Caption() const override;

 private:
  wxWindow* w_;
};

}  // namespace zel
