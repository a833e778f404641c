// The three sources against pages served on loopback: the parse of each
// page shape, the line windows, and the fallbacks to the cache.
#include <gtest/gtest.h>

#include "weather/cache.h"
#include "weather/source_frame.h"
#include "weather/sources.h"
#include "weather/status.h"
#include "weather_fixture.h"

namespace zel::test {
namespace {

const std::string kCC = "/nmc/citySearch.do?inputMode=citysearch&type=second&cityid=54511";
const std::string kCN = "/forecast/24time.jsp?sta_id=54511";
const std::string kTrend = "/forecast/qushi.jsp?sta_id=54511";
const std::string kFrame = "/cgi-bin/region?PRG=citybild&CONT=cncn&CREG=hkch&WMO=54511&LAND=CI&LANG=cn";
const std::string kWindFrame = "/cgi-bin/region?PRG=citywind&CONT=cncn&CREG=hkch&WMO=54511&LAND=CI&LANG=cn";

const std::string kOffline = G(u8"有错误发生，错误原因：网络不通，无法得到该城市的数据信息！");
const std::string kNoData = G(u8"有错误发生，错误原因：没有该地区数据。请使用别的服务器（建议使用天气在线服务器）！");
const std::string kChanged = G(u8"有错误发生，错误原因：数据结构改变，无法得到正确的数据信息！");
const std::string kUpdated = G(u8"完成，已更新！");
const std::string kNotUpdated = G(u8"完成，未更新！");

class SourceTest : public ::testing::Test {
 public:
  void SetUp() override {
    SetUpWeatherApp(app, srv.base());
    srv.ServeAll();
    ErrorText = "old error";
    StatusText = "old status";
  }
  std::string Temp() const { return app / "Download/ForeCast.dat"; }
  template <class S>
  std::string Run(std::string (S::*get)(), const std::string& id = "54511") {
    S s;
    s.CityID = id;
    s.TempFile = Temp();
    std::string r = (s.*get)();
    EXPECT_FALSE(app.Exists("Download/ForeCast.dat")) << "the temporary file survived the call";
    return r;
  }
  std::string CC() { return Run(&TWeatherCC::GetForeCast); }
  std::string CN() { return Run(&TWeatherCN::GetForeCast); }
  std::string Trend() { return Run(&TWeatherCN::GetTrend); }
  std::string Online() { return Run(&TWeatherOnline::GetForeCast); }
  std::string Wind() { return Run(&TWeatherOnline::GetWind); }

  // A cache file of n known fields "c0", "c1", ...
  TextList WriteCache(const std::string& prefix, size_t n) {
    TextList f;
    for (size_t i = 0; i < n; ++i) f.push_back("c" + std::to_string(i));
    SaveCacheFile(CacheFileName(prefix, "54511"), f);
    return f;
  }

