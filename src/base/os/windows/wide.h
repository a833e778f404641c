// Windows takes file names, command lines and console text as UTF-16; the
// program's paths are the same UTF-8 bytes as on Linux.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel::os {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// A command line (UTF-8 words) quoted so that the started program's C
// runtime splits it back into the same words.
std::wstring CommandLine(const std::vector<std::string>& words);

}  // namespace zel::os
