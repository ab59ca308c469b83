#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/http/TestSocket.h"

namespace test_socket {

namespace {
int Fd(TSocketId s) { return static_cast<int>(s); }
}  // namespace

TSocketOwner ListenOnLoopback(bool ipv6, std::uint16_t& port) {
  int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  TSocketOwner s(static_cast<TSocketId>(fd));
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage ss{};
  socklen_t len;
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
  if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len) != 0)
    return {};
  port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  return s;
}

TSocketOwner Accept(TSocketId listener) {
  int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return {};
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return TSocketOwner(static_cast<TSocketId>(fd));
}

int WaitReadable(TSocketId s, int ms) {
  pollfd p{Fd(s), POLLIN, 0};
  int r = ::poll(&p, 1, ms);
  return r > 0 ? 1 : r;
}

int Receive(TSocketId s, char* buf, int size) { return int(::recv(Fd(s), buf, std::size_t(size), 0)); }

bool SendAll(TSocketId s, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::send(Fd(s), data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

}  // namespace test_socket
