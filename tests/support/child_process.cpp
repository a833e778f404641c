#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace zel::test {

ChildProcess::ChildProcess(std::vector<std::string> argv) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(fds[1], 2);
    ::close(fds[0]);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  out_ = fds[0];
  ::fcntl(out_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGTERM);
    // Keep reading: a child blocked on a full pipe would never end.
    if (Wait(10000) < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  ::close(out_);
}

int ChildProcess::Wait(int ms) {
  if (exited_) return code_;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      Drain(0);
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return code_;
    }
    Drain(20);
  } while (std::chrono::steady_clock::now() < until);
  return -1;
}

void ChildProcess::Signal(int sig) { ::kill(pid_, sig); }

void ChildProcess::Kill() { ::kill(pid_, SIGKILL); }

void ChildProcess::Drain(int ms) {
  pollfd p{out_, POLLIN, 0};
  ::poll(&p, 1, ms);
  char buf[4096];
  for (ssize_t n; (n = ::read(out_, buf, sizeof buf)) > 0;) log_.append(buf, size_t(n));
}

}  // namespace zel::test
