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

const std::string& AppPath();
void SetAppPath(const std::string& folder);  // appends '/' when missing

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
