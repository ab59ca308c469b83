// What the two sides of the socket layer share of the socket calls themselves: freeing
// resolver results, the options every connection gets and binding to a local address.
// Included by the socket layer's platform files only, after their system headers, which
// declare the same calls on both platforms.
#pragma once

#include <string>

struct TAddrInfoFree {
  void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};

// Raises the kernel buffer sizes and turns off Nagle's delay, as a request is sent whole.
template <class Socket>
void SetConnectionOptions(Socket s, int recvBuffer, int sendBuffer) {
  // A buffer size only ever raises what the system gives. A fixed size below it shrinks
  // the receive window, and on Linux setting any size turns off the window's automatic
  // growth: a large download then stalls whenever the reader is not scheduled at once,
  // which made loopback downloads take twice as long in some runs.
  auto raise = [s](int option, int want) {
    int have = 0;
    socklen_t len = sizeof have;
    if (::getsockopt(s, SOL_SOCKET, option, reinterpret_cast<char*>(&have), &len) == 0 && have >= want) return;
    ::setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&want), sizeof want);
  };
  raise(SO_RCVBUF, recvBuffer);
  raise(SO_SNDBUF, sendBuffer);
  int v = 1;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&v), sizeof v);
}

// Binds s to the numeric address bindIP of family (any port); an empty or unspecified
// address binds nothing. False when bindIP is not such an address or cannot be bound.
template <class Socket>
bool BindLocal(Socket s, int family, const std::string& bindIP) {
  if (bindIP.empty() || bindIP == "0.0.0.0" || bindIP == "::") return true;
  sockaddr_storage ss{};
  socklen_t len = 0;
  if (family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    if (::inet_pton(AF_INET, bindIP.c_str(), &a->sin_addr) != 1) return false;
    len = sizeof(sockaddr_in);
  } else {
    auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
    a->sin6_family = AF_INET6;
    if (::inet_pton(AF_INET6, bindIP.c_str(), &a->sin6_addr) != 1) return false;
    len = sizeof(sockaddr_in6);
  }
  return ::bind(s, reinterpret_cast<sockaddr*>(&ss), len) == 0;
}
