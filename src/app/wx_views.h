// wx implementations of the small views the tab logic talks to.
#pragma once

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/webview.h>

#include <deque>
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

// A page browser. It is a plain panel until it is first painted or read:
// only then is its web view (and the engine's process behind it) made, and
// the last page asked for is loaded. Every browser runs without page
// scripts (RunScript still works), offers no engine menu (right-click
// reaches the parent as wxEVT_CONTEXT_MENU), and refuses every navigation
// but the page the program gave it; pages it is given to show carry a
// content policy that lets in only local pictures and styles.
class WxBrowser : public wxPanel, public Browser {
 public:
  WxBrowser(wxWindow* parent, const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize);
  ~WxBrowser() override;
  // A local file is read and shown like ShowHtml (a folder or a missing
  // file shows an empty page); an http address is loaded, and later
  // navigations (form submissions) may stay on its host.
  void Navigate(const std::string& address) override;
  void ShowHtml(const std::string& html) override;
  std::string BodyText() override;
  bool SetFieldAndSubmit(const std::string& name, const std::string& value) override;
  void Stop() override;
  // Runs a script in the page and returns its result (UTF-8).
  bool RunScript(const wxString& js, wxString* result);
  // Makes the web view now if it is not made yet.
  void CreateView();
  bool HasView() const { return view_ != nullptr; }
  // One of its scripts waits for its answer.
  bool ScriptWaiting() const { return scriptDepth_ > 0; }
  // The web view, made on demand; null where the engine cannot start.
  wxWebView* View();
  // The address of the last page asked for (file: URL for local files).
  const wxString& Address() const { return address_; }
  // A page the program asked for could not be loaded.
  std::function<void()> OnLoadFailed;
  // Where a data provider's credit link goes: the desktop's browser.
  std::function<void(const wxString& url)> OpenOutside = [](const wxString& url) { wxLaunchDefaultBrowser(url); };
  // Web views made so far by the process.
  static int ViewsMade();

 private:
  void Load();
  void EngineGone();
  void OnNavigating(wxWebViewEvent& e);
  void WhenNoScript(std::function<void()> f);
  void RunAfterScript();
  void LoadError(const wxString& url, int why);
  void Loaded(const wxString& url);
  void Expect(const wxString& url);
  void InstallFilter(const std::string& prefix);

  wxWebView* view_ = nullptr;
  bool noEngine_ = false;    // the engine could not make a view
  bool pendingLoad_ = false;
  bool isHtml_ = false;      // the pending page is html_ with base address_
  std::string html_;         // GBK
  wxString address_;         // URL of the page asked for
  std::deque<wxString> expected_;  // loads the program started, not yet begun
  wxString origin_;          // scheme://host:port later navigations may reach
  bool blankStart_ = true;   // the view's own blank page has not loaded yet
  bool loadFailed_ = false;
  int enginesLost_ = 0;      // engine processes lost since the last page came in
  int scriptDepth_ = 0;      // this view's scripts waiting for their answers
  std::vector<std::function<void()>> afterScript_;  // load ends that came meanwhile
  bool engineGone_ = false;  // the engine process went and no load has started since
  bool stopped_ = false;     // the load was given up: what it reports is no failure
  std::string filterFor_;    // what pages may load from: a host, or the folder
  bool filterReady_ = false;  // the page asked for failed; its error page is no page
  // Events the view sends after this object is gone are dropped.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The page with a content policy put at its head: nothing from the
// network, no frames, no forms, pictures and styles from local files only.
std::string WithPagePolicy(const std::string& html);

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
