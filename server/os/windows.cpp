#include <windows.h>

#include <condition_variable>
#include <mutex>

#include "server/os.h"

namespace zel::server::os {
namespace {

std::mutex g_lock;
std::condition_variable g_stopped;
const char* g_request = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  {
    std::lock_guard<std::mutex> lock(g_lock);
    g_request = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? "SIGINT" : "SIGTERM";
  }
  g_stopped.notify_all();
  return TRUE;  // handled: the main thread ends the process
}

}  // namespace

void PrepareStopRequests() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

std::string WaitForStopRequest() {
  std::unique_lock<std::mutex> lock(g_lock);
  g_stopped.wait(lock, [] { return g_request != nullptr; });
  return g_request;
}

// Sockets are not counted against a file limit there.
size_t RaiseFileLimit() { return 0; }

}  // namespace zel::server::os
