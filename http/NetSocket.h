// Blocking TCP connections with bounded waits, line reading and optional TLS.
//
// Errors are reported the way Windows Sockets reports them: a call that fails returns
// false (or an empty result) and leaves a Windows socket error code in LastError().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SysUtils.h"

class TTlsSession;

// Windows socket error codes used by this layer. Windows declares them itself; elsewhere
// they are declared here with the same values.
#ifdef _WIN32
#include <winerror.h>
#else
enum : int {
  WSAEMSGSIZE = 10040,      // a line or header block beyond its cap
  WSAEADDRNOTAVAIL = 10049, // the local interface cannot be bound
  WSAENETUNREACH = 10051,
  WSAECONNABORTED = 10053,
  WSAECONNRESET = 10054,    // the peer closed the connection
  WSAENOBUFS = 10055,       // a body too large to hold in memory
  WSAENOTCONN = 10057,
  WSAETIMEDOUT = 10060,     // no data within Timeout
  WSAECONNREFUSED = 10061,
  WSAEHOSTUNREACH = 10065,
  WSASYSNOTREADY = 10091,   // the TLS handshake failed or TLS is unavailable
  WSAHOST_NOT_FOUND = 11001,
};
#endif
// The peer broke the protocol (a bad chunk size and the like).
enum : int { WSAEPROTO = 10071 };

// A socket as the system names it: a descriptor on POSIX systems, a SOCKET (a pointer-
// sized handle) on Windows. kNoSocket is the invalid value of both.
using TSocketId = std::uintptr_t;
inline constexpr TSocketId kNoSocket = ~TSocketId(0);

// Owns one open socket and closes it when destroyed, unless released.
class TSocketOwner {
 public:
  TSocketOwner() = default;
  explicit TSocketOwner(TSocketId id) : id_(id) {}
  ~TSocketOwner() { Close(); }
  TSocketOwner(TSocketOwner&& o) noexcept : id_(o.Release()) {}
  TSocketOwner& operator=(TSocketOwner&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }
  TSocketOwner(const TSocketOwner&) = delete;
  TSocketOwner& operator=(const TSocketOwner&) = delete;

  TSocketId Get() const { return id_; }
  bool Valid() const { return id_ != kNoSocket; }
  TSocketId Release() {
    TSocketId id = id_;
    id_ = kNoSocket;
    return id;
  }
  void Reset(TSocketId id = kNoSocket) {
    Close();
    id_ = id;
  }

 private:
  void Close();
  TSocketId id_ = kNoSocket;
};

// What a wait on a socket waits for.
enum class TSocketWait { Read, Write };

// Sets the file names tried, in order, for the TLS libraries, and forgets any libraries
// loaded so far so that the next TLS connection loads them afresh. Call it only while no
// TLS connection is open. The defaults are libssl/libcrypto 3, then 1.1.
void SetTlsLibraryNames(std::vector<std::string> sslNames, std::vector<std::string> cryptoNames);
// Restores the default library names (and forgets loaded libraries).
void ResetTlsLibraryNames();
// True when the TLS libraries can be loaded and offer every function the client needs.
bool TlsAvailable();
// Why TLS is unavailable, naming the libraries tried; empty when it is available.
std::string TlsUnavailableReason();

// One TCP connection, optionally wrapped in TLS. Every wait (connecting, the handshake,
// sending and receiving) is bounded by Timeout; a receive that sees no data within it
// fails with WSAETIMEDOUT, a connection closed by the peer with WSAECONNRESET.
class TTcpSocket {
 public:
  // Throws Exception when the system's socket library could not be started.
  TTcpSocket();
  ~TTcpSocket();
  TTcpSocket(const TTcpSocket&) = delete;
  TTcpSocket& operator=(const TTcpSocket&) = delete;

  // Milliseconds allowed for every single wait.
  std::int32_t Timeout = 90000;
  // Kernel receive and send buffer sizes and the size of each receive.
  std::int32_t SizeRecvBuffer = 65536;
  std::int32_t SizeSendBuffer = 65536;
  // Longest line ReadLine accepts, line end excluded; 0 means no limit.
  std::size_t MaxLineLength = 0;
  // Trust locations added to the system's store for certificate checks; empty for none.
  std::string CAFile;
  std::string CAPath;

  // Resolves host (a name, an IPv4 or an IPv6 literal) and connects to the first address
  // that answers, after binding to the local address bindIP (any port). "0.0.0.0" or an
  // empty bindIP binds nothing.
  bool Connect(const std::string& host, const std::string& port, const std::string& bindIP);
  // Runs a TLS client handshake on the connected socket. The server's chain must lead to
  // a trusted root and its certificate must match host (a name, or an IP literal).
  bool StartTls(const std::string& host);
  void CloseSocket();
  bool Connected() const;
  bool UsesTls() const;

  int LastError() const { return lastError_; }
  void ResetLastError() { lastError_ = 0; }
  // Records an error found by the protocol layer above, so that it counts like a socket
  // error.
  void SetLastError(int code) { lastError_ = code; }

  // Sends all bytes.
  bool SendBuffer(const void* data, std::size_t size);
  bool SendString(std::string_view s) { return SendBuffer(s.data(), s.size()); }

  // Reads one line. A line ends with CR LF, LF CR, a lone LF or a lone CR; when a lone CR
  // or LF ends the data received so far and the next packet starts with its partner, the
  // partner is dropped. The line end is not returned. On failure the result is empty and
  // LastError() is set; a line longer than MaxLineLength fails with WSAEMSGSIZE.
  std::string ReadLine();
  // Receives what the next packet brings (at most max bytes) into dest; returns the count,
  // 0 on failure.
  std::size_t ReadSome(std::uint8_t* dest, std::size_t max);
  // True when nothing is buffered and the connection shows neither data nor a close:
  // it can carry a new request.
  bool IdleAndOpen();

 private:
  bool Fill();
  std::size_t RawRecv(std::uint8_t* dest, std::size_t max);
  void Fail(int code) { lastError_ = code; }

  // The system's side, one file per platform.
  static void RequireSocketLibrary();
  // Waits up to Timeout until the socket is ready; false (with the error recorded) on
  // timeout or failure.
  bool WaitFor(TSocketWait what);
  // One attempt to send or receive on the non-blocking socket: the byte count, 0 when the
  // call would block, -1 on failure (recorded; a close by the peer is WSAECONNRESET).
  std::ptrdiff_t SysSend(const std::uint8_t* data, std::size_t size);
  std::ptrdiff_t SysRecv(std::uint8_t* dest, std::size_t max);
  // True when the socket shows data or a close right now.
  bool SysReadable();

  TSocketOwner sock_;
  int lastError_ = 0;
  std::unique_ptr<TTlsSession> tls_;
  std::vector<std::uint8_t> buf_;
  std::size_t bufStart_ = 0, bufEnd_ = 0;
  // The partner character to drop from the next packet, or 0.
  std::uint8_t dropPartner_ = 0;
};

// The base of network clients: where to connect and how long to wait.
class TNetClient : public TObject {
 public:
  TNetClient();
  UString ClassName() const override { return u"TNetClient"; }

  UString TargetHost = u"127.0.0.1";
  UString TargetPort = u"80";
  UString IPInterface = u"0.0.0.0";
  std::int32_t Timeout = 90000;
};
