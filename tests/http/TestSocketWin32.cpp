#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/http/TestSocket.h"

namespace test_socket {

namespace {
SOCKET Sock(TSocketId s) { return static_cast<SOCKET>(s); }
}  // namespace

TSocketOwner ListenOnLoopback(bool ipv6, std::uint16_t& port) {
  // The server uses the Windows Sockets start of the client library, which its first
  // socket makes; so every test with a server also checks that start.
  TTcpSocket{};
  SOCKET h = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (h == INVALID_SOCKET) return {};
  TSocketOwner s(static_cast<TSocketId>(h));
  sockaddr_storage ss{};
  int len;
  if (ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
    a->sin6_family = AF_INET6;
    a->sin6_addr = in6addr_loopback;
    len = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *a;
  }
  if (::bind(h, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(h, 8) != 0 ||
      ::getsockname(h, reinterpret_cast<sockaddr*>(&ss), &len) != 0)
    return {};
  port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  return s;
}

TSocketOwner Accept(TSocketId listener) {
  SOCKET h = ::accept(Sock(listener), nullptr, nullptr);
  if (h == INVALID_SOCKET) return {};
  BOOL one = TRUE;
  ::setsockopt(h, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return TSocketOwner(static_cast<TSocketId>(h));
}

int WaitReadable(TSocketId s, int ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Sock(s), &readable);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  int r = ::select(0, &readable, nullptr, nullptr, &tv);
  return r > 0 ? 1 : r == 0 ? 0 : -1;
}

int Receive(TSocketId s, char* buf, int size) { return ::recv(Sock(s), buf, size, 0); }

bool SendAll(TSocketId s, const char* data, std::size_t size) {
  while (size > 0) {
    int n = ::send(Sock(s), data, size < 65536 ? int(size) : 65536, 0);
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

}  // namespace test_socket
