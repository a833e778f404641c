// Kills a process that is rewriting a file (SIGKILL at random moments) and
// proves the file is always one whole version: never torn, never empty.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "base/files.h"
#include "base/ini.h"
#include "reliability/versions.h"
#include "support/child_process.h"
#include "support/testutil.h"
#include "update/update_fixture.h"
#include "weather/forecast.h"

using namespace zel;

namespace {

int Kills() {
  const char* env = std::getenv("ZEL_CRASH_KILLS");
  return env ? std::atoi(env) : 60;
}

// Starts the writer, waits until its first write is done, lets it run a
// random while, kills it.
void RunAndKill(const std::string& mode, const std::string& dir, std::mt19937& rng, const std::string& server = "") {
  std::vector<std::string> args{CRASH_WRITER, mode, dir};
  if (!server.empty()) args.push_back(server);
  test::ChildProcess writer(args);
  // A start may take seconds on a loaded machine under Wine; a writer that
  // ends instead ends the wait at once.
  ASSERT_FALSE(writer.WaitFor(std::regex("ready"), 60000).empty())
      << "writer did not start (exit " << writer.Wait(0) << "): " << writer.log();
  std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(rng)));
  writer.Kill();
  writer.Wait();
}

class CrashConsistency : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(CrashConsistency, EveryKillLeavesOneWholeVersion) {
  std::string mode = GetParam();
  test::AppFolder app;
  std::mt19937 rng(42);
  std::string favA = JoinLines({"[Favorite]", G(u8"广东-深圳=")});
  std::string favB = JoinLines({"[Favorite]", G(u8"广东-广州="), G(u8"北京-北京="), G(u8"上海-上海=")});
  for (int k = 0; k < Kills(); ++k) {
    RunAndKill(mode, app.path(), rng);
    if (mode == "favorites") {
      std::string data = app.Read("Favorite.ini");
      ASSERT_TRUE(data == favA || data == favB) << "kill " << k << " left: " << data;
    } else if (mode == "sysini") {
      std::string data = app.Read("Sys.ini");
      ASSERT_TRUE(data == "[main]\r\nDataVersion=1\r\n" || data == "[main]\r\nDataVersion=" + crash::SysValue(1) + "\r\n")
          << "kill " << k << " left: " << data;
    } else {
      auto fields = LoadCacheFile(crash::CachePath(), 16);
      ASSERT_TRUE(fields.has_value()) << "kill " << k << " left an unreadable cache file";
      ASSERT_TRUE(*fields == crash::CacheFields(0) || *fields == crash::CacheFields(1)) << "kill " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CrashConsistency, ::testing::Values("favorites", "sysini", "cache"));

namespace {

// Names of the writers' temporaries still anywhere under folder.
int TempsUnder(const std::string& folder) {
  int n = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (e.path().filename().string().find(".tmp") != std::string::npos) ++n;
  return n;
}

}  // namespace

// Update runs killed at random moments: Sys.ini holds the three keys of one
// version or of none, and the next start clears what the kill left behind.
TEST(CrashConsistency, KilledUpdatesAreNeverHalfDone) {
  test::AppFolder app;
  test::UpdateServer srv;
  srv.Put("/v1/UpDate.txt", crash::UpdateDescription(0));
  srv.Put("/v2/UpDate.txt", crash::UpdateDescription(1));
  const crash::UpdateKeys before{"0", "AD.htm", "Hello.htm"};
  app.Write("Sys.ini", "[main]\r\nDataVersion=0\r\nAD=AD.htm\r\nface=Hello.htm\r\n");
  std::mt19937 rng(7);
  int left = 0;
  for (int k = 0; k < Kills(); ++k) {
    RunAndKill("update", app.path(), rng, srv.base());
    IniFile sys(app.path() + "Sys.ini");
    crash::UpdateKeys now{sys.ReadString("main", "DataVersion", "?"), sys.ReadString("main", "AD", "?"),
                          sys.ReadString("main", "face", "?")};
    ASSERT_TRUE(now == before || now == crash::UpdateVersion(0) || now == crash::UpdateVersion(1))
        << "kill " << k << " left DataVersion=" << now.dataVersion << " AD=" << now.ad << " face=" << now.face;
    std::string desc = app.Read("UpDate.ini");
    ASSERT_TRUE(desc == crash::UpdateDescription(0) || desc == crash::UpdateDescription(1)) << "kill " << k;
    left += RemoveLeftoverTemps(app.path());
    ASSERT_EQ(TempsUnder(app.path()), 0) << "kill " << k;
  }
  std::printf("[ update   ] %d kills, none half-done; %d temporaries removed at the next start\n", Kills(), left);
}
