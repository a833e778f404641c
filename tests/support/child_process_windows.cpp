#include <windows.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "base/os/windows/wide.h"
#include "support/child_process.h"

namespace zel::test {

ChildProcess::ChildProcess(std::vector<std::string> argv) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!::CreatePipe(&read, &write, &sa, 0)) throw std::runtime_error("CreatePipe");
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  std::wstring cmd = os::CommandLine(argv);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = write;
  PROCESS_INFORMATION pi{};
  // Found as the command line's first word, so ".exe" may be left out. A
  // console group of its own: a break sent to it spares this process.
  BOOL ok = ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                             nullptr, nullptr, &si, &pi);
  ::CloseHandle(write);
  if (!ok) {
    ::CloseHandle(read);
    throw std::runtime_error("cannot start " + argv[0]);
  }
  ::CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  group_ = pi.dwProcessId;
  out_ = read;
}

ChildProcess::~ChildProcess() {
  // No break first: without a console (as under ctest) it never arrives.
  if (!exited_) {
    Kill();
    ::WaitForSingleObject(process_, INFINITE);
  }
  ::CloseHandle(out_);
  ::CloseHandle(process_);
}

int ChildProcess::Wait(int ms) {
  if (exited_) return code_;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    if (::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
      exited_ = true;
      Drain(0);
      DWORD code = 0;
      ::GetExitCodeProcess(process_, &code);
      code_ = int(code);
      return code_;
    }
    Drain(20);
  } while (std::chrono::steady_clock::now() < until);
  return -1;
}

void ChildProcess::Signal(int) { ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group_); }

// 128 + 9, what a SIGKILL reads as on Linux.
void ChildProcess::Kill() { ::TerminateProcess(process_, 137); }

// Waits up to ms for output, then takes all there is; an ended writer
// returns at once, as poll does on a hung-up pipe.
void ChildProcess::Drain(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    DWORD avail = 0;
    if (!::PeekNamedPipe(out_, nullptr, 0, nullptr, &avail, nullptr)) return;
    if (avail > 0) {
      char buf[4096];
      DWORD n = 0;
      while (avail > 0 && ::ReadFile(out_, buf, std::min<DWORD>(avail, sizeof buf), &n, nullptr) && n > 0) {
        log_.append(buf, n);
        if (!::PeekNamedPipe(out_, nullptr, 0, nullptr, &avail, nullptr)) return;
      }
      return;
    }
    if (std::chrono::steady_clock::now() >= until) return;
    ::Sleep(5);
  }
}

}  // namespace zel::test
