// Windows takes file names, command lines and console text as UTF-16; the
// program's paths are the same UTF-8 bytes as on Linux.
#pragma once

#include <string>
#include <string_view>

namespace zel::os {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace zel::os
