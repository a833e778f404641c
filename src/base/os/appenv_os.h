// Shared by appenv.cpp and the systems' halves of appenv.h.
#pragma once

#include <string>

namespace zel {

// path without "." and ".." steps, with exactly one trailing '/'.
std::string NormalFolder(const std::string& path);

}  // namespace zel
