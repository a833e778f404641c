// Reading a station's weather pages through the program's own sources.
#pragma once

#include <gtest/gtest.h>

#include "base/appenv.h"
#include "base/text.h"
#include "server_fixture.h"
#include "weather/sources.h"
#include "weather/status.h"

namespace zel::server::test {

inline TextList Fields(const std::string& record) {
  TextList f = SplitString(record, "**?**");
  return f;
}

inline bool Demo(const std::string& gbk) { return gbk.find(G(u8"演示数据")) != std::string::npos; }

struct Records {
  TextList cc, cn, trend, online, wind;
};

inline Records FetchAll(const zel::test::AppFolder& app, const std::string& code) {
  Records r;
  TWeatherCC cc;
  TWeatherCN cn;
  TWeatherOnline online;
  for (auto* src : {&cc.CityID, &cn.CityID, &online.CityID}) *src = code;
  for (auto* tmp : {&cc.TempFile, &cn.TempFile, &online.TempFile}) *tmp = app / "Download/ForeCast.dat";
  r.cc = Fields(cc.GetForeCast());
  r.cn = Fields(cn.GetForeCast());
  r.trend = Fields(cn.GetTrend());
  r.online = Fields(online.GetForeCast());
  r.wind = Fields(online.GetWind());
  return r;
}

// All five records of one station, each complete and labelled as demo.
inline void ExpectFullDemoRecords(const zel::test::AppFolder& app, const std::string& code) {
  Records r = FetchAll(app, code);
  ASSERT_EQ(r.cc.size(), 16u) << code << " " << U(ErrorText);
  ASSERT_EQ(r.cn.size(), 11u) << code;
  ASSERT_EQ(r.trend.size(), 35u) << code;
  ASSERT_EQ(r.online.size(), 18u) << code;
  ASSERT_EQ(r.wind.size(), 12u) << code;
  // The weather words of every day carry the label.
  for (size_t i : {4, 9, 14}) EXPECT_TRUE(Demo(r.cc[i])) << code << " cc " << U(r.cc[i]);
  EXPECT_TRUE(Demo(r.cn[1])) << code << " cn " << U(r.cn[1]);
  for (size_t d = 0; d < 5; ++d) EXPECT_TRUE(Demo(r.trend[7 * d + 1])) << code << " trend " << d;
  for (size_t i = 9; i < 18; ++i) EXPECT_TRUE(Demo(r.online[i])) << code << " online " << i;
  // Figures are numbers where the templates expect numbers.
  long long v;
  for (const std::string& t : {r.cc[1], r.cc[2], r.cn[3], r.cn[4], r.trend[3], r.trend[4], r.online[3], r.online[6]})
    EXPECT_TRUE(ParseInt(t, v)) << code << " '" << U(t) << "'";
  EXPECT_EQ(U(r.cc[0]).substr(0, 10), AddDays(Today(), 0)) << code;
  EXPECT_NE(r.cc[3].find("/images/"), std::string::npos) << code;  // icons point at local files
  EXPECT_NE(r.trend[6].find("/images/fl"), std::string::npos) << code;
}

class WeatherPages : public ::testing::Test {
 protected:
  void SetUp() override {
    app.CopyShippedData();
    SetOnlineOverride(true);
  }
  void TearDown() override { SetOnlineOverride(std::nullopt); }
  zel::test::AppFolder app;
};

}  // namespace zel::server::test
