// Names that come from the network (the update description) must stay
// inside the folder they are meant for.
#pragma once

#include <optional>
#include <string>

namespace zel {

// folder + rel when rel names something inside folder (which ends in '/'),
// with '\' turned into '/'. nullopt when rel is empty, absolute, carries a
// drive or a control byte, names a parent folder (".."), names the folder
// itself, or when an existing folder on the way, or the name itself, is a
// link that leads out.
std::optional<std::string> PathInside(const std::string& folder, const std::string& rel);

}  // namespace zel
