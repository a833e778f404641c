#include "lookup/answers.h"

#include "base/gbk.h"
#include "base/text.h"

namespace zel {
namespace {

// Marker texts of the answer pages, GBK once.
struct Markers {
  std::string telUnknown = G(u8"未知的地址");
  std::string telTooShort = G(u8"手机号码至少要输入");
  std::string telLabel = G(u8"手机号码：");
  std::string updating = G(u8"我们会不断更新数据");
  std::string ipPlease = G(u8"请输入 IP 地址");
  std::string ipLabel = G(u8"IP地址：");
  std::string ipUnknown = G(u8"未知的 IP 地址");
  std::string ipFormat = G(u8"IP 地址格式错误");
  std::string idHeading = G(u8"解读身份证号码结果");
  std::string idSex = G(u8"性　　别");
  std::string idDigits = G(u8"位数错误");
  std::string idError = G(u8"错误");
  std::string idAddress = G(u8"所在地址");
  std::string idBirth = G(u8"出生日期");
};

const Markers& M() {
  static const Markers m;
  return m;
}

long long P(const std::string& marker, const std::string& text) { return static_cast<long long>(Pos(marker, text)); }

}  // namespace

std::string ReadMobileAnswer(const std::string& page, const std::string& input) {
  const Markers& m = M();
  if (P(m.telUnknown, page) > 0) return input + G(u8": 未知的地址");
  if (P(m.telTooShort, page) > 0) return G(u8"手机号码至少要输入 7 位以上");
  long long p1 = P(m.telLabel, page), p2 = P(m.updating, page);
  return Copy(page, p1 + 12, p2 - p1 - 18);
}

std::string ReadIpAnswer(const std::string& page, const std::string& input) {
  const Markers& m = M();
  if (P(m.ipPlease, page) > 0) return {};
  long long p1 = P(m.ipLabel, page), p2 = P(m.updating, page);
  if (P(m.ipUnknown, page) > 0) return input + G(u8"  -  ★未知IP数据★");
  if (P(m.ipFormat, page) > 0) return input + G(u8"  -  IP 地址格式错误");
  return Trim(Copy(page, p1 + 10, p2 - p1 - 12));
}

std::string ReadIdCardAnswer(const std::string& page) {
  const Markers& m = M();
  long long a = P(m.idHeading, page), b = P(m.idSex, page), c = P(m.idDigits, page), d = P(m.idError, page);
  if (b > 0) {
    std::string block = Copy(page, a + 20, b - a - 10);
    long long e = P(m.idAddress, block);
    std::string result = G(u8"号　　码：") + Copy(block, 11, e - 13) + "\r\n";
    long long f = P(m.idBirth, block);
    result += G(u8"所在地址：") + Copy(block, e + 8, f - e - 10) + "\r\n";
    long long g = P(m.idSex, block);
    result += G(u8"出生日期：") + Copy(block, f + 8, g - f - 10) + "\r\n";
    result += G(u8"性　　别：") + Copy(block, g + 8, 2);
    return result;
  }
  if (c > 0) return G(u8"错误信息：身份证号码位数错误");
  if (d > 0) return G(u8"错误信息：身份证号码输入有误");
  return {};
}

}  // namespace zel
