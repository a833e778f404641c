// Shared by appenv.cpp and the systems' halves of appenv.h.
#pragma once

#include <string>

namespace zel {

// path without "." and ".." steps, with exactly one trailing '/'.
std::string NormalFolder(const std::string& path);
// True when files can be made in folder (tried on Windows, where rights
// are not told by modes).
bool FolderWritable(const std::string& folder);

}  // namespace zel
