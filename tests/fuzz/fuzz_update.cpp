// One update run against any description: whatever it names, nothing is
// written outside the application folder.
#include <httplib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "base/files.h"
#include "fuzz/fuzz_util.h"
#include "update/update.h"

namespace {

std::mutex g_lock;
std::string g_description;

struct Server {
  httplib::Server http;
  int port = 0;
  Server() {
    http.Get("/weather/UpDate.txt", [](const httplib::Request&, httplib::Response& r) {
      std::lock_guard<std::mutex> l(g_lock);
      r.set_content(g_description, "text/plain");
    });
    http.Get(".*", [](const httplib::Request& q, httplib::Response& r) { r.set_content("data " + q.path, "text/plain"); });
    port = http.bind_to_any_port("127.0.0.1");
    std::thread([this] { http.listen_after_bind(); }).detach();
    while (!http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

size_t CountOutside(const std::filesystem::path& root) {
  size_t n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Server* server = new Server;
  // The application folder sits inside a guard folder; only it may change.
  static const std::string guard = zel::fuzz::ScratchApp() + "guard/";
  static const std::string app = guard + "app/";
  static const bool ready = [] {
    std::filesystem::create_directories(app + "Download");
    return true;
  }();
  (void)ready;
  {
    std::lock_guard<std::mutex> l(g_lock);
    g_description.assign(reinterpret_cast<const char*>(data), size);
  }
  zel::UpdateSettings s;
  s.appPath = app;
  s.descriptionUrl = "http://127.0.0.1:" + std::to_string(server->port) + "/weather/UpDate.txt";
  s.localVersion = "0";
  size_t before = 0;
  for (const auto& e : std::filesystem::directory_iterator(guard)) (void)e, ++before;
  zel::TWeb(s).Execute();
  size_t after = 0;
  for (const auto& e : std::filesystem::directory_iterator(guard)) (void)e, ++after;
  if (after != before) std::abort();  // something landed beside the application folder
  if (CountOutside(zel::fuzz::ScratchApp()) > 100000) std::abort();
  // Start the next run from a clean folder.
  std::filesystem::remove_all(app);
  std::filesystem::create_directories(app + "Download");
  return 0;
}
