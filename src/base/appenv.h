// The application folder and the process-wide start-up values. They are set
// by start-up (or the CLI, or a test) before any worker thread runs; only
// the template set name changes later, so it alone is guarded.
#pragma once

#include <optional>
#include <string>

namespace zel {

constexpr const char* kVersion = "5.9";

// The executable's folder with exactly one trailing '/'.
std::string ExecutableFolder();

// Where the program keeps its files. A build or portable folder (one that
// holds Sys.ini, or has no installed share folder beside it) is used as it
// is when it can be written. In an installed tree (<prefix>/bin with
// <prefix>/share/zelmora), or a portable folder that cannot be written, the
// shipped data is read-only and each user gets a folder of their own
// (UserDataFolder).
struct AppFolders {
  std::string app;     // AppPath: everything is read from and written to here
  std::string shared;  // the shipped data; the same as app outside an installed tree
  bool installed = false;
};
// <prefix>/share/zelmora/ for a program in <prefix>/bin or
// <prefix>/libexec/zelmora, or empty when there is none.
std::string InstalledShareFolder(const std::string& exeFolder);
// $XDG_DATA_HOME/zelmora/ (an absolute XDG_DATA_HOME only), else
// ~/.local/share/zelmora/; on Windows %APPDATA%\Zelmora\ (an absolute
// APPDATA only, else the user's roaming application data folder). Empty
// when no such folder is known.
std::string UserDataFolder();
// Decides, writes nothing (on Windows a probe of the portable folder, gone
// at once).
AppFolders LocateAppFolders(const std::string& exeFolder);
// Copies into app every file of shared that app lacks, never replacing one
// (the server's own data stays shared, the programs stay where they are),
// and makes Download/. False when the folder cannot be made.
bool FillUserFolder(const AppFolders& folders);
// Locate, then fill an installed user's folder. When that folder cannot be
// made the shared data is used as it is (read-only: settings are not kept).
AppFolders PrepareAppFolders(const std::string& exeFolder);

const std::string& AppPath();
void SetAppPath(const std::string& folder);  // appends '/' when missing
// The folder as written into a page, which is GBK like every text: the path
// itself is UTF-8.
std::string AppPathInPage();

struct StartupValues {
  std::string adPage = "AD.htm";
  std::string facePage = "Hello.htm";
  std::string dataVersion = "0";
  std::string weatherServer;  // GBK display name of the chosen source
};
StartupValues& Startup();

// Reads the five keys of Sys.ini ([main]: AD, face, DataVersion, Template,
// WeatherServer) in that order into the process-wide values.
void LoadSysSettings();
std::string SysIniPath();

std::string TemplateName();
void SetTemplateName(const std::string& name);

// Base address for one of the servers (CC, CN, Online, Lookup, Update) from
// Servers.ini, section servers, without a trailing '/'. Missing file or key:
// http://127.0.0.1:8090.
std::string ServerBase(const std::string& key);
bool AllServersLoopback();
constexpr const char* kDefaultServer = "http://127.0.0.1:8090";

// Connection state: an override (the CLI's --offline, tests) wins; else yes
// when every configured server is on loopback, or when a non-loopback
// interface is up with an address.
bool IsOnline();
void SetOnlineOverride(std::optional<bool> value);
bool HasNetworkInterface();

}  // namespace zel
