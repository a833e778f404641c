#include <signal.h>
#include <sys/resource.h>

#include "server/os.h"

namespace zel::server::os {
namespace {

sigset_t StopSignals() {
  sigset_t s;
  sigemptyset(&s);
  sigaddset(&s, SIGINT);
  sigaddset(&s, SIGTERM);
  return s;
}

}  // namespace

void PrepareStopRequests() {
  // Every thread started later inherits the block; one thread takes them.
  sigset_t s = StopSignals();
  pthread_sigmask(SIG_BLOCK, &s, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

std::string WaitForStopRequest() {
  sigset_t s = StopSignals();
  int sig = 0;
  sigwait(&s, &sig);
  return sig == SIGINT ? "SIGINT" : "SIGTERM";
}

size_t RaiseFileLimit() {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) return 0;
  if (files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    getrlimit(RLIMIT_NOFILE, &files);
  }
  return files.rlim_cur == RLIM_INFINITY ? 0 : size_t(files.rlim_cur);
}

}  // namespace zel::server::os
