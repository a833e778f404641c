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
// Why the input cannot be asked about (GBK, in the tab's words), or nullopt
// when it can: only the characters a number or address of the kind is
// written with go out; the server judges everything else about them.
std::optional<std::string> RefuseInput(LookupKind kind, const std::string& input);

class LookupTab {
 public:
  // How long a query may wait for its answer.
  static constexpr int kDeadlineMs = 10000;

  // The query button starts disabled: it waits for the first page.
  LookupTab(LookupKind kind, LookupViews views);

  // Start-up: the memo says the page is loading; the mobile and IP lookups
  // then request their query pages (the ID card stays dormant).
  void Startup();
  // btnMobileQueryClick / btnIPQueryClick / btnIDCardClick: the memo is
  // emptied, then either says why the input cannot be asked about or waits
  // for the answer with the button off.
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
  // The answer did not come within the deadline: the load is given up and
  // the memo says so.
  void DeadlinePassed();
  // A query page has completed and nothing failed since.
  bool PageLoaded() const { return state_ == State::Loaded; }
  // A query was sent and its answer has not come.
  bool Waiting() const { return sent_.has_value(); }

  LookupKind Kind() const { return kind_; }

  // How the page text is read; nullopt when the document cannot be read.
  // Defaults to the browser's body text.
  std::function<std::optional<std::string>()> ReadPage;
  // Called with true when a query starts waiting (the window shows the busy
  // cursor and arms the deadline) and with false when the wait ends.
  std::function<void(bool)> OnWaiting;

 private:
  enum class State { Idle, Loading, Loaded, Failed };
  void RequestPage();
  void EndWait();

  LookupKind kind_;
  LookupViews v_;
  State state_ = State::Idle;
  std::optional<std::string> sent_;  // the input of the query waiting for its answer
};

}  // namespace zel
