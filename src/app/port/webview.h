// What only the native web view can do, for WxBrowser.
#pragma once

#include <wx/webview.h>

#include <functional>
#include <memory>
#include <string>

namespace zel::port {

// Once, before the first view: engine-wide settings.
void PrepareEngine();
// A new view: GBK as the default charset, page scripts off, no engine
// menu (a right-click reaches owner as wxEVT_CONTEXT_MENU).
void SetUpView(wxWebView* view, wxWindow* owner);
// gone runs when the engine process behind the view has ended (killed,
// out of memory): the view is blank, and a script in it would never end,
// until its next load. Never for an engine in this process.
void WatchEngine(wxWebView* view, std::function<void()> gone);
// owner is going away: the view reports nothing more to it.
void ForgetView(wxWebView* view, wxWindow* owner);
// Loads from anywhere but under prefix are blocked; ready runs on the
// user-interface thread once the rule is in place (never if alive has
// expired by then).
void RestrictLoads(wxWebView* view, const std::string& prefix, std::weak_ptr<bool> alive,
                   std::function<void()> ready);
// Shows a written page (GBK bytes) as if loaded from url; its pictures and
// styles resolve against url.
void ShowPage(wxWebView* view, const std::string& page, const wxString& url);
// file: URL of a local path (UTF-8); an address with a scheme (GBK) stays
// as it is.
wxString ToUrl(const std::string& address);
// The local path (UTF-8) a file: URL names; empty if it names none.
std::string PathOfFileUrl(const std::string& utf8Url);
// scheme://host:port of an address; empty when it has none or carries
// user information.
wxString OriginOf(const wxString& url);

}  // namespace zel::port
