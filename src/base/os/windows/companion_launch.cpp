// The launcher on Windows: each server is started with CreateProcessW into
// the folder's job object, which every window of the folder holds open and
// which ends the server with its last holder, however that ends; the
// folder's lock is a LockFileEx range of .windows.lock.
#include "base/companion_launch.h"

// clang-format off: winsock2.h before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include "base/os/windows/names.h"
// clang-format on

#include <cstdio>
#include <cwchar>
#include <map>

#include "base/files.h"
#include "base/os/companion_os.h"
#include "base/os/files_os.h"
#include "base/os/windows/server_stop.h"
#include "base/os/windows/wide.h"

namespace zel {
namespace {

using os::Wide;
using std::chrono::milliseconds;

bool Winsock() {
  static const bool ready = [] {
    WSADATA d;
    return ::WSAStartup(MAKEWORD(2, 2), &d) == 0;
  }();
  return ready;
}

// A file on disk, never a link, folder or device; INVALID_HANDLE_VALUE else.
HANDLE OpenPlainFile(const std::string& path, SECURITY_ATTRIBUTES* inherit) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, inherit, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (h != INVALID_HANDLE_VALUE &&
      (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
       (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))) {
    ::CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
  return h;
}

// Every window of a folder opens the same job: its name comes from the
// folder's real path, folded to one case as Windows compares names.
std::wstring JobName(const std::string& folder) {
  std::wstring w = Wide(os::RealPath(folder).value_or(folder));
  ::CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
  uint64_t h = 14695981039346656037ull;
  for (wchar_t c : w) h = (h ^ c) * 1099511628211ull;
  std::wstring name = L"Local\\zelmora-windows-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(h >> shift) & 15];
  return name;
}

// A job that ends its processes when its last handle closes; unnamed, it
// is this window's alone.
HANDLE MakeJob(const std::wstring& name) {
  HANDLE job = ::CreateJobObjectW(nullptr, name.empty() ? nullptr : name.c_str());
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job && !::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    ::CloseHandle(job);
    job = nullptr;
  }
  return job;
}

// Forecast days are counted at the national clock, as ./run.sh runs it
// (UTC+8, in the C runtime's own notation).
std::wstring ServerEnvironment() {
  std::wstring block = L"TZ=CST-8";
  block += L'\0';
  wchar_t* env = ::GetEnvironmentStringsW();
  for (const wchar_t* e = env; e && *e; e += std::wcslen(e) + 1)
    if (_wcsnicmp(e, L"TZ=", 3) != 0) block.append(e, std::wcslen(e) + 1);
  ::FreeEnvironmentStringsW(env);
  return block + L'\0';
}

// The processes of the job, opened to wait for.
std::vector<HANDLE> JobProcesses(HANDLE job) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[63];
  } ids{};
  std::vector<HANDLE> out;
  if (!::QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr)) return out;
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList && i < 64; ++i)
    if (HANDLE p = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 static_cast<DWORD>(ids.list.ProcessIdList[i])))
      out.push_back(p);
  return out;
}

void AskToStop(HANDLE process) {
  HANDLE e = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, os::ServerStopEventName(::GetProcessId(process)).c_str());
  if (e) {
    ::SetEvent(e);
    ::CloseHandle(e);
  }
}

bool AllEnd(const std::vector<HANDLE>& processes, milliseconds within) {
  return processes.empty() || ::WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE,
                                                       static_cast<DWORD>(within.count())) != WAIT_TIMEOUT;
}

}  // namespace

struct CompanionLauncher::System {
  HANDLE lock = INVALID_HANDLE_VALUE;  // this window's share of the folder's lock
  HANDLE job = nullptr;                // the folder's job, or this window's own
  std::map<ProcessId, HANDLE> processes;
};

CompanionLauncher::CompanionLauncher() : sys_(new System) {}
CompanionLauncher::~CompanionLauncher() { StopAll(); }

namespace os {

std::optional<std::string> NumericLoopback(const std::string& host) {
  in_addr a4{};
  in6_addr a6{};
  if (!Winsock()) return std::nullopt;
  if (::inet_pton(AF_INET, host.c_str(), &a4) == 1 && (ntohl(a4.s_addr) >> 24) == 127) return host;
  if (::inet_pton(AF_INET6, host.c_str(), &a6) == 1 && IN6_IS_ADDR_LOOPBACK(&a6)) return "::1";
  return std::nullopt;
}

}  // namespace os

