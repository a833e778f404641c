#include "update/settings_tab.h"

#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "update/version.h"
#include "weather/forecast.h"

namespace zel {

SettingsTab::SettingsTab(SettingsViews views, std::function<Shell*()> shell, std::function<TForeCast*()> manager)
    : v_(views), shell_(std::move(shell)), manager_(std::move(manager)) {}

std::string SettingsTab::TemplateRoot() { return AppPath() + "Template/"; }
std::string SettingsTab::UpdateIniPath() { return AppPath() + "UpDate.ini"; }

Shell* SettingsTab::Sh() const { return shell_ ? shell_() : nullptr; }

void SettingsTab::Startup() {
  ShowTemplateAuthor(TemplateName());
  v_.lstTemplate->Clear();
  // A folder whose name GBK cannot hold could not be named in Sys.ini.
  for (const auto& name : ListSubDirs(TemplateRoot())) {
    bool ok = true;
    std::string gbk = FromUtf8(name, &ok);
    if (ok) v_.lstTemplate->Add(gbk);
  }
}

void SettingsTab::ShowTemplateAuthor(const std::string& name) {
  IniFile ini(TemplateRoot() + PathPiece(name) + "/author.ini");
  v_.edtTemplateAuthor->SetText(ini.ReadString("main", "author", ""));
  v_.edtTemplateDate->SetText(ini.ReadString("main", "date", ""));
  v_.edtTemplateEmail->SetText(ini.ReadString("main", "email", ""));
  v_.edtTemplateHttp->SetText(ini.ReadString("main", "http", ""));
}

void SettingsTab::TabSetShow() {
  TForeCast* m = manager_ ? manager_() : nullptr;
  std::string active = m ? m->TemplateName : TemplateName();
  TextList names;
  for (int i = 0; i < v_.lstTemplate->Count(); ++i) names.push_back(v_.lstTemplate->Item(i));
  v_.lstTemplate->Select(IndexOfText(names, active));
}

void SettingsTab::lstTemplateClick() {
  int i = v_.lstTemplate->Selected();
  if (i < 0) return;
  // A broken set only shows empty edits or the browser's missing-file page.
  try {
    std::string name = v_.lstTemplate->Item(i);
    ShowTemplateAuthor(name);
    v_.webBrowser2->Navigate(TemplateRoot() + PathPiece(name) + "/ForeCastOnline.htm");
  } catch (...) {
  }
}

void SettingsTab::btnTemplateClick() {
  int i = v_.lstTemplate->Selected();
  TForeCast* m = manager_ ? manager_() : nullptr;
  if (i < 0 || !m) return;
  std::string name = v_.lstTemplate->Item(i);
  bool busy = false;
  if (m->SetTemplate(name, &busy)) return;
  // The active set stays in use; say why nothing changed.
  Shell* sh = Sh();
  if (!sh) return;
  if (busy)
    sh->ShowInfoBox(G(u8"正在查询天气，请稍后再更换模板。"), G(u8"模板"));
  else
    sh->ShowInfoBox(G(u8"模板“") + name + G(u8"”缺少文件或无法读取，仍使用模板“") + m->TemplateName + G(u8"”。"),
                    G(u8"模板"));
}

void SettingsTab::btnGetNewVersionClick() {
  v_.cboSoftList->Clear();
  IniFile ini(UpdateIniPath());
  std::string version = ini.ReadString("main", "Version", "");
  Shell* sh = Sh();
  if (!IsNewerVersion(version, kVersion)) {
    if (sh) sh->ShowInfoBox(G(u8"目前还没有最新版本，敬请关注..."), G(u8"检测新版本"));
    return;
  }
  if (sh)
    sh->ShowInfoBox(G(u8"发现了新版本，版本号：") + version +
                        G(u8"！请在“最新版本下载地址列表”中选择一个地址，然后点击“下载”按钮即可下载新版本。"),
                    G(u8"发现新版本"));
  long long n = ini.ReadInteger("main", "DownNum", 0);
  if (n > kMaxDownloadAddresses) n = kMaxDownloadAddresses;
  for (long long i = 1; i <= n; ++i) v_.cboSoftList->Add(ini.ReadString("main", "DownText" + std::to_string(i), ""));
  if (n > 0) v_.cboSoftList->Select(0);
}

void SettingsTab::btnDownSoftClick() {
  int i = v_.cboSoftList->Selected();
  if (i < 0) return;
  std::string url = IniFile(UpdateIniPath()).ReadString("main", "DownURL" + std::to_string(i + 1), "");
  Shell* sh = Sh();
  if (!sh) return;
  // The address comes from the network: only web pages are opened, never a
  // local file or another program's scheme.
  if (!IsWebAddress(url)) {
    sh->ShowInfoBox(G(u8"下载地址无效：") + url, G(u8"下载"));
    return;
  }
  sh->OpenInBrowserWindow(url);
}

}  // namespace zel
