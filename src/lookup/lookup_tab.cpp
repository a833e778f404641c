#include "lookup/lookup_tab.h"

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
  state_ = State::Loading;
  try {
    v_.browser->Navigate(address);
  } catch (const std::exception&) {
    // A failed request leaves the button disabled and the memo loading.
    state_ = State::Failed;
  }
}

void LookupTab::PageFailed() {
  state_ = State::Failed;
  v_.button->Enable(false);
  v_.memo->SetText(Loading());
}

void LookupTab::TabShown() {
  if (state_ == State::Failed) RequestPage();
}

void LookupTab::QueryClick() {
  // The input goes to the page exactly as typed; checking it is the page's
  // business. No page yet, no field or no form: nothing happens.
  try {
    v_.browser->SetFieldAndSubmit(LookupField(kind_), v_.edit->Text());
  } catch (const std::exception&) {
  }
}

void LookupTab::KeyPress(int key) {
  if (key != 13) return;
  if (v_.button->IsEnabled()) QueryClick();
  else if (state_ == State::Failed) RequestPage();  // the press that could not query asks for the page
}

void LookupTab::DocumentComplete() {
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
  // The input shown is the edit's text now, when the answer has arrived.
  switch (kind_) {
    case LookupKind::Mobile:
      v_.memo->SetText(ReadMobileAnswer(*page, v_.edit->Text()));
      break;
    case LookupKind::Ip:
      v_.memo->SetText(ReadIpAnswer(*page, v_.edit->Text()));
      break;
    case LookupKind::IdCard:
      v_.memo->SetText(ReadIdCardAnswer(*page));
      break;
  }
}

}  // namespace zel
