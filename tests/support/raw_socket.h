// Plain loopback sockets for tests that act as peers no library would be:
// the few calls those tests make, the same on Linux and Windows.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>

namespace zel::test {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
constexpr int kShutBoth = SD_BOTH;
constexpr int kNoSigPipe = 0;  // Windows raises no signal on a closed peer
inline const bool kSocketsReady = [] {
  WSADATA d;
  return ::WSAStartup(MAKEWORD(2, 2), &d) == 0;
}();
inline void CloseSocket(Socket s) { ::closesocket(s); }
inline int PollSocket(pollfd* p, int n, int ms) { return ::WSAPoll(p, ULONG(n), ms); }
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kNoSigPipe = MSG_NOSIGNAL;
inline void CloseSocket(Socket s) { ::close(s); }
inline int PollSocket(pollfd* p, int n, int ms) { return ::poll(p, nfds_t(n), ms); }
#endif

// Everything or nothing sent.
inline bool SendAll(Socket s, const char* data, size_t size) {
  return ::send(s, data, int(size), kNoSigPipe) == static_cast<long long>(size);
}

}  // namespace zel::test
