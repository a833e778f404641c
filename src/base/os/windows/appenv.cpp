// Where the program is and where a user's files go, on Windows.
#include "base/appenv.h"

// clang-format off: winsock2.h before windows.h, the others after both.
#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/os/appenv_os.h"
#include "base/os/windows/wide.h"

namespace zel {
namespace {

std::string ForwardSlashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

bool Absolute(const std::string& path) {
  return (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '/') ||
         path.rfind("//", 0) == 0;
}

}  // namespace

std::string ExecutableFolder() {
  std::wstring buf(32768, L'\0');
  DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return "./";
  std::string exe = ForwardSlashes(os::Narrow(std::wstring_view(buf.data(), n)));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

std::string UserDataFolder() {
  // APPDATA as the environment names it (a moved profile, a test), else
  // where the system keeps it.
  std::string roaming;
  std::wstring env(32768, L'\0');
  DWORD n = ::GetEnvironmentVariableW(L"APPDATA", env.data(), static_cast<DWORD>(env.size()));
  if (n > 0 && n < env.size()) roaming = ForwardSlashes(os::Narrow(std::wstring_view(env.data(), n)));
  if (!Absolute(roaming)) {
    roaming.clear();
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK)
      roaming = ForwardSlashes(os::Narrow(known));
    ::CoTaskMemFree(known);
  }
  return roaming.empty() ? std::string() : NormalFolder(roaming + "/Zelmora/");
}

bool FolderWritable(const std::string& folder) {
  // Rights, a read-only medium or UAC: only a try tells.
  std::wstring probe = os::Wide(folder + ".writable-" + std::to_string(::GetCurrentProcessId()));
  HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

bool HasNetworkInterface() {
  ULONG size = 16384;
  std::vector<unsigned char> buf;
  ULONG r = ERROR_BUFFER_OVERFLOW;
  for (int tries = 0; tries < 3 && r == ERROR_BUFFER_OVERFLOW; ++tries) {
    buf.resize(size);
    r = ::GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                               nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()), &size);
  }
  if (r != NO_ERROR) return false;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()); a; a = a->Next)
    if (a->OperStatus == IfOperStatusUp && a->IfType != IF_TYPE_SOFTWARE_LOOPBACK && a->FirstUnicastAddress)
      return true;
  return false;
}

}  // namespace zel
