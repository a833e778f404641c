#include "base/appenv.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "base/gbk.h"
#include "base/ini.h"
#include "base/text.h"

namespace zel {
namespace {

// Never destroyed: detached workers may still read them while the process
// ends, after static destructors have started.
std::string& g_appPath = *new std::string("./");
StartupValues& g_startup = *new StartupValues;
std::mutex& g_templateLock = *new std::mutex;
std::string& g_templateName = *new std::string("default");
std::atomic<int> g_online{-1};  // -1: ask the system

}  // namespace

std::string ExecutableFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

const std::string& AppPath() { return g_appPath; }
void SetAppPath(const std::string& folder) { g_appPath = folder.empty() ? "./" : IncludeBackslash(folder); }

StartupValues& Startup() { return g_startup; }

std::string SysIniPath() { return AppPath() + "Sys.ini"; }

void LoadSysSettings() {
  IniFile sys(SysIniPath());
  g_startup.adPage = sys.ReadString("main", "AD", "AD.htm");
  g_startup.facePage = sys.ReadString("main", "face", "Hello.htm");
  g_startup.dataVersion = sys.ReadString("main", "DataVersion", "0");
  SetTemplateName(sys.ReadString("main", "Template", "default"));
  g_startup.weatherServer = sys.ReadString("main", "WeatherServer", G(u8"中央气象台"));
}

std::string TemplateName() {
  std::lock_guard<std::mutex> lock(g_templateLock);
  return g_templateName;
}

void SetTemplateName(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_templateLock);
  g_templateName = name;
}

std::string ServerBase(const std::string& key) {
  std::string v = Trim(IniFile(AppPath() + "Servers.ini").ReadString("servers", key, kDefaultServer));
  while (!v.empty() && v.back() == '/') v.pop_back();
  return v.empty() ? kDefaultServer : v;
}

namespace {
bool IsLoopbackAddress(const std::string& base) {
  std::string s = FoldCase(base);
  size_t scheme = s.find("://");
  if (scheme != std::string::npos) s = s.substr(scheme + 3);
  size_t end = s.find_first_of(":/");
  std::string host = s.substr(0, end);
  if (!host.empty() && host[0] == '[') host = s.substr(0, s.find(']') + 1);
  // 127.x.y.z only as a numeric address: "127.0.0.1.example.org" is a name.
  bool numeric = host.find_first_not_of("0123456789.") == std::string::npos;
  return host == "localhost" || (host.rfind("127.", 0) == 0 && numeric) || host == "[::1]";
}
}  // namespace

bool AllServersLoopback() {
  for (const char* key : {"CC", "CN", "Online", "Lookup", "Update"})
    if (!IsLoopbackAddress(ServerBase(key))) return false;
  return true;
}

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

bool IsOnline() {
  int o = g_online.load();
  if (o >= 0) return o == 1;
  return AllServersLoopback() || HasNetworkInterface();
}

void SetOnlineOverride(std::optional<bool> value) { g_online = value ? (*value ? 1 : 0) : -1; }

}  // namespace zel
