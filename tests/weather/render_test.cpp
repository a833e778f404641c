// Records poured into templates: placeholder order, field counts, the CC
// dates with their month and year roll-over.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "weather/cache.h"
#include "weather/forecast.h"
#include "weather/source_frame.h"
#include "weather_fixture.h"

namespace zel::test {
namespace {

std::string Record(const TextList& f) { return JoinRecord(f); }

TextList Numbered(size_t n) {
  TextList f;
  for (size_t i = 0; i < n; ++i) f.push_back("v" + std::to_string(i));
  return f;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUpWeatherApp(app, "http://127.0.0.1:1");
    m = std::make_unique<TForeCast>();
    ASSERT_TRUE(m->TemplatesLoaded);
    m->City = G(u8"广州");
  }
  AppFolder app;
  std::unique_ptr<TForeCast> m;
};

TEST_F(RenderTest, FieldCountsAreChecked) {
  struct Case {
    std::string (TForeCast::*render)(const std::string&) const;
    size_t fields;
    const char* name;
  };
  const Case cases[] = {
      {&TForeCast::RenderForecastCC, 16, "CC"},
      {&TForeCast::RenderForecastCN, 11, "CN"},
      {&TForeCast::RenderTrendCN, 35, "trend"},
  };
  for (const auto& c : cases) {
    EXPECT_NE((m.get()->*c.render)(Record(Numbered(c.fields))), "") << c.name;
    EXPECT_EQ((m.get()->*c.render)(Record(Numbered(c.fields - 1))), "") << c.name << " one short";
    EXPECT_EQ((m.get()->*c.render)(Record(Numbered(c.fields + 1))), "") << c.name << " one over";
    EXPECT_EQ((m.get()->*c.render)(""), "") << c.name << " empty";
  }
  // The online records are not counted: a short one renders blanks.
  EXPECT_NE(m->RenderForecastOnline(Record(Numbered(5))), "");
}

TEST_F(RenderTest, PlaceholdersGetTheirFields) {
  m->TplTrendCN = "[date1]|[high1]|[low1]|[zs5]|[wsword3]";
  EXPECT_EQ(m->RenderTrendCN(Record(Numbered(35))), "v0|v3|v4|v34|v15");
  m->TplForecastCN = "[date][wsword][wsgif][low][high][wf][rc][rl][dj][bw][hb]";
  EXPECT_EQ(m->RenderForecastCN(Record(Numbered(11))), "v0v1v2v3v4v5v6v7v8v9v10");
  m->TplForecastOnline = "[date3] [low1] [high2] [am3] [pm1] [night3]";
  EXPECT_EQ(m->RenderForecastOnline(Record(Numbered(18))), "v2 v3 v7 v11 v12 v17");
  m->TplWindOnline = "[date1] [am2] [pm3] [night1]";
  EXPECT_EQ(m->RenderWindOnline(Record(Numbered(12))), "v0 v4 v8 v9");
  TextList cc = Numbered(16);
  cc[0] = "2006-03-20 08";
  m->TplForecastCC = "[high1] [low1] [ws1] [wd1] [wf1] [high3] [low3] [wf3] [issue]";
  EXPECT_EQ(m->RenderForecastCC(Record(cc)), "v1 v2 v3 v4 v5 v11 v12 v15 2006-03-20 08");
}

TEST_F(RenderTest, ProviderCreditShowsOnEveryPage) {
  // The live feed's credit is the field after the counted ones (online,
  // trend) or the CC issue text and the CN date line; a set without its
  // placeholder still shows it, its names linked.
  const std::string credit = G(u8"数据：Open-Meteo.com（CC BY 4.0），经换算，2026-12-08 14:00发布");
  const std::string linked = G(u8"数据：<a href=\"https://open-meteo.com/\">Open-Meteo.com</a>（<a "
                               u8"href=\"https://creativecommons.org/licenses/by/4.0/\">CC BY 4.0</a>），经换算，2026-12-08 "
                               u8"14:00发布");
  const std::string div = "<div style=\"font-size:11px;color:#707070\">" + linked + "</div>\r\n";
  struct Page {
    std::string TForeCast::*tpl;
    std::string (TForeCast::*render)(const std::string&) const;
    size_t fields;
    const char* placeholder;
  };
  const Page pages[] = {
      {&TForeCast::TplForecastOnline, &TForeCast::RenderForecastOnline, 18, "[credit]"},
      {&TForeCast::TplWindOnline, &TForeCast::RenderWindOnline, 12, "[credit]"},
      {&TForeCast::TplTrendCN, &TForeCast::RenderTrendCN, 35, "[credit]"},
      {&TForeCast::TplForecastCC, &TForeCast::RenderForecastCC, 16, "[issue]"},
      {&TForeCast::TplForecastCN, &TForeCast::RenderForecastCN, 11, "[date]"},
  };
  struct Case {
    std::string tpl, want;
    bool credited;
    const char* why;
  };
  for (const auto& p : pages) {
    const std::string ph = p.placeholder;
    const Case cases[] = {
        {"<p>" + ph + "</p>", "<p>" + linked + "</p>", true, "where the set puts it"},
        {"<html><body>x</BODY></html>", "<html><body>x" + div + "</BODY></html>", true, "above the end of the page"},
        {"x", "x" + div, true, "a page without an end: at the end"},
        {"<p>" + ph + "</p>", "<p></p>", false, "a site's own page: nothing"},
        {"x", "x", false, "nor anything added"},
    };
    for (const auto& c : cases) {
      m.get()->*p.tpl = c.tpl;
      TextList f = Numbered(p.fields);
      const bool first = ph == "[issue]" || ph == "[date]";  // the credit rides in field 0
      if (c.credited && first)
        f[0] = credit;
      else if (c.credited)
        f.push_back(credit);
      else if (first)
        f[0].clear();
      EXPECT_EQ(U((m.get()->*p.render)(Record(f))), U(c.want)) << p.fields << ": " << c.why;
    }
  }
  // The trend's 36th field must be a credit.
  EXPECT_EQ(m->RenderTrendCN(Record(Numbered(36))), "");
  // An issue text without a credit stays where the set puts it, or nowhere.
  m->TplForecastCC = "x";
  EXPECT_EQ(m->RenderForecastCC(Record(Numbered(16))), "x");
}

TEST(CreditLinks, OnlyTheProvidersAndTheLicenceLinkAndOnlyToTheirOwnPages) {
  const std::string om = "<a href=\"https://open-meteo.com/\">", met = "<a href=\"https://www.met.no/en\">",
                    cc = "<a href=\"https://creativecommons.org/licenses/by/4.0/\">CC BY 4.0</a>";
  struct Case {
    std::string credit, want;
    const char* why;
  } cases[] = {
      {G(u8"数据：MET Norway（CC BY 4.0），经换算"), G(u8"数据：") + met + "MET Norway</a>" + G(u8"（") + cc + G(u8"），经换算"),
       "MET Norway"},
      {G(u8"（数据：Open-Meteo，06-01 07:30发布）"), G(u8"（数据：") + om + "Open-Meteo</a>" + G(u8"，06-01 07:30发布）"),
       "a record of the earlier wording"},
      {"Open-Meteo.com CC BY 4.0", "Open-Meteo.com CC BY 4.0", "no credit mark: no links"},
      {G(u8"数据：") + "\x81" + "Open-Meteo", G(u8"数据：") + "\x81" + "Open-Meteo", "inside a double-byte character"},
      {G(u8"数据：http://example.org/"), G(u8"数据：http://example.org/"), "an address of the page's own"},
  };
  for (const Case& c : cases) EXPECT_EQ(U(frame::LinkCredit(c.credit)), U(c.want)) << c.why;
  struct Address {
    const char* url;
    bool opens;
  } addresses[] = {{"https://open-meteo.com/", true},
                   {"https://www.met.no/en", true},
                   {"https://creativecommons.org/licenses/by/4.0/", true},
                   {"https://open-meteo.com/en/terms", false},
                   {"http://open-meteo.com/", false},
                   {"file:///etc/passwd", false},
                   {"", false}};
  for (const Address& a : addresses) EXPECT_EQ(frame::IsCreditAddress(a.url), a.opens) << a.url;
}

TEST_F(RenderTest, ReplacementRules) {
  struct Case {
    std::string tpl, want, why;
  };
  const std::string path = app.path() + "Template/default/";
  const Case cases[] = {
      {"[low1][low1]", "v3v3", "every occurrence"},
      {"[LOW1][Low1]", "[LOW1][Low1]", "case matters"},
      {"plain", "plain", "no placeholders at all"},
      {"[path]a.gif [city]", path + "a.gif " + G(u8"广州"), "path with its trailing slash, city"},
      {"[unknown] [low4]", "[unknown] [low4]", "unknown placeholders stay"},
  };
  for (const auto& c : cases) {
    m->TplForecastOnline = c.tpl;
    EXPECT_EQ(U(m->RenderForecastOnline(Record(Numbered(18)))), U(c.want)) << c.why;
  }
  // A value inserted earlier is subject to later replacements.
  TextList f = Numbered(18);
  f[0] = "[low1]";
  m->TplForecastOnline = "[date1]";
  EXPECT_EQ(m->RenderForecastOnline(Record(f)), "v3");
  // Values go in as they are.
  f[0] = "<b>&amp;</b>";
  EXPECT_EQ(m->RenderForecastOnline(Record(f)), "<b>&amp;</b>");
}

TEST_F(RenderTest, CCDatesRollOver) {
  struct Case {
    std::string head;
    std::u8string_view want;
  };
  const Case cases[] = {
      {"2006-12-31 18:00", u8"12月 31日|1月 1日|1月 2日"},
      {"2007-02-27", u8"2月 27日|2月 28日|3月 1日"},
      {"2008-02-28", u8"2月 28日|2月 29日|3月 1日"},
      {"2006/03/09xx", u8"3月 9日|3月 10日|3月 11日"},
      {"2006-3-5 08:00", u8"3月 5日|3月 6日|3月 7日"},
      {"2006.01.31", u8"1月 31日|2月 1日|2月 2日"},
  };
  m->TplForecastCC = "[date1]|[date2]|[date3]";
  for (const auto& c : cases) {
    TextList f = Numbered(16);
    f[0] = c.head;
    EXPECT_EQ(U(m->RenderForecastCC(Record(f))), Utf8(c.want)) << c.head;
  }
}

TEST_F(RenderTest, UnreadableCCDateUsesToday) {
  std::time_t now = std::time(nullptr);
  std::tm tm = LocalTime(now);
  std::string today = std::to_string(tm.tm_mon + 1) + G(u8"月 ") + std::to_string(tm.tm_mday) + G(u8"日");
  m->TplForecastCC = "[date1]";
  for (std::string head : {"", "garbage", "2006-13-01", "2006-02-30", "20061231"}) {
    TextList f = Numbered(16);
    f[0] = head;
    EXPECT_EQ(U(m->RenderForecastCC(Record(f))), U(today)) << head;
  }
}

TEST_F(RenderTest, TemplateWithoutFinalLineBreakEndsInCRLF) {
  ASSERT_TRUE(m->SetTemplate("plain"));
  std::string page = m->RenderWindOnline(Record(Numbered(12)));
  ASSERT_GE(page.size(), 2u);
  EXPECT_EQ(page.substr(page.size() - 2), "\r\n");
  EXPECT_EQ(page.rfind("plain ", 0), 0u);
  TextList cc = Numbered(16);
  cc[0] = "2006-01-01";
  EXPECT_NE(m->RenderForecastCC(Record(cc)).find(app.path() + "Template/plain/style.css"), std::string::npos)
      << "[path] follows the set";
}

}  // namespace
}  // namespace zel::test
