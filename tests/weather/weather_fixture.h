// Weather test helpers: an application folder with the fixture catalogue
// and template sets, the fixture pages, and a loopback server that serves
// them under the three sites' addresses and counts the requests.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "base/appenv.h"
#include "base/files.h"
#include "base/text.h"
#include "support/testutil.h"

namespace zel::test {

inline std::string FixturePath(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/weather/" + name; }

inline TextList FixtureLines(const std::string& name) {
  TextList lines;
  LoadLines(FixturePath(name), lines);
  return lines;
}

inline std::string Page(const TextList& lines) { return JoinLines(lines); }

// A page moved down by n filler lines inserted at line `at`.
inline TextList Shifted(TextList lines, size_t at, size_t n) {
  lines.insert(lines.begin() + static_cast<long>(at), n, "<!-- moved -->");
  return lines;
}

// Serves pages by path plus query ("/a?b=c"); anything else is a 404.
class PageServer {
 public:
  PageServer() {
    server_.http().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      std::string key = req.target;
      std::lock_guard<std::mutex> lock(m_);
      ++requests_;
      ++hits_[req.path];
      auto it = pages_.find(key);
      if (it == pages_.end()) it = pages_.find(req.path);
      if (it == pages_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "text/html");
    });
    server_.Start();
  }
  void Set(const std::string& target, const std::string& body) {
    std::lock_guard<std::mutex> lock(m_);
    pages_[target] = body;
  }
  void Drop(const std::string& target) {
    std::lock_guard<std::mutex> lock(m_);
    pages_.erase(target);
  }
  int Requests() const { return requests_.load(); }
  int Hits(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_);
    return hits_[path];
  }
  std::string base() const { return server_.base(); }

  // The standard pages of all three sites for station 54511.
  void ServeAll(const std::string& id = "54511") {
    Set("/nmc/citySearch.do?inputMode=citysearch&type=second&cityid=" + id, Page(FixtureLines("cc_forecast.htm")));
    Set("/forecast/24time.jsp?sta_id=" + id, Page(FixtureLines("cn_forecast.htm")));
    Set("/forecast/qushi.jsp?sta_id=" + id, Page(FixtureLines("cn_trend.htm")));
    Set("/cgi-bin/region?PRG=citybild&CONT=cncn&CREG=hkch&WMO=" + id + "&LAND=CI&LANG=cn",
        Page(FixtureLines("online_frame_forecast.htm")));
    Set("/cgi-bin/region?PRG=citywind&CONT=cncn&CREG=hkch&WMO=" + id + "&LAND=CI&LANG=cn",
        Page(FixtureLines("online_frame_wind.htm")));
    Set("/online/fc/54511.htm", Page(FixtureLines("online_forecast.htm")));
    Set("/online/wind/54511.htm", Page(FixtureLines("online_wind.htm")));
  }

 private:
  std::mutex m_;
  std::map<std::string, std::string> pages_;
  std::map<std::string, int> hits_;
  std::atomic<int> requests_{0};
  // Last, so it stops before what its handler reads goes away.
  LoopbackServer server_;
};

// An application folder with the fixture catalogue and both template sets,
// every server pointing at base, the icon folder present.
inline void SetUpWeatherApp(const AppFolder& app, const std::string& base) {
  app.Write("Weather.ini", ReadAll(FixturePath("Weather.ini")));
  for (const char* set : {"default", "plain"})
    for (const char* f : {"ForeCastOnline.htm", "WendOnline.htm", "ForeCastCC.htm", "ForeCastCN.htm", "WendCN.htm",
                          "author.ini"})
      app.Write(std::string("Template/") + set + "/" + f,
                ReadAll(FixturePath(std::string("Template/") + set + "/" + f)));
  CreateDir(app.path() + "images");
  app.UseServer(base);
}

}  // namespace zel::test

namespace zel::test {

// A UTF-8 literal as a plain string, to compare with U(gbk).
inline std::string Utf8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

inline TextList Fields(const std::string& record) { return SplitString(record, "**?**"); }

}  // namespace zel::test
