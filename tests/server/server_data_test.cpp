// The lookup data: segment table, the IPv4 region database reader, division
// codes and the ID-card decoding.
#include <gtest/gtest.h>

#include <cstring>

#include "server/lookup_data.h"
#include "support/testutil.h"

namespace zel::server {
namespace {

using test::G;
using test::U;

std::string S(const char8_t* utf8) { return reinterpret_cast<const char*>(utf8); }

TEST(MobileTable, LongestPrefixDecides) {
  MobileTable t;
  ASSERT_TRUE(t.LoadText(S(u8"# comment\n13800\t广东省\t广州市\t中国移动\n1380013\t北京市\t\t中国移动\n"
                         "bad\tline\n1390\t江苏省\n")));
  EXPECT_EQ(t.size(), 2u);  // a short row and a non-digit prefix are skipped
  struct Case {
    const char* digits;
    const char8_t* province;  // nullptr: not found
  } cases[] = {
      {"13800138000", u8"北京市"}, {"1380013", u8"北京市"}, {"1380099", u8"广东省"},
      {"13800", u8"广东省"},       {"1380", nullptr},       {"13900000000", nullptr},
  };
  for (const Case& c : cases) {
    auto p = t.Find(c.digits);
    if (!c.province) {
      EXPECT_FALSE(p) << c.digits;
      continue;
    }
    ASSERT_TRUE(p) << c.digits;
    EXPECT_EQ(U(p->province), U(G(c.province))) << c.digits;
  }
  EXPECT_TRUE(t.Find("1380013")->city.empty());
  EXPECT_EQ(U(t.Find("1380013")->carrier), S(u8"中国移动"));
}

// A database in the v1 layout with the given ranges.
std::string MakeDb(const std::vector<std::tuple<uint32_t, uint32_t, std::string>>& ranges) {
  std::string data(8, '\0'), index;
  auto put = [](std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
  std::vector<uint32_t> ptrs;
  for (const auto& [s, e, region] : ranges) {
    uint32_t off = uint32_t(data.size());
    put(data, 7);  // city id
    data += region;
    ptrs.push_back(off | (uint32_t(4 + region.size()) << 24));
  }
  uint32_t first = uint32_t(data.size());
  for (size_t i = 0; i < ranges.size(); ++i) {
    put(index, std::get<0>(ranges[i]));
    put(index, std::get<1>(ranges[i]));
    put(index, ptrs[i]);
  }
  uint32_t last = first + uint32_t(index.size()) - 12;
  std::memcpy(data.data(), &first, 4);
  std::memcpy(data.data() + 4, &last, 4);
  return data + index;
}

std::string MakeDbText() { return MakeDb({{0x01000000, 0x010000ff, S(u8"中国|0|广东省|深圳市|电信")}}); }

TEST(IpTable, FindsTheRangeHoldingTheAddress) {
  IpTable t;
  ASSERT_TRUE(t.LoadBytes(MakeDb({{0x01000000, 0x010000ff, "中国|0|广东省|深圳市|电信"},
                                  {0x01000100, 0x01000100, "美国|0|0|0|Level3"},
                                  {0x0a000000, 0x0affffff, "0|0|0|内网IP|内网IP"}})));
  struct Case {
    uint32_t ip;
    const char8_t* province;  // nullptr: not found
    const char8_t* isp;
  } cases[] = {
      {0x01000000, u8"广东省", u8"电信"}, {0x010000ff, u8"广东省", u8"电信"}, {0x01000100, u8"", u8"Level3"},
      {0x00ffffff, nullptr, nullptr},    {0x01000101, nullptr, nullptr},    {0x0a010203, u8"", u8"内网IP"},
      {0xffffffff, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    auto p = t.Find(c.ip);
    if (!c.province) {
      EXPECT_FALSE(p) << std::hex << c.ip;
      continue;
    }
    ASSERT_TRUE(p) << std::hex << c.ip;
    EXPECT_EQ(U(p->province), U(G(c.province)));
    EXPECT_EQ(U(p->isp), U(G(c.isp)));
  }
}

TEST(IpTable, RefusesBrokenFilesAndPointers) {
  IpTable t;
  std::string good = MakeDb({{1, 2, "a|b|c|d|e"}});
  EXPECT_FALSE(t.LoadBytes(""));
  EXPECT_FALSE(t.LoadBytes(good.substr(0, 7)));
  EXPECT_FALSE(t.LoadBytes(good.substr(0, good.size() - 1)));  // index cut short
  std::string crossed = good;
  uint32_t bad = 2;  // first index before the header's end
  std::memcpy(crossed.data(), &bad, 4);
  EXPECT_FALSE(t.LoadBytes(crossed));
  // A data pointer past the end answers nothing instead of reading wild.
  std::string wild = good;
  uint32_t ptr = 0x7fffff | (20u << 24);
  std::memcpy(wild.data() + wild.size() - 4, &ptr, 4);
  ASSERT_TRUE(t.LoadBytes(wild));
  EXPECT_FALSE(t.Find(1));
}

// Tables named by a file answer as the same text in memory does, lines
// ending in CR LF included; a missing or empty file is refused at once.
TEST(LookupFiles, AnswerAsTheSameTextInMemory) {
  test::TempDir dir;
  const std::string mobile = S(u8"13800\t广东省\t广州市\t中国移动\r\n# note\r\n\r\n1380013\t北京市\t\t中国移动\r\n"
                               "1380013\t天津市\t\t中国联通\r\n1234567890123\t太长\t\t\r\n");
  const std::string divisions = S(u8"11\t北京市\r\n1101\t市辖区\r\n110105\t朝阳区\r\n");
  dir.Write("mobile.tsv", mobile);
  dir.Write("divisions.tsv", divisions);
  dir.Write("empty.tsv", "");
  MobileTable fromFile, fromText;
  ASSERT_TRUE(fromFile.Load(dir / "mobile.tsv"));
  ASSERT_TRUE(fromText.LoadText(mobile));
  EXPECT_EQ(fromFile.size(), 3u) << "a prefix too long to index is skipped";
  for (const char* digits : {"13800138000", "1380099", "1380", "1234567890123"}) {
    auto a = fromFile.Find(digits), b = fromText.Find(digits);
    ASSERT_EQ(a.has_value(), b.has_value()) << digits;
    if (a) {
      EXPECT_EQ(U(a->province + a->city + a->carrier), U(b->province + b->city + b->carrier)) << digits;
    }
  }
  EXPECT_EQ(U(fromFile.Find("13800138000")->province), S(u8"天津市")) << "the later of equal prefixes";
  EXPECT_EQ(U(fromFile.Find("13800990000")->city), S(u8"广州市"));
  Divisions div;
  ASSERT_TRUE(div.Load(dir / "divisions.tsv"));
  EXPECT_EQ(U(div.Describe("110105")), S(u8"北京市朝阳区"));
  IpTable ip;
  dir.Write("ip.db", MakeDbText());
  ASSERT_TRUE(ip.Load(dir / "ip.db"));
  EXPECT_EQ(U(ip.Find(0x01000010)->city), S(u8"深圳市"));
  for (const char* missing : {"none.tsv", "empty.tsv"}) {
    MobileTable m;
    Divisions d;
    IpTable i;
    EXPECT_FALSE(m.Load(dir / missing)) << missing;
    EXPECT_FALSE(d.Load(dir / missing)) << missing;
    EXPECT_FALSE(i.Load(dir / missing)) << missing;
    EXPECT_FALSE(m.Find("13800138000")) << missing;
    EXPECT_TRUE(d.Describe("110105").empty()) << missing;
  }
}

TEST(ParseIpv4, AcceptsOnlyFourDecimalParts) {
  struct Case {
    const char* text;
    bool ok;
    uint32_t ip;
  } cases[] = {
      {"1.2.3.4", true, 0x01020304}, {"0.0.0.0", true, 0},           {"255.255.255.255", true, 0xffffffff},
      {"010.1.1.1", true, 0x0a010101}, {"256.1.1.1", false, 0},     {"1.2.3", false, 0},
      {"1.2.3.4.5", false, 0},       {"1.2.3.", false, 0},          {"", false, 0},
      {"1..2.3", false, 0},          {"1.2.3.4 ", false, 0},        {"a.b.c.d", false, 0},
      {"1234.1.1.1", false, 0},      {"0001.1.1.1", false, 0},      {"-1.2.3.4", false, 0},
  };
  for (const Case& c : cases) {
    auto ip = ParseIpv4(c.text);
    EXPECT_EQ(ip.has_value(), c.ok) << c.text;
    if (ip && c.ok) {
      EXPECT_EQ(*ip, c.ip) << c.text;
    }
  }
  EXPECT_TRUE(LooksLikeIpv6("2001:db8::1"));
  EXPECT_FALSE(LooksLikeIpv6("1.2.3.4"));
  EXPECT_FALSE(LooksLikeIpv6("hello:world"));
}

class IdCard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(div.LoadText(S(u8"11\t北京市\n1101\t市辖区\n110105\t朝阳区\n44\t广东省\n4403\t深圳市\n")));
  }
  Divisions div;
};

TEST_F(IdCard, CheckDigitFollowsTheWeights) {
  EXPECT_EQ(IdCheckDigit("11010519491231002"), 'X');
  // Every digit of the 17 counts: changing any one changes the check digit.
  std::string base = "11010519491231002";
  for (size_t i = 0; i < 17; ++i) {
    std::string other = base;
    other[i] = other[i] == '9' ? '0' : char(other[i] + 1);
    EXPECT_NE(IdCheckDigit(other), IdCheckDigit(base)) << i;
  }
}

TEST_F(IdCard, DecodesOrRefuses) {
  const int today = 20240601;
  struct Case {
    const char* input;
    IdCardResult::Kind kind;
    const char8_t* address;
    const char8_t* birth;
    const char8_t* sex;
    const char* why;
  } cases[] = {
      {"11010519491231002X", IdCardResult::kOk, u8"北京市朝阳区", u8"1949年12月31日", u8"女", "municipality, X check"},
      {"11010519491231002x", IdCardResult::kOk, u8"北京市朝阳区", u8"1949年12月31日", u8"女", "lower-case x"},
      {" 11010519491231002X ", IdCardResult::kOk, u8"北京市朝阳区", u8"1949年12月31日", u8"女", "blanks around"},
      {"110105491231001", IdCardResult::kOk, u8"北京市朝阳区", u8"1949年12月31日", u8"男", "15 digits, odd = male"},
      {"440399200002290000", IdCardResult::kInvalid, nullptr, nullptr, nullptr, "wrong check digit"},
      {"110105194902300020", IdCardResult::kInvalid, nullptr, nullptr, nullptr, "30 February"},
      {"110105203001010001", IdCardResult::kInvalid, nullptr, nullptr, nullptr, "born in the future"},
      {"11010519491231A02X", IdCardResult::kInvalid, nullptr, nullptr, nullptr, "a letter inside"},
      {"1101051949123100", IdCardResult::kWrongLength, nullptr, nullptr, nullptr, "16 digits"},
      {"", IdCardResult::kWrongLength, nullptr, nullptr, nullptr, "empty"},
  };
  for (const Case& c : cases) {
    IdCardResult r = DecodeIdCard(c.input, div, today);
    EXPECT_EQ(r.kind, c.kind) << c.why;
    if (c.kind != IdCardResult::kOk || r.kind != IdCardResult::kOk) continue;
    EXPECT_EQ(U(r.address), U(G(c.address))) << c.why;
    EXPECT_EQ(U(r.birth), U(G(c.birth))) << c.why;
    EXPECT_EQ(U(r.sex), U(G(c.sex))) << c.why;
  }
  // The old form shows its 18-digit number too.
  std::string full = std::string("11010519491231001") + IdCheckDigit("11010519491231001");
  EXPECT_NE(DecodeIdCard("110105491231001", div, today).number.find(full), std::string::npos);
}

TEST_F(IdCard, UnknownDivisionsFallBackToWhatIsKnown) {
  EXPECT_EQ(U(div.Describe("440304")), S(u8"广东省深圳市"));      // county missing
  EXPECT_EQ(U(div.Describe("449999")), S(u8"广东省"));          // city missing
  EXPECT_EQ(div.Describe("990101"), "");                        // province missing
  std::string full = "99010119800101001";
  full += IdCheckDigit(full);
  IdCardResult r = DecodeIdCard(full, div, 20240601);
  ASSERT_EQ(r.kind, IdCardResult::kOk);
  EXPECT_NE(U(r.address).find("990101"), std::string::npos) << U(r.address);
}

}  // namespace
}  // namespace zel::server
