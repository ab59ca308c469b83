// The socket layer on POSIX systems: BSD sockets, non-blocking, with poll for the waits.
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/NetSocket.h"
#include "http/NetSocketAddress.h"

namespace {

int SocketErrorFromErrno(int err) {
  switch (err) {
    case ECONNRESET: case EPIPE: return WSAECONNRESET;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ENETUNREACH: return WSAENETUNREACH;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case EADDRNOTAVAIL: case EADDRINUSE: return WSAEADDRNOTAVAIL;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case ENOTCONN: return WSAENOTCONN;
    default: return WSAECONNABORTED;
  }
}

int Fd(TSocketId id) { return static_cast<int>(id); }

// Waits up to timeoutMs for the socket; 0 when ready, else the socket error code.
int WaitOn(TSocketId id, TSocketWait what, std::int32_t timeoutMs) {
  pollfd p{Fd(id), static_cast<short>(what == TSocketWait::Read ? POLLIN : POLLOUT), 0};
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs > 0 ? timeoutMs : 0);
    if (r > 0) return 0;
    if (r == 0) return WSAETIMEDOUT;
    if (errno != EINTR) return SocketErrorFromErrno(errno);
  }
}

}  // namespace

void TSocketOwner::Close() {
  if (id_ != kNoSocket) ::close(Fd(id_));
  id_ = kNoSocket;
}

// The socket calls are part of the C library: nothing to start.
void TTcpSocket::RequireSocketLibrary() {}

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
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* raw = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw) != 0) {
    // A machine with nothing but loopback configured has no address families to offer
    // under AI_ADDRCONFIG; ask again without it.
    hints.ai_flags = 0;
    raw = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw) != 0) {
      Fail(WSAHOST_NOT_FOUND);
      return false;
    }
  }
  std::unique_ptr<addrinfo, TAddrInfoFree> list(raw);
  int err = WSAHOST_NOT_FOUND;
  for (addrinfo* a = list.get(); a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      err = SocketErrorFromErrno(errno);
      continue;
    }
    TSocketOwner s(static_cast<TSocketId>(fd));
    SetConnectionOptions(fd, SizeRecvBuffer, SizeSendBuffer);
    if (!BindLocal(fd, a->ai_family, bindIP)) {
      err = WSAEADDRNOTAVAIL;
      continue;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        err = SocketErrorFromErrno(errno);
        continue;
      }
      if ((err = WaitOn(s.Get(), TSocketWait::Write, Timeout)) != 0) continue;
      int soErr = 0;
      socklen_t len = sizeof soErr;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
      if (soErr != 0) {
        err = SocketErrorFromErrno(soErr);
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
  for (;;) {
    ssize_t n = ::send(Fd(sock_.Get()), data, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    if (errno != EINTR) {
      Fail(SocketErrorFromErrno(errno));
      return -1;
    }
  }
}

std::ptrdiff_t TTcpSocket::SysRecv(std::uint8_t* dest, std::size_t max) {
  for (;;) {
    ssize_t n = ::recv(Fd(sock_.Get()), dest, max, 0);
    if (n > 0) return n;
    if (n == 0) {
      Fail(WSAECONNRESET);
      return -1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    if (errno != EINTR) {
      Fail(SocketErrorFromErrno(errno));
      return -1;
    }
  }
}

bool TTcpSocket::SysReadable() {
  pollfd p{Fd(sock_.Get()), POLLIN, 0};
  return ::poll(&p, 1, 0) != 0;
}
