#include "support/testutil.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/appenv.h"
#include "base/files.h"

namespace fs = std::filesystem;

namespace zel::test {

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "zeltest-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& data) const {
  fs::path p = path_ + name;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << data;
}

std::string TempDir::Read(const std::string& name) const { return ReadAll(path_ + name); }
bool TempDir::Exists(const std::string& name) const { return fs::exists(path_ + name); }

AppFolder::AppFolder() {
  fs::create_directories(path() + "Download");
  SetAppPath(path());
  Startup() = StartupValues{};
  Startup().weatherServer = G(u8"中央气象台");
  SetTemplateName("default");
  SetOnlineOverride(std::nullopt);
}

void AppFolder::CopyShippedData() const {
  fs::copy(fs::path(ZEL_SOURCE_DIR) / "data", path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void AppFolder::UseServer(const std::string& base) const {
  std::string ini = "[servers]\r\n";
  for (const char* k : {"CC", "CN", "Online", "Lookup", "Update"}) ini += std::string(k) + "=" + base + "\r\n";
  Write("Servers.ini", ini);
}

LoopbackServer::LoopbackServer() = default;

void LoopbackServer::Start(int port) {
  port_ = port > 0 ? (server_.bind_to_port("127.0.0.1", port) ? port : 0) : server_.bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

pid_t EndedPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

}  // namespace zel::test
