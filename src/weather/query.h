// The query of the weather tab once its city is chosen, shared by the
// window and the command line.
#pragma once

#include <string>

#include "base/ui.h"

namespace zel {

class TForeCast;

// Stands in for a browser where none may be touched (a worker, the command
// line): keeps the page a query would show.
class PageKeeper : public Browser {
 public:
  void Navigate(const std::string&) override {}
  void ShowHtml(const std::string& html) override {
    page = html;
    shown = true;
  }
  std::string BodyText() override { return page; }
  bool SetFieldAndSubmit(const std::string&, const std::string&) override { return false; }
  std::string page;
  bool shown = false;
};

// The forecast memo first ("完成，已显示！"), else the manager asks its active
// source through ShowForecast. Returns the text for the status line.
std::string QueryForecast(TForeCast& m, Browser& browser, const std::string& province, const std::string& city);
// The same with the trend memo and ShowWind.
std::string QueryWind(TForeCast& m, Browser& browser, const std::string& province, const std::string& city);

}  // namespace zel
