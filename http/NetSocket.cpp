// The socket layer's common part: TLS dispatch, sending, line reading and buffering.
// The system calls live in NetSocketPosix.cpp and NetSocketWin32.cpp.
#include "http/NetSocket.h"

#include <algorithm>
#include <cstring>

#include "http/NetSocketTls.h"

TTcpSocket::TTcpSocket() { RequireSocketLibrary(); }

TTcpSocket::~TTcpSocket() { CloseSocket(); }

bool TTcpSocket::Connected() const { return sock_.Valid(); }
bool TTcpSocket::UsesTls() const { return tls_ != nullptr; }

void TTcpSocket::CloseSocket() {
  if (tls_) {
    tls_->Shutdown();
    tls_.reset();
  }
  sock_.Reset();
  bufStart_ = bufEnd_ = 0;
  dropPartner_ = 0;
}

bool TTcpSocket::StartTls(const std::string& host) {
  if (!sock_.Valid()) {
    Fail(WSAENOTCONN);
    return false;
  }
  int err = 0;
  tls_ = TTlsSession::Handshake(sock_.Get(), host, CAFile, CAPath, [this](TSocketWait w) { return WaitFor(w); }, err);
  if (!tls_) {
    Fail(err ? err : WSASYSNOTREADY);
    return false;
  }
  return true;
}

bool TTcpSocket::SendBuffer(const void* data, std::size_t size) {
  if (!sock_.Valid()) {
    Fail(WSAENOTCONN);
    return false;
  }
  auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    if (tls_) {
      std::size_t done = 0;
      switch (tls_->Write(p, size, done)) {
        case TTlsSession::ioOk: p += done; size -= done; continue;
        case TTlsSession::ioWantRead: if (!WaitFor(TSocketWait::Read)) return false; continue;
        case TTlsSession::ioWantWrite: if (!WaitFor(TSocketWait::Write)) return false; continue;
        case TTlsSession::ioClosed: Fail(WSAECONNRESET); return false;
        case TTlsSession::ioError: Fail(WSAECONNABORTED); return false;
      }
    }
    std::ptrdiff_t n = SysSend(p, size);
    if (n < 0) return false;
    if (n == 0) {
      if (!WaitFor(TSocketWait::Write)) return false;
      continue;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Receives one packet into dest, waiting up to Timeout for it; 0 on failure.
std::size_t TTcpSocket::RawRecv(std::uint8_t* dest, std::size_t max) {
  if (!sock_.Valid()) {
    Fail(WSAENOTCONN);
    return 0;
  }
  for (;;) {
    if (tls_) {
      std::size_t done = 0;
      switch (tls_->Read(dest, max, done)) {
        case TTlsSession::ioOk: return done;
        case TTlsSession::ioWantRead: if (!WaitFor(TSocketWait::Read)) return 0; continue;
        case TTlsSession::ioWantWrite: if (!WaitFor(TSocketWait::Write)) return 0; continue;
        case TTlsSession::ioClosed: Fail(WSAECONNRESET); return 0;
        case TTlsSession::ioError: Fail(WSAECONNABORTED); return 0;
      }
    }
    std::ptrdiff_t n = SysRecv(dest, max);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 || !WaitFor(TSocketWait::Read)) return 0;
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
  if (!sock_.Valid() || bufStart_ != bufEnd_) return false;
  if (tls_ && tls_->Pending() > 0) return false;
  return !SysReadable();
}

TNetClient::TNetClient() = default;
