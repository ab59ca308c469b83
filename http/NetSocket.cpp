#include "http/NetSocket.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/NetSocketTls.h"

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

// A socket descriptor that closes itself unless released.
struct TFd {
  int fd = -1;
  explicit TFd(int f) : fd(f) {}
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
  int Release() {
    int f = fd;
    fd = -1;
    return f;
  }
};

struct TAddrInfoFree {
  void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};

bool BindLocal(int fd, int family, const std::string& bindIP) {
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
  return ::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) == 0;
}

}  // namespace

TTcpSocket::TTcpSocket() = default;

TTcpSocket::~TTcpSocket() { CloseSocket(); }

bool TTcpSocket::Connected() const { return fd_ >= 0; }
bool TTcpSocket::UsesTls() const { return tls_ != nullptr; }

void TTcpSocket::CloseSocket() {
  if (tls_) {
    tls_->Shutdown();
    tls_.reset();
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  bufStart_ = bufEnd_ = 0;
  dropPartner_ = 0;
}

bool TTcpSocket::WaitFor(short events) {
  pollfd p{fd_, events, 0};
  for (;;) {
    int r = ::poll(&p, 1, Timeout > 0 ? Timeout : 0);
    if (r > 0) return true;
    if (r == 0) {
      Fail(WSAETIMEDOUT);
      return false;
    }
    if (errno != EINTR) {
      Fail(SocketErrorFromErrno(errno));
      return false;
    }
  }
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
    TFd s(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (s.fd < 0) {
      err = SocketErrorFromErrno(errno);
      continue;
    }
    int v = SizeRecvBuffer;
    ::setsockopt(s.fd, SOL_SOCKET, SO_RCVBUF, &v, sizeof v);
    v = SizeSendBuffer;
    ::setsockopt(s.fd, SOL_SOCKET, SO_SNDBUF, &v, sizeof v);
    v = 1;
    ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v);
    if (!BindLocal(s.fd, a->ai_family, bindIP)) {
      err = WSAEADDRNOTAVAIL;
      continue;
    }
    ::fcntl(s.fd, F_SETFL, ::fcntl(s.fd, F_GETFL) | O_NONBLOCK);
    if (::connect(s.fd, a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        err = SocketErrorFromErrno(errno);
        continue;
      }
      fd_ = s.fd;  // WaitFor polls fd_
      bool ready = WaitFor(POLLOUT);
      fd_ = -1;
      if (!ready) {
        err = lastError_;
        continue;
      }
      int soErr = 0;
      socklen_t len = sizeof soErr;
      ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
      if (soErr != 0) {
        err = SocketErrorFromErrno(soErr);
        continue;
      }
    }
    fd_ = s.Release();
    buf_.resize(static_cast<std::size_t>(SizeRecvBuffer > 0 ? SizeRecvBuffer : 65536));
    lastError_ = 0;
    return true;
  }
  Fail(err);
  return false;
}

bool TTcpSocket::StartTls(const std::string& host) {
  if (fd_ < 0) {
    Fail(WSAENOTCONN);
    return false;
  }
  int err = 0;
  tls_ = TTlsSession::Handshake(fd_, host, CAFile, CAPath, [this](short ev) { return WaitFor(ev); }, err);
  if (!tls_) {
    Fail(err ? err : WSASYSNOTREADY);
    return false;
  }
  return true;
}

bool TTcpSocket::SendBuffer(const void* data, std::size_t size) {
  if (fd_ < 0) {
    Fail(WSAENOTCONN);
    return false;
  }
  auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    if (tls_) {
      std::size_t done = 0;
      switch (tls_->Write(p, size, done)) {
        case TTlsSession::ioOk: p += done; size -= done; continue;
        case TTlsSession::ioWantRead: if (!WaitFor(POLLIN)) return false; continue;
        case TTlsSession::ioWantWrite: if (!WaitFor(POLLOUT)) return false; continue;
        case TTlsSession::ioClosed: Fail(WSAECONNRESET); return false;
        case TTlsSession::ioError: Fail(WSAECONNABORTED); return false;
      }
    }
    ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL);
    if (n > 0) {
      p += n;
      size -= static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(POLLOUT)) return false;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      Fail(SocketErrorFromErrno(errno));
      return false;
    }
  }
  return true;
}

// Receives one packet into dest, waiting up to Timeout for it; 0 on failure.
std::size_t TTcpSocket::RawRecv(std::uint8_t* dest, std::size_t max) {
  if (fd_ < 0) {
    Fail(WSAENOTCONN);
    return 0;
  }
  for (;;) {
    if (tls_) {
      std::size_t done = 0;
      switch (tls_->Read(dest, max, done)) {
        case TTlsSession::ioOk: return done;
        case TTlsSession::ioWantRead: if (!WaitFor(POLLIN)) return 0; continue;
        case TTlsSession::ioWantWrite: if (!WaitFor(POLLOUT)) return 0; continue;
        case TTlsSession::ioClosed: Fail(WSAECONNRESET); return 0;
        case TTlsSession::ioError: Fail(WSAECONNABORTED); return 0;
      }
    }
    ssize_t n = ::recv(fd_, dest, max, 0);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n == 0) {
      Fail(WSAECONNRESET);
      return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(POLLIN)) return 0;
    } else if (errno != EINTR) {
      Fail(SocketErrorFromErrno(errno));
      return 0;
    }
  }
}

// Refills the empty line buffer with the next packet, dropping a pending line-end partner.
bool TTcpSocket::Fill() {
  for (;;) {
    std::size_t n = RawRecv(buf_.data(), buf_.size());
    if (n == 0) return false;
    bufStart_ = 0;
    bufEnd_ = n;
    if (dropPartner_) {
      if (buf_[0] == dropPartner_) bufStart_ = 1;
      dropPartner_ = 0;
    }
    if (bufStart_ < bufEnd_) return true;
  }
}

std::string TTcpSocket::ReadLine() {
  std::string line;
  for (;;) {
    if (bufStart_ == bufEnd_ && !Fill()) return {};
    const std::uint8_t* b = buf_.data();
    std::size_t i = bufStart_;
    while (i < bufEnd_ && b[i] != '\r' && b[i] != '\n') ++i;
    if (MaxLineLength && line.size() + (i - bufStart_) > MaxLineLength) {
      Fail(WSAEMSGSIZE);
      return {};
    }
    line.append(reinterpret_cast<const char*>(b + bufStart_), i - bufStart_);
    if (i == bufEnd_) {
      bufStart_ = bufEnd_;
      continue;
    }
    std::uint8_t partner = b[i] == '\r' ? '\n' : '\r';
    ++i;
    if (i < bufEnd_) {
      if (b[i] == partner) ++i;
    } else {
      dropPartner_ = partner;
    }
    bufStart_ = i;
    return line;
  }
}

std::size_t TTcpSocket::ReadSome(std::uint8_t* dest, std::size_t max) {
  if (bufStart_ == bufEnd_ && dropPartner_ && !Fill()) return 0;
  if (bufStart_ < bufEnd_) {
    std::size_t n = std::min(max, bufEnd_ - bufStart_);
    std::memcpy(dest, buf_.data() + bufStart_, n);
    bufStart_ += n;
    return n;
  }
  return RawRecv(dest, std::min(max, buf_.size()));
}

bool TTcpSocket::IdleAndOpen() {
  if (fd_ < 0 || bufStart_ != bufEnd_) return false;
  if (tls_ && tls_->Pending() > 0) return false;
  pollfd p{fd_, POLLIN, 0};
  int r = ::poll(&p, 1, 0);
  return r == 0;
}

TNetClient::TNetClient() = default;
