#include "weather/forecast.h"

#include <cstdio>

#include "base/appenv.h"
#include "base/files.h"
#include "base/gbk.h"
#include "weather/memo.h"

namespace zel {

std::string SourceCaption(int n) {
  if (n == 1) return OnlineCaption();
  if (n == 3) return CNCaption();
  return CCCaption();
}

int SourceFromName(const std::string& name) {
  if (name == OnlineCaption()) return 1;
  if (name == CNCaption()) return 3;
  return 2;
}

std::string TForeCast::TemplateFolder(const std::string& name) {
  return IncludeBackslash(AppPath() + "Template/" + PathPiece(name));
}

TForeCast::TForeCast() : Catalogue(AppPath() + "Favorite.ini") {
  DataFile = AppPath() + "Download/ForeCast.dat";
  // Each key is province-city, split at its first "-". The file may come
  // from an update, so only so many are taken.
  TextList keys = Catalogue.ReadSection("Favorite");
  if (keys.size() > kMaxFavorites) {
    std::fprintf(stderr, "zelmora: Favorite.ini holds %zu favourites, only the first %zu are shown\n", keys.size(),
                 kMaxFavorites);
    FavBeyond.assign(keys.begin() + kMaxFavorites, keys.end());
    keys.resize(kMaxFavorites);
  }
  for (const auto& key : keys) {
    size_t dash = key.find('-');
    if (dash == std::string::npos) {
      FavProvinces.push_back("");
      FavCities.push_back(key);
    } else {
      FavProvinces.push_back(key.substr(0, dash));
      FavCities.push_back(key.substr(dash + 1));
    }
  }
  Catalogue = IniFile(AppPath() + "Weather.ini");
  Provinces = Catalogue.ReadSection("Province");
  if (!Provinces.empty()) LoadCities(Provinces[0]);
  SourceId = SourceFromName(Startup().weatherServer);
  TemplateName = zel::TemplateName();
  TemplatesLoaded = LoadTemplates(TemplateName);
}

bool TForeCast::LoadTemplates(const std::string& name) {
  std::string folder = TemplateFolder(name);
  std::string* fields[] = {&TplForecastOnline, &TplWindOnline, &TplForecastCC, &TplForecastCN, &TplTrendCN};
  const char* files[] = {"ForeCastOnline.htm", "WendOnline.htm", "ForeCastCC.htm", "ForeCastCN.htm", "WendCN.htm"};
  std::string loaded[5];
  for (int i = 0; i < 5; ++i) {
    TextList lines;
    if (!LoadLines(folder + files[i], lines)) return false;
    loaded[i] = JoinLines(lines);
  }
  for (int i = 0; i < 5; ++i) *fields[i] = std::move(loaded[i]);
  return true;
}

bool TForeCast::SetTemplate(const std::string& name, bool* busy) {
  if (name == TemplateName) return true;
  std::unique_lock<std::mutex> lock(*QueryLock, std::try_to_lock);
  if (busy) *busy = !lock.owns_lock();
  if (!lock.owns_lock()) return false;
  // Load first: an unreadable set leaves the active one fully in place.
  if (!LoadTemplates(name)) return false;
  TemplateName = name;
  SetTemplateName(name);
  IniFile(SysIniPath()).WriteString("main", "Template", name);
  PageMemo::Instance().Clear();
  return true;
}

void TForeCast::LoadCities(const std::string& province) { Cities = Catalogue.ReadSection(province); }

void TForeCast::AddFavorite(const std::string& province, const std::string& city) {
  FavProvinces.push_back(province);
  FavCities.push_back(city);
}

void TForeCast::DeleteFavorite(int i) {
  if (i < 0 || i >= static_cast<int>(FavCities.size())) return;
  FavProvinces.erase(FavProvinces.begin() + i);
  FavCities.erase(FavCities.begin() + i);
}

std::string TForeCast::FavoriteProvince(int i) const {
  if (i < 0 || i >= static_cast<int>(FavProvinces.size())) return {};
  return FavProvinces[static_cast<size_t>(i)];
}

void TForeCast::SetSource(int n) {
  if (n == SourceId) return;
  SourceId = n;
  IniFile(SysIniPath()).WriteString("main", "WeatherServer", SourceCaption(n));
  PageMemo::Instance().Clear();
}

std::string TForeCast::StationCode() const { return Catalogue.ReadString(Province, City, ""); }

bool SaveFavoritesFile(const TextList& provinces, const TextList& cities, const TextList& beyond) {
  IniFile fav(AppPath() + "Favorite.ini");
  // One whole-file write, so a crash never leaves half a list.
  std::lock_guard<std::mutex> lock(PathLock(fav.FileName()));
  TextList lines;
  if (!LoadLinesForWrite(fav.FileName(), lines)) return false;
  // Drop every [Favorite] section, keep all else.
  TextList kept;
  bool in = false;
  for (const auto& l : lines) {
    std::string t = Trim(l);
    if (t.size() >= 2 && t.front() == '[' && t.find(']') != std::string::npos) {
      in = SameText(Trim(t.substr(1, t.find(']') - 1)), "Favorite");
      if (in) continue;
    }
    if (!in) kept.push_back(l);
  }
  while (!kept.empty() && Trim(kept.back()).empty()) kept.pop_back();
  if (!cities.empty() || !beyond.empty()) {
    if (!kept.empty()) kept.push_back("");
    kept.push_back("[Favorite]");
    for (size_t i = 0; i < cities.size(); ++i)
      kept.push_back((i < provinces.size() ? provinces[i] : std::string()) + "-" + cities[i] + "=");
    for (const auto& key : beyond) kept.push_back(key + "=");
  }
  return WriteFileAtomicLocked(fav.FileName(), JoinLines(kept));
}

}  // namespace zel
