#include "support/testutil.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/appenv.h"
#include "base/files.h"

namespace fs = std::filesystem;

namespace zel::test {

namespace {
// Test paths are UTF-8, as the program's are; narrow ones would go through
// the ANSI code page on Windows.
fs::path U8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }
}  // namespace

TempDir::TempDir() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  // create_directory is false for a folder that is there already.
  for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
    fs::path p = fs::temp_directory_path() / ("zeltest-" + std::to_string(random() % 1000000000));
    if (fs::create_directory(p)) path_ = p.generic_string() + "/";
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& data) const {
  fs::path p = U8(path_ + name);
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << data;
}

std::string TempDir::Read(const std::string& name) const { return ReadAll(path_ + name); }
bool TempDir::Exists(const std::string& name) const { return fs::exists(U8(path_ + name)); }

AppFolder::AppFolder() {
  fs::create_directories(path() + "Download");
  SetAppPath(path());
  Startup() = StartupValues{};
  Startup().weatherServer = G(u8"中央气象台");
  SetTemplateName("default");
  SetOnlineOverride(std::nullopt);
}

void AppFolder::CopyShippedData() const {
  // File by file: fs::copy of a whole tree copies nothing under Wine.
  const std::string from = std::string(ZEL_SOURCE_DIR) + "/data";
  for (const auto& e : fs::recursive_directory_iterator(from)) {
    fs::path to = path() + e.path().generic_string().substr(from.size() + 1);
    if (e.is_directory())
      fs::create_directories(to);
    else
      fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing);
  }
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
  std::ifstream in(U8(path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

#ifdef _WIN32
int64_t EndedPid() {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  wchar_t cmd[] = L"cmd.exe /c exit";
  if (!::CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    throw std::runtime_error("cmd.exe did not start");
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);  // the id is free only once no handle holds it
  return pi.dwProcessId;
}

int64_t OwnPid() { return ::GetCurrentProcessId(); }
#else
int64_t EndedPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

int64_t OwnPid() { return ::getpid(); }
#endif

}  // namespace zel::test
