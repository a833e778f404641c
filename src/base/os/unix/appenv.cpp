// Where the program is and where a user's files go, on a POSIX system.
#include "base/appenv.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/os/appenv_os.h"

namespace zel {

std::string ExecutableFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

std::string UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return NormalFolder(std::string(xdg) + "/zelmora/");
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  if (home.empty())
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
  return home.empty() ? std::string() : NormalFolder(home + "/.local/share/zelmora/");
}

bool FolderWritable(const std::string& folder) { return ::access(folder.c_str(), W_OK) == 0; }

bool HasNetworkInterface() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
    if (!a->ifa_addr || !(a->ifa_flags & IFF_UP) || (a->ifa_flags & IFF_LOOPBACK)) continue;
    int fam = a->ifa_addr->sa_family;
    found = fam == AF_INET || fam == AF_INET6;
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace zel
