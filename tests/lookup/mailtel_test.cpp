#include "lookup/mailtel.h"

#include <gtest/gtest.h>

#include "base/appenv.h"
#include "base/files.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

const std::string kFixture = std::string(ZEL_TEST_DATA) + "/lookup/mailtel.ini";

std::vector<std::string> Utf8(const TextList& list) {
  std::vector<std::string> out;
  for (const auto& s : list) out.push_back(U(s));
  return out;
}

TEST(MailTel, ReadsProvincesInFileOrder) {
  TMailTel m(kFixture);
  EXPECT_EQ(Utf8(m.Provinces), (std::vector<std::string>{"华北", "边缘", "无节"}));
  test::FakeList list;
  list.items = {"stale"};
  m.FillProvinceList(list);
  EXPECT_EQ(Utf8(list.items), (std::vector<std::string>{"华北", "边缘", "无节"}));
}

TEST(MailTel, MissingFileGivesEmptyLists) {
  test::TempDir dir;
  TMailTel m(dir / "mailtel.ini");
  EXPECT_TRUE(m.Provinces.empty());
  m.CurrentProvince = "x";
  m.ReadPlaces();
  EXPECT_TRUE(m.Rows.empty());
}

TEST(MailTel, ReadPlacesPairsKeysByPosition) {
  struct Case {
    const char8_t* province;
    std::vector<std::string> rows;
    const char* why;
  };
  const std::vector<Case> cases = {
      {u8"华北", {"北京", "100000", "010", "天津", "300000", "022"}, "two places in file order, postal code trimmed"},
      {u8"边缘",
       {"空码", "没有", "", "空白", "没有", "0999", "", "123456", "000", "ab", "没有", "", "单", "888888", ""},
       "empty and blank postal codes, a 4-byte key, a short key, an unpaired last key"},
      {u8"无节", {}, "province without a section"},
      {u8"华北 ", {}, "names are not trimmed"},
  };
  TMailTel m(kFixture);
  for (const auto& c : cases) {
    m.CurrentProvince = G(c.province);
    m.ReadPlaces();
    EXPECT_EQ(Utf8(m.Rows), c.rows) << c.why;
  }
}

TEST(MailTel, BuildPageEmitsTheTableMarkup) {
  test::AppFolder app;
  TMailTel m(kFixture);
  m.CurrentProvince = G(u8"华北");
  m.ReadPlaces();
  m.BuildPage();
  std::vector<std::string> expected = {
      "<html>",
      "<head>",
      "<title>全国邮政编码、电话区号查询</title>",
      "</head>",
      "<body oncontextmenu=\"return false\" background=\"" + app.path() +
          "images/main_bg.gif\" style=\"overflow-x:hidden\" topmargin=\"1\" leftmargin=\"1\">",
      "<table width=\"354\" border=\"1\" cellspacing=\"0\" cellpadding=\"0\" font color=\"#184888\" "
      "bordercolorlight=\"#666666\" bordercolordark=\"#FFFFFF\" bgcolor=\"#E1F0FF\">",
      "<tr>",
      "<td align=\"center\" width=\"400\" colspan=\"3\">省洲名称：&nbsp;&nbsp;华北</td>",
      "</tr>",
      "<tr>",
      "<td align=\"center\" width=\"150\">地区名称</td>",
      "<td align=\"center\" width=\"100\">邮政编码</td>",
      "<td align=\"center\" width=\"100\">电话区号</td>",
      "</tr>",
      "<tr>",
      "<td><font size=\"2\" face=\"宋体\">北京</font></td>",
      "<td><font size=\"2\" face=\"宋体\">100000</font></td>",
      "<td><font size=\"2\" face=\"宋体\">010</font></td>",
      "</tr>",
      "<tr>",
      "<td><font size=\"2\" face=\"宋体\">天津</font></td>",
      "<td><font size=\"2\" face=\"宋体\">300000</font></td>",
      "<td><font size=\"2\" face=\"宋体\">022</font></td>",
      "</tr>",
      "</table>",
      "</body>",
      "</html>",
  };
  EXPECT_EQ(Utf8(m.WorkLines), expected);
  std::string joined = m.PageText();
  EXPECT_EQ(joined.substr(0, 14), "<html>\r\n<head>");
  EXPECT_EQ(joined.substr(joined.size() - 9), "</html>\r\n");
}

