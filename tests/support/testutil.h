// Shared test helpers: temporary application folders, GBK literals, file
// reading, and loopback HTTP servers.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "base/gbk.h"

namespace zel::test {

using zel::G;

// A fresh folder under /tmp, removed with everything in it when destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }  // ends in '/'
  std::string operator/(const std::string& name) const { return path_ + name; }
  void Write(const std::string& name, const std::string& data) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

// An application folder: sets AppPath to a TempDir with a Download folder,
// and the start-up values to their defaults. Restores nothing (tests set
// what they use).
class AppFolder : public TempDir {
 public:
  AppFolder();
  // Copies the shipped data/ tree into the folder.
  void CopyShippedData() const;
  // Points every server of Servers.ini at base.
  void UseServer(const std::string& base) const;
};

// A cpp-httplib server on 127.0.0.1 on a free port, running on its own
// thread until destroyed.
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  httplib::Server& http() { return server_; }
  // port 0: any free port.
  void Start(int port = 0);
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

std::string ReadAll(const std::string& path);

// Sets or unsets an environment variable for the life of the object.
class EnvVar {
 public:
  EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~EnvVar() { Set(old_); }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    ::_putenv_s(name_, value ? value->c_str() : "");  // "" removes it
#else
    value ? ::setenv(name_, value->c_str(), 1) : ::unsetenv(name_);
#endif
  }
  const char* name_;
  std::optional<std::string> old_;
};

// The id of a process that has ended (and been reaped): owns nothing now.
int64_t EndedPid();
int64_t OwnPid();

// U(gbk): GBK -> UTF-8, for readable assertion messages.
inline std::string U(const std::string& gbk) { return ToUtf8(gbk); }

}  // namespace zel::test
