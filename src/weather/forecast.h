// The forecast manager: city catalogue, favourites, source choice, the five
// templates of the active set, and the province and city of the query.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "base/ini.h"
#include "base/text.h"
#include "weather/sources.h"

namespace zel {

class Browser;

// Favourites beyond this many in Favorite.ini are not shown (with a line on
// stderr) but kept in the file; the list takes no more than this many.
constexpr size_t kMaxFavorites = 200;

class TForeCast {
 public:
  // Reads Favorite.ini, Weather.ini, the chosen source (Startup()
  // weatherServer) and the active template set (TemplateName()). When a
  // template file cannot be read, TemplatesLoaded is false.
  TForeCast();

  TWeatherOnline SourceOnline;
  TWeatherCC SourceCC;
  TWeatherCN SourceCN;
  IniFile Catalogue;
  TextList FavProvinces, FavCities;
  // The keys of Favorite.ini beyond kMaxFavorites, as read; saved after
  // the shown ones, so a save never drops them.
  TextList FavBeyond;
  std::string City, Province;
  TextList Provinces, Cities;
  std::string DataFile;
  int SourceId = 2;
  std::string TplForecastOnline, TplWindOnline;
  std::string TemplateName;
  std::string TplForecastCC, TplForecastCN, TplTrendCN;
  bool TemplatesLoaded = false;
  // Held by a query running off the user-interface thread and by a
  // template switch, which must not change the templates under it.
  std::shared_ptr<std::mutex> QueryLock = std::make_shared<std::mutex>();

  void LoadCities(const std::string& province);
  void AddFavorite(const std::string& province, const std::string& city);
  void DeleteFavorite(int i);
  std::string FavoriteProvince(int i) const;
  void SetSource(int n);
  // Makes another template set active; false when a file of it could not
  // be read, or (busy set) while a query runs, which may take its whole
  // deadline: the active set then stays as it was.
  bool SetTemplate(const std::string& name, bool* busy = nullptr);
  // Reads the five templates of a set; false (nothing changed) on an error.
  bool LoadTemplates(const std::string& name);

  // Station code of City in section Province; empty when missing.
  std::string StationCode() const;
  std::string MemoKey() const { return Province + "-" + City; }

  std::string RenderForecastCC(const std::string& record) const;
  std::string RenderForecastCN(const std::string& record) const;
  std::string RenderTrendCN(const std::string& record) const;
  std::string RenderForecastOnline(const std::string& record) const;
  std::string RenderWindOnline(const std::string& record) const;

  bool ShowForecast(Browser& browser);
  bool ShowWind(Browser& browser);
  void PrefetchForecast();

  static std::string TemplateFolder(const std::string& name);
};

// Writes Favorite.ini from the favourites list: section Favorite erased,
// then one key province-city per row, empty values, in list order, then
// the keys in beyond as they are.
bool SaveFavoritesFile(const TextList& provinces, const TextList& cities, const TextList& beyond = {});

// Display name of source n (1 online, 3 CN, else CC).
std::string SourceCaption(int n);
// Source number of a stored server name (exact compare; else 2).
int SourceFromName(const std::string& name);

}  // namespace zel
