#include "lookup/lookup_tab.h"

#include <cstring>
#include <exception>

#include "base/appenv.h"
#include "base/gbk.h"
#include "lookup/answers.h"

namespace zel {

std::string LookupPageAddress(LookupKind kind) {
  switch (kind) {
    case LookupKind::Mobile:
      return ServerBase("Lookup") + "/query/tel.asp";
    case LookupKind::Ip:
      return ServerBase("Lookup") + "/query/ip.asp";
    case LookupKind::IdCard:
      break;
  }
  return {};
}

const char* LookupField(LookupKind kind) {
  switch (kind) {
    case LookupKind::Mobile:
      return "tel";
    case LookupKind::Ip:
      return "ip";
    case LookupKind::IdCard:
      break;
  }
  return "id";
}

std::optional<std::string> RefuseInput(LookupKind kind, const std::string& input) {
  auto only = [&](const char* extra) {
    for (unsigned char c : input)
      if (!(c >= '0' && c <= '9') && !std::strchr(extra, c)) return false;
    return true;
  };
  switch (kind) {
    case LookupKind::Mobile:
      if (only(" -")) return std::nullopt;
      return G(u8"请输入数字：手机号码(段)只能由数字组成，例如 1380013。");
    case LookupKind::Ip:
      // The server answers a blank address with its empty query page.
      if (input.find_first_not_of(' ') == std::string::npos) return G(u8"请输入 IP 地址，例如 202.96.128.86。");
      // IPv6 addresses are answered too (with letters a-f and colons).
      if (only(" .:abcdefABCDEF")) return std::nullopt;
      return G(u8"请输入数字和点：IP地址由四段 0 到 255 的数字组成，以点分隔，例如 202.96.128.86。");
    case LookupKind::IdCard:
      if (only(" xX")) return std::nullopt;
      return G(u8"请输入数字：身份证号码由15位或18位数字组成，18位号码的末位可以是X。");
  }
  return std::nullopt;
}

LookupTab::LookupTab(LookupKind kind, LookupViews views) : kind_(kind), v_(views) {
  v_.button->Enable(false);
}

namespace {
const std::string& Loading() {
  static const std::string s = G(u8"正在读取数据...");
  return s;
}
}  // namespace

void LookupTab::Startup() {
  v_.memo->SetText(Loading());
  RequestPage();
}

void LookupTab::RequestPage() {
  std::string address = LookupPageAddress(kind_);
  if (address.empty()) return;
  if (state_ == State::Failed) v_.memo->SetText(Loading());
  state_ = State::Loading;
  try {
    v_.browser->Navigate(address);
  } catch (const std::exception&) {
    // A failed request leaves the button disabled and the memo loading.
    state_ = State::Failed;
  }
}

void LookupTab::EndWait() {
  if (!sent_) return;
  sent_.reset();
  if (OnWaiting) OnWaiting(false);
}

void LookupTab::PageFailed() {
  bool query = Waiting();
  EndWait();
  state_ = State::Failed;
  v_.button->Enable(false);
  static const std::string failed = G(u8"查询失败：连接不上查询服务器，请稍后再试。");
  v_.memo->SetText(query ? failed : Loading());
}

void LookupTab::TabShown() {
  if (state_ == State::Failed) RequestPage();
}

void LookupTab::DeadlinePassed() {
  if (!Waiting()) return;
  EndWait();
  try {
    v_.browser->Stop();
  } catch (const std::exception&) {
  }
  // The page that was there before the query is still there.
  v_.button->Enable(true);
  static const std::string late = G(u8"查询超时：查询服务器") + std::to_string(kDeadlineMs / 1000) +
                                  G(u8"秒内没有应答，请稍后再试。");
  v_.memo->SetText(late);
}

void LookupTab::QueryClick() {
  if (Waiting()) return;
  // Nothing of the last answer stays under a new input.
  v_.memo->SetText({});
  std::string input = v_.edit->Text();
  if (auto why = RefuseInput(kind_, input)) {
    v_.memo->SetText(*why);
    return;
  }
  bool sent = false;
  try {
    sent = v_.browser->SetFieldAndSubmit(LookupField(kind_), input);
  } catch (const std::exception&) {
  }
  if (!sent) {
    static const std::string noPage = G(u8"查询页面还没有读取完成，请稍后再试。");
    v_.memo->SetText(noPage);
    return;
  }
  sent_ = input;
  v_.button->Enable(false);
  v_.memo->SetText(Loading());
  if (OnWaiting) OnWaiting(true);
}

void LookupTab::KeyPress(int key) {
  if (key != 13) return;
  if (v_.button->IsEnabled()) QueryClick();
  else if (state_ == State::Failed) RequestPage();  // the press that could not query asks for the page
}

void LookupTab::DocumentComplete() {
  // The answer is about the input that was sent, whatever the edit holds
  // now; a page that is no answer is read with the edit's text.
  std::string input = sent_ ? *sent_ : v_.edit->Text();
  EndWait();
  state_ = State::Loaded;
  v_.button->Enable(true);
  v_.memo->SetText({});
  std::optional<std::string> page;
  try {
    page = ReadPage ? ReadPage() : std::optional<std::string>(v_.browser->BodyText());
  } catch (const std::exception&) {
    page.reset();
  }
  if (!page) {
    static const std::string error = G(u8"错误");
    // The mobile lookup shows nothing when the document cannot be read.
    if (kind_ != LookupKind::Mobile) v_.memo->SetText(error);
    return;
  }
  switch (kind_) {
    case LookupKind::Mobile:
      v_.memo->SetText(ReadMobileAnswer(*page, input));
      break;
    case LookupKind::Ip:
      v_.memo->SetText(ReadIpAnswer(*page, input));
      break;
    case LookupKind::IdCard:
      v_.memo->SetText(ReadIdCardAnswer(*page));
      break;
  }
}

}  // namespace zel
