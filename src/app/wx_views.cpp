#include "app/wx_views.h"

#include <wx/dcclient.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "app/port/webview.h"
#include "app/wx_util.h"
#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "base/text.h"
#include "weather/source_frame.h"

namespace zel {
namespace {

using port::OriginOf;
using port::ToUrl;

std::string JsString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

// The bytes of a regular local file of sane size; empty for a folder, a
// device, a missing file.
std::string LocalPage(const std::string& path) {
  std::string data;
  return ReadFile(path, data, kMaxTextFileBytes) ? data : std::string();
}

// "scheme://host[:port]/" of a web address, as written.
std::string WebPrefix(const wxString& url) {
  std::string u(url.utf8_str());
  size_t at = u.find("://");
  if (at == std::string::npos) return {};
  size_t end = u.find_first_of("/?#", at + 3);
  return u.substr(0, end == std::string::npos ? u.size() : end) + "/";
}

int g_viewsMade = 0;
std::set<WxBrowser*> g_browsers;  // user-interface thread only

}  // namespace

bool ScriptRunning() {
  return std::any_of(g_browsers.begin(), g_browsers.end(), [](const WxBrowser* b) { return b->ScriptWaiting(); });
}

void StopBrowserEvents(wxWindow* top) {
  for (WxBrowser* b : g_browsers)
    if (wxGetTopLevelParent(b) == top) b->OnDocumentComplete = nullptr;
}

std::string WithPagePolicy(const std::string& html) {
  // 'unsafe-eval' lets the program's own scripts run (the toolkit wraps
  // them in eval); page scripts stay off through the engine's settings.
  static const std::string meta =
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-eval'; img-src file:; "
      "style-src 'unsafe-inline' file:; font-src file:; form-action 'none'; base-uri 'none'\">";
  // After a leading doctype, so the page keeps its rendering mode; before
  // anything else, so nothing loads ahead of the policy.
  size_t at = 0;
  size_t i = html.find_first_not_of(" \t\r\n");
  if (i != std::string::npos && html.size() - i >= 9 && SameText(std::string_view(html).substr(i, 9), "<!doctype")) {
    size_t gt = html.find('>', i);
    if (gt != std::string::npos) at = gt + 1;
  }
  return html.substr(0, at) + meta + html.substr(at);
}

WxBrowser::WxBrowser(wxWindow* parent, const wxPoint& pos, const wxSize& size)
    : wxPanel(parent, wxID_ANY, pos, size, wxBORDER_NONE) {
  g_browsers.insert(this);
  SetSizer(new wxBoxSizer(wxVERTICAL));
  // The view is made once the browser is on screen, after the paint that
  // showed it, so start-up and hidden tabs cost no engine process.
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
    wxPaintDC dc(this);
    if (!view_) CallAfter([this] { CreateView(); });
  });
}

WxBrowser::~WxBrowser() {
  g_browsers.erase(this);
  alive_.reset();
  if (view_) port::ForgetView(view_, this);
}

int WxBrowser::ViewsMade() { return g_viewsMade; }

wxWebView* WxBrowser::View() {
  CreateView();
  return view_;
}

void WxBrowser::CreateView() {
  if (view_ || noEngine_) return;
  port::PrepareEngine();
  {
    // An engine that cannot start leaves a plain panel, not an error box
    // per paint.
    wxLogNull quiet;
    view_ = wxWebView::New(this, wxID_ANY, wxWebViewDefaultURLStr, wxDefaultPosition, GetClientSize());
  }
  if (view_ && !view_->GetNativeBackend()) {
    view_->Destroy();
    view_ = nullptr;
  }
  if (!view_) {
    noEngine_ = true;
    return;
  }
  ++g_viewsMade;
  port::SetUpView(view_, this);
  port::WatchEngine(view_, [this, alive = std::weak_ptr<bool>(alive_)] {
    if (!alive.expired()) EngineGone();
  });
  GetSizer()->Add(view_, 1, wxEXPAND);
  Layout();

  std::weak_ptr<bool> alive = alive_;
  view_->Bind(wxEVT_WEBVIEW_NAVIGATING, [this, alive](wxWebViewEvent& e) {
    if (!alive.expired()) OnNavigating(e);
  });
  view_->Bind(wxEVT_WEBVIEW_ERROR, [this, alive](wxWebViewEvent& e) {
    e.Skip();
    if (!alive.expired()) WhenNoScript([this, url = e.GetURL(), why = e.GetInt()] { LoadError(url, why); });
  });
  view_->Bind(wxEVT_WEBVIEW_LOADED, [this, alive](wxWebViewEvent& e) {
    e.Skip();
    if (!alive.expired()) WhenNoScript([this, url = e.GetURL()] { Loaded(url); });
  });
}

