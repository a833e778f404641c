#include "lookup/answers.h"

#include <gtest/gtest.h>

#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

struct Case {
  std::string page;
  std::string input;
  std::string expected;
  const char* why;
};

void Check(const std::vector<Case>& cases, std::string (*read)(const std::string&, const std::string&)) {
  for (const auto& c : cases) {
    std::string got = read(c.page, c.input);
    EXPECT_EQ(U(got), U(c.expected)) << c.why;
  }
}

// The mobile page: label, 2 bytes, answer, 6 bytes, then the closing phrase.
std::string MobilePage(const std::string& answer) {
  return G(u8"查询结果\r\n手机号码：\r\n") + answer + G(u8"\r\n来源") + G(u8"我们会不断更新数据，谢谢。");
}

TEST(MobileAnswer, CutsBetweenLabelAndClosingPhrase) {
  std::string place = G(u8"1380013 广东 广州 全球通");
  std::string twenty(20, 'x');
  Check(
      {
          {MobilePage(place), "1380013", place, "answer between the markers, untrimmed"},
          {MobilePage(" a "), "", " a ", "blanks around the answer stay"},
          {MobilePage(""), "", "", "empty stretch"},
          {G(u8"未知的地址"), "139", G(u8"139: 未知的地址"), "unknown number"},
          {G(u8"手机号码至少要输入7位"), "13", G(u8"手机号码至少要输入 7 位以上"), "too short"},
          {G(u8"手机号码至少要输入 未知的地址"), "13", G(u8"13: 未知的地址"), "unknown wins over too short"},
          {MobilePage(G(u8"未知的地址")), "", G(u8": 未知的地址"), "marker anywhere, empty input"},
          {"nothing here", "1", "", "no markers: negative count"},
          {"", "1", "", "empty page"},
          // Without the label p1 is 0: bytes 12 .. p2-7 of the page.
          {twenty + G(u8"我们会不断更新数据"), "", std::string(3, 'x'), "label missing: bytes 12 .. p2-7"},
          {std::string(18, 'y') + G(u8"我们会不断更新数据"), "", "y", "label missing, phrase at 19: one byte"},
          {std::string(17, 'y') + G(u8"我们会不断更新数据"), "", "", "label missing, phrase at 18: count 0"},
          {G(u8"手机号码：") + G(u8"我们会不断更新数据"), "", "", "phrase right after the label"},
          {G(u8"手机号码：\r\nabc"), "", "", "closing phrase missing"},
      },
      ReadMobileAnswer);
}

TEST(MobileAnswer, CanEndInsideADoubleByteCharacter) {
  // The cut is by bytes; a page one byte off leaves half a character.
  std::string page = G(u8"手机号码：\r\n广州") + "\r\n123" + G(u8"我们会不断更新数据");
  EXPECT_EQ(ReadMobileAnswer(page, ""), G(u8"广州").substr(0, 3));
}

// The IP page: label, 2 bytes, answer, 2 bytes, then the closing phrase.
std::string IpPage(const std::string& answer) {
  return G(u8"IP地址：\r\n") + answer + "\r\n" + G(u8"我们会不断更新数据");
}

TEST(IpAnswer, CutsAndTrimsBetweenLabelAndClosingPhrase) {
  std::string place = G(u8"1.2.3.4 北京市 联通");
  Check(
      {
          {IpPage(place), "1.2.3.4", place, "answer between the markers"},
          {IpPage("  \r\n" + place + " \t"), "", place, "blanks and line breaks trimmed"},
          {IpPage(""), "", "", "empty stretch"},
          {G(u8"x未知的 IP 地址"), "10.0.0.1", G(u8"10.0.0.1  -  ★未知IP数据★"), "unknown address"},
          {G(u8"IP 地址格式错误"), "abc", G(u8"abc  -  IP 地址格式错误"), "bad format"},
          {G(u8"IP 地址格式错误 未知的 IP 地址"), "q", G(u8"q  -  ★未知IP数据★"), "unknown wins over format"},
          {G(u8"请输入 IP 地址"), "1", "", "please enter: nothing"},
          {G(u8"请输入 IP 地址 未知的 IP 地址 IP 地址格式错误"), "1", "", "please enter wins over everything"},
          {IpPage(G(u8"请输入 IP 地址")), "1", "", "please enter inside the answer"},
          {"", "1", "", "empty page"},
          {"plain text", "1", "", "no markers"},
          {std::string(14, 'z') + G(u8"我们会不断更新数据"), "", "zzz", "label missing: bytes 10 .. p2-3"},
      },
      ReadIpAnswer);
}

