// A zelmora-server on Windows stops on console events and on this event,
// named after its process id: the window that started it has no console to
// send Ctrl+Break through, so it sets the event instead.
#pragma once

#include <string>

namespace zel::os {

inline std::wstring ServerStopEventName(unsigned long pid) {
  return L"Local\\zelmora-server-stop-" + std::to_wstring(pid);
}

}  // namespace zel::os
