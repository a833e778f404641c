// Servers the window started and that may not answer yet. The window shows
// without waiting for them; a download to one of them waits on its own
// thread until it answers (or its time is up), so nothing fails because it
// came too early.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "base/companion_launch.h"

namespace zel {

// From now on, for up to `within`, the endpoints are expected to answer.
void ExpectServers(const std::vector<LoopbackEndpoint>& endpoints, std::chrono::milliseconds within);
// Blocks until the server of url answers when it is one still expected;
// returns at once for any other address. False when it did not answer in
// time. Never call it on the window's thread.
bool AwaitServer(const std::string& url);
// From now on every download waits so for its server (SetBeforeDownload).
void AwaitServersOnDownload();

}  // namespace zel
