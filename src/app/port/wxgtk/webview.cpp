// WebKitGTK behind wxWebView.
#include "app/port/webview.h"

#include <webkit2/webkit2.h>

#include <cstring>
#include <string>

#include "base/gbk.h"

namespace zel::port {
namespace {

WebKitWebView* Native(wxWebView* v) { return static_cast<WebKitWebView*>(v->GetNativeBackend()); }

gboolean OnEngineMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer data) {
  // The engine's own menu (Back, Reload...) never shows; the owner may
  // offer its own, as for a right-click anywhere else on the tab.
  auto* owner = static_cast<wxWindow*>(data);
  wxContextMenuEvent ev(wxEVT_CONTEXT_MENU, owner->GetId(), wxGetMousePosition());
  ev.SetEventObject(owner);
  owner->GetEventHandler()->AddPendingEvent(ev);
  return TRUE;
}

// Content rules that block every load but those under prefix.
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

}  // namespace

void PrepareEngine() {
  static bool done = false;
  if (done) return;
  done = true;
  auto* context = G_OBJECT_CLASS(g_type_class_ref(WEBKIT_TYPE_WEB_CONTEXT));
  g_makeContext = context->constructor;
  context->constructor = MakeContextWithoutSiteData;
  auto* view = G_OBJECT_CLASS(g_type_class_ref(WEBKIT_TYPE_WEB_VIEW));
  g_makeView = view->constructor;
  view->constructor = MakeViewInOneProcess;
}

void SetUpView(wxWebView* view, wxWindow* owner) {
  WebKitWebView* native = Native(view);
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
  g_signal_connect(native, "context-menu", G_CALLBACK(OnEngineMenu), owner);
}

void WatchEngine(wxWebView* view, std::function<void()> gone) {
  // The view keeps gone until it is destroyed.
  auto* watch = new std::function<void()>(std::move(gone));
  auto ended = +[](WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
  };
  g_signal_connect_data(Native(view), "web-process-terminated", G_CALLBACK(ended), watch,
                        [](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
                        GConnectFlags(0));
}

void ForgetView(wxWebView* view, wxWindow* owner) { g_signal_handlers_disconnect_by_data(Native(view), owner); }

void RestrictLoads(wxWebView* view, const std::string& prefix, std::weak_ptr<bool> alive,
                   std::function<void()> ready) {
  struct Wait {
    std::weak_ptr<bool> alive;
    wxWebView* view;
    std::function<void()> ready;
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
    WebKitUserContentManager* m = webkit_web_view_get_user_content_manager(Native(wait->view));
    webkit_user_content_manager_remove_all_filters(m);
    // Without a filter the page still loads; navigation away stays refused.
    if (filter) {
      webkit_user_content_manager_add_filter(m, filter);
      webkit_user_content_filter_unref(filter);
    }
    wait->ready();
  };
  webkit_user_content_filter_store_save(FilterStore(), id, bytes, nullptr, done,
                                        new Wait{std::move(alive), view, std::move(ready)});
  g_bytes_unref(bytes);
}

void ShowPage(wxWebView* view, const std::string& page, const wxString& url) {
  // Handed over as GBK bytes, so the page's own charset declaration agrees.
  GBytes* bytes = g_bytes_new(page.data(), page.size());
  webkit_web_view_load_bytes(Native(view), bytes, "text/html", "GBK", url.utf8_str());
  g_bytes_unref(bytes);
}

wxString ToUrl(const std::string& address) {
  // An address is a text (GBK); a path is UTF-8.
  if (address.find("://") != std::string::npos || address.rfind("about:", 0) == 0)
    return wxString::FromUTF8(ToUtf8(address));
  gchar* uri = g_filename_to_uri(address.c_str(), nullptr, nullptr);
  if (!uri) return wxString::FromUTF8(address);
  wxString out = wxString::FromUTF8(uri);
  g_free(uri);
  return out;
}

std::string PathOfFileUrl(const std::string& utf8Url) {
  gchar* p = g_filename_from_uri(utf8Url.c_str(), nullptr, nullptr);
  std::string path = p ? std::string(p) : std::string();
  g_free(p);
  return path;
}

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

}  // namespace zel::port
