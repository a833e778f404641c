// Broken-down times, thread-safe on every system.
#pragma once

#include <ctime>

namespace zel {

std::tm LocalTime(std::time_t t);
std::tm UtcTime(std::time_t t);

}  // namespace zel
