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
#include <vector>

#include "base/os/appenv_os.h"
#include "base/os/windows/wide.h"

namespace zel {
namespace {

std::string ForwardSlashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
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
  PWSTR roaming = nullptr;
  std::string out;
  if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming) == S_OK)
    out = NormalFolder(ForwardSlashes(os::Narrow(roaming)) + "/Zelmora/");
  ::CoTaskMemFree(roaming);
  return out;
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
