// A loopback update server and an application folder for the update tests.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "base/appenv.h"
#include "support/testutil.h"
#include "update/update.h"

namespace zel::test {

// Serves /weather/UpDate.txt and /data/<name> from what the test put there;
// counts requests for data files.
class UpdateServer {
 public:
  UpdateServer() {
    srv_.http().Get(R"(/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(mu_);
      if (req.path.rfind("/data/", 0) == 0) ++dataRequests;
      auto it = files_.find(req.path);
      if (it == files_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "application/octet-stream");
    });
    srv_.Start();
  }
  void Put(const std::string& path, const std::string& body) {
    std::lock_guard<std::mutex> lock(mu_);
    files_[path] = body;
  }
  void Description(const std::string& ini) { Put("/weather/UpDate.txt", ini); }
  std::string base() const { return srv_.base(); }
  std::string DataUrl() const { return base() + "/data/"; }
  std::atomic<int> dataRequests{0};

 private:
  std::mutex mu_;
  std::map<std::string, std::string> files_;
  // Last, so it stops before what its handler reads goes away: a killed
  // client's connection may still be served while the test ends.
  LoopbackServer srv_;
};

inline UpdateSettings SettingsFor(const AppFolder& app, const UpdateServer& srv, const std::string& local) {
  UpdateSettings s;
  s.appPath = app.path();
  s.localVersion = local;
  s.descriptionUrl = srv.base() + "/weather/UpDate.txt";
  s.descriptionLimits.connectTimeoutMs = s.fileLimits.connectTimeoutMs = 2000;
  s.descriptionLimits.totalTimeoutMs = s.fileLimits.totalTimeoutMs = 5000;
  s.descriptionLimits.maxBytes = kMaxDescriptionBytes;
  s.fileLimits.maxBytes = kMaxDataFileBytes;
  return s;
}

}  // namespace zel::test
