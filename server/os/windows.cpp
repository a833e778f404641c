#include <windows.h>

#include <atomic>

#include "base/os/windows/server_stop.h"
#include "server/os.h"

namespace zel::server::os {
namespace {

// Set by a console event or by the window that started this server.
HANDLE g_stop = nullptr;
std::atomic<const char*> g_request{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  g_request = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? "SIGINT" : "SIGTERM";
  ::SetEvent(g_stop);
  return TRUE;  // handled: the main thread ends the process
}

}  // namespace

void PrepareStopRequests() {
  g_stop = ::CreateEventW(nullptr, TRUE, FALSE, zel::os::ServerStopEventName(::GetCurrentProcessId()).c_str());
  if (!g_stop) g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);  // console events still stop it
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::string WaitForStopRequest() {
  ::WaitForSingleObject(g_stop, INFINITE);
  const char* request = g_request;
  return request ? request : "the window's stop event";
}

// Sockets are not counted against a file limit there.
size_t RaiseFileLimit() { return 0; }

}  // namespace zel::server::os