TEST(MailTel, BuildPageRowCountFollowsRows) {
  test::AppFolder app;
  TMailTel m(kFixture);
  struct Case {
    TextList rows;
    size_t lines;
  };
  // 17 fixed lines, five per whole place; a partial place is left out.
  for (const Case& c : {Case{{}, 17}, Case{{"a", "b", "c"}, 22}, Case{{"a", "b", "c", "d"}, 22},
                        Case{{"a", "b", "c", "d", "e", "f"}, 27}}) {
    m.Rows = c.rows;
    m.BuildPage();
    EXPECT_EQ(m.WorkLines.size(), c.lines);
  }
}

TEST(MailTel, ValuesFromTheFileCannotInjectMarkup) {
  test::AppFolder app;
  app.Write("mailtel.ini", "[Province]\r\nP<i>=1\r\n[P<i>]\r\n<script>x</script>mail=1&2\r\n<script>x</script>tel=\"q\"\r\n");
  TMailTel m(app / "mailtel.ini");
  m.CurrentProvince = m.Provinces.at(0);
  m.ReadPlaces();
  m.BuildPage();
  std::string page = m.PageText();
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;x&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("1&amp;2"), std::string::npos);
  EXPECT_NE(page.find("&quot;q&quot;"), std::string::npos);
}

TEST(MailTab, StartupListsProvincesAndShowsTheWelcomePage) {
  test::AppFolder app;
  CopyFile(kFixture, app / "mailtel.ini");
  test::FakeList list;
  test::FakeBrowser browser;
  MailTab tab(&list, &browser);
  tab.lsbMailProvinceClick();  // before start-up: nothing
  tab.Startup();
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(browser.navigated, (std::vector<std::string>{app / "mail.htm"}));
  tab.lsbMailProvinceClick();
  EXPECT_TRUE(browser.shown.empty()) << "no row selected";
  list.Select(2);
  tab.lsbMailProvinceClick();
  ASSERT_EQ(browser.shown.size(), 1u);
  EXPECT_NE(browser.current.find(G(u8"省洲名称：&nbsp;&nbsp;无节</td>")), std::string::npos);
  EXPECT_EQ(browser.current.find("<td><font"), std::string::npos) << "header and titles only";
}

TEST(MailTab, EmptyListDoesNothingAndEditsAreSeenOnTheNextPick) {
  test::AppFolder app;
  test::FakeList list;
  test::FakeBrowser browser;
  MailTab tab(&list, &browser);
  tab.Startup();
  EXPECT_EQ(list.Count(), 0);
  tab.lsbMailProvinceClick();
  EXPECT_TRUE(browser.shown.empty());

  app.Write("mailtel.ini", "[Province]\r\nA=1\r\n[A]\r\nXmail=1\r\nXtel=2\r\n");
  MailTab fresh(&list, &browser);
  fresh.Startup();
  list.Select(0);
  fresh.lsbMailProvinceClick();
  app.Write("mailtel.ini", "[Province]\r\nA=1\r\n[A]\r\nXmail=9\r\nXtel=2\r\n");
  fresh.lsbMailProvinceClick();
  ASSERT_EQ(browser.shown.size(), 2u);
  EXPECT_NE(browser.shown[0].find(">1</font>"), std::string::npos);
  EXPECT_NE(browser.shown[1].find(">9</font>"), std::string::npos);
}

}  // namespace
}  // namespace zel

namespace zel {
namespace {

bool Digits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789-") == std::string::npos;
}

TEST(ShippedMailTel, EveryProvinceHasPlacesWithBothCodes) {
  TMailTel m(std::string(ZEL_SOURCE_DIR) + "/data/mailtel.ini");
  EXPECT_EQ(m.Provinces.size(), 34u);
  size_t places = 0;
  for (const auto& p : m.Provinces) {
    m.CurrentProvince = p;
    m.ReadPlaces();
    EXPECT_GE(m.Rows.size(), 3u) << U(p);
    for (size_t i = 0; i + 2 < m.Rows.size(); i += 3) {
      const std::string where = U(p) + " " + U(m.Rows[i]);
      EXPECT_FALSE(m.Rows[i].empty()) << where;
      EXPECT_TRUE(Digits(m.Rows[i + 1]) && (m.Rows[i + 1].size() == 6 || m.Rows[i + 1].size() == 3)) << where;
      EXPECT_TRUE(Digits(m.Rows[i + 2]) && m.Rows[i + 2][0] == '0') << where;
    }
    places += m.Rows.size() / 3;
  }
  EXPECT_GE(places, 300u);
}

}  // namespace
}  // namespace zel
