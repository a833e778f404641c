#include "base/appenv.h"

#include <atomic>
#include <filesystem>
#include <mutex>

#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "base/os/appenv_os.h"
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

namespace {

// The program's paths are UTF-8 on every system; a narrow std::filesystem
// path would read them in Windows' ANSI code page instead.
std::filesystem::path FsPath(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }
std::string Utf8(const std::filesystem::path& p) {
  std::u8string s = p.generic_u8string();
  return std::string(s.begin(), s.end());
}

}  // namespace

std::string NormalFolder(const std::string& path) {
  std::string s = Utf8(FsPath(path).lexically_normal());
  // A network folder (//host/share, from \\host\share) keeps the two
  // slashes that make it one.
  if (path.rfind("//", 0) == 0 && path.rfind("///", 0) != 0 && s.rfind("//", 0) != 0) s = "/" + s;
  return s.empty() ? "./" : IncludeBackslash(s);
}

namespace {

// The server's generated data is large and only the server reads it.
constexpr const char* kServerData = "serverdata";

// What a portable folder holds besides its data: the programs and what
// they write while they run.
bool ProgramFile(const std::string& name) {
  std::string n = FoldCase(name);
  auto endsWith = [&](std::string_view x) {
    return n.size() >= x.size() && n.compare(n.size() - x.size(), x.size(), x) == 0;
  };
  return n.rfind("zelmora", 0) == 0 || endsWith(".exe") || endsWith(".dll") || n == "server.log" || n[0] == '.';
}

void CopyMissing(const std::filesystem::path& from, const std::filesystem::path& to, bool top) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(from, ec)) {
    std::string name = Utf8(e.path().filename());
    if (top && (name == kServerData || ProgramFile(name))) continue;
    // Links are not followed: nothing outside the share folder is copied.
    if (e.is_symlink(ec)) continue;
    fs::path target = to / e.path().filename();
    if (e.is_directory(ec)) {
      if (CreateDir(Utf8(target))) CopyMissing(e.path(), target, false);
    } else if (e.is_regular_file(ec) && !fs::exists(fs::symlink_status(target, ec))) {
      // Fresh, user-writable copies whatever the share's own modes are.
      CopyFile(Utf8(e.path()), Utf8(target));
    }
  }
}

bool CreateDirs(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(FsPath(path), ec);
  return DirExists(path);
}

}  // namespace

std::string InstalledShareFolder(const std::string& exeFolder) {
  for (const char* up : {"../share/zelmora/", "../../share/zelmora/"}) {
    std::string share = NormalFolder(exeFolder + up);
    if (FileExists(share + "Weather.ini")) return share;
  }
  return {};
}

AppFolders LocateAppFolders(const std::string& exeFolder) {
  std::string exe = NormalFolder(exeFolder);
  std::string share = FileExists(exe + "Sys.ini") ? std::string() : InstalledShareFolder(exe);
  // A portable folder that cannot be written (unpacked into Program Files,
  // on a read-only medium) is a share like an installed one.
  if (share.empty() && !FolderWritable(exe)) share = exe;
  if (share.empty()) return {exe, exe, false};
  std::string user = UserDataFolder();
  return {user.empty() ? share : user, share, !user.empty()};
}

bool FillUserFolder(const AppFolders& folders) {
  if (!CreateDirs(folders.app)) return false;
  if (folders.app != folders.shared) CopyMissing(FsPath(folders.shared), FsPath(folders.app), true);
  CreateDir(folders.app + "Download");
  return true;
}

AppFolders PrepareAppFolders(const std::string& exeFolder) {
  AppFolders f = LocateAppFolders(exeFolder);
  if (f.installed && !FillUserFolder(f)) f.app = f.shared;
  return f;
}

const std::string& AppPath() { return g_appPath; }
void SetAppPath(const std::string& folder) { g_appPath = folder.empty() ? "./" : IncludeBackslash(folder); }
std::string AppPathInPage() { return FromUtf8(AppPath()); }

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

bool IsOnline() {
  int o = g_online.load();
  if (o >= 0) return o == 1;
  return AllServersLoopback() || HasNetworkInterface();
}

void SetOnlineOverride(std::optional<bool> value) { g_online = value ? (*value ? 1 : 0) : -1; }

}  // namespace zel
