// zelmora-cli fetch and forecast against a loopback server.
#include <gtest/gtest.h>

#include <sstream>

#include "base/ini.h"
#include "cli/cli.h"
#include "weather/memo.h"
#include "weather_fixture.h"

namespace zel::test {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(const AppFolder& app, std::vector<std::string> args) {
  args.insert(args.begin(), {"zelmora-cli", "--app", app.path()});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int code = cli::Main(static_cast<int>(argv.size()), argv.data(), out, err);
  // What a process holds lasts for one run.
  SetOnlineOverride(std::nullopt);
  PageMemo::Instance().Clear();
  return {code, out.str(), err.str()};
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PageMemo::Instance().Clear();
    SetUpWeatherApp(app, srv.base());
    srv.ServeAll("54511");
    srv.ServeAll("59287");
  }
  AppFolder app;
  PageServer srv;
};

TEST_F(CliTest, FetchPrintsFieldsThenStatus) {
  struct Case {
    std::vector<std::string> args;
    size_t lines;
  };
  const Case cases[] = {
      {{"fetch", "cc", "forecast", "54511"}, 16},  {{"fetch", "cn", "forecast", "54511"}, 11},
      {{"fetch", "CN", "trend", "54511"}, 35},     {{"fetch", "online", "forecast", "54511"}, 18},
      {{"fetch", "online", "wind", "54511"}, 12},
  };
  for (const auto& c : cases) {
    CliRun r = Cli(app, c.args);
    EXPECT_EQ(r.code, 0) << c.args[1] << " " << r.err;
    TextList lines = SplitString(r.out, "\n");
    ASSERT_EQ(lines.size(), c.lines + 1) << c.args[1] << " " << c.args[2];
    EXPECT_EQ(lines.back(), Utf8(u8"status\t完成，已更新！"));
  }
  EXPECT_EQ(SplitString(Cli(app, {"fetch", "cc", "forecast", "54511"}).out, "\n")[4], Utf8(u8"多云转小雨"));
}

TEST_F(CliTest, FetchWithoutRecordExitsOne) {
  CliRun r = Cli(app, {"--offline", "fetch", "cc", "forecast", "11111"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, Utf8(u8"status\t有错误发生，错误原因：网络不通，无法得到该城市的数据信息！\n"));
  // The cache written by a fresh fetch answers offline.
  Cli(app, {"fetch", "cc", "forecast", "54511"});
  r = Cli(app, {"--offline", "fetch", "cc", "forecast", "54511"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find(Utf8(u8"status\t完成，未更新！")), std::string::npos);
}

TEST_F(CliTest, BadArgumentsAreUsageErrors) {
  const std::vector<std::string> cases[] = {
      {"fetch", "cc", "forecast"},          {"fetch", "xx", "forecast", "1"},    {"fetch", "cc", "wind", "1"},
      {"fetch", "online", "trend", "1"},    {"fetch", "cn", "wind", "1"},        {"fetch", "cc", "forecast", "../x"},
      {"forecast", "广东"},                 {"forecast", "广东", "火星"},         {"forecast", "广东", "广州", "--server", "nope"},
      {"forecast", "广东", "广州", "--server"},
  };
  int before = srv.Requests();
  for (const auto& args : cases) {
    CliRun r = Cli(app, args);
    EXPECT_EQ(r.code, 2) << args[0] << " " << args.back();
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_EQ(srv.Requests(), before);
}

TEST_F(CliTest, ForecastRendersThePageOfTheChosenServer) {
  CliRun r = Cli(app, {"forecast", "广东", "广州"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(Utf8(u8"<h3>广州</h3>")), std::string::npos);
  EXPECT_NE(r.out.find(Utf8(u8"多云转小雨")), std::string::npos) << "CC is the default server";
  EXPECT_EQ(r.err, Utf8(u8"完成，已更新！\n"));

  for (const char* name : {"online", "天气在线"}) {
    r = Cli(app, {"forecast", "广东", "广州", "--server", name});
    EXPECT_EQ(r.code, 0) << name;
    EXPECT_NE(r.out.find(Utf8(u8"霾")), std::string::npos) << name;
  }
  EXPECT_EQ(IniFile(SysIniPath()).ReadString("main", "WeatherServer", "unset"), "unset")
      << "the chosen server stays as it was";

  r = Cli(app, {"--offline", "forecast", "北京", "北京", "--server", "cn"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, Utf8(u8"有错误发生，错误原因：网络不通，无法得到该城市的数据信息！\n"));
}

}  // namespace
}  // namespace zel::test