bool Answers(const LoopbackEndpoint& e, milliseconds timeout) {
  sockaddr_storage addr{};
  int len = 0;
  auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
  auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
  if (!Winsock()) return false;
  if (::inet_pton(AF_INET, e.host.c_str(), &a4->sin_addr) == 1) {
    a4->sin_family = AF_INET;
    a4->sin_port = htons(static_cast<u_short>(e.port));
    len = sizeof *a4;
  } else if (::inet_pton(AF_INET6, e.host.c_str(), &a6->sin6_addr) == 1) {
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(static_cast<u_short>(e.port));
    len = sizeof *a6;
  } else {
    return false;
  }
  SOCKET s = ::WSASocketW(addr.ss_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  ::ioctlsocket(s, FIONBIO, &nonBlocking);
  bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  if (!ok && ::WSAGetLastError() == WSAEWOULDBLOCK) {
    // A refused connection shows in the exception set, not as writable.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval t{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000 * 1000)};
    ok = ::select(0, nullptr, &writable, &failed, &t) > 0 && FD_ISSET(s, &writable);
  }
  ::closesocket(s);
  return ok;
}

std::string FindCompanionServer(const std::string& exeFolder) {
  std::string path = exeFolder + "zelmora-server.exe";
  return FileExists(path) ? path : std::string();
}

namespace {

// A shared range of the folder's lock file, waited for a bounded time.
HANDLE ShareLock(const std::string& path, milliseconds wait) {
  HANDLE h = OpenPlainFile(path, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "zelmora: %s is not a plain file; the server is not shared\n", path.c_str());
    return h;
  }
  auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    OVERLAPPED at{};
    if (::LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return h;
    if (::GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= until) break;
    ::Sleep(50);
  }
  std::fprintf(stderr, "zelmora: %s stays locked; the server is not shared\n", path.c_str());
  ::CloseHandle(h);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void CompanionLauncher::TakeLock(const Plan& plan) {
  if (sys_->job) return;
  if (!plan.appFolder.empty()) {
    // The folder's job is opened before its lock is waited for: a last
    // window stopping the servers then leaves the job to us.
    sys_->job = MakeJob(JobName(plan.appFolder));
    if (sys_->job && (sys_->lock = ShareLock(plan.appFolder + kLockName, plan.lockWait)) != INVALID_HANDLE_VALUE)
      return;
    if (sys_->job) ::CloseHandle(sys_->job);
  }
  // The servers are this window's alone.
  sys_->job = MakeJob(L"");
}

ProcessId CompanionLauncher::Spawn(const std::vector<std::string>& args) {
  std::wstring line = os::CommandLine(args);
  // The log is a plain file of the folder, or the server writes to a
  // console of its own, which nobody sees.
  std::string logPath = plan_.appFolder + "server.log";
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE log = OpenPlainFile(logPath, &inheritable);
  if (log != INVALID_HANDLE_VALUE && !::SetEndOfFile(log)) {
    ::CloseHandle(log);
    log = INVALID_HANDLE_VALUE;
  }
  if (log == INVALID_HANDLE_VALUE)
    std::fprintf(stderr, "zelmora: %s is not a plain file; no server log\n", logPath.c_str());
  // The log is all it inherits: the window's own handles stay with it.
  STARTUPINFOEXW si{};
  si.StartupInfo.cb = sizeof si;
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> attributes(size);
  si.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  bool inherit = log != INVALID_HANDLE_VALUE && ::InitializeProcThreadAttributeList(si.lpAttributeList, 1, 0, &size) &&
                 ::UpdateProcThreadAttribute(si.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &log, sizeof log,
                                             nullptr, nullptr);
  if (inherit) {
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdOutput = si.StartupInfo.hStdError = log;
  }
  // Suspended until it is in the job, so nothing of it runs outside.
  DWORD flags = CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                EXTENDED_STARTUPINFO_PRESENT;
  std::wstring env = ServerEnvironment();
  PROCESS_INFORMATION pi{};
  bool ok = ::CreateProcessW(Wide(args[0]).c_str(), line.data(), nullptr, nullptr, inherit, flags, env.data(), nullptr,
                             &si.StartupInfo, &pi);
  if (inherit) ::DeleteProcThreadAttributeList(si.lpAttributeList);
  if (log != INVALID_HANDLE_VALUE) ::CloseHandle(log);
  if (!ok) return 0;
  if (!sys_->job || !::AssignProcessToJobObject(sys_->job, pi.hProcess)) {
    // Nothing would end it with the windows: not started at all.
    ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return 0;
  }
  ::ResumeThread(pi.hThread);
  ::CloseHandle(pi.hThread);
  sys_->processes[pi.dwProcessId] = pi.hProcess;
  return pi.dwProcessId;
}

bool CompanionLauncher::Ended(ProcessId pid) {
  auto it = sys_->processes.find(pid);
  if (it == sys_->processes.end()) return true;
  if (::WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT) return false;
  ::CloseHandle(it->second);
  sys_->processes.erase(it);
  return true;
}

void CompanionLauncher::StopSystem(milliseconds grace) {
  // Alone when our share can become the whole lock; else other windows
  // still use the servers, and their hold on the job keeps them.
  bool alone = true;
  if (sys_->lock != INVALID_HANDLE_VALUE) {
    OVERLAPPED at{};
    ::UnlockFileEx(sys_->lock, 0, 1, 0, &at);
    alone = ::LockFileEx(sys_->lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
  }
  if (alone && sys_->job) {
    // Every server of the folder, whichever window started it.
    std::vector<HANDLE> servers = JobProcesses(sys_->job);
    for (HANDLE p : servers) AskToStop(p);
    if (!AllEnd(servers, grace)) ::TerminateJobObject(sys_->job, 1);
    AllEnd(servers, milliseconds(5000));
    for (HANDLE p : servers) ::CloseHandle(p);
  }
  if (sys_->job) ::CloseHandle(sys_->job);  // the last holder's close ends what is left
  sys_->job = nullptr;
  for (auto& [pid, process] : sys_->processes) {
    if (alone) ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
  }
  sys_->processes.clear();
  if (sys_->lock != INVALID_HANDLE_VALUE) ::CloseHandle(sys_->lock);  // lets a waiting window in
  sys_->lock = INVALID_HANDLE_VALUE;
}

}  // namespace zel
