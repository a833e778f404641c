// Rewrites one kind of file forever, alternating between two versions, until
// it is killed. The crash test kills it at random moments and then checks
// that the file is always one whole version.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/appenv.h"
#include "base/ini.h"
#include "reliability/versions.h"
#include "weather/cache.h"
#include "update/update.h"
#include "weather/forecast.h"

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 4 && std::strcmp(argv[1], "update") == 0)) {
    std::fprintf(stderr, "usage: crash_writer favorites|sysini|cache APPDIR | update APPDIR SERVER\n");
    return 2;
  }
  zel::SetAppPath(argv[2]);
  std::string mode = argv[1];
  for (unsigned long i = 0;; ++i) {
    int v = static_cast<int>(i % 2);
    if (mode == "favorites") {
      zel::SaveFavoritesFile(zel::crash::FavProvinces(v), zel::crash::FavCities(v));
    } else if (mode == "sysini") {
      zel::IniFile(zel::SysIniPath()).WriteString("main", "DataVersion", zel::crash::SysValue(v));
    } else if (mode == "cache") {
      zel::SaveCacheFile(zel::crash::CachePath(), zel::crash::CacheFields(v));
    } else if (mode == "update") {
      // Whole update runs, the server announcing the two versions in turn.
      zel::UpdateSettings s;
      s.appPath = zel::AppPath();
      s.localVersion = "0";
      s.descriptionUrl = std::string(argv[3]) + "/v" + std::to_string(v + 1) + "/UpDate.txt";
      s.descriptionLimits.maxBytes = zel::kMaxDescriptionBytes;
      auto report = zel::TWeb(s).Execute();
      if (report.result != zel::UpdateResult::Updated) {
        for (const auto& line : report.log) std::fprintf(stderr, "%s\n", line.c_str());
        return 3;
      }
    } else {
      return 2;
    }
    if (i == 0) {
      std::fputs("ready\n", stderr);
      std::fflush(stderr);  // a pipe: buffered on Windows
    }
  }
}
