// A program run by a test, its stderr collected for waiting on log lines.
#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <regex>
#include <string>
#include <vector>

namespace zel::test {

class ChildProcess {
 public:
  // argv[0] is the executable's path.
  explicit ChildProcess(std::vector<std::string> argv);
  // SIGTERM, then SIGKILL if it has not ended within 10 s (on Windows:
  // TerminateProcess).
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Reads the log until pattern matches: its first group (or the whole
  // match), empty when time runs out or the child ends first.
  std::string WaitFor(const std::regex& pattern, int ms = 15000);
  // Exit status (128 + signal when killed), or -1 when it has not ended
  // within ms; asked again, the same status.
  int Wait(int ms = 10000);
  // SIGINT or SIGTERM; on Windows both are the console's break (the child
  // has a console group of its own; it arrives only when there is a console).
  void Signal(int sig);
  // Ends it at once, as a crash would (SIGKILL, TerminateProcess).
  void Kill();
  const std::string& log() const { return log_; }

 private:
  void Drain(int ms);
#ifdef _WIN32
  void* process_ = nullptr;
  void* out_ = nullptr;
  unsigned long group_ = 0;
#else
  pid_t pid_ = -1;
  int out_ = -1;
#endif
  bool exited_ = false;
  int code_ = -1;
  std::string log_;
};

}  // namespace zel::test