// The toolkit waits for a script's answer in an event loop and keeps one
// answer slot per view: a load's end handled inside that wait would run its
// handler's scripts nested, taking each other's answers, and before the
// caller of the script has seen its own answer. It waits for the script.
void WxBrowser::WhenNoScript(std::function<void()> f) {
  if (scriptDepth_ == 0 && afterScript_.empty()) {
    f();
    return;
  }
  afterScript_.push_back(std::move(f));
}

void WxBrowser::RunAfterScript() {
  if (scriptDepth_ > 0) return;  // the script that runs now flushes them
  auto waiting = std::move(afterScript_);
  afterScript_.clear();
  std::weak_ptr<bool> alive = alive_;  // a handler may close the window
  for (auto& f : waiting)
    if (!alive.expired()) f();
}

void WxBrowser::LoadError(const wxString& url, int why) {
  if (address_.empty() || isHtml_) return;
  // A load given up (Stop, or replaced by a newer one) is no failure.
  if (stopped_ || why == wxWEBVIEW_NAV_ERR_USER_CANCELLED) return;
  if (url != address_ && (origin_.empty() || OriginOf(url) != origin_)) return;
  loadFailed_ = true;
  auto failed = OnLoadFailed;
  if (failed) failed();
}

void WxBrowser::Loaded(const wxString& url) {
  if (blankStart_) {
    // The view's own blank page is in: a load started before it would
    // have been dropped, so the page asked for goes now.
    blankStart_ = false;
    if (pendingLoad_) Load();
    return;
  }
  if (address_.empty()) return;
  // Only the page asked for, or an answer from its host, is a page of
  // ours (not the blank page the view starts with, not an error page).
  if (url != address_ && (origin_.empty() || OriginOf(url) != origin_)) return;
  // A load that failed or was given up ends in the page shown before it.
  if (loadFailed_ || stopped_) return;
  enginesLost_ = 0;
  // Copied: the handler may replace the callback while it runs.
  auto complete = OnDocumentComplete;
  if (complete) complete();
}

void WxBrowser::EngineGone() {
  // The views share one engine process; when it goes (killed, out of
  // memory) every view is blank. A written or local page is loaded again,
  // which starts a new process; a server's page counts as failed, as when
  // its server is down. A page that takes the engine down each time is
  // given up after a few tries.
  blankStart_ = false;
  engineGone_ = true;  // a script would wait for an answer forever
  if (address_.empty() || ++enginesLost_ > 3) return;
  if (isHtml_) {
    pendingLoad_ = true;
    Load();
  } else if (auto failed = OnLoadFailed) {
    loadFailed_ = true;
    failed();
  }
}

void WxBrowser::OnNavigating(wxWebViewEvent& e) {
  const wxString url = e.GetURL();
  if (address_.empty() || (blankStart_ && url == wxWebViewDefaultURLStr)) return;  // the view's own blank page
  // A load the program started: each is allowed once.
  auto it = std::find(expected_.begin(), expected_.end(), url);
  if (it != expected_.end()) {
    expected_.erase(it);
    return;
  }
  // Form submissions and their answers on the host the page came from.
  if (!origin_.empty() && OriginOf(url) == origin_) return;
  e.Veto();
  // A data provider's credit link opens in the desktop's browser.
  if (frame::IsCreditAddress(std::string(url.utf8_str())) && OpenOutside) OpenOutside(url);
}

void WxBrowser::Navigate(const std::string& address) {
  std::string utf8 = ToUtf8(address);
  if (IsWebAddress(address)) {
    isHtml_ = false;
    address_ = wxString::FromUTF8(utf8);
    origin_ = OriginOf(address_);
  } else {
    // A local page is shown like a written one: same policy, and a folder
    // or a missing file is an empty page, never a listing.
    std::string path = address;
    if (utf8.rfind("file://", 0) == 0) {
      path = port::PathOfFileUrl(utf8);
    } else if (utf8.find(':') != std::string::npos && utf8.find("://") != std::string::npos) {
      path.clear();  // another scheme: nothing
    }
    html_ = path.empty() ? std::string() : LocalPage(path);
    isHtml_ = true;
    address_ = path.empty() ? ToUrl(AppPath()) : ToUrl(path);
    origin_.clear();
  }
  pendingLoad_ = true;
  if (view_ && !blankStart_) Load();
}

