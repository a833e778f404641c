// The lookup pages answer real numbers and addresses, word every error the
// program recognises, and the program's own answer readers cut out exactly
// the answer.
#include <gtest/gtest.h>

#include "lookup/answers.h"
#include "server_fixture.h"

namespace zel::server::test {
namespace {

std::string Encode(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", c);
    out += buf;
  }
  return out;
}

// The page the server answers for field=value (value as raw GBK bytes).
std::string Ask(const char* path, const char* field, const std::string& value) {
  auto res = SharedServer::Get().Client()->Get(std::string(path) + "?" + field + "=" + Encode(value));
  if (!res) return "<no answer>";
  EXPECT_EQ(res->status, 200) << path;
  EXPECT_NE(res->get_header_value("Content-Type").find("GBK"), std::string::npos);
  return res->body;
}

std::string AskMobile(const std::string& v) { return ReadMobileAnswer(RenderedText(Ask("/query/tel.asp", "tel", v)), v); }
std::string AskIp(const std::string& v) { return ReadIpAnswer(RenderedText(Ask("/query/ip.asp", "ip", v)), v); }
std::string AskId(const std::string& v) { return ReadIdCardAnswer(RenderedText(Ask("/query/idcard.asp", "id", v))); }

TEST(LookupPages, MobileSegmentsAnswerTheirPlaceAndCarrier) {
  struct Case {
    const char* input;
    const char8_t* memo;
  } cases[] = {
      {"13800138000", u8"13800138000　北京市　中国移动"},
      {"1391234", u8"1391234　江苏省 常州市　中国移动"},
      {"18612345678", u8"18612345678　北京市　中国联通"},
      {"17712345678", u8"17712345678　江苏省 常州市　中国电信"},
      {"13500000000", u8"13500000000　广东省 广州市　中国移动"},
      {"138-0013-8000", u8"13800138000　北京市　中国移动"},
  };
  for (const Case& c : cases) EXPECT_EQ(U(AskMobile(c.input)), S(c.memo)) << c.input;
}

TEST(LookupPages, MobileErrorsUseTheWordingsTheProgramKnows) {
  const std::string shortText = S(u8"手机号码至少要输入 7 位以上");
  struct Case {
    std::string input;
    std::string memo;  // UTF-8
  } cases[] = {
      {"", shortText},
      {"123456", shortText},
      {"abc", S(u8"abc: 未知的地址")},
      {"1380013800099", S(u8"1380013800099: 未知的地址")},
      {"2345678", S(u8"2345678: 未知的地址")},
      {"19912345678", S(u8"19912345678: 未知的地址")},  // the data knows only the country
      {std::string(300, '1'), std::string(300, '1') + S(u8": 未知的地址")},
  };
  for (const Case& c : cases) EXPECT_EQ(U(AskMobile(c.input)), c.memo) << c.input.substr(0, 20);
  // Bytes that are no GBK text are refused, not echoed into the page.
  std::string page = Ask("/query/tel.asp", "tel", "\xff\xfe<script>");
  EXPECT_NE(page.find(G(u8"未知的地址")), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST(LookupPages, IpAddressesAnswerTheirRegion) {
  struct Case {
    const char* input;
    const char8_t* memo;
  } cases[] = {
      {"202.96.128.86", u8"202.96.128.86　中国 广东省 广州市　电信"},
      {"223.5.5.5", u8"223.5.5.5　中国 浙江省 杭州市　阿里云"},
      {"114.114.114.114", u8"114.114.114.114　中国 江苏省 南京市"},
      {"61.135.169.121", u8"61.135.169.121　中国 北京市　联通"},
      {"8.8.8.8", u8"8.8.8.8　美国　Level3"},
      {"192.168.1.1", u8"192.168.1.1　内网IP（局域网或保留地址）"},
      {"  8.8.8.8  ", u8"8.8.8.8　美国　Level3"},
  };
  for (const Case& c : cases) EXPECT_EQ(U(AskIp(c.input)), S(c.memo)) << c.input;
}

TEST(LookupPages, IpErrorsUseTheWordingsTheProgramKnows) {
  struct Case {
    std::string input;
    std::string memo;
  } cases[] = {
      {"", ""},  // the page asks for an address; the memo stays empty
      {"   ", ""},
      {"1.2.3", S(u8"1.2.3  -  IP 地址格式错误")},
      {"256.1.1.1", S(u8"256.1.1.1  -  IP 地址格式错误")},
      {"www.example", S(u8"www.example  -  IP 地址格式错误")},
      {"2001:db8::1", S(u8"2001:db8::1  -  ★未知IP数据★")},
      {std::string(2000, '9'), std::string(2000, '9') + S(u8"  -  IP 地址格式错误")},
  };
  for (const Case& c : cases) EXPECT_EQ(U(AskIp(c.input)), c.memo) << c.input.substr(0, 20);
  std::string page = Ask("/query/ip.asp", "ip", "\x81\x30\xff");
  EXPECT_NE(page.find(G(u8"IP 地址格式错误")), std::string::npos);
}

TEST(LookupPages, IdCardNumbersAreDecodedOrRefused) {
  struct Case {
    std::string input;
    std::string memo;
  } cases[] = {
      {"11010519491231002X",
       S(u8"号　　码：11010519491231002X\r\n所在地址：北京市朝阳区\r\n出生日期：1949年12月31日\r\n性　　别：女")},
      {"440304198501010013",
       S(u8"号　　码：440304198501010013\r\n所在地址：广东省深圳市福田区\r\n出生日期：1985年1月1日\r\n性　　别：男")},
      {"12345", S(u8"错误信息：身份证号码位数错误")},
      {"", S(u8"错误信息：身份证号码位数错误")},
      {"110105194912310021", S(u8"错误信息：身份证号码输入有误")},  // check digit
      {"110105194913310021", S(u8"错误信息：身份证号码输入有误")},  // month 13
      {"1101051949123100\xb0\xa1", S(u8"错误信息：身份证号码输入有误")},
  };
  for (const Case& c : cases) EXPECT_EQ(U(AskId(c.input)), c.memo) << c.input;
}

TEST(LookupPages, QueryPagesLeaveTheMemosEmptyAndCarryTheForm) {
  struct Case {
    const char* path;
    const char* field;
  } cases[] = {{"/query/tel.asp", "tel"}, {"/query/ip.asp", "ip"}, {"/query/idcard.asp", "id"}};
  auto client = SharedServer::Get().Client();
  for (const Case& c : cases) {
    for (std::string query : {std::string(), std::string("?") + c.field + "=1"}) {
      auto res = client->Get(std::string(c.path) + query);
      ASSERT_TRUE(res) << c.path;
      const std::string& page = res->body;
      // The first form holds the field, so the next query works from here.
      size_t form = page.find("<form"), end = page.find("</form>");
      ASSERT_NE(form, std::string::npos) << c.path;
      size_t field = page.find(std::string("name=\"") + c.field + "\"");
      EXPECT_TRUE(field > form && field < end) << c.path << query;
      if (!query.empty()) continue;
      std::string text = RenderedText(page);
      EXPECT_EQ(ReadMobileAnswer(text, ""), "") << c.path;
      EXPECT_EQ(ReadIpAnswer(text, ""), "") << c.path;
      EXPECT_EQ(ReadIdCardAnswer(text), "") << c.path;
    }
  }
}

TEST(LookupPages, FormPostsAnswerLikeQueries) {
  auto client = SharedServer::Get().Client();
  auto res = client->Post("/query/tel.asp", "tel=13800138000", "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(U(ReadMobileAnswer(RenderedText(res->body), "13800138000")), S(u8"13800138000　北京市　中国移动"));
}

}  // namespace
}  // namespace zel::server::test
