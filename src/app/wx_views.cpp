#include "app/wx_views.h"

#include <webkit2/webkit2.h>
#include <wx/dcclient.h>
#include <wx/sizer.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "app/wx_util.h"
#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "weather/source_frame.h"

namespace zel {
namespace {

WebKitWebView* Native(wxWebView* v) { return static_cast<WebKitWebView*>(v->GetNativeBackend()); }

// A local path becomes a file: URL; anything with a scheme stays as it is.
wxString ToUrl(const std::string& address) {
  std::string utf8 = ToUtf8(address);
  if (utf8.find("://") != std::string::npos || utf8.rfind("about:", 0) == 0) return wxString::FromUTF8(utf8);
  gchar* uri = g_filename_to_uri(utf8.c_str(), nullptr, nullptr);
  if (!uri) return wxString::FromUTF8(utf8);
  wxString out = wxString::FromUTF8(uri);
  g_free(uri);
  return out;
}

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

// scheme://host:port of an address; empty when it has none (file:, about:)
// or carries user information, which could dress one host up as another.
wxString OriginOf(const wxString& url) {
  GUri* u = g_uri_parse(url.utf8_str(), G_URI_FLAGS_NONE, nullptr);
  if (!u) return {};
  wxString out;
  const char* scheme = g_uri_get_scheme(u);
  const char* host = g_uri_get_host(u);
  if (scheme && host && *host && !g_uri_get_userinfo(u))
    out = wxString::FromUTF8(scheme).Lower() + "://" + wxString::FromUTF8(host).Lower() + ":" +
          wxString::Format("%d", g_uri_get_port(u));
  g_uri_unref(u);
  return out;
}

// The bytes of a regular local file of sane size; empty for a folder, a
// device, a missing file.
std::string LocalPage(const std::string& path) {
  std::string data;
  return ReadFile(path, data, kMaxTextFileBytes) ? data : std::string();
}

gboolean OnEngineMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer data) {
  // The engine's own menu (Back, Reload...) never shows; the parent may
  // offer its own, as for a right-click anywhere else on the tab.
  auto* self = static_cast<WxBrowser*>(data);
  wxContextMenuEvent ev(wxEVT_CONTEXT_MENU, self->GetId(), wxGetMousePosition());
  ev.SetEventObject(self);
  self->GetEventHandler()->AddPendingEvent(ev);
  return TRUE;
}

// "scheme://host[:port]/" of a web address, as written.
std::string WebPrefix(const wxString& url) {
  std::string u(url.utf8_str());
  size_t at = u.find("://");
  if (at == std::string::npos) return {};
  size_t end = u.find_first_of("/?#", at + 3);
  return u.substr(0, end == std::string::npos ? u.size() : end) + "/";
}

// Content rules that block every load but those under prefix: the host a
// remote page was pointed at, or the application folder for written and
// local pages (their pictures and styles).
std::string OnlyUnderRules(const std::string& prefix) {
  std::string re = "^";
  for (char c : prefix) {
    if (std::strchr(".?*+()[]{}|^$", c)) re += "\\\\";
    if (c == '"' || c == '\\') return {};
    re += c;
  }
  return "[{\"trigger\":{\"url-filter\":\".*\"},\"action\":{\"type\":\"block\"}},"
         "{\"trigger\":{\"url-filter\":\"" + re + "\"},\"action\":{\"type\":\"ignore-previous-rules\"}}]";
}

WebKitUserContentFilterStore* FilterStore() {
  static WebKitUserContentFilterStore* store = webkit_user_content_filter_store_new(
      (std::string(g_get_user_cache_dir()) + "/zelmora/content-filters").c_str());
  return store;
}

// The views show only the program's own pages, yet the engine would keep
// site data (HSTS, storage, media keys) in $XDG_DATA_HOME/<program name>,
// which is the user's own folder here. The toolkit gives no say over the
// context it makes its views in, so every context that comes without a
// data manager gets one that keeps everything in memory.
GObject* (*g_makeContext)(GType, guint, GObjectConstructParam*) = nullptr;

GObject* MakeContextWithoutSiteData(GType type, guint n, GObjectConstructParam* params) {
  for (guint i = 0; i < n; ++i)
    if (g_strcmp0(params[i].pspec->name, "website-data-manager") == 0 && !g_value_get_object(params[i].value))
      g_value_take_object(params[i].value, webkit_website_data_manager_new_ephemeral());
  return g_makeContext(type, n, params);
}

void KeepSiteDataInMemory() {
  static bool done = false;
  if (done) return;
  done = true;
  auto* cls = G_OBJECT_CLASS(g_type_class_ref(WEBKIT_TYPE_WEB_CONTEXT));
  g_makeContext = cls->constructor;
  cls->constructor = MakeContextWithoutSiteData;
}

// Every view is made in the engine process of the first view still alive
// (the banner's), so a tab's first showing waits for no new process and
// the views together hold far less memory. Views draw without the engine's
// GPU path: that path leaves blank what a message box uncovers (it paints
// on its own frames, not on the display's exposures), and each engine
// process is lighter without it. Both are decided as the view is made: a
// drawing path switched later left a view made while hidden without its
// first page.
GObject* (*g_makeView)(GType, guint, GObjectConstructParam*) = nullptr;
GObject* g_firstView = nullptr;  // cleared when that view goes

GObject* MakeViewInOneProcess(GType type, guint n, GObjectConstructParam* params) {
  for (guint i = 0; i < n; ++i) {
    GValue* value = params[i].value;
    if (g_strcmp0(params[i].pspec->name, "settings") == 0 && !g_value_get_object(value)) {
      WebKitSettings* s = webkit_settings_new();
      webkit_settings_set_hardware_acceleration_policy(s, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
      g_value_take_object(value, s);
    } else if (g_strcmp0(params[i].pspec->name, "related-view") == 0 && !g_value_get_object(value) && g_firstView) {
      g_value_set_object(value, g_firstView);
    }
  }
  GObject* view = g_makeView(type, n, params);
  if (!g_firstView) {
    g_firstView = view;
    g_object_add_weak_pointer(view, reinterpret_cast<gpointer*>(&g_firstView));
  }
  return view;
}

void MakeViewsInOneProcess() {
  static bool done = false;
  if (done) return;
  done = true;
  auto* cls = G_OBJECT_CLASS(g_type_class_ref(WEBKIT_TYPE_WEB_VIEW));
  g_makeView = cls->constructor;
  cls->constructor = MakeViewInOneProcess;
}

int g_scriptDepth = 0;
int g_viewsMade = 0;
std::set<WxBrowser*> g_browsers;  // user-interface thread only

}  // namespace

bool ScriptRunning() { return g_scriptDepth > 0; }

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
  if (i != std::string::npos && html.size() - i >= 9 && g_ascii_strncasecmp(html.c_str() + i, "<!doctype", 9) == 0) {
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
  if (view_) g_signal_handlers_disconnect_by_data(Native(view_), this);
}

int WxBrowser::ViewsMade() { return g_viewsMade; }

wxWebView* WxBrowser::View() {
  CreateView();
  return view_;
}

void WxBrowser::CreateView() {
  if (view_) return;
  KeepSiteDataInMemory();  // before the first view makes the engine's context
  MakeViewsInOneProcess();
  view_ = wxWebView::New(this, wxID_ANY, wxWebViewDefaultURLStr, wxDefaultPosition, GetClientSize());
  ++g_viewsMade;
  WebKitWebView* native = Native(view_);
  WebKitSettings* s = webkit_web_view_get_settings(native);
  webkit_settings_set_default_charset(s, "GBK");
  // Page scripts are off (inline scripts and event-handler attributes stay
  // inert) while RunScript still works.
  webkit_settings_set_enable_javascript_markup(s, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(s, FALSE);
  webkit_settings_set_allow_file_access_from_file_urls(s, FALSE);
  webkit_settings_set_allow_universal_access_from_file_urls(s, FALSE);
  // Small local pages: no back-forward page cache and small memory caches
  // keep each engine process light.
  webkit_settings_set_enable_page_cache(s, FALSE);
  static const bool once = [] {
    webkit_web_context_set_cache_model(webkit_web_context_get_default(), WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    return true;
  }();
  (void)once;
  g_signal_connect(native, "context-menu", G_CALLBACK(OnEngineMenu), this);
  GetSizer()->Add(view_, 1, wxEXPAND);
  Layout();

  std::weak_ptr<bool> alive = alive_;
  view_->Bind(wxEVT_WEBVIEW_NAVIGATING, [this, alive](wxWebViewEvent& e) {
    if (!alive.expired()) OnNavigating(e);
  });
  view_->Bind(wxEVT_WEBVIEW_ERROR, [this, alive](wxWebViewEvent& e) {
    e.Skip();
    if (alive.expired() || address_.empty() || isHtml_) return;
    // A load given up (Stop, or replaced by a newer one) is no failure.
    if (stopped_ || e.GetInt() == wxWEBVIEW_NAV_ERR_USER_CANCELLED) return;
    if (e.GetURL() != address_ && (origin_.empty() || OriginOf(e.GetURL()) != origin_)) return;
    loadFailed_ = true;
    auto failed = OnLoadFailed;
    if (failed) failed();
  });
  view_->Bind(wxEVT_WEBVIEW_LOADED, [this, alive](wxWebViewEvent& e) {
    e.Skip();
    if (alive.expired()) return;
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
    const wxString url = e.GetURL();
    if (url != address_ && (origin_.empty() || OriginOf(url) != origin_)) return;
    // A load that failed or was given up ends in the page shown before it.
    if (loadFailed_ || stopped_) return;
    // Copied: the handler may replace the callback while it runs.
    auto complete = OnDocumentComplete;
    if (complete) complete();
  });
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
      gchar* p = g_filename_from_uri(utf8.c_str(), nullptr, nullptr);
      path = p ? FromUtf8(p) : std::string();
      g_free(p);
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
  struct Wait {
    std::weak_ptr<bool> alive;
    WxBrowser* self;
  };
  std::string rules = OnlyUnderRules(prefix);
  char id[32];
  snprintf(id, sizeof id, "only-%zx", std::hash<std::string>{}(rules));
  GBytes* bytes = g_bytes_new(rules.data(), rules.size());
  auto done = +[](GObject* store, GAsyncResult* res, gpointer data) {
    std::unique_ptr<Wait> wait(static_cast<Wait*>(data));
    GError* error = nullptr;
    WebKitUserContentFilter* filter =
        webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), res, &error);
    if (error) g_error_free(error);
    if (wait->alive.expired()) {
      if (filter) webkit_user_content_filter_unref(filter);
      return;
    }
    WxBrowser* self = wait->self;
    WebKitUserContentManager* m = webkit_web_view_get_user_content_manager(Native(self->view_));
    webkit_user_content_manager_remove_all_filters(m);
    // Without a filter the page still loads; navigation away stays refused.
    if (filter) {
      webkit_user_content_manager_add_filter(m, filter);
      webkit_user_content_filter_unref(filter);
    }
    self->filterReady_ = true;
    if (self->pendingLoad_) self->Load();
  };
  webkit_user_content_filter_store_save(FilterStore(), id, bytes, nullptr, done, new Wait{alive_, this});
  g_bytes_unref(bytes);
}

void WxBrowser::Load() {
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
  // Handed over as GBK bytes, so the page's own charset declaration agrees.
  std::string page = WithPagePolicy(html_);
  GBytes* bytes = g_bytes_new(page.data(), page.size());
  webkit_web_view_load_bytes(Native(view_), bytes, "text/html", "GBK", address_.utf8_str());
  g_bytes_unref(bytes);
}

void WxBrowser::Expect(const wxString& url) {
  // A load replaced before it began leaves its entry; keep a few.
  if (expected_.size() >= 8) expected_.pop_front();
  expected_.push_back(url);
}

bool WxBrowser::RunScript(const wxString& js, wxString* result) {
  CreateView();
  ++g_scriptDepth;
  bool ok = false;
  try {
    ok = view_->RunScript(js, result);
  } catch (...) {
  }
  --g_scriptDepth;
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