void WxBrowser::ShowHtml(const std::string& html) {
  html_ = html;
  isHtml_ = true;
  // Relative and absolute local pictures resolve against the folder.
  address_ = ToUrl(AppPath());
  origin_.clear();
  pendingLoad_ = true;
  if (view_ && !blankStart_) Load();
}

void WxBrowser::InstallFilter(const std::string& prefix) {
  port::RestrictLoads(view_, prefix, alive_, [this] {
    filterReady_ = true;
    if (pendingLoad_) Load();
  });
}

void WxBrowser::Load() {
  engineGone_ = false;  // the load starts a new one
  pendingLoad_ = false;
  loadFailed_ = false;
  stopped_ = false;
  const std::string prefix = isHtml_ ? std::string(ToUrl(AppPath()).utf8_str()) : WebPrefix(address_);
  if (prefix != filterFor_) {
    filterFor_ = prefix;
    filterReady_ = false;
    InstallFilter(prefix);
  }
  if (!filterReady_) {
    pendingLoad_ = true;  // loaded once the rules are in place
    return;
  }
  if (!isHtml_) {
    Expect(address_);
    view_->LoadURL(address_);
    return;
  }
  // A written page gets an address of its own (a query changes nothing the
  // page resolves; a fragment would make it the same document), so a
  // reload or refresh of it is no load the program started and is refused.
  static unsigned serial = 0;
  const wxString base = address_.BeforeFirst('?');
  address_ = base + wxString::Format("?%u", ++serial);
  Expect(address_);
  port::ShowPage(view_, WithPagePolicy(html_), address_);
}

void WxBrowser::Expect(const wxString& url) {
  // A load replaced before it began leaves its entry; keep a few.
  if (expected_.size() >= 8) expected_.pop_front();
  expected_.push_back(url);
}

bool WxBrowser::RunScript(const wxString& js, wxString* result) {
  CreateView();
  if (!view_ || engineGone_) return false;
  // A script that fails (its engine process gone meanwhile) returns false;
  // the toolkit's warning box about it would only puzzle the user.
  wxLogNull quiet;
  ++scriptDepth_;
  bool ok = false;
  try {
    ok = view_->RunScript(js, result);
  } catch (...) {
  }
  // What waited for the script runs once its caller has the answer.
  if (--scriptDepth_ == 0 && !afterScript_.empty())
    CallAfter([this, alive = std::weak_ptr<bool>(alive_)] {
      if (!alive.expired()) RunAfterScript();
    });
  return ok;
}

std::string WxBrowser::BodyText() {
  wxString out;
  if (!RunScript("document.body ? document.body.innerText : ''", &out)) return {};
  return FromW(out);
}

bool WxBrowser::SetFieldAndSubmit(const std::string& name, const std::string& value) {
  if (!view_) return false;  // no page yet
  std::string js = "(function(){var e=document.getElementsByName(" + JsString(ToUtf8(name)) +
                   ")[0];if(e)e.value=" + JsString(ToUtf8(value)) +
                   ";var f=document.forms[0];if(!f)return '';f.submit();return 'S';})()";
  // The answer is a new load: a failure before it is no failure of it.
  loadFailed_ = false;
  stopped_ = false;
  wxString done;
  return RunScript(wxString::FromUTF8(js), &done) && done == "S";
}

void WxBrowser::Stop() {
  if (!view_) return;
  stopped_ = true;
  view_->Stop();
}

void WxList::Add(const std::string& text) { c_->Append(W(text)); }
std::string WxList::Item(int index) const { return FromW(c_->GetString(static_cast<unsigned>(index))); }
void WxList::Select(int index) { c_->SetSelection(index < 0 ? wxNOT_FOUND : index); }

void WxText::SetText(const std::string& text) {
  if (auto* t = dynamic_cast<wxTextCtrl*>(w_)) t->ChangeValue(W(text));
  else if (auto* st = dynamic_cast<wxStaticText*>(w_)) st->SetLabelText(W(text));
  else w_->SetLabel(W(text));
  w_->Refresh();
  w_->Update();
}

std::string WxText::Text() const {
  if (auto* t = dynamic_cast<wxTextCtrl*>(w_)) return FromW(t->GetValue());
  if (auto* st = dynamic_cast<wxStaticText*>(w_)) return FromW(st->GetLabelText());
  return FromW(w_->GetLabel());
}

void WxControl::SetCaption(const std::string& text) { w_->SetLabel(W(text)); }
std::string WxControl::Caption() const { return FromW(w_->GetLabel()); }

}  // namespace zel
