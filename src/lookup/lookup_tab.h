// The handlers of the three lookup tabs (mobile number, IP address, ID
// card), free of any toolkit. Each tab holds a hidden browser with the
// lookup server's query page; a query fills the page's form field and
// submits it, and every page that completes is read into the result memo.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/ui.h"

namespace zel {

enum class LookupKind { Mobile, Ip, IdCard };

struct LookupViews {
  Browser* browser = nullptr;  // hidden: WebBrowserSJ, WebBrowserIP, WebBrowserIDCard
  TextView* edit = nullptr;    // edtMobileID, edtIP, edtIDCard
  Control* button = nullptr;   // btnMobileQuery, btnIPQuery, btnIDCard
  TextView* memo = nullptr;    // MemoTel, MemoIP, MemoIDCard
};

// The query page of a lookup on the lookup server; empty for the ID card,
// which has no page of its own.
std::string LookupPageAddress(LookupKind kind);
// The form field the query fills: "tel", "ip" or "id".
const char* LookupField(LookupKind kind);

class LookupTab {
 public:
  // The query button starts disabled: it waits for the first page.
  LookupTab(LookupKind kind, LookupViews views);

  // Start-up: the memo says the page is loading; the mobile and IP lookups
  // then request their query pages (the ID card stays dormant).
  void Startup();
  // btnMobileQueryClick / btnIPQueryClick / btnIDCardClick.
  void QueryClick();
  // edt*KeyPress: Enter (13) runs the query while the button is enabled.
  // The key itself is left for the edit.
  void KeyPress(int key);
  // WebBrowser*DocumentComplete.
  void DocumentComplete();
  // The query page (or an answer) could not be loaded: the lookup waits for
  // its page again, with the button disabled.
  void PageFailed();
  // The tab became visible: a page that failed is asked for again.
  void TabShown();
  // A query page has completed and nothing failed since.
  bool PageLoaded() const { return state_ == State::Loaded; }

  LookupKind Kind() const { return kind_; }

  // How the page text is read; nullopt when the document cannot be read.
  // Defaults to the browser's body text.
  std::function<std::optional<std::string>()> ReadPage;

 private:
  enum class State { Idle, Loading, Loaded, Failed };
  void RequestPage();

  LookupKind kind_;
  LookupViews v_;
  State state_ = State::Idle;
};

}  // namespace zel
