#include "server/lookup_pages.h"

#include "base/gbk.h"
#include "base/text.h"

namespace zel::server {
namespace marker {
std::string MobileLabel() { return G(u8"手机号码："); }
std::string MoreData() { return G(u8"我们会不断更新数据"); }
std::string IpLabel() { return G(u8"IP地址："); }
}  // namespace marker

namespace {

// title and every text are UTF-8 literals here; the page leaves as GBK.
std::string Page(std::u8string_view title, const char* action, const char* field, std::u8string_view label,
                 const std::string& bodyGbk) {
  std::string html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"><title>" +
                     G(title) +
                     "</title></head>\n<body style=\"font-size:14px\">\n<form method=\"get\" action=\"" +
                     std::string(action) + "\">" + G(label) + "<input type=\"text\" name=\"" + field +
                     "\" size=\"24\" maxlength=\"40\"> <input type=\"submit\" value=\"" + G(u8"查询") +
                     "\"></form>\n" + bodyGbk + "\n</body></html>\n";
  return html;
}

std::string Div(const std::string& gbk) { return "<div>" + gbk + "</div>"; }

std::string Footer(std::u8string_view source) {
  return "<div style=\"color:#666;margin-top:12px\">" + G(u8"数据来源：") + G(source) + "</div>";
}

constexpr const char* kTelAction = "/query/tel.asp";
constexpr const char* kIpAction = "/query/ip.asp";
constexpr const char* kIdAction = "/query/idcard.asp";

std::string MobilePage(const std::string& body) {
  return Page(u8"手机号码归属地查询", kTelAction, "tel", u8"号码(段)", body + "\n" + Footer(u8"号段归属地表（电话号码元数据）"));
}

std::string IpPage(const std::string& body) {
  return Page(u8"IP 地址查询", kIpAction, "ip", u8"查询 IP ", body + "\n" + Footer(u8"IPv4 地区数据库"));
}

std::string IdPage(const std::string& body) {
  return Page(u8"身份证号码验证查询", kIdAction, "id", u8"身份证号码 ", body + "\n" + Footer(u8"行政区划代码表"));
}

std::string Joined(std::initializer_list<const std::string*> parts, const std::string& sep) {
  std::string out;
  for (const std::string* p : parts) {
    if (p->empty()) continue;
    if (!out.empty()) out += sep;
    out += *p;
  }
  return out;
}

}  // namespace

std::string MobileQueryPage() {
  return MobilePage(Div(G(u8"输入手机号码或其前 7 位号段，查询号码的归属省份、城市和运营商。")));
}

std::string MobileAnswerPage(std::string_view input, const LookupData& data) {
  std::string digits;
  bool other = input.size() > kMaxFieldBytes;
  for (char c : input) {
    if (c >= '0' && c <= '9') digits += c;
    else if (c != ' ' && c != '-') other = true;
  }
  auto unknown = [&](std::u8string_view why) { return MobilePage(Div(G(why) + G(u8"未知的地址。"))); };
  if (other) return unknown(u8"号码只能由数字组成：");
  if (digits.size() < 7) return MobilePage(Div(G(u8"手机号码至少要输入 7 位数字。")));
  if (digits.size() > 11) return unknown(u8"手机号码最多 11 位：");
  if (digits[0] != '1') return unknown(u8"这不是手机号码：");
  auto place = data.mobile.Find(digits);
  if (!place) return unknown(u8"号段不在数据中：");
  std::string where = Joined({&place->province, &place->city}, " ");
  std::string answer = digits + G(u8"　") + where + (place->carrier.empty() ? "" : G(u8"　") + place->carrier);
  return MobilePage(Div(marker::MobileLabel() + G(u8"　") + HtmlEscape(answer) + G(u8"。注：") + marker::MoreData() +
                        G(u8"，号段归属会随运营商调整而变化。")));
}

std::string IpQueryPage() { return IpPage(Div(G(u8"请输入 IP 地址，例如 202.96.128.86，查询它所在的地区和运营商。"))); }

std::string IpAnswerPage(std::string_view input, const LookupData& data) {
  std::string text = input.size() > kMaxFieldBytes ? std::string(input) : Trim(input);
  if (text.empty()) return IpQueryPage();
  if (LooksLikeIpv6(text)) return IpPage(Div(G(u8"未知的 IP 地址：暂无 IPv6 地址的数据。")));
  auto ip = text.size() > kMaxFieldBytes ? std::nullopt : ParseIpv4(text);
  if (!ip) return IpPage(Div(G(u8"IP 地址格式错误：应为四段 0 到 255 的数字，以点分隔。")));
  auto place = data.ip.Find(*ip);
  static const std::string kLan = G(u8"内网IP");
  std::string where;
  if (place) {
    if (place->city == kLan) where = G(u8"内网IP（局域网或保留地址）");
    else {
      // "北京 北京市" says one place twice.
      std::string province = place->city.starts_with(place->province) ? std::string() : place->province;
      where = Joined({&place->country, &place->region, &province, &place->city}, " ");
      if (!place->isp.empty() && !where.empty()) where += G(u8"　") + place->isp;
    }
  }
  if (where.empty()) return IpPage(Div(G(u8"未知的 IP 地址：数据中没有这个地址。")));
  std::string answer = text + G(u8"　") + where;
  return IpPage(Div(marker::IpLabel() + G(u8"　") + HtmlEscape(answer) + G(u8"。") + marker::MoreData() +
                    G(u8"，地区数据以最新版本为准。")));
}

std::string IdCardQueryPage() { return IdPage(Div(G(u8"输入15位或18位身份证号码，查看号码中的地址、出生日期和性别。"))); }

std::string IdCardAnswerPage(std::string_view input, const LookupData& data, int today) {
  IdCardResult r = DecodeIdCard(input.size() > kMaxFieldBytes ? std::string_view() : input, data.divisions, today);
  if (input.size() > kMaxFieldBytes) r.kind = IdCardResult::kWrongLength;
  if (r.kind == IdCardResult::kWrongLength)
    return IdPage(Div(G(u8"身份证号码位数错误：应为15位或18位。")));
  if (r.kind == IdCardResult::kInvalid) return IdPage(Div(G(u8"输入错误：") + r.why + G(u8"。")));
  std::string b = "<b>", e = "</b>";
  return IdPage(Div(b + G(u8"解读身份证号码结果") + e + G(u8"：") + b + G(u8"号　　码：") + e + HtmlEscape(r.number) +
                    G(u8"；") + b + G(u8"所在地址") + e + HtmlEscape(r.address) + G(u8"；") + b + G(u8"出生日期") + e +
                    r.birth + G(u8"；") + b + G(u8"性　　别") + e + r.sex + G(u8"。")));
}

}  // namespace zel::server
