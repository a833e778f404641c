// The weather tab in the real window: a city fetched from a loopback server
// shows its rendered page, and the second press is answered from the memo.
#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "app/tab_weather.h"
#include "e2e/e2e_util.h"
#include "weather/memo.h"
#include "weather/weather_fixture.h"

using namespace zel;

TEST(WeatherWindow, FetchesACityThenAnswersFromTheMemo) {
  test::AppFolder app;
  app.CopyShippedData();
  test::PageServer srv;
  srv.ServeAll("59287");
  test::SetUpWeatherApp(app, srv.base());
  PageMemo::Instance().Clear();

  auto* f = new Tfrm_main(app.path());
  f->Show();
  WeatherTabPanel& tab = *f->TabSheet1;
  e2e::Pump(300);
  auto info = [&] { return std::string(tab.lblInfo->GetLabel().ToUTF8()); };

  e2e::SelectRow(tab.cboProvince, 1);  // 广东
  e2e::SelectRow(tab.lsbCity, 0);      // 广州
  EXPECT_EQ(info(), test::Utf8(u8"广东 广州"));
  e2e::Click(tab.btnWeather);
  EXPECT_TRUE(e2e::PumpUntil([&] { return info() == test::Utf8(u8"完成，已更新！"); })) << info();
  ASSERT_TRUE(e2e::PumpUntil([&] {
    return e2e::BodyTextUtf8(tab.Browser1()).find(test::Utf8(u8"多云转小雨")) != std::string::npos;
  })) << e2e::BodyTextUtf8(tab.Browser1());
  EXPECT_NE(e2e::BodyTextUtf8(tab.Browser1()).find(test::Utf8(u8"广州")), std::string::npos);

  int requests = srv.Requests();
  e2e::Click(tab.btnWeather);
  EXPECT_TRUE(e2e::PumpUntil([&] { return info() == test::Utf8(u8"完成，已显示！"); })) << info();
  EXPECT_EQ(srv.Requests(), requests) << "the memo answers without a download";
  ASSERT_TRUE(e2e::PumpUntil([&] {
    return e2e::BodyTextUtf8(tab.Browser1()).find(test::Utf8(u8"多云转小雨")) != std::string::npos;
  }));
  f->Destroy();
  e2e::Pump(100);
}
