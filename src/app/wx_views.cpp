#include "app/wx_views.h"

#include <webkit2/webkit2.h>
#include <wx/toplevel.h>

#include <set>

#include "app/wx_util.h"
#include "base/appenv.h"

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

int g_scriptDepth = 0;
std::set<WxBrowser*> g_browsers;  // user-interface thread only

}  // namespace

bool ScriptRunning() { return g_scriptDepth > 0; }

void StopBrowserEvents(wxWindow* top) {
  for (WxBrowser* b : g_browsers)
    if (wxGetTopLevelParent(b->View()) == top) b->OnDocumentComplete = nullptr;
}

WxBrowser::WxBrowser(wxWindow* parent, const wxPoint& pos, const wxSize& size, bool scripts) {
  view_ = wxWebView::New(parent, wxID_ANY, wxWebViewDefaultURLStr, pos, size);
  WebKitSettings* s = webkit_web_view_get_settings(Native(view_));
  webkit_settings_set_default_charset(s, "GBK");
  if (!scripts) webkit_settings_set_enable_javascript_markup(s, FALSE);
  g_browsers.insert(this);
  std::weak_ptr<bool> alive = alive_;
  view_->Bind(wxEVT_WEBVIEW_LOADED, [this, alive](wxWebViewEvent& e) {
    e.Skip();
    if (alive.expired()) return;
    // Copied: the handler may replace the callback while it runs.
    auto complete = OnDocumentComplete;
    if (complete) complete();
  });
}

WxBrowser::~WxBrowser() {
  g_browsers.erase(this);
  alive_.reset();
}

void WxBrowser::Navigate(const std::string& address) { view_->LoadURL(ToUrl(address)); }

void WxBrowser::ShowHtml(const std::string& html) {
  // Handed over as GBK bytes, so the page's own charset declaration agrees.
  GBytes* bytes = g_bytes_new(html.data(), html.size());
  std::string base = std::string(ToUrl(AppPath()).utf8_str());
  webkit_web_view_load_bytes(Native(view_), bytes, "text/html", "GBK", base.c_str());
  g_bytes_unref(bytes);
}

bool WxBrowser::RunScript(const wxString& js, wxString* result) {
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

void WxBrowser::SetFieldAndSubmit(const std::string& name, const std::string& value) {
  std::string js = "(function(){var e=document.getElementsByName(" + JsString(ToUtf8(name)) +
                   ")[0];if(e)e.value=" + JsString(ToUtf8(value)) +
                   ";var f=document.forms[0];if(f)f.submit();return '';})()";
  wxString ignored;
  RunScript(wxString::FromUTF8(js), &ignored);
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
