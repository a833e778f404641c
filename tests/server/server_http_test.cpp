// The server as an HTTP service: unknown paths, bounded requests, the update
// publication driving one real update run, and the connection state when
// every server is on loopback.
#include <gtest/gtest.h>

#include "base/appenv.h"
#include "base/files.h"
#include "base/ini.h"
#include "server_fixture.h"
#include "update/update.h"

namespace zel::server::test {
namespace {

TEST(ServerHttp, AnswersUnknownAndUnsafePathsWith404) {
  auto client = SharedServer::Get().Client();
  for (const char* path : {"/nothing", "/query/", "/weather/files/..%2FUpDate.txt", "/weather/files/.hidden",
                           "/weather/files/missing.htm", "/forecast/image/icons/..%2F..%2Fetc%2Fpasswd",
                           "/nmc/citySearch.do?cityid=", "/nmc/citySearch.do?cityid=../54511",
                           "/forecast/24time.jsp?sta_id=99999", "/cgi-bin/region?PRG=other&WMO=54511",
                           "/online/forecast/abc.htm"}) {
    auto res = client->Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
  }
}

TEST(ServerHttp, BoundsRequestSizes) {
  auto client = SharedServer::Get().Client();
  auto big = client->Post("/query/tel.asp", std::string(100 * 1024, '1'), "application/x-www-form-urlencoded");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 413);
  auto longUri = client->Get("/query/ip.asp?ip=" + std::string(20000, '1'));
  ASSERT_TRUE(longUri);
  EXPECT_EQ(longUri->status, 414);
  // The server is still there for the next one.
  auto next = client->Get("/query/tel.asp");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
}

TEST(ServerHttp, LogsOneSafeLinePerRequestAndKeepsIdNumbersOut) {
  std::ostringstream log;
  CompanionServer companion(TestOptions(), log);
  HttpLoopback http;
  companion.Mount(http.http());
  http.Start();
  httplib::Client client("127.0.0.1", http.port());
  ASSERT_TRUE(client.Get("/query/idcard.asp?id=11010519491231002X"));
  ASSERT_TRUE(client.Get("/query/tel.asp?tel=%0D%0Afake%20line"));
  ASSERT_TRUE(client.Get("/nowhere"));
  // The line is written after the answer has gone out.
  std::string text;
  for (int i = 0; i < 400; ++i) {
    {
      std::lock_guard<std::mutex> lock(companion.LogLock());
      text = log.str();
    }
    if (std::count(text.begin(), text.end(), '\n') >= 3) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
  EXPECT_EQ(text.find("11010519491231002X"), std::string::npos) << text;
  EXPECT_NE(text.find("id=***"), std::string::npos) << text;
  EXPECT_NE(text.find("%0D%0Afake"), std::string::npos) << text;
  EXPECT_NE(text.find("GET /nowhere 404"), std::string::npos) << text;
}

TEST(UpdatePublication, DescriptionNamesTheServersOwnAddressAndShippedVersion) {
  auto res = SharedServer::Get().Client()->Get("/weather/UpDate.txt");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200);
  zel::test::TempDir dir;
  dir.Write("UpDate.ini", res->body);
  IniFile ini(dir / "UpDate.ini");
  EXPECT_EQ(ini.ReadString("main", "Version", ""), kVersion);  // no new program version
  EXPECT_GT(ini.ReadString("main", "DataVersion", ""), std::string("0"));  // newer than a fresh install
  EXPECT_EQ(ini.ReadString("download", "URL", ""), SharedServer::Get().base() + "/weather/files/");
  long long n = ini.ReadInteger("download", "Num", 0);
  ASSERT_GT(n, 0);
  for (long long i = 1; i <= n; ++i) {
    std::string file = ini.ReadString("download", "File" + std::to_string(i), "");
    auto got = SharedServer::Get().Client()->Get("/weather/files/" + file);
    ASSERT_TRUE(got) << file;
    EXPECT_EQ(got->status, 200) << file;
    // A fresh installation has none of the destinations (copies never replace).
    std::string to = ini.ReadString("download", "To" + std::to_string(i), "");
    EXPECT_FALSE(FileExists(std::string(ZEL_SOURCE_DIR) + "/data/" + to)) << to;
  }
  for (const char* key : {"AD", "face"}) {
    std::string page = ini.ReadString("main", key, "");
    bool listed = false;
    for (long long i = 1; i <= n; ++i) listed |= ini.ReadString("download", "To" + std::to_string(i), "") == page;
    EXPECT_TRUE(listed || FileExists(std::string(ZEL_SOURCE_DIR) + "/data/" + page)) << key << "=" << page;
  }
}

TEST(UpdatePublication, DrivesOneRealUpdateRunIntoAFreshApplicationFolder) {
  zel::test::AppFolder app;
  app.CopyShippedData();
  app.UseServer(SharedServer::Get().base());
  LoadSysSettings();
  UpdateSettings settings = UpdateSettings::FromStartup();
  UpdateReport first = TWeb(settings).Execute();
  ASSERT_EQ(first.result, UpdateResult::Updated);
  IniFile sys(app / "Sys.ini"), desc(app / "UpDate.ini");
  EXPECT_EQ(sys.ReadString("main", "DataVersion", ""), desc.ReadString("main", "DataVersion", "?"));
  for (const char* key : {"AD", "face"}) {
    std::string page = sys.ReadString("main", key, "");
    ASSERT_FALSE(page.empty()) << key;
    EXPECT_TRUE(app.Exists(page)) << key << "=" << page;
  }
  // The next start finds nothing newer.
  LoadSysSettings();
  EXPECT_EQ(TWeb(UpdateSettings::FromStartup()).Execute().result, UpdateResult::Current);
}

TEST(ConnectionState, EveryServerOnLoopbackMeansOnline) {
  zel::test::AppFolder app;
  struct Case {
    const char* base;
    bool loopback;
  } cases[] = {{"http://127.0.0.1:8090", true},  {"http://localhost:9000", true}, {"http://127.8.9.1", true},
               {"http://[::1]:8090", true},      {"http://192.168.1.5:8090", false}, {"http://example.org", false},
               {"http://127.0.0.1.example.org", false}};
  for (const Case& c : cases) {
    app.UseServer(c.base);
    EXPECT_EQ(AllServersLoopback(), c.loopback) << c.base;
    if (c.loopback) {
      EXPECT_TRUE(IsOnline()) << c.base;  // whatever interfaces the machine has
    }
  }
  // One server elsewhere is enough to ask the machine again.
  app.UseServer("http://127.0.0.1:8090");
  app.Write("Servers.ini", "[servers]\r\nCC=http://127.0.0.1:8090\r\nCN=http://127.0.0.1\r\nOnline=http://127.0.0.1\r\n"
                           "Lookup=http://127.0.0.1\r\nUpdate=http://10.1.2.3\r\n");
  EXPECT_FALSE(AllServersLoopback());
  EXPECT_EQ(IsOnline(), HasNetworkInterface());
}

}  // namespace
}  // namespace zel::server::test
