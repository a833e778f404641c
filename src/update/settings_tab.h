// The settings tab's handlers, free of any toolkit: the template choice with
// its preview and author information, and the new-version check with its
// list of download addresses.
#pragma once

#include <functional>
#include <string>

#include "base/ui.h"

namespace zel {

class TForeCast;

struct SettingsViews {
  ListView* lstTemplate = nullptr;
  Browser* webBrowser2 = nullptr;
  TextView* edtTemplateAuthor = nullptr;
  TextView* edtTemplateDate = nullptr;
  TextView* edtTemplateEmail = nullptr;
  TextView* edtTemplateHttp = nullptr;
  ListView* cboSoftList = nullptr;
};

// More download addresses than this are not listed.
constexpr long long kMaxDownloadAddresses = 100;

class SettingsTab {
 public:
  // shell and manager are asked at call time: the window may swap its shell
  // and makes the manager during start-up.
  SettingsTab(SettingsViews views, std::function<Shell*()> shell, std::function<TForeCast*()> manager);

  // Start-up steps 15 and 16: the author of the set named in Sys.ini, then
  // the list of installed sets.
  void Startup();
  void ShowTemplateAuthor(const std::string& name);
  void TabSetShow();
  void lstTemplateClick();
  void btnTemplateClick();
  void btnGetNewVersionClick();
  void btnDownSoftClick();

  static std::string TemplateRoot();  // AppPath + "Template/"
  static std::string UpdateIniPath();

 private:
  Shell* Sh() const;
  SettingsViews v_;
  std::function<Shell*()> shell_;
  std::function<TForeCast*()> manager_;
};

}  // namespace zel
