// The weather tab's views as fakes, for tests that drive WeatherTab.
#pragma once

#include "support/fakes.h"
#include "weather/weather_tab.h"

namespace zel::test {

struct FakeWeatherViews {
  FakeBrowser browser;
  FakeList province, city, fav;
  FakeText info;
  FakeControl wend, weather;

  WeatherViews Views() { return WeatherViews{&browser, &province, &city, &fav, &info, &wend, &weather}; }
};

}  // namespace zel::test
