// The IE engine behind wxWebView. wx reaches none of its per-view script
// or content switches, so written pages are made script-free before they
// are shown, and only the navigation rules hold for loads.
#include "app/port/webview.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/log.h>
#include <wx/msw/registry.h>
#include <wx/msw/webview_ie.h>
#include <wx/uri.h>

#include "base/gbk.h"
#include "base/text.h"

namespace zel::port {

void PrepareEngine() {
  static bool done = false;
  if (done) return;
  done = true;
  // Without it the engine draws pages as IE 7 did. wx only sets the level
  // in a key that already exists, which a new account may lack; a failure
  // costs the page's looks, never a box in the user's face.
  wxLogNull quiet;
  wxRegKey(wxRegKey::HKCU, "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION")
      .Create();
  wxWebViewIE::MSWSetEmulationLevel(wxWEBVIEWIE_EMU_IE11);
}

void SetUpView(wxWebView* view, wxWindow*) { view->EnableContextMenu(false); }

void WatchEngine(wxWebView*, std::function<void()>) {}  // the engine runs in this process

void ForgetView(wxWebView*, wxWindow*) {}

void RestrictLoads(wxWebView*, const std::string&, std::weak_ptr<bool> alive, std::function<void()> ready) {
  // No rules to install: ready as soon as the caller has returned.
  wxTheApp->CallAfter([alive = std::move(alive), ready = std::move(ready)] {
    if (!alive.expired()) ready();
  });
}

void ShowPage(wxWebView* view, const std::string& page, const wxString& url) {
  // Written into the view's document, which resolves nothing against url:
  // a base element does. The engine reports the page loaded at once, so
  // the caller's own bookkeeping is finished first.
  std::string html = WithoutPageScripts(page);
  const std::string base = "<base href=\"" + FromUtf8(std::string(url.BeforeFirst('?').utf8_str())) + "\">";
  // Where the program's policy starts: after any doctype, before the rest.
  const size_t at = html.find("<meta http-equiv=\"Content-Security-Policy\"");
  html.insert(at == std::string::npos ? 0 : at, base);
  view->CallAfter([view, text = wxString::FromUTF8(ToUtf8(html)), url] { view->SetPage(text, url); });
}

wxString ToUrl(const std::string& address) {
  // An address is a text (GBK); a path is UTF-8.
  if (address.find("://") != std::string::npos || address.rfind("about:", 0) == 0)
    return wxString::FromUTF8(ToUtf8(address));
  wxString url = wxFileSystem::FileNameToURL(wxFileName(wxString::FromUTF8(address)));
  // A folder keeps its closing slash: pages resolve their pictures in it.
  if (!address.empty() && (address.back() == '/' || address.back() == '\\') && !url.EndsWith("/")) url += "/";
  return url;
}

std::string PathOfFileUrl(const std::string& utf8Url) {
  wxFileName name = wxFileSystem::URLToFileName(wxString::FromUTF8(utf8Url));
  if (!name.IsOk()) return {};
  return std::string(name.GetFullPath().utf8_str());
}

wxString OriginOf(const wxString& url) {
  wxURI u(url);
  if (!u.HasScheme() || !u.HasServer() || u.GetServer().empty() || u.HasUserInfo()) return {};
  return u.GetScheme().Lower() + "://" + u.GetServer().Lower() + ":" + (u.HasPort() ? u.GetPort() : wxString("-1"));
}

}  // namespace zel::port