// A decoded ID-card answer as the page renders it.
std::string IdPage(const std::string& before, const std::string& number, const std::string& address,
                   const std::string& date, const std::string& sex, const std::string& after) {
  return before + G(u8"解读身份证号码结果") + "\r\n" + G(u8"号　　码：") + number + "\r\n" + G(u8"所在地址") +
         address + "\r\n" + G(u8"出生日期") + date + "\r\n" + G(u8"性　　别") + sex + after;
}

TEST(IdCardAnswer, DecodesOrNamesTheError) {
  std::string number = "440301199001011234";
  std::string full = G(u8"号　　码：440301199001011234\r\n所在地址：广东省深圳市\r\n出生日期：1990年01月01日\r\n性　　别：男");
  struct IdCase {
    std::string page;
    std::string expected;
    const char* why;
  };
  const std::vector<IdCase> cases = {
      {IdPage("", number, G(u8"广东省深圳市"), G(u8"1990年01月01日"), G(u8"男"), ""), full, "decoded"},
      {IdPage(G(u8"标题\r\n"), number, G(u8"广东省深圳市"), G(u8"1990年01月01日"), G(u8"男"), G(u8"\r\n页脚")), full,
       "text around the answer"},
      {IdPage(G(u8"输入错误 位数错误 "), number, G(u8"广东省深圳市"), G(u8"1990年01月01日"), G(u8"男"), ""), full,
       "sex marker wins over the error markers"},
      {G(u8"身份证号码位数错误！"), G(u8"错误信息：身份证号码位数错误"), "wrong digit count"},
      {G(u8"号码有错误"), G(u8"错误信息：身份证号码输入有误"), "other error"},
      {G(u8"位数错误"), G(u8"错误信息：身份证号码位数错误"), "digit count wins over plain error"},
      {"nothing", "", "no markers"},
      {"", "", "empty page"},
  };
  for (const auto& c : cases) EXPECT_EQ(U(ReadIdCardAnswer(c.page)), U(c.expected)) << c.why;
}

TEST(IdCardAnswer, HeadingMissingTakesBlockFromByte20) {
  // a = 0: the block is Copy(text, 20, b - 10), so 19 bytes of anything
  // come before the 10 skipped bytes of the block.
  std::string page = std::string(19, '.') + G(u8"号　　码：123\r\n所在地址A\r\n出生日期D\r\n性　　别女");
  EXPECT_EQ(U(ReadIdCardAnswer(page)), U(G(u8"号　　码：123\r\n所在地址：A\r\n出生日期：D\r\n性　　别：女")));
}

TEST(IdCardAnswer, SexMarkerAloneGivesFourLabelledLines) {
  std::string got = ReadIdCardAnswer(G(u8"性　　别男"));
  EXPECT_EQ(got.rfind(G(u8"号　　码："), 0), 0u);
  EXPECT_NE(got.find(G(u8"\r\n所在地址：")), std::string::npos);
  EXPECT_NE(got.find(G(u8"\r\n出生日期：")), std::string::npos);
  EXPECT_NE(got.find(G(u8"\r\n性　　别：")), std::string::npos);
}

TEST(Answers, OddBytesNeverReadPastThePage) {
  // A lone lead byte, 0xFF and marker halves at the very end.
  std::string half = G(u8"我们会不断更新数据").substr(0, 5);
  for (std::string page : {std::string("\x81"), std::string("\xFF"), G(u8"手机号码：") + half,
                           G(u8"IP地址：") + "\xB0", G(u8"性　　别"), G(u8"解读身份证号码结果性　　别")}) {
    ReadMobileAnswer(page, "x");
    ReadIpAnswer(page, "x");
    ReadIdCardAnswer(page);
  }
  EXPECT_EQ(ReadIdCardAnswer(G(u8"性　　别")).substr(0, 10), G(u8"号　　码："));
}

}  // namespace
}  // namespace zel
