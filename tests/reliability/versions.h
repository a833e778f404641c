// The two versions the crash writer alternates between.
#pragma once

#include <string>

#include "base/appenv.h"
#include "base/gbk.h"
#include "base/text.h"
#include "weather/cache.h"

namespace zel::crash {

inline TextList FavProvinces(int v) {
  return v ? TextList{G(u8"广东"), G(u8"北京"), G(u8"上海")} : TextList{G(u8"广东")};
}
inline TextList FavCities(int v) { return v ? TextList{G(u8"广州"), G(u8"北京"), G(u8"上海")} : TextList{G(u8"深圳")}; }
inline std::string SysValue(int v) { return v ? std::string(300, '9') : "1"; }
inline std::string CachePath() { return CacheFileName("CC", "54511"); }
inline TextList CacheFields(int v) {
  TextList f(16, v ? G(u8"多云转晴，东南风3-4级") : G(u8"小雨"));
  f[0] = v ? "2026-12-08" : "2026-12-09";
  return f;
}

// What an update run announces for version v (0 or 1): the three Sys.ini
// keys that must change together.
struct UpdateKeys {
  std::string dataVersion, ad, face;
  bool operator==(const UpdateKeys&) const = default;
};
inline UpdateKeys UpdateVersion(int v) {
  return v ? UpdateKeys{"2026-02-02", "AD2.htm", "Hello2.htm"} : UpdateKeys{"2026-01-01", "AD1.htm", "Hello1.htm"};
}
inline std::string UpdateDescription(int v) {
  UpdateKeys k = UpdateVersion(v);
  return "[main]\r\nDataVersion=" + k.dataVersion + "\r\nAD=" + k.ad + "\r\nface=" + k.face +
         "\r\n[download]\r\nNum=0\r\n";
}

}  // namespace zel::crash
