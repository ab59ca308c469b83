// The socket layer on Windows: Windows Sockets 2.2, non-blocking sockets with select for
// the waits. Windows Sockets starts with the first socket the module makes and stops when
// the module unloads.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <climits>

#include "http/NetSocket.h"
#include "http/NetSocketAddress.h"
#include "http/NetSocketWin32.h"

static_assert(INVALID_SOCKET == kNoSocket, "TSocketId holds a SOCKET");

TWinsockStart::TWinsockStart(std::uint16_t version) {
  WSADATA data{};
  error_ = ::WSAStartup(version, &data);
  if (error_ != 0) return;
  if (data.wVersion != version) {
    ::WSACleanup();
    error_ = WSAVERNOTSUPPORTED;
    return;
  }
  started_ = true;
}

TWinsockStart::~TWinsockStart() {
  if (started_) ::WSACleanup();
}

void TWinsockStart::Require() const {
  if (!started_) throw Exception(u"Error loading Socket interface (ws2_32.dll)!");
}

namespace {

// Not started while the module loads: that runs under the system's loader lock, where
// starting Windows Sockets (which loads its helper libraries) can deadlock, and where an
// exception would end the host process.
const TWinsockStart& Winsock() {
  static const TWinsockStart winsock(MAKEWORD(2, 2));
  return winsock;
}

SOCKET Sock(TSocketId id) { return static_cast<SOCKET>(id); }

// Waits up to timeoutMs for the socket; 0 when ready, else the socket error code. A wait
// for writing also ends when a connection attempt fails, which select reports among the
// exceptions.
int WaitOn(TSocketId id, TSocketWait what, std::int32_t timeoutMs) {
  fd_set wait, failed;
  FD_ZERO(&wait);
  FD_ZERO(&failed);
  FD_SET(Sock(id), &wait);
  FD_SET(Sock(id), &failed);
  std::int32_t ms = timeoutMs > 0 ? timeoutMs : 0;
  timeval tv{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
  int r = what == TSocketWait::Read ? ::select(0, &wait, nullptr, nullptr, &tv)
                                    : ::select(0, nullptr, &wait, &failed, &tv);
  if (r > 0) return 0;
  if (r == 0) return WSAETIMEDOUT;
  return ::WSAGetLastError();
}

int Clamp(std::size_t n) { return static_cast<int>(n < INT_MAX ? n : INT_MAX); }

}  // namespace

void TSocketOwner::Close() {
  if (id_ != kNoSocket) ::closesocket(Sock(id_));
  id_ = kNoSocket;
}

void TTcpSocket::RequireSocketLibrary() { Winsock().Require(); }

bool TTcpSocket::WaitFor(TSocketWait what) {
  int err = WaitOn(sock_.Get(), what, Timeout);
  if (err) Fail(err);
  return err == 0;
}

bool TTcpSocket::Connect(const std::string& host, const std::string& port, const std::string& bindIP) {
  CloseSocket();
  lastError_ = 0;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* raw = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw) != 0) {
    Fail(WSAHOST_NOT_FOUND);
    return false;
  }
  std::unique_ptr<addrinfo, TAddrInfoFree> list(raw);
  int err = WSAHOST_NOT_FOUND;
  for (addrinfo* a = list.get(); a; a = a->ai_next) {
    SOCKET h = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (h == INVALID_SOCKET) {
      err = ::WSAGetLastError();
      continue;
    }
    TSocketOwner s(static_cast<TSocketId>(h));
    // Programs the host starts must not inherit the connection.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(h), HANDLE_FLAG_INHERIT, 0);
    SetConnectionOptions(h, SizeRecvBuffer, SizeSendBuffer);
    if (!BindLocal(h, a->ai_family, bindIP)) {
      err = WSAEADDRNOTAVAIL;
      continue;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(h, FIONBIO, &nonBlocking) != 0) {
      err = ::WSAGetLastError();
      continue;
    }
    if (::connect(h, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      int e = ::WSAGetLastError();
      if (e != WSAEWOULDBLOCK) {
        err = e;
        continue;
      }
      if ((err = WaitOn(s.Get(), TSocketWait::Write, Timeout)) != 0) continue;
      int soErr = 0;
      int len = sizeof soErr;
      ::getsockopt(h, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soErr), &len);
      if (soErr != 0) {
        err = soErr;
        continue;
      }
    }
    sock_ = std::move(s);
    buf_.resize(static_cast<std::size_t>(SizeRecvBuffer > 0 ? SizeRecvBuffer : 65536));
    lastError_ = 0;
    return true;
  }
  Fail(err);
  return false;
}

std::ptrdiff_t TTcpSocket::SysSend(const std::uint8_t* data, std::size_t size) {
  int n = ::send(Sock(sock_.Get()), reinterpret_cast<const char*>(data), Clamp(size), 0);
  if (n >= 0) return n;
  int e = ::WSAGetLastError();
  if (e == WSAEWOULDBLOCK) return 0;
  Fail(e);
  return -1;
}

std::ptrdiff_t TTcpSocket::SysRecv(std::uint8_t* dest, std::size_t max) {
  int n = ::recv(Sock(sock_.Get()), reinterpret_cast<char*>(dest), Clamp(max), 0);
  if (n > 0) return n;
  if (n == 0) {
    Fail(WSAECONNRESET);
    return -1;
  }
  int e = ::WSAGetLastError();
  if (e == WSAEWOULDBLOCK) return 0;
  Fail(e);
  return -1;
}

bool TTcpSocket::SysReadable() {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Sock(sock_.Get()), &readable);
  timeval zero{0, 0};
  return ::select(0, &readable, nullptr, nullptr, &zero) != 0;
}
