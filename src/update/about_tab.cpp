#include "update/about_tab.h"

#include "base/appenv.h"
#include "base/gbk.h"
#include "base/text.h"

namespace zel {

AboutTab::AboutTab(std::function<Shell*()> shell) : shell_(std::move(shell)) {}

std::string AboutTab::HomePage() { return "https://example.org/zelmora"; }

std::string AboutTab::Text() {
  static const std::string text = [] {
    const std::string crlf = "\r\n";
    std::string t;
    t += G(u8"软件名称：《Zelmora天气预报》") + crlf;
    t += G(u8"版    本：") + kVersion + crlf;
    t += G(u8"作    者：Zelmora 开发组") + crlf;
    t += G(u8"制作日期：2004-3-29") + crlf;
    t += G(u8"更新日期：") + "2006-3-20" + crlf;
    // The forecast providers' licence asks for credit wherever their figures show.
    t += G(u8"天气数据：Open-Meteo、MET Norway（CC BY 4.0）") + crlf;
    t += G(u8"主    页：") + HomePage() + crlf;
    t += G(u8"电子邮件：zelmora@example.org") + crlf;
    t += crlf;
    t += G(u8"●如果天气预报显示有点问题,试着把IE的字体改成中号...") + crlf;
    t += G(u8"●可快速得到收藏夹中的城市天气预报(如果新加入,下次有效)") + crlf;
    t += G(u8"●国外城市数据只有天气在线才支持") + crlf;
    t += crlf;
    t += G(u8"可为企事业单位定制城市天气预报");
    return t;
  }();
  return text;
}

std::string AboutTab::LinkText(const std::string& text) {
  size_t at = Pos("http", text);
  if (at == 0) return {};
  std::string rest = text.substr(at - 1);
  return rest.substr(0, rest.find_first_of("\r\n"));
}

const std::array<AboutLink, AboutTab::kLinkCount>& AboutTab::Links() {
  static const std::array<AboutLink, kLinkCount> links = {{
      {G(u8"项目主页"), "https://example.org/zelmora"},
      {G(u8"发布页面"), "https://example.org/zelmora/releases"},
      {G(u8"源码仓库"), "https://example.org/zelmora/source"},
      {G(u8"Korrin软件"), HomePage()},
  }};
  return links;
}

void AboutTab::Build(TextView& edtAbout, Control& lblDown) {
  edtAbout.SetText(Text());
  lblDown.SetCaption(G(u8"感谢:"));
}

void AboutTab::edtAboutMouseUp() {
  // The last move decides: a release after leaving the address does nothing.
  if (!hand_) return;
  if (Shell* sh = shell_ ? shell_() : nullptr) sh->OpenInBrowserWindow(HomePage());
}

void AboutTab::LinkMouseEnter(int i) {
  if (Valid(i)) hot_[static_cast<size_t>(i)] = true;
}

void AboutTab::LinkMouseLeave(int i) {
  if (Valid(i)) hot_[static_cast<size_t>(i)] = false;
}

void AboutTab::LinkClick(int i) {
  if (!Valid(i)) return;
  if (Shell* sh = shell_ ? shell_() : nullptr) sh->OpenInBrowserWindow(Links()[static_cast<size_t>(i)].url);
}

Rgb AboutTab::LinkColour(int i) const { return Valid(i) && hot_[static_cast<size_t>(i)] ? kLinkHot : kLinkGreen; }

bool AboutTab::LinkHand(int i) const { return Valid(i) && hot_[static_cast<size_t>(i)]; }

}  // namespace zel
