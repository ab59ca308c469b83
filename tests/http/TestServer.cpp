#include "tests/http/TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

struct TSslFree {
  void operator()(SSL* s) const { SSL_free(s); }
};

// One accepted connection, plain or TLS, with the waits bounded so that the server can stop.
class TConn {
 public:
  TConn(int fd, SSL_CTX* ctx, const std::atomic<bool>& stop) : fd_(fd), stop_(stop) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (ctx) {
      ssl_.reset(SSL_new(ctx));
      SSL_set_fd(ssl_.get(), fd);
      if (SSL_accept(ssl_.get()) != 1) ok_ = false;
    }
  }
  ~TConn() {
    if (ssl_ && ok_) SSL_shutdown(ssl_.get());
    ssl_.reset();
    ::close(fd_);
  }
  bool Ok() const { return ok_; }

  // Waits for data; false when the peer closed, on error or when the server stops.
  bool Read(std::string& into) {
    char buf[16384];
    for (;;) {
      if (stop_) return false;
      if (!(ssl_ && SSL_pending(ssl_.get()) > 0)) {
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, 50);
        if (r == 0) continue;
        if (r < 0) return false;
      }
      int n = ssl_ ? SSL_read(ssl_.get(), buf, sizeof buf) : int(::recv(fd_, buf, sizeof buf, 0));
      if (n <= 0) return false;
      into.append(buf, std::size_t(n));
      return true;
    }
  }
  bool Write(const std::string& data) {
    if (data.empty()) return true;
    if (ssl_) return SSL_write(ssl_.get(), data.data(), int(data.size())) == int(data.size());
    std::size_t off = 0;
    while (off < data.size()) {
      ssize_t n = ::send(fd_, data.data() + off, data.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return false;
      off += std::size_t(n);
    }
    return true;
  }

 private:
  int fd_;
  const std::atomic<bool>& stop_;
  std::unique_ptr<SSL, TSslFree> ssl_;
  bool ok_ = true;
};

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::size_t ContentLength(const std::string& head) {
  std::string l = Lower(head);
  std::size_t p = l.find("\r\ncontent-length:");
  return p == std::string::npos ? 0 : std::stoul(l.substr(p + 17));
}

}  // namespace

TTestServer::TTestServer(bool ipv6, SSL_CTX* tls) : tls_(tls) {
  if (tls_) SSL_CTX_up_ref(tls_);
  int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd, 8) != 0) {
    if (fd >= 0) ::close(fd);
    return;
  }
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
  port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  listenFd_ = fd;
  thread_ = std::thread([this] { Run(); });
}

TTestServer::~TTestServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  if (tls_) SSL_CTX_free(tls_);
}

void TTestServer::Queue(TScript script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(script));
}

std::vector<std::string> TTestServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TTestServer::Run() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    Serve(fd);
  }
}

void TTestServer::Serve(int fd) {
  TConn conn(fd, tls_, stop_);
  if (!conn.Ok()) return;
  std::string in;
  for (;;) {
    // One request: the header block, then the body unless it waits for 100-continue.
    std::size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos)
      if (!conn.Read(in)) return;
    std::string head = in.substr(0, end + 4);
    std::size_t bodyLen = ContentLength(head);
    bool expect = Lower(head).find("\r\nexpect: 100-continue") != std::string::npos;
    std::size_t want = head.size() + (expect ? 0 : bodyLen);
    while (in.size() < want)
      if (!conn.Read(in)) return;
    std::string request = in.substr(0, want);
    in.erase(0, want);

    TScript script;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      if (scripts_.empty()) return;
      script = std::move(scripts_.front());
      scripts_.pop_front();
    }
    for (std::size_t i = 0; i < script.size(); ++i) {
      const TStep& s = script[i];
      switch (s.kind) {
        case TStep::kSend:
          if (!conn.Write(s.data)) return;
          if (i + 1 < script.size() && script[i + 1].kind == TStep::kSend)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
          break;
        case TStep::kPause: std::this_thread::sleep_for(std::chrono::milliseconds(s.ms)); break;
        case TStep::kStall: {
          std::string ignored;
          while (conn.Read(ignored)) ignored.clear();
          return;
        }
        case TStep::kClose: return;
        case TStep::kReadBody: {
          while (in.size() < bodyLen)
            if (!conn.Read(in)) return;
          std::lock_guard lock(mutex_);
          requests_.back() += in.substr(0, bodyLen);
          in.erase(0, bodyLen);
          break;
        }
      }
    }
  }
}
