// What companion_launch.cpp needs from the system beyond the launcher's own
// members (whose system-bound half lives in os/<system>/companion_launch.cpp).
#pragma once

#include <optional>
#include <string>

namespace zel::os {

// host as the numeric loopback address it spells ("::1" for every spelling
// of the IPv6 one, the address itself for 127.x.y.z); nullopt for anything
// else, names included.
std::optional<std::string> NumericLoopback(const std::string& host);

}  // namespace zel::os