  AppFolder app;
  PageServer srv;
};

std::string Img(const std::string& app, const std::string& code) {
  return "<img src=\"" + app + "images/" + code + ".gif\" height=\"19\">";
}

TEST_F(SourceTest, CCFreshPageGivesSixteenFieldsAndRewritesCache) {
  std::string r = CC();
  TextList f = Fields(r);
  ASSERT_EQ(f.size(), 16u) << U(r);
  const std::string a = app.path();
  const TextList want = {"2006-12-31 18:00" + G(u8"发布"),
                         "12", "3", Img(a, "01") + Img(a, "07"), G(u8"多云转小雨"), G(u8"北风3-4级"),
                         "8", "-1", Img(a, "02"), G(u8"阴"), G(u8"微风"),
                         "6", "-4", Img(a, "00") + Img(a, "01"), G(u8"晴转多云"), G(u8"南风2级")};
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(U(f[i]), U(want[i])) << "field " << i;
  EXPECT_EQ(StatusText, kUpdated);
  EXPECT_EQ(ErrorText, "old error");
  auto cached = LoadCacheFile(CacheFileName("CC", "54511"), 16);
  ASSERT_TRUE(cached);
  EXPECT_EQ(*cached, f);
}

TEST_F(SourceTest, RecordTerminatorInsideAFieldIsStripped) {
  TextList page = FixtureLines("cc_forecast.htm");
  for (auto& line : page) line = ReplaceText(line, G(u8"发布"), G(u8"发**?**布****?**?**"), true);
  srv.Set(kCC, Page(page));
  const std::string header = "2006-12-31 18:00" + G(u8"发布");
  TextList f = Fields(CC());
  ASSERT_EQ(f.size(), 16u);
  EXPECT_EQ(U(f[0]), U(header));
  SetOnlineOverride(false);
  EXPECT_EQ(Fields(CC()), f) << "the cached record reads back whole";

  // A cache written before the terminator was stripped reads back whole too.
  TextList old = WriteCache("CC", 16);
  old[3] = "a**?**b";
  SaveCacheFile(CacheFileName("CC", "54511"), old);
  f = Fields(CC());
  ASSERT_EQ(f.size(), 16u);
  EXPECT_EQ(f[3], "ab");
}

TEST_F(SourceTest, CCHeaderAndBlockAnywhereInTheirWindows) {
  TextList base = FixtureLines("cc_forecast.htm");  // header on line 71, block 17 below
  struct Case {
    TextList page;
    bool parses;
    const char* why;
  };
  TextList noHeader = base;
  noHeader[71] = "<td>moved</td>";
  TextList blockFar = Shifted(base, 72, 4);  // block 21 below the header: outside its window
  TextList blockNear = base;
  blockNear.erase(blockNear.begin() + 75, blockNear.begin() + 77);  // block 15 below
  TextList headerAt70 = base;
  headerAt70.erase(headerAt70.begin() + 5);
  const Case cases[] = {
      {base, true, "header 71, block 17 below"},
      {FixtureLines("cc_forecast_late_header.htm"), true, "header 240, block 20 below"},
      {headerAt70, true, "header on the first line of its window"},
      {Shifted(base, 5, 180), false, "header on line 251: no header, 15 fields"},
      {noHeader, false, "no header line"},
      {blockNear, true, "block 15 below the header"},
  };
  for (const auto& c : cases) {
    srv.Set(kCC, Page(c.page));
    std::string r = CC();
    if (c.parses) {
      EXPECT_EQ(Fields(r).size(), 16u) << c.why;
      EXPECT_EQ(Fields(r)[1], "12") << c.why;
      EXPECT_EQ(Fields(r)[2], "3") << c.why;
    } else {
      EXPECT_EQ(r, "") << c.why;
    }
  }
  // The count is by position: a block outside its window reads the wrong lines.
  srv.Set(kCC, Page(blockFar));
  EXPECT_NE(Fields(CC()).at(1), "12");
}

TEST_F(SourceTest, CCFieldConventions) {
  TextList base = FixtureLines("cc_forecast.htm");
  TextList emptyHigh = base;
  emptyHigh[71 + 17 + 4] = "   ";
  srv.Set(kCC, Page(emptyHigh));
  EXPECT_EQ(Fields(CC()).at(1), "") << "an empty high line is an empty field";

  TextList noIcons = base;
  for (auto& l : noIcons)
    if (l.find("<img src") != std::string::npos && l.find("/02.gif") != std::string::npos) l = "<!-- -->";
  srv.Set(kCC, Page(noIcons));
  EXPECT_EQ(U(Fields(CC()).at(8)), Utf8(u8"无")) << "a day without icon lines";

  TextList emptyWords = base;
  for (size_t i = 0; i < emptyWords.size(); ++i)
    if (emptyWords[i].find("hei12-18") != std::string::npos) {
      emptyWords[i + 1] = "";
      break;
    }
  srv.Set(kCC, Page(emptyWords));
  EXPECT_EQ(U(Fields(CC()).at(4)), Utf8(u8"无")) << "an empty words line";
}

TEST_F(SourceTest, CCMakeIcons) {
  EXPECT_EQ(U(TWeatherCC::MakeIcons(G(u8"无"))), Utf8(u8"无"));
  EXPECT_EQ(TWeatherCC::MakeIcons("01-07-"), Img(app.path(), "01") + Img(app.path(), "07"));
}

TEST_F(SourceTest, LineCountThresholds) {
  struct Case {
    const char* fixture;
    std::string target;
    std::string (SourceTest::*get)();
    size_t minimum, fields;
  };
  const Case cases[] = {
      {"cc_forecast.htm", kCC, &SourceTest::CC, 251, 16},
      {"cn_forecast_early.htm", kCN, &SourceTest::CN, 176, 11},
      {"cn_trend.htm", kTrend, &SourceTest::Trend, 251, 35},
  };
  for (const auto& c : cases) {
    TextList lines = FixtureLines(c.fixture);
    lines.resize(c.minimum - 1);
    srv.Set(c.target, Page(lines));
    ErrorText.clear();
    EXPECT_EQ((this->*c.get)(), "") << c.fixture << " with " << lines.size() << " lines";
    EXPECT_EQ(U(ErrorText), U(kChanged)) << c.fixture;
    lines.resize(c.minimum, "<!-- -->");
    srv.Set(c.target, Page(lines));
    EXPECT_EQ(Fields((this->*c.get)()).size(), c.fields) << c.fixture << " with " << lines.size() << " lines";
  }
}

TEST_F(SourceTest, FallbacksToTheCache) {
  struct Case {
    std::string prefix, target;
    std::string (SourceTest::*get)();
    size_t fields;
  };
  const Case sources[] = {
      {"CC", kCC, &SourceTest::CC, 16},
      {"CN", kCN, &SourceTest::CN, 11},
      {"CNTrend", kTrend, &SourceTest::Trend, 35},
      {"Online", kFrame, &SourceTest::Online, 18},
      {"OnlineTrend", kWindFrame, &SourceTest::Wind, 12},
  };
  enum Way { kOfflineWay, kMissing, kShort };
  for (const auto& s : sources) {
    for (Way way : {kOfflineWay, kMissing, kShort}) {
      if (way == kShort && s.prefix.rfind("Online", 0) == 0) continue;  // no minimum there
      srv.ServeAll();
      if (way == kOfflineWay) SetOnlineOverride(false);
      if (way == kMissing) srv.Drop(s.target);
      if (way == kShort) srv.Set(s.target, "<html>\r\n</html>\r\n");
      std::string expectError = way == kOfflineWay ? kOffline : way == kShort ? kChanged : kNoData;
      if (way == kMissing && s.prefix.rfind("Online", 0) == 0)
        expectError = G(u8"有错误发生，错误原因：无法得到该城市的页面地址，请稍后再试或使用别的服务器！");
      std::string label = s.prefix + " way " + std::to_string(way);

      DeleteFile(CacheFileName(s.prefix, "54511"));
      StatusText = "untouched";
      EXPECT_EQ((this->*s.get)(), "") << label << ": no cache";
      EXPECT_EQ(StatusText, "untouched") << label;
      EXPECT_EQ(U(ErrorText), U(expectError)) << label;

      WriteCache(s.prefix, s.fields - 1);
      EXPECT_EQ((this->*s.get)(), "") << label << ": a cache one line short";

      TextList cached = WriteCache(s.prefix, s.fields);
      EXPECT_EQ((this->*s.get)(), JoinRecord(cached)) << label;
      EXPECT_EQ(StatusText, kNotUpdated) << label;
      EXPECT_EQ(U(ErrorText), U(expectError)) << label;
      SetOnlineOverride(std::nullopt);
    }
  }
}

TEST_F(SourceTest, FailedFreshParseLeavesCacheByteForByte) {
  struct Case {
    std::string prefix, target, page;
    std::string (SourceTest::*get)();
    size_t fields;
  };
  TextList cc = FixtureLines("cc_forecast.htm");
  cc[71] = "<td>no header</td>";
  TextList cn = FixtureLines("cn_forecast.htm");
  cn[165] = "<td>no station</td>";
  TextList trend = FixtureLines("cn_trend.htm");
  trend[84 + 10] = "<td>no wind</td>";
  const Case cases[] = {
      {"CC", kCC, Page(cc), &SourceTest::CC, 16},
      {"CN", kCN, Page(cn), &SourceTest::CN, 11},
      {"CNTrend", kTrend, Page(trend), &SourceTest::Trend, 35},
      {"Online", "/online/fc/54511.htm", Page(FixtureLines("online_forecast_four_lows.htm")), &SourceTest::Online, 18},
  };
  for (const auto& c : cases) {
    WriteCache(c.prefix, c.fields);
    std::string before = app.Read("Download/" + c.prefix + "54511.txt");
    srv.Set(c.target, c.page);
    ErrorText.clear();
    StatusText = "untouched";
    EXPECT_EQ((this->*c.get)(), "") << c.prefix;
    EXPECT_EQ(app.Read("Download/" + c.prefix + "54511.txt"), before) << c.prefix;
    EXPECT_EQ(StatusText, "untouched") << c.prefix;
    EXPECT_EQ(U(ErrorText), U(kChanged)) << c.prefix << ": a clear message, not an older one";
  }
}

TEST_F(SourceTest, CNForecastFieldsAndIcons) {
  srv.Set("/forecast/image/icons/d01.gif", "GIF89a-d01");
  srv.Set("/forecast/image/icons/n02.gif", "GIF89a-n02");
  std::string r = CN();
  TextList f = Fields(r);
  ASSERT_EQ(f.size(), 11u) << U(r);
  const std::string img = app.path() + "images/";
  const TextList want = {
      G(u8"12月31日20时至1月1日20时"),
      G(u8"多云，阴"),
      "<img src=\"" + img + "d01.gif\" width=\"60\" height=\"60\" alt=\"" + G(u8"多云") + "\"><img src=\"" + img +
          "n02.gif\" width=\"60\" height=\"60\" alt=\"" + G(u8"阴") + "\">",
      "-3", "5", G(u8"北风3-4级"),
      G(u8"07时36"), G(u8"16时59"), "116.28", "39.93", G(u8"54.7米")};
  for (size_t i = 0; i < 11; ++i) EXPECT_EQ(U(f[i]), U(want[i])) << "field " << i;
  EXPECT_EQ(app.Read("images/d01.gif"), "GIF89a-d01");
  EXPECT_EQ(app.Read("images/n02.gif"), "GIF89a-n02");
  EXPECT_EQ(StatusText, kUpdated);

  // Present icons are not fetched again.
  int before = srv.Hits("/forecast/image/icons/d01.gif");
  DeleteFile(app / "images/n02.gif");
  CN();
  EXPECT_EQ(srv.Hits("/forecast/image/icons/d01.gif"), before);
  EXPECT_EQ(srv.Hits("/forecast/image/icons/n02.gif"), 2);
}

TEST_F(SourceTest, CNStationLineShapes) {
  TextList base = FixtureLines("cn_forecast.htm");
  TextList noSunrise = base;
  noSunrise[165] = ReplaceText(noSunrise[165], G(u8"日出："), "", true);
  TextList lateStation = Shifted(base, 120, 30);
  TextList earlyStation = base;
  earlyStation[159] = earlyStation[165];
  earlyStation[165] = "<!-- -->";
  struct Case {
    TextList page;
    size_t fields;
    const char* why;
  };
  const Case cases[] = {
      {noSunrise, 11, "a station line without the sunrise marker still gives five fields"},
      {lateStation, 11, "the station line may sit anywhere after line 160"},
      {earlyStation, 0, "a station line before line 160 is not seen: 6 fields"},
  };
  for (const auto& c : cases) {
    srv.Set(kCN, Page(c.page));
    EXPECT_EQ(Fields(CN()).size(), c.fields) << c.why;
  }
}

TEST_F(SourceTest, CNAltTextAndIconNames) {
  struct Case {
    std::string html, words;
  };
  const Case cases[] = {
      {"<img alt=\"" + G(u8"晴") + "\"><img alt=\"" + G(u8"多云") + "\">", G(u8"晴，多云")},
      {"<img alt=\"" + G(u8"晴") + "\">", G(u8"晴")},
      {"<img src=\"x.gif\">", ""},
      {"<img alt=\"", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(U(TWeatherCN::GetAltText(c.html)), U(c.words)) << U(c.html);

  // Only names of the icon form are fetched, and only small pictures kept.
  struct Icon {
    std::string name;
    size_t bytes;
    bool kept;
  };
  const Icon icons[] = {
      {"d07.gif", 100, true}, {"n31.gif", 64 * 1024, true}, {"7.gif", 10, true},
      {"d08.gif", 64 * 1024 + 1, false}, {"Sys.ini", 10, false}, {"pwn.htm", 10, false},
      {"d01.gif.htm", 10, false}, {"../../x.gif", 10, false}, {".hidden", 10, false},
      {"", 10, false}, {"d1234.gif", 10, false}, {"x01.gif", 10, false},
  };
  TWeatherCN cn;
  for (const auto& i : icons) {
    srv.Set("/forecast/image/icons/" + i.name, std::string(i.bytes, 'G'));
    cn.FetchIcons("<img src=\"image/icons/" + i.name + "\" width=\"60\">", "\" width=\"60\"");
    EXPECT_EQ(app.Exists("images/" + i.name) && !i.name.empty(), i.kept) << i.name;
  }
  EXPECT_FALSE(FileExists(app.path() + "x.gif"));
}

TEST_F(SourceTest, CNTrendFields) {
  std::string r = Trend();
  TextList f = Fields(r);
  ASSERT_EQ(f.size(), 35u) << U(r);
  const std::u8string_view dates[] = {u8"1月5日", u8"1月6日", u8"12月10日", u8"10月7日", u8"2月28日"};
  for (int d = 0; d < 5; ++d) {
    size_t b = static_cast<size_t>(d) * 7;
    EXPECT_EQ(U(f[b]), Utf8(dates[d])) << "day " << d + 1;
    EXPECT_EQ(U(f[b + 1]), Utf8(u8"多云，阴"));
    EXPECT_NE(f[b + 2].find(app.path() + "images/d0" + std::to_string(d) + ".gif"), std::string::npos);
    EXPECT_EQ(f[b + 3], std::to_string(5 + d)) << "high";
    EXPECT_EQ(f[b + 4], "-" + std::to_string(d)) << "low";
    EXPECT_EQ(U(f[b + 5]), Utf8(u8"北风3-4级"));
    EXPECT_EQ(f[b + 6], "<img border=\"0\" src=\"" + app.path() + "images/feng3.gif\" width=\"28\" height=\"35\">");
  }
  srv.Set(kTrend, Page(FixtureLines("cn_trend_zhong.htm")));
  f = Fields(Trend());
  ASSERT_EQ(f.size(), 35u);
  EXPECT_EQ(f[6], "<img border=\"0\" src=\"" + app.path() + "images/ZHONG.GIF\" width=\"40\" height=\"23\">");
  EXPECT_EQ(f[13], "<img border=\"0\" src=\"" + app.path() + "images/zhong.gif\" width=\"40\" height=\"23\">");
  EXPECT_NE(f[20].find("width=\"28\" height=\"35\""), std::string::npos);
}

TEST_F(SourceTest, OnlineForecastAndWindFields) {
  TextList f = Fields(Online());
  ASSERT_EQ(f.size(), 18u);
  const std::u8string_view want[] = {u8"12月31日", u8"1月1日", u8"1月2日", u8"-1", u8"-2", u8"-3",
                                     u8"5",        u8"6",      u8"7",      u8"晴", u8"多云", u8"阴",
                                     u8"小雨",     u8"中雨",   u8"大雨",   u8"雪", u8"雾",   u8"霾"};
  for (size_t i = 0; i < 18; ++i) EXPECT_EQ(U(f[i]), Utf8(want[i])) << "field " << i;
  EXPECT_EQ(StatusText, kUpdated);
  EXPECT_EQ(LoadCacheFile(CacheFileName("Online", "54511"), 18).value_or(TextList{}), f);

  f = Fields(Wind());
  ASSERT_EQ(f.size(), 12u);
  EXPECT_EQ(U(f[0]), Utf8(u8"12月31日"));
  EXPECT_EQ(U(f[3]), Utf8(u8"北风2级"));
  EXPECT_EQ(U(f[11]), Utf8(u8"南风4级"));
}

TEST_F(SourceTest, OnlineFrameAddress) {
  struct Case {
    std::string frame, address, why;
  };
  const std::string inner = "<FRAME src=\"/online/fc/54511.htm\" scrolling=\"auto\">";
  const Case cases[] = {
      {"<HTML>\r\n</head>\r\n<x>\r\n" + inner + "\r\n", srv.base() + "/online/fc/54511.htm", "</head> in lower case"},
      {"<a>\r\n" + inner + "\r\n", srv.base() + "/online/fc/54511.htm", "no </HEAD>: line 1"},
      {"</HEAD>\r\n\r\n<FRAME href=\"/x\" scrolling=\"no\">\r\n" + inner + "\r\n", "", "no src in that line"},
      {"</HEAD>\r\n\r\n<FRAME src=\"/online/fc/54511.htm\">\r\n", "", "no scrolling in that line"},
      {"</HEAD>\r\n", "", "the line is missing"},
      {"</HEAD>\r\n\r\n<FRAME src=\"@127.0.0.1:1/online/fc/54511.htm\" scrolling=\"auto\">\r\n", "",
       "user-info naming another host"},
      {"</HEAD>\r\n\r\n<FRAME src=\"//127.0.0.1:1/x\" scrolling=\"auto\">\r\n", "", "another host"},
      {"</HEAD>\r\n\r\n<FRAME src=\"/a b\" scrolling=\"auto\">\r\n", "", "a blank in the path"},
  };
  for (const auto& c : cases) {
    srv.Set(kFrame, c.frame);
    TWeatherOnline s;
    s.CityID = "54511";
    s.TempFile = Temp();
    ErrorText.clear();
    EXPECT_EQ(s.GetURL(), c.address) << c.why;
    EXPECT_EQ(ErrorText.empty(), !c.address.empty()) << c.why;
    EXPECT_FALSE(app.Exists("Download/ForeCast.dat"));
  }
  // An unreadable frame falls back to the cache and never fetches the bare server.
  srv.Set(kFrame, "</HEAD>\r\n\r\n<FRAME src=\"/online/fc/54511.htm\">\r\n");
  TextList cached = WriteCache("Online", 18);
  EXPECT_EQ(Online(), JoinRecord(cached));
  EXPECT_EQ(srv.Hits("/"), 0);

  SetOnlineOverride(false);
  TWeatherOnline s;
  s.CityID = "54511";
  int before = srv.Requests();
  EXPECT_EQ(s.GetURL(), "-");
  EXPECT_EQ(srv.Requests(), before) << "offline: nothing is downloaded";
  EXPECT_EQ(U(ErrorText), U(kOffline));
}

TEST_F(SourceTest, OnlineWindDatesDefaultToLine20) {
  TextList lines = FixtureLines("online_wind.htm");
  // Dates on lines 20 to 22 without the month sign; the rest moved out of 35..45.
  for (int i = 0; i < 3; ++i) lines[static_cast<size_t>(20 + i)] = "<td><b>D" + std::to_string(i) + "</b></td>";
  for (auto& l : lines) l = ReplaceText(l, G(u8"月"), "/", true);
  lines.erase(lines.begin() + 23, lines.begin() + 23 + 15);  // "上午" now within 3..10 of line 20
  srv.Set("/online/wind/54511.htm", Page(lines));
  TextList f = Fields(Wind());
  ASSERT_EQ(f.size(), 12u);
  EXPECT_EQ(f[0], "D0");
  EXPECT_EQ(f[2], "D2");
}

TEST_F(SourceTest, OnlineFreshRecordServesLaterOfflineCall) {
  std::string fresh = Online();
  ASSERT_FALSE(fresh.empty());
  SetOnlineOverride(false);
  EXPECT_EQ(Online(), fresh);
  EXPECT_EQ(StatusText, kNotUpdated);
}

TEST_F(SourceTest, OnlineInnerPageMissing) {
  srv.Drop("/online/fc/54511.htm");
  ErrorText.clear();
  EXPECT_EQ(Online(), "");
  EXPECT_EQ(U(ErrorText), Utf8(u8"有错误发生，错误原因：没有该地区数据，请稍后再试或使用别的服务器！"));
}

TEST_F(SourceTest, ProviderCreditFollowsTheRecordAndItsCache) {
  // The companion server's live feed puts "数据：..." at the foot of the
  // pages that have no field for it; it rides as one more field.
  struct Case {
    std::string prefix, target, fixture;
    std::string (SourceTest::*get)();
    size_t fields;
  };
  const Case cases[] = {
      {"Online", "/online/fc/54511.htm", "online_forecast.htm", &SourceTest::Online, 18},
      {"OnlineTrend", "/online/wind/54511.htm", "online_wind.htm", &SourceTest::Wind, 12},
      {"CNTrend", kTrend, "cn_trend.htm", &SourceTest::Trend, 35},
  };
  const std::string credit = G(u8"数据：Open-Meteo（CC BY 4.0），2026-12-08 14:00发布");
  for (const auto& c : cases) {
    TextList page = FixtureLines(c.fixture);
    page.insert(page.end() - 1, "</table><p>" + credit + "&nbsp;</p>");
    srv.Set(c.target, Page(page));
    TextList f = Fields((this->*c.get)());
    ASSERT_EQ(f.size(), c.fields + 1) << c.prefix;
    EXPECT_EQ(U(f.back()), U(credit)) << c.prefix;
    EXPECT_EQ(LoadCacheFile(CacheFileName(c.prefix, "54511"), c.fields + 1).value_or(TextList{}), f) << c.prefix;
    SetOnlineOverride(false);
    EXPECT_EQ(Fields((this->*c.get)()), f) << c.prefix << ": offline, the credit comes from the cache";
    TextList old = WriteCache(c.prefix, c.fields);
    EXPECT_EQ(Fields((this->*c.get)()), old) << c.prefix << ": a cache without credit still reads";
    SetOnlineOverride(std::nullopt);
    // The plain site page keeps its own count.
    srv.Set(c.target, Page(FixtureLines(c.fixture)));
    EXPECT_EQ(Fields((this->*c.get)()).size(), c.fields) << c.prefix;
  }
}

TEST_F(SourceTest, CacheOfOneLineMoreReadsOnlyWithACreditWhereTheRecordCarriesOne) {
  struct Kind {
    std::string prefix;
    std::string (SourceTest::*get)();
    size_t fields;
    bool credits;
  };
  const Kind kinds[] = {{"CC", &SourceTest::CC, 16, false},          {"CN", &SourceTest::CN, 11, false},
                        {"CNTrend", &SourceTest::Trend, 35, true},   {"Online", &SourceTest::Online, 18, true},
                        {"OnlineTrend", &SourceTest::Wind, 12, true}};
  struct Extra {
    std::vector<std::string> lines;  // after the counted fields
    bool creditOnly;                 // read where the record carries a credit, else refused
    const char* why;
  };
  const Extra extras[] = {{{}, false, "the count itself reads everywhere"},
                          {{G(u8"数据：Open-Meteo.com（CC BY 4.0），经换算")}, true, "a credit line"},
                          {{""}, false, "a trailing blank line"},
                          {{"c99"}, false, "a stray field"},
                          {{G(u8"数据：x"), "c99"}, false, "two more"}};
  SetOnlineOverride(false);
  for (const Kind& k : kinds)
    for (const Extra& e : extras) {
      TextList f = WriteCache(k.prefix, k.fields);
      f.insert(f.end(), e.lines.begin(), e.lines.end());
      SaveCacheFile(CacheFileName(k.prefix, "54511"), f);
      bool read = e.lines.empty() || (e.creditOnly && k.credits);
      StatusText.clear();
      EXPECT_EQ(Fields((this->*k.get)()), read ? f : TextList{}) << k.prefix << ": " << e.why;
      EXPECT_EQ(StatusText, read ? kNotUpdated : "") << k.prefix << ": " << e.why;
    }
  SetOnlineOverride(std::nullopt);
}

TEST(CreditLine, CutFromTheFootOfThePage) {
  struct Case {
    TextList lines;
    std::u8string_view want;
    const char* why;
  };
  const Case cases[] = {
      {{"<p>a</p>", G(u8"<p><b>数据：</b>MET Norway，08:00发布</p>")}, u8"数据：MET Norway，08:00发布", "tags dropped"},
      {{G(u8"数据：甲"), "x", G(u8"<i>数据：乙</i>")}, u8"数据：乙", "the last line that has it"},
      {{"<p>plain</p>"}, u8"", "a page of the site itself"},
      {{G(u8"<a title=\"数据：\">link</a>")}, u8"", "only inside a tag"},
      {{G(u8"<p>数据：丙<!-- unclosed")}, u8"数据：丙", "an unclosed tag ends the text"},
  };
  for (const auto& c : cases) EXPECT_EQ(U(frame::CreditLine(PageLines(c.lines))), Utf8(c.want)) << c.why;
  // Too long: cut below the limit, where a double-byte character would not fit.
  const std::string long_ = G(u8"数据：") + std::string(153, 'x') + G(u8"发布");
  EXPECT_EQ(frame::CreditLine(PageLines(TextList{long_})).size(), frame::kMaxCredit - 1);
}

TEST_F(SourceTest, MalformedPagesNeverReadPastTheirEnd) {
  // Every cut of every fixture, and pages of markers only: an empty record
  // or a record, never a crash (the sanitizer build watches the reads).
  struct Case {
    const char* fixture;
    std::string target;
    std::string (SourceTest::*get)();
    size_t from;
  };
  const Case cases[] = {
      {"cc_forecast.htm", kCC, &SourceTest::CC, 251},
      {"cn_forecast.htm", kCN, &SourceTest::CN, 176},
      {"cn_trend_zhong.htm", kTrend, &SourceTest::Trend, 251},
      {"online_forecast.htm", "/online/fc/54511.htm", &SourceTest::Online, 0},
      {"online_wind.htm", "/online/wind/54511.htm", &SourceTest::Wind, 0},
  };
  for (const auto& c : cases) {
    TextList full = FixtureLines(c.fixture);
    for (size_t n = c.from; n <= full.size(); n += (c.from == 0 ? 3 : 1)) {
      TextList cut(full.begin(), full.begin() + static_cast<long>(std::min(n, full.size())));
      srv.Set(c.target, Page(cut));
      (this->*c.get)();
    }
    srv.Set(c.target, Page(TextList(300, "<strong></strong>" + G(u8"月最低最高上午日出：分|<") + "ALT TITLE=<b>")));
    EXPECT_EQ((this->*c.get)(), "") << c.fixture;
    srv.Set(c.target, std::string(400, '\n'));
    EXPECT_EQ((this->*c.get)(), "") << c.fixture;
  }
  // A trend page whose last day runs past the end.
  TextList trend(251, "<!-- -->");
  trend[250] = FixtureLines("cn_trend.htm")[84];
  srv.Set(kTrend, Page(trend));
  EXPECT_EQ(Trend(), "");
}

}  // namespace
}  // namespace zel::test
