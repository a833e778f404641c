// Closing the real program while its prefetch and update workers are in
// the middle of their downloads ends it cleanly: no crash, no hang, and
// every file whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/testutil.h"
#include "weather/cache.h"

using namespace zel;
using namespace std::chrono_literals;

TEST(CloseWindow, MidDownloadExitsCleanlyAndLeavesFilesWhole) {
  test::AppFolder app;
  app.CopyShippedData();
  std::string favourites = G(u8"[Favorite]\r\n广东-广州=\r\n广东-深圳=\r\n北京-北京=\r\n");
  app.Write("Favorite.ini", favourites);
  std::atomic<int> requests{0};
  test::LoopbackServer server;
  server.http().new_task_queue = [] { return new httplib::ThreadPool(16); };
  server.http().Get(".*", [&](const httplib::Request&, httplib::Response& res) {
    ++requests;
    std::this_thread::sleep_for(4s);  // every download is still running when the window closes
    res.status = 404;
  });
  server.Start();
  app.UseServer(server.base());
  std::filesystem::copy_file(std::string(ZEL_APP_DIR) + "/zelmora", app.path() + "zelmora");
  std::filesystem::permissions(app.path() + "zelmora", std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);

  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::string exe = app.path() + "zelmora";
    ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Three prefetch workers and the update worker are downloading.
  auto until = std::chrono::steady_clock::now() + 30s;
  while (requests < 4 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
  EXPECT_GE(requests.load(), 4) << "workers started their downloads";
  ::kill(pid, SIGTERM);  // closes the window the normal way

  int status = 0;
  pid_t done = 0;
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "the program hung after its window closed";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(app.Read("Favorite.ini"), favourites);
  for (const auto& e : std::filesystem::directory_iterator(app.path() + "Download")) {
    std::string name = e.path().filename().string();
    if (name.rfind("CC", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".txt") {
      EXPECT_TRUE(LoadCacheFile(e.path().string(), 16).has_value()) << name << " is torn";
    }
  }
}
