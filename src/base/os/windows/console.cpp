#include "base/console.h"

// clang-format off: shellapi.h needs windows.h first.
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/os/windows/wide.h"

namespace zel {

void UseUtf8Console(int& argc, char**& argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
  // No "\n" -> "\r\n": the output is the same bytes as on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int n = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
  if (!wide) return;
  // Kept for the life of the process, as argv is.
  static auto* args = new std::vector<std::string>;
  static auto* ptrs = new std::vector<char*>;
  for (int i = 0; i < n; ++i) args->push_back(os::Narrow(wide[i]));
  ::LocalFree(wide);
  for (auto& a : *args) ptrs->push_back(a.data());
  ptrs->push_back(nullptr);
  argc = n;
  argv = ptrs->data();
}

}  // namespace zel
