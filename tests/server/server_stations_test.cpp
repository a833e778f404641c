// Every station of the shipped catalogue, all five pages (slow: each fetch
// writes its files through to the disk).
#include "weather_check.h"

namespace zel::server::test {
namespace {

TEST_F(WeatherPages, EveryShippedStationParsesIntoFullDemoRecords) {
  app.UseServer(SharedServer::Get().base());
  auto stations = LoadStations(std::string(ZEL_SOURCE_DIR) + "/data/Weather.ini");
  ASSERT_GT(stations.size(), 100u);
  for (const auto& [code, name] : stations) ExpectFullDemoRecords(app, code);
}

}  // namespace
}  // namespace zel::server::test
