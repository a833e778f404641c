// What the server needs from the operating system outside its HTTP layer.
// One file per system under os/; CMake picks it.
#pragma once

#include <cstddef>
#include <string>

namespace zel::server::os {

// Before any thread starts: stop requests (SIGINT and SIGTERM; on Windows
// Ctrl+C, closing the console and the stop event of the window that
// started the server) are kept for WaitForStopRequest, and a
// write to a closed connection is an error, not the end of the process.
void PrepareStopRequests();
// Blocks until a stop request comes; its name for the log.
std::string WaitForStopRequest();
// Raises the open-file limit as far as allowed; how many files the process
// may hold open, or 0 when nothing limits them.
size_t RaiseFileLimit();

}  // namespace zel::server::os
